// history, restore: the versions of the document kept in kvoDevice.history.
#include <kvodevice/ConfigurationContent.h>

#include "Commands.h"
#include "Configuration.h"
#include "Errors.h"
#include "Table.h"
#include "Time.h"
#include "Utf8.h"
#include "Versions.h"

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

void PrintRestored(const Json& data, const TextOut& out) {
  if (!data["restored"].get<bool>()) return;
  const std::size_t units = data["units"].get<std::size_t>();
  out.out << "restored " << data["fromLabel"].get<std::string>() << " as " << data["document"].get<std::string>()
          << ": " << units << (units == 1 ? " unit\n" : " units\n");
  if (data["keptLabel"].is_null())
    out.out << "the document it replaced was not kept (there was none, or the history is off)\n";
  else
    out.out << "the document it replaced is kept as " << data["keptLabel"].get<std::string>() << '\n';
}

}  // namespace

Report RunHistory(Context& ctx) {
  const std::vector<dev::HistoryVersion> versions = dev::ListHistory();
  Report report(Json{{"history", ConfigFiles(ctx.dataDir).history.string()}, {"versions", Json::array()}});
  for (std::size_t i = 0; i < versions.size(); ++i) report.data["versions"].push_back(VersionJson(versions, i));
  report.text = PrintHistory;
  return report;
}

Report RunRestore(Context& ctx) {
  const ChosenDocument chosen = ChooseDocument(ctx.operands[0], dev::ListHistory(), ctx.dataDir);
  const ChosenDocument document = CurrentDocument(ctx.dataDir);
  dev::SaveReport saved;
  const std::wstring exposure = chosen.number == 0 ? dev::RestoreExposure(chosen.widePath) : std::wstring();
  if (!exposure.empty() && !ctx.args.yes) {
    saved.reason = exposure + L"; restore it with --yes";
  }
  const bool restored = saved.reason.empty() && dev::RestoreXMLFile(chosen.widePath, &saved);
  const std::vector<dev::HistoryVersion> after = dev::ListHistory();
  const std::size_t kept = restored ? NumberOf(saved.kept, after) : 0;
  std::string reason = EncodeUtf8(saved.reason);
  reason.erase(reason.find_last_not_of(" \n") + 1);  // one line, also on standard error
  Report report(Json{{"restored", restored},
                     {"from", chosen.path.string()},
                     {"version", chosen.number != 0 ? Json(chosen.number) : Json(nullptr)},
                     {"fromLabel", chosen.label},
                     {"document", document.path.string()}});
  report.data["units"] = restored ? Json(dev::ReadDocumentContent(document.widePath).units.size()) : Json(nullptr);
  report.data["kept"] = kept != 0 ? Json(EncodeUtf8(after[kept - 1].path)) : Json(nullptr);
  report.data["keptLabel"] = kept != 0 ? Json(VersionLabel(after[kept - 1], kept)) : Json(nullptr);
  report.data["reason"] = restored ? Json(nullptr) : Json(reason);
  report.text = PrintRestored;
  if (!restored) {
    report.status = False;
    report.error = "not restored: " + reason;
  }
  return report;
}

}  // namespace kvodev
