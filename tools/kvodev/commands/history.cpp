// history: the versions of the document kept in kvoDevice.history.
#include <kvodevice/ConfigurationContent.h>

#include "commands/Registry.h"
#include "shared/Configuration.h"
#include "shared/Table.h"
#include "shared/Time.h"
#include "shared/Utf8.h"
#include "shared/Versions.h"

namespace kvodev {
namespace {

// A version as history lists it, with what it holds as read now.
Json VersionJson(const std::vector<dev::HistoryVersion>& versions, std::size_t index) {
  const dev::HistoryVersion& version = versions[index];
  const dev::DocumentContent content = dev::ReadDocumentContent(version.path);
  return {{"number", index + 1},
          {"id", EncodeUtf8(version.id)},
          {"shortId", EncodeUtf8(dev::ShortHistoryId(versions, index))},
          {"file", FileName(version)},
          {"path", EncodeUtf8(version.path)},
          {"replaced", IsoStamp(version.time)},
          {"reason", EncodeUtf8(version.reason)},
          {"units", content.wellFormed ? Json(content.units.size()) : Json(nullptr)},
          {"readable", content.read},
          {"wellFormed", content.wellFormed},
          {"valid", content.valid},
          {"bytes", version.size}};
}

// What the history column says about a version's content: a restore refuses
// what is not valid, so that shows as well.
std::string UnitsCell(const Json& version) {
  if (!version["readable"].get<bool>()) return "unreadable";
  if (!version["wellFormed"].get<bool>()) return "damaged";
  return std::to_string(version["units"].get<std::size_t>()) + (version["valid"].get<bool>() ? "" : " (not valid)");
}

void PrintHistory(const Json& data, const TextOut& out) {
  if (data["versions"].empty()) return out.Notice(EmptyHistoryNote(data["history"].get<std::string>()));
  Table table({{"#", Table::Align::Right},
               {"ID"},
               {"REPLACED"},
               {"WHY"},
               {"UNITS", Table::Align::Right},
               {"BYTES", Table::Align::Right},
               {"FILE"}});
  for (const Json& version : data["versions"])
    table.AddRow({std::to_string(version["number"].get<std::size_t>()), version["shortId"], ReadableIso(version["replaced"]),
                  version["reason"], UnitsCell(version), std::to_string(version["bytes"].get<std::uint64_t>()),
                  version["file"]});
  table.Print(out.out, out.style);
}

Report RunHistory(Context& ctx) {
  const std::vector<dev::HistoryVersion> versions = dev::ListHistory();
  Report report(Json{{"history", ConfigFiles(ctx.dataDir).history.string()}, {"versions", Json::array()}});
  for (std::size_t i = 0; i < versions.size(); ++i) report.data["versions"].push_back(VersionJson(versions, i));
  report.text = PrintHistory;
  return report;
}

const Command kHistory{"history", {}, {}, true, RunHistory,
    "list the replaced versions of the document",
    "Lists the versions of kvoDevice.xml that saves, recoveries and restores\n"
    "replaced, kept in kvoDevice.history, oldest first: the number that names a\n"
    "version for diff and restore (numbers shift as versions come and go), its\n"
    "id (the time it was replaced, shortened to what tells it apart; the id and\n"
    "the file name do not shift), when it was replaced (UTC), why (save, recovery,\n"
    "restore), how many units it holds (\"damaged\" when it is not XML, \"not\n"
    "valid\" when the schema refuses it, so that restore would too) and its size.\n"
    "The newest $KVO_HISTORY versions are kept (default 20; 0 keeps none).\n\n"
    "example:\n  kvodev --data-dir /srv/kvoRQ history\n"};

}  // namespace

std::vector<Command> HistoryCommands() { return {kHistory}; }

}  // namespace kvodev
