// caps and ini: what the extended device information service answers after
// reading INI files.
#include <kvodevice/CapabilityTable.h>
#include <kvodevice/Host.h>
#include <kvodevice/IExtendedDeviceInfo.h>

#include <iostream>
#include <map>
#include <set>

#include "Commands.h"
#include "Errors.h"
#include "Ids.h"
#include "Json.h"
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

std::string Join(const std::vector<std::string>& items, const char* separator) {
  std::string out;
  for (const std::string& item : items) out += (out.empty() ? "" : separator) + item;
  return out.empty() ? "-" : out;
}

// The service with every --ini file read into it; null while the host feature
// DEV_NO_SERVICE_UPDATE is on.
IExtendedDeviceInfo* LoadService(const std::vector<std::wstring>& iniFiles) {
  IExtendedDeviceInfo* info = dev::dynInfo::GetExtendedDeviceInfo();
  if (info != nullptr)
    for (const std::wstring& file : iniFiles) info->Load(file.c_str());
  return info;
}

void WriteFileList(JsonWriter& json, const Args& args) {
  json.Key("iniFiles").BeginArray();
  for (const std::string& file : args.iniFiles) json.String(file);
  json.EndArray();
}

}  // namespace

int RunCaps(Context& ctx) {
  const std::vector<std::wstring> iniFiles = IniPaths(ctx.args);
  std::vector<dev::id> devices;
  for (const std::string& device : ctx.args.devices)
    devices.push_back(static_cast<dev::id>(ParseNumber(device, 65535, "device number")));

  IExtendedDeviceInfo* info = LoadService(iniFiles);
  if (info == nullptr && !iniFiles.empty())
    Complain("note: the INI files are not read while the feature DEV_NO_SERVICE_UPDATE is on");
  if (devices.empty() && info != nullptr) devices = info->GetDeviceIDs();
  if (devices.empty()) devices = {dev::id{100}, dev::id{303}, dev::id{332}, dev::NoDevice};
  std::vector<int> types;
  if (ctx.args.allTypes)
    for (int type = 0; type < kTypeCount; ++type) types.push_back(type);
  else
    for (const NamedType& named : kNamedTypes) types.push_back(named.type);
  const bool hdri = pkg::isFeatureEnabled(L"ACQ_ENABLE_HDRI");

  struct Answer {
    bool available;
    std::optional<bool> setting;  // the INI setting, when one decided
  };
  const auto answer = [&](dev::id device, int type) {
    const auto processing = static_cast<eCamProcessingType>(type);
    Answer result{dev::dynInfo::IsCamAdapterEnabled(device, processing), std::nullopt};
    bool setting = false;
    if (info != nullptr && info->GetProcessingEnabled(device, processing, setting)) result.setting = setting;
    return result;
  };
  const auto section = [&](dev::id device) { return info != nullptr ? info->GetSectionName(device) : std::wstring(); };
  // The answers for an unknown device are only the types' defaults.
  const auto known = [&](dev::id device) {
    return dev::dynInfo::IsDeviceInCapabilityTable(device) || !section(device).empty();
  };

  if (ctx.args.json) {
    JsonWriter json(std::cout);
    json.BeginObject();
    WriteFileList(json, ctx.args);
    json.Member("service", info != nullptr).Member("hdri", hdri).Key("types").BeginArray();
    for (const int type : types) {
      json.BeginObject().Member("type", type);
      if (const NamedType* named = Named(type)) json.Member("name", named->name);
      json.EndObject();
    }
    json.EndArray().Key("devices").BeginArray();
    for (const dev::id device : devices) {
      json.BeginObject()
          .Member("device", static_cast<unsigned>(device))
          .Member("section", section(device))
          .Member("known", known(device))
          .Key("answers")
          .BeginArray();
      for (const int type : types) {
        const Answer result = answer(device, type);
        json.BeginObject().Member("type", type).Member("available", result.available).Key("iniSetting");
        result.setting ? json.Bool(*result.setting) : json.Null();
        json.EndObject();
      }
      json.EndArray().EndObject();
    }
    json.EndArray().EndObject();
    return Success;
  }

  std::cout << "yes: available   no: not available   *: an INI setting decided, not the built-in table\n"
            << "?: neither the built-in table nor an INI file describes the device; its answers are defaults\n"
            << "HDRI follows the feature ACQ_ENABLE_HDRI, which is " << (hdri ? "on" : "off") << '\n';
  if (ctx.args.allTypes) {
    std::vector<std::string> names;
    for (const NamedType& named : kNamedTypes) names.push_back(std::to_string(named.type) + " " + named.name);
    std::cout << "types: " << Join(names, ", ") << '\n';
  }
  std::cout << '\n';
  std::vector<Table::Column> columns{{"DEVICE", Table::Align::Right}};
  for (const int type : types) {
    const NamedType* named = Named(type);
    columns.push_back({ctx.args.allTypes || named == nullptr ? std::to_string(type) : named->column});
  }
  columns.push_back({"SECTION"});
  Table table(std::move(columns), ctx.args.allTypes ? " " : "  ");
  for (const dev::id device : devices) {
    std::vector<std::string> row{std::to_string(device) + (known(device) ? " " : "?")};
    for (const int type : types) {
      const Answer result = answer(device, type);
      row.push_back(std::string(result.available ? "yes" : "no") + (result.setting ? "*" : ""));
    }
    row.push_back(EncodeUtf8(section(device)));
    table.AddRow(std::move(row));
  }
  table.Print(std::cout);
  return Success;
}

int RunIni(Context& ctx) {
  if (ctx.args.lint) return RunIniLint(ctx);
  if (!ctx.operands.empty()) throw InputError("FILE operands need --lint: usage: kvodev ini --lint FILE...");
  const std::vector<std::wstring> iniFiles = IniPaths(ctx.args);
  IExtendedDeviceInfo* info = LoadService(iniFiles);
  if (info == nullptr) {
    Complain("there is no extended device information while the feature DEV_NO_SERVICE_UPDATE is on");
    return False;
  }

  struct Device {
    dev::id id;
    std::wstring section;
    std::vector<std::wstring> tags;
    std::vector<int> positions;
    bool rtcTrigger = false;
    std::vector<std::pair<int, bool>> processing;  // type, setting
  };
  std::vector<Device> devices;
  std::map<dev::id, std::size_t> slot;
  for (const dev::id id : info->GetDeviceIDs()) {
    Device device{id, info->GetSectionName(id), {}, {}, false, {}};
    for (const auto& position : info->GetPositions(id)) device.positions.push_back(position.code - 1000);
    info->GetRTCTrigger(id, device.rtcTrigger);
    for (int type = 0; type < kTypeCount; ++type)
      if (bool setting = false; info->GetProcessingEnabled(id, static_cast<eCamProcessingType>(type), setting))
        device.processing.emplace_back(type, setting);
    slot[id] = devices.size();
    devices.push_back(std::move(device));
  }
  const std::vector<std::wstring> tags = info->GetTags();
  std::vector<std::vector<dev::id>> tagged;
  for (const std::wstring& tag : tags) {
    tagged.push_back(info->GetDevicesByTag(tag));
    for (const dev::id id : tagged.back())
      if (slot.contains(id)) devices[slot[id]].tags.push_back(tag);
  }
  std::set<int> positions;
  for (const Device& device : devices) positions.insert(device.positions.begin(), device.positions.end());

  if (ctx.args.json) {
    JsonWriter json(std::cout);
    json.BeginObject();
    WriteFileList(json, ctx.args);
    json.Key("devices").BeginArray();
    for (const Device& device : devices) {
      json.BeginObject()
          .Member("device", static_cast<unsigned>(device.id))
          .Member("section", device.section)
          .Key("tags")
          .BeginArray();
      for (const std::wstring& tag : device.tags) json.String(tag);
      json.EndArray().Key("positions").BeginArray();
      for (const int position : device.positions) json.Number(position);
      json.EndArray().Member("rtcTrigger", device.rtcTrigger).Key("processing").BeginArray();
      for (const auto& [type, setting] : device.processing)
        json.BeginObject().Member("type", type).Member("name", TypeName(type)).Member("enabled", setting).EndObject();
      json.EndArray().EndObject();
    }
    json.EndArray().Key("tags").BeginArray();
    for (std::size_t i = 0; i < tags.size(); ++i) {
      json.BeginObject().Member("tag", tags[i]).Key("devices").BeginArray();
      for (const dev::id id : tagged[i]) json.Number(id);
      json.EndArray().EndObject();
    }
    json.EndArray().Key("positions").BeginArray();
    for (const int position : positions) {
      json.BeginObject().Member("position", position).Key("devices").BeginArray();
      for (const dev::id id : info->GetDevicesAtPosition(position + 1000)) json.Number(id);
      json.EndArray().EndObject();
    }
    json.EndArray().EndObject();
    return Success;
  }

  if (devices.empty()) {
    std::cout << (iniFiles.empty() ? "no INI files given (--ini FILE): no devices described\n"
                                   : "the INI files describe no devices\n");
    return Success;
  }
  Table table({{"DEVICE", Table::Align::Right}, {"SECTION"}, {"TAGS"}, {"POSITIONS"}, {"RTC"}, {"PROCESSING"}});
  for (const Device& device : devices) {
    std::vector<std::string> tagTexts, positionTexts, settings;
    for (const std::wstring& tag : device.tags) tagTexts.push_back(EncodeUtf8(tag));
    for (const int position : device.positions) positionTexts.push_back(std::to_string(position));
    for (const auto& [type, setting] : device.processing)
      settings.push_back(TypeName(type) + (setting ? "=yes" : "=no"));
    table.AddRow({std::to_string(device.id), EncodeUtf8(device.section), Join(tagTexts, ","), Join(positionTexts, ","),
                  device.rtcTrigger ? "yes" : "no", Join(settings, " ")});
  }
  table.Print(std::cout);

  const auto deviceList = [](const std::vector<dev::id>& ids) {
    std::vector<std::string> texts;
    for (const dev::id id : ids) texts.push_back(std::to_string(id));
    return Join(texts, " ");
  };
  if (!tags.empty()) {
    std::cout << '\n';
    Table byTag({{"TAG"}, {"DEVICES"}});
    for (std::size_t i = 0; i < tags.size(); ++i) byTag.AddRow({EncodeUtf8(tags[i]), deviceList(tagged[i])});
    byTag.Print(std::cout);
  }
  if (!positions.empty()) {
    std::cout << '\n';
    Table byPosition({{"POSITION", Table::Align::Right}, {"DEVICES"}});
    for (const int position : positions)
      byPosition.AddRow({std::to_string(position), deviceList(info->GetDevicesAtPosition(position + 1000))});
    byPosition.Print(std::cout);
  }
  return Success;
}

}  // namespace kvodev
