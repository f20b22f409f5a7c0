// ini: what INI files describe, as the extended device information service
// reads them; with --lint, the warnings of IniLinter instead, for files read
// here, not by the library, so that lines can be named.
#include <kvodevice/IExtendedDeviceInfo.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "commands/IniLint.h"
#include "commands/Registry.h"
#include "platform/files.h"
#include "platform/strings.h"
#include "shared/Errors.h"
#include "shared/IniFiles.h"
#include "shared/ProcessingTypes.h"
#include "shared/Table.h"
#include "shared/Utf8.h"

namespace kvodev {
namespace {

using dev::dynInfo::IExtendedDeviceInfo;
using tro::cam::eCamProcessingType;

constexpr Option kLint{"--lint", Option::Flag, "", "warn about what the library reads other than meant"};

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

// Lints every file that can be read; returns those that cannot.
std::vector<std::string> LintFiles(IniLinter& linter, const std::vector<std::string>& files) {
  std::vector<std::string> unreadable;
  for (const std::string& file : files) {
    const platform::FileContent content = platform::ReadWholeFile(platform::WidePath(file));
    if (content.readable)
      linter.Lint(file, content.bytes);
    else
      unreadable.push_back(file);
  }
  return unreadable;
}

std::string Unreadable(const std::vector<std::string>& files) {
  std::string message = files.size() == 1 ? "INI file cannot be read: " : "INI files cannot be read: ";
  for (std::size_t i = 0; i < files.size(); ++i) message.append(i == 0 ? "\"" : ", \"").append(files[i]).append("\"");
  return message;
}

void PrintWarnings(const Json& data, const TextOut& out) {
  for (const char* kind : {"warnings", "notes"})
    for (const Json& warning : data[kind])
      out.out << warning["file"].get<std::string>() << ':' << warning["line"].get<int>() << ": "
              << (kind[0] == 'n' ? "note: " : "") << warning["text"].get<std::string>() << '\n';
}

Report RunIniLint(Context& ctx) {
  std::vector<std::string> files = ctx.Values(kIni);
  files.insert(files.end(), ctx.operands.begin(), ctx.operands.end());
  if (files.empty()) throw InputError("ini --lint needs a FILE: usage: kvodev ini --lint FILE...");
  IniLinter linter;
  const std::vector<std::string> unreadable = LintFiles(linter, files);
  Report report(Json{{"warnings", Json::array()}, {"notes", Json::array()}});
  for (const LintWarning& warning : linter.warnings())
    report.data[warning.note ? "notes" : "warnings"].push_back(
        {{"file", warning.file}, {"line", warning.line}, {"text", warning.text}});
  report.text = PrintWarnings;
  if (!report.data["warnings"].empty()) report.status = False;
  if (!unreadable.empty()) {
    report.status = Usage;
    report.error = Unreadable(unreadable);
  }
  return report;
}

Report RunIni(Context& ctx) {
  if (ctx.Has(kLint)) return RunIniLint(ctx);
  if (!ctx.operands.empty()) throw InputError("FILE operands need --lint: usage: kvodev ini --lint FILE...");
  IExtendedDeviceInfo* info = LoadService(IniPaths(ctx));
  if (info == nullptr)
    return Report::Failure(False, "there is no extended device information while the feature DEV_NO_SERVICE_UPDATE is on");
  Report report;
  Json devices = Json::array();
  for (const dev::id id : info->GetDeviceIDs()) devices.push_back(IniDevice(*info, id));
  Json tags = TagIndex(*info, devices);
  Json positions = PositionIndex(*info, devices);
  report.data = {{"iniFiles", ctx.Values(kIni)}, {"devices", std::move(devices)}, {"tags", std::move(tags)},
                 {"positions", std::move(positions)}};
  report.text = PrintIni;
  return report;
}

const Command kIniCommand{"ini", {"[FILE]..."}, {&kIni, &kLint}, false, RunIni,
    "what INI files describe",
    "Reads the INI files and lists the devices they describe: section name, tags,\n"
    "positions, RTC trigger use and processing settings; then the devices by tag\n"
    "and by position. Exit status 1 while the feature DEV_NO_SERVICE_UPDATE is on.\n\n"
    "With --lint it warns instead, as FILE:LINE: text, about what the library reads\n"
    "other than meant: words (yes, on, ...) or stray text in integer keys, numbers\n"
    "out of range, ';' or '#' after a value (no comment), repeated sections and\n"
    "keys (the first wins), keys it does not read (with a \"did you mean\"), a\n"
    "device in two sections of a file, a section without an ID, a header without\n"
    "its ']', Position entries that are dropped or cut short, UTF-16 without a\n"
    "byte-order mark. A device that a later file adds to is a note (FILE:LINE:\n"
    "note: text), not a warning. It lints the FILEs and --ini files; exit status\n"
    "1 with warnings, 2 when a file cannot be read.\n\n"
    "example:\n  kvodev ini --ini cameras.ini --ini positions.ini\n  kvodev ini --lint cameras.ini positions.ini\n"};

}  // namespace

std::vector<Command> IniCommands() { return {kIniCommand}; }

}  // namespace kvodev
