// history, restore: the versions of the document kept in kvoDevice.history.
#include <kvodevice/ConfigurationContent.h>

#include <iostream>

#include "Commands.h"
#include "Errors.h"
#include "Json.h"
#include "Table.h"
#include "Time.h"
#include "Utf8.h"
#include "Versions.h"

namespace kvodev {
namespace {

// What the history column says about a version's content: a restore refuses
// what is not valid, so that shows as well.
std::string UnitsCell(const dev::DocumentContent& content) {
  if (!content.read) return "unreadable";
  if (!content.wellFormed) return "damaged";
  return std::to_string(content.units.size()) + (content.valid ? "" : " (not valid)");
}

void WriteHistoryJson(const std::string& dataDir, const std::vector<dev::HistoryVersion>& versions) {
  JsonWriter json(std::cout);
  json.BeginObject().Member("history", (fs::path(dataDir) / "kvoDevice.history").string()).Key("versions").BeginArray();
  for (std::size_t i = 0; i < versions.size(); ++i) {
    const dev::DocumentContent content = dev::ReadDocumentContent(versions[i].path);
    json.BeginObject()
        .Member("number", i + 1)
        .Member("file", FileName(versions[i]))
        .Member("path", versions[i].path)
        .Member("replaced", IsoStamp(versions[i].time))
        .Member("reason", versions[i].reason)
        .Key("units");
    content.wellFormed ? json.Number(static_cast<std::int64_t>(content.units.size())) : json.Null();
    json.Member("wellFormed", content.wellFormed)
        .Member("valid", content.valid)
        .Member("bytes", static_cast<unsigned long>(versions[i].size))
        .EndObject();
  }
  json.EndArray().EndObject();
}

void PrintHistory(const std::vector<dev::HistoryVersion>& versions) {
  Table table({{"#", Table::Align::Right},
               {"REPLACED"},
               {"WHY"},
               {"UNITS", Table::Align::Right},
               {"BYTES", Table::Align::Right},
               {"FILE"}});
  for (std::size_t i = 0; i < versions.size(); ++i)
    table.AddRow({std::to_string(i + 1), ReadableStamp(versions[i].time), EncodeUtf8(versions[i].reason),
                  UnitsCell(dev::ReadDocumentContent(versions[i].path)), std::to_string(versions[i].size),
                  FileName(versions[i])});
  table.Print(std::cout);
}

}  // namespace

int RunHistory(Context& ctx) {
  const std::vector<dev::HistoryVersion> versions = dev::ListHistory();
  if (ctx.args.json)
    WriteHistoryJson(ctx.dataDir, versions);
  else if (versions.empty())
    std::cout << EmptyHistoryNote(ctx.dataDir) << '\n';
  else
    PrintHistory(versions);
  return Success;
}

int RunRestore(Context& ctx) {
  const std::vector<dev::HistoryVersion> before = dev::ListHistory();
  const ChosenDocument chosen = ChooseDocument(ctx.operands[0], before, ctx.dataDir);
  const ChosenDocument document = CurrentDocument(ctx.dataDir);
  dev::SaveReport report;
  const bool restored = dev::RestoreXMLFile(chosen.widePath, &report);
  const std::vector<dev::HistoryVersion> after = dev::ListHistory();
  const std::size_t kept = restored ? NewVersion(before, after) : 0;
  std::string reason = EncodeUtf8(report.reason);
  reason.erase(reason.find_last_not_of(" \n") + 1);  // one line on standard error
  if (ctx.args.json) {
    JsonWriter json(std::cout);
    json.BeginObject().Member("restored", restored).Member("from", chosen.path.string()).Key("version");
    chosen.number != 0 ? json.Number(static_cast<std::int64_t>(chosen.number)) : json.Null();
    json.Member("document", document.path.string()).Key("kept");
    kept != 0 ? json.String(after[kept - 1].path) : json.Null();
    json.Key("reason");
    restored ? json.Null() : json.String(reason);
    json.EndObject();
  } else if (restored) {
    const std::size_t units = dev::ReadDocumentContent(document.widePath).units.size();
    std::cout << "restored " << chosen.label << " as " << document.path.string() << ": " << units
              << (units == 1 ? " unit\n" : " units\n");
    if (kept != 0)
      std::cout << "the document it replaced is kept as " << VersionLabel(after[kept - 1], kept) << '\n';
    else
      std::cout << "the document it replaced was not kept (there was none, or the history is off)\n";
  }
  if (!restored) Complain("not restored: " + reason);
  return restored ? Success : False;
}

}  // namespace kvodev
