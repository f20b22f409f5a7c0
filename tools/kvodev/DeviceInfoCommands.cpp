// caps and ini: what the extended device information service answers after
// reading INI files.
#include <kvodevice/CapabilityTable.h>
#include <kvodevice/Host.h>
#include <kvodevice/IExtendedDeviceInfo.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "Commands.h"
#include "Errors.h"
#include "Ids.h"
#include "Table.h"
#include "Utf8.h"

namespace kvodev {
namespace {

using dev::dynInfo::IExtendedDeviceInfo;
using tro::cam::eCamProcessingType;

struct NamedType {
  const char* name;
  const char* column;  // short enough for a table heading
  int type;
};

constexpr NamedType kNamedTypes[] = {
    {"Shading", "Shading", tro::cam::Shading},
    {"CustomGrayscale", "CustomGray", tro::cam::CustomGrayscale},
    {"Splitting", "Splitting", tro::cam::Splitting},
    {"AutoExposure", "AutoExp", tro::cam::AutoExposure},
    {"Whitebalance", "WhiteBal", tro::cam::Whitebalance},
    {"Blackbalance", "BlackBal", tro::cam::Blackbalance},
    {"Accumulation", "Accum", tro::cam::Accumulation},
    {"HDRI", "HDRI", tro::cam::HDRI},
};

// The types that INI settings are asked about: every type below 32.
constexpr int kTypeCount = 32;

const NamedType* Named(int type) {
  for (const NamedType& named : kNamedTypes)
    if (named.type == type) return &named;
  return nullptr;
}

std::string TypeName(int type) {
  const NamedType* named = Named(type);
  return named != nullptr ? named->name : "type " + std::to_string(type);
}

// The service with every --ini file read into it; null while the host feature
// DEV_NO_SERVICE_UPDATE is on.
IExtendedDeviceInfo* LoadService(const std::vector<std::wstring>& iniFiles) {
  IExtendedDeviceInfo* info = dev::dynInfo::GetExtendedDeviceInfo();
  if (info != nullptr)
    for (const std::wstring& file : iniFiles) info->Load(file.c_str());
  return info;
}

std::vector<dev::id> ParseDevices(const std::vector<std::string>& given) {
  std::vector<dev::id> devices;
  for (const std::string& device : given)
    devices.push_back(static_cast<dev::id>(ParseNumber(device, 65535, "device number")));
  return devices;
}

// caps without --device: the devices the INI files describe, else some that
// the built-in table knows and one that nothing describes.
std::vector<dev::id> DefaultDevices(IExtendedDeviceInfo* info) {
  std::vector<dev::id> devices;
  if (info != nullptr) devices = info->GetDeviceIDs();
  if (devices.empty()) devices = {dev::id{100}, dev::id{303}, dev::id{332}, dev::NoDevice};
  return devices;
}

Json CapsTypes(bool allTypes) {
  Json types = Json::array();
  if (!allTypes)
    for (const NamedType& named : kNamedTypes) types.push_back({{"type", named.type}, {"name", named.name}});
  for (int type = 0; allTypes && type < kTypeCount; ++type) {
    types.push_back({{"type", type}});
    if (const NamedType* named = Named(type)) types.back()["name"] = named->name;
  }
  return types;
}

// Whether each type is available to the device, and the INI setting that decided, if one did.
Json CapsDevice(IExtendedDeviceInfo* info, dev::id device, const Json& types) {
  const std::wstring section = info != nullptr ? info->GetSectionName(device) : std::wstring();
  Json answers = Json::array();
  for (const Json& type : types) {
    const auto processing = static_cast<eCamProcessingType>(type["type"].get<int>());
    Json answer{{"type", type["type"]}, {"available", dev::dynInfo::IsCamAdapterEnabled(device, processing)}};
    bool setting = false;
    const bool decided = info != nullptr && info->GetProcessingEnabled(device, processing, setting);
    answer["iniSetting"] = decided ? Json(setting) : Json();
    answers.push_back(std::move(answer));
  }
  // The answers for an unknown device are only the types' defaults.
  const bool known = dev::dynInfo::IsDeviceInCapabilityTable(device) || !section.empty();
  return {{"device", static_cast<unsigned>(device)}, {"section", EncodeUtf8(section)}, {"known", known},
          {"answers", std::move(answers)}};
}

// --all-types asks about every type below kTypeCount, and only it asks about that many.
bool AllTypes(const Json& data) { return data["types"].size() == kTypeCount; }

void PrintCapsLegend(const Json& data, const TextOut& out) {
  if (!data["service"].get<bool>() && !data["iniFiles"].empty())
    out.Notice("kvodev: note: the INI files are not read while the feature DEV_NO_SERVICE_UPDATE is on");
  out.out << "yes: available   no: not available   *: an INI setting decided, not the built-in table\n"
          << "?: neither the built-in table nor an INI file describes the device; its answers are defaults\n"
          << "HDRI follows the feature ACQ_ENABLE_HDRI, which is " << (data["hdri"].get<bool>() ? "on" : "off") << '\n';
  if (AllTypes(data)) {
    Json names = Json::array();
    for (const NamedType& named : kNamedTypes)
      names.push_back(std::to_string(named.type).append(" ").append(named.name));
    out.out << "types: " << Joined(names, ", ", "-") << '\n';
  }
  out.out << '\n';
}

void PrintCaps(const Json& data, const TextOut& out) {
  PrintCapsLegend(data, out);
  const bool all = AllTypes(data);
  std::vector<Table::Column> columns{{"DEVICE", Table::Align::Right}};
  for (const Json& type : data["types"]) {
    const NamedType* named = Named(type["type"].get<int>());
    columns.push_back({all || named == nullptr ? type["type"].dump() : named->column});
  }
  columns.push_back({"SECTION"});
  Table table(std::move(columns), all ? " " : "  ");
  for (const Json& device : data["devices"]) {
    // The blank keeps the numbers aligned with those marked '?'.
    const char* mark = device["known"].get<bool>() ? (out.style.tabs ? "" : " ") : "?";
    std::vector<std::string> row{device["device"].dump().append(mark)};
    for (const Json& answer : device["answers"]) {
      std::string cell = answer["available"].get<bool>() ? "yes" : "no";
      row.push_back(cell.append(answer["iniSetting"].is_null() ? "" : "*"));
    }
    row.push_back(device["section"].get<std::string>());
    table.AddRow(std::move(row));
  }
  table.Print(out.out, out.style);
}

// What the INI files say about one device.
Json IniDevice(IExtendedDeviceInfo& info, dev::id id) {
  Json positions = Json::array();
  for (const auto& position : info.GetPositions(id)) positions.push_back(position.code - 1000);
  bool rtcTrigger = false;
  info.GetRTCTrigger(id, rtcTrigger);
  Json processing = Json::array();
  for (int type = 0; type < kTypeCount; ++type)
    if (bool setting = false; info.GetProcessingEnabled(id, static_cast<eCamProcessingType>(type), setting))
      processing.push_back({{"type", type}, {"name", TypeName(type)}, {"enabled", setting}});
  // The tags follow from the tag index (TagIndex).
  return {{"device", static_cast<unsigned>(id)}, {"section", EncodeUtf8(info.GetSectionName(id))},
          {"tags", Json::array()}, {"positions", std::move(positions)}, {"rtcTrigger", rtcTrigger},
          {"processing", std::move(processing)}};
}

Json DeviceNumbers(const std::vector<dev::id>& ids) {
  Json numbers = Json::array();
  for (const dev::id id : ids) numbers.push_back(static_cast<unsigned>(id));
  return numbers;
}

// The devices of each tag; each tag is also added to the tags of its devices.
Json TagIndex(IExtendedDeviceInfo& info, Json& devices) {
  std::map<unsigned, std::size_t> slot;
  for (std::size_t i = 0; i < devices.size(); ++i) slot[devices[i]["device"].get<unsigned>()] = i;
  Json index = Json::array();
  for (const std::wstring& tag : info.GetTags()) {
    const std::vector<dev::id> tagged = info.GetDevicesByTag(tag);
    index.push_back({{"tag", EncodeUtf8(tag)}, {"devices", DeviceNumbers(tagged)}});
    for (const dev::id id : tagged)
      if (const auto found = slot.find(id); found != slot.end())
        devices[found->second]["tags"].push_back(index.back()["tag"]);
  }
  return index;
}

// The devices at each position that some device names.
Json PositionIndex(IExtendedDeviceInfo& info, const Json& devices) {
  std::set<int> positions;
  for (const Json& device : devices)
    for (const Json& position : device["positions"]) positions.insert(position.get<int>());
  Json index = Json::array();
  for (const int position : positions)
    index.push_back({{"position", position}, {"devices", DeviceNumbers(info.GetDevicesAtPosition(position + 1000))}});
  return index;
}

void PrintIniDevices(const Json& devices, const TextOut& out) {
  Table table({{"DEVICE", Table::Align::Right}, {"SECTION"}, {"TAGS"}, {"POSITIONS"}, {"RTC"}, {"PROCESSING"}});
  for (const Json& device : devices) {
    Json settings = Json::array();
    for (const Json& setting : device["processing"])
      settings.push_back(setting["name"].get<std::string>().append(setting["enabled"].get<bool>() ? "=yes" : "=no"));
    table.AddRow({device["device"].dump(), device["section"], Joined(device["tags"], ",", "-"),
                  Joined(device["positions"], ",", "-"), device["rtcTrigger"].get<bool>() ? "yes" : "no",
                  Joined(settings, " ", "-")});
  }
  table.Print(out.out, out.style);
}

// The devices by tag or by position, after a blank line; nothing when no device has one.
void PrintIndex(const Json& index, const char* key, Table::Column heading, const TextOut& out) {
  if (index.empty()) return;
  out.out << '\n';
  Table table({std::move(heading), {"DEVICES"}});
  for (const Json& entry : index) table.AddRow({Cell(entry[key]), Joined(entry["devices"], " ", "-")});
  table.Print(out.out, out.style);
}

void PrintIni(const Json& data, const TextOut& out) {
  if (data["devices"].empty())
    return out.Notice(data["iniFiles"].empty() ? "no INI files given (--ini FILE): no devices described"
                                               : "the INI files describe no devices");
  PrintIniDevices(data["devices"], out);
  PrintIndex(data["tags"], "tag", {"TAG"}, out);
  PrintIndex(data["positions"], "position", {"POSITION", Table::Align::Right}, out);
}

}  // namespace

Report RunCaps(Context& ctx) {
  const std::vector<std::wstring> iniFiles = IniPaths(ctx.args);
  std::vector<dev::id> devices = ParseDevices(ctx.args.devices);
  IExtendedDeviceInfo* info = LoadService(iniFiles);
  if (devices.empty()) devices = DefaultDevices(info);
  const Json types = CapsTypes(ctx.args.allTypes);
  Json answers = Json::array();
  for (const dev::id device : devices) answers.push_back(CapsDevice(info, device, types));
  Report report(Json{{"iniFiles", ctx.args.iniFiles},
                     {"service", info != nullptr},
                     {"hdri", pkg::isFeatureEnabled(L"ACQ_ENABLE_HDRI")},
                     {"types", types},
                     {"devices", std::move(answers)}});
  report.text = PrintCaps;
  return report;
}

Report RunIni(Context& ctx) {
  if (ctx.args.lint) return RunIniLint(ctx);
  if (!ctx.operands.empty()) throw InputError("FILE operands need --lint: usage: kvodev ini --lint FILE...");
  IExtendedDeviceInfo* info = LoadService(IniPaths(ctx.args));
  if (info == nullptr)
    return Report::Failure(False, "there is no extended device information while the feature DEV_NO_SERVICE_UPDATE is on");
  Report report;
  Json devices = Json::array();
  for (const dev::id id : info->GetDeviceIDs()) devices.push_back(IniDevice(*info, id));
  Json tags = TagIndex(*info, devices);
  Json positions = PositionIndex(*info, devices);
  report.data = {{"iniFiles", ctx.args.iniFiles}, {"devices", std::move(devices)}, {"tags", std::move(tags)},
                 {"positions", std::move(positions)}};
  report.text = PrintIni;
  return report;
}

}  // namespace kvodev
