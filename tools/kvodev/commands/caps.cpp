// caps: what the extended device information service answers about camera
// processing types after reading INI files.
#include <kvodevice/CapabilityTable.h>
#include <kvodevice/Host.h>
#include <kvodevice/IExtendedDeviceInfo.h>

#include <string>
#include <vector>

#include "commands/Registry.h"
#include "shared/Ids.h"
#include "shared/IniFiles.h"
#include "shared/ProcessingTypes.h"
#include "shared/Table.h"
#include "shared/Utf8.h"

namespace kvodev {
namespace {

using dev::dynInfo::IExtendedDeviceInfo;
using tro::cam::eCamProcessingType;

constexpr Option kDevice{"--device", Option::List, "N", "a device number, 0 to 65535 (repeatable)"};
constexpr Option kAllTypes{"--all-types", Option::Flag, "", "every type 0 to 31, not only the named ones"};

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

Report RunCaps(Context& ctx) {
  const std::vector<std::wstring> iniFiles = IniPaths(ctx);
  std::vector<dev::id> devices = ParseDevices(ctx.Values(kDevice));
  IExtendedDeviceInfo* info = LoadService(iniFiles);
  if (devices.empty()) devices = DefaultDevices(info);
  const Json types = CapsTypes(ctx.Has(kAllTypes));
  Json answers = Json::array();
  for (const dev::id device : devices) answers.push_back(CapsDevice(info, device, types));
  Report report(Json{{"iniFiles", ctx.Values(kIni)},
                     {"service", info != nullptr},
                     {"hdri", pkg::isFeatureEnabled(L"ACQ_ENABLE_HDRI")},
                     {"types", types},
                     {"devices", std::move(answers)}});
  report.text = PrintCaps;
  return report;
}

const Command kCaps{"caps", {}, {&kIni, &kDevice, &kAllTypes}, false, RunCaps,
    "capability answers, devices by processing types",
    "Reads the INI files, then shows for every device whether each camera\n"
    "processing type is available: an INI setting decides first (marked *), the\n"
    "built-in table second; HDRI follows the feature ACQ_ENABLE_HDRI.\n\n"
    "Without --device: the devices the INI files describe, else 100 303 332 65535.\n\n"
    "example:\n  kvodev --feature ACQ_ENABLE_HDRI caps --ini cameras.ini --device 303 --device 1201\n"};

}  // namespace

std::vector<Command> CapsCommands() { return {kCaps}; }

}  // namespace kvodev
