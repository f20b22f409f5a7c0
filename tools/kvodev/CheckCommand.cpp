// check: opens the configuration as a host does, or with --dry-run as a reader
// that writes nothing, and tells what the opening did (or would do) as the
// library reports it, what is wrong in the document, and what --repair-links
// changed.
#include <iostream>

#include "Commands.h"
#include "Configuration.h"
#include "Errors.h"
#include "Findings.h"
#include "Utf8.h"
#include "Versions.h"

namespace kvodev {
namespace {

using dev::OpenOutcome;

const char* Name(OpenOutcome outcome) {
  switch (outcome) {
    case OpenOutcome::Loaded: return "loaded";
    case OpenOutcome::Created: return "created";
    case OpenOutcome::Recovered: return "recovered";
    case OpenOutcome::GaveUp: return "gave-up";
  }
  return "?";
}

struct Repair {
  int links = -1;  // -1: not asked for, or nothing loaded
  bool saved = false;
  std::size_t kept = 0;                      // the number of the history version the repair's save made
  std::vector<dev::HistoryVersion> history;  // after the repair's save
};

struct CheckResult {
  const ConfigFiles& files;
  const dev::OpenReport& report;
  bool dryRun = false, schemaWritten = false, complete = false;
  std::size_t units = 0;
  Repair repair{};
  std::optional<BackupFile> backup{};
  std::vector<FileFindings> findings{};
};

void PrintRecovered(const CheckResult& r, std::ostream& out) {
  std::string indented = ParseMessage(r.report);
  for (std::size_t at = indented.find('\n'); at != std::string::npos; at = indented.find('\n', at + 1))
    indented.insert(at + 1, "  ");
  const std::string document = r.files.document.string(), backup = r.files.backup.string();
  if (r.dryRun)
    out << "would recover: " << document << " cannot be loaded\nwould keep it as: " << backup << '\n'
        << "message: " << indented << "\na default document would replace it\n";
  else
    out << "recovered: " << document << " could not be loaded\nbackup: " << backup << '\n'
        << "message: " << indented << "\na default document replaces it\n";
}

void PrintOutcome(const CheckResult& r, std::ostream& out) {
  const std::string document = r.files.document.string();
  const char* units = r.units == 1 ? " unit\n" : " units\n";
  switch (r.report.outcome) {
    case OpenOutcome::Loaded:
      out << (r.dryRun ? "would load " : "loaded ") << document << ": " << r.units << units;
      break;
    case OpenOutcome::Created:
      out << (r.dryRun ? "would create " : "created ") << document << ": a default document (the data directory "
          << (r.dryRun ? "holds" : "held") << " none)\n";
      break;
    case OpenOutcome::Recovered: PrintRecovered(r, out); break;
    case OpenOutcome::GaveUp:
      out << (r.dryRun ? "would give up: " : "gave up: ") << EncodeUtf8(r.report.reason) << '\n';
      break;
  }
  if (r.schemaWritten)
    out << (r.dryRun ? "schema would be written: " : "schema written: ") << r.files.schema.string() << '\n';
}

void PrintCheck(const CheckResult& r, std::ostream& out) {
  PrintOutcome(r, out);
  if (r.repair.links == 0) out << "no links to repair\n";
  if (r.repair.links > 0 && r.repair.saved)
    out << "repaired " << r.repair.links << (r.repair.links == 1 ? " link; " : " links; ")
        << (r.repair.kept != 0 ? "the document before the repair is kept as " +
                                     VersionLabel(r.repair.history[r.repair.kept - 1], r.repair.kept)
                               : std::string("the history is off: the document before the repair was not kept"))
        << '\n';
  // A backup the opening just made needs no age.
  if (r.backup && (r.dryRun || r.report.outcome != OpenOutcome::Recovered))
    out << "backup: " << r.backup->path.string() << " (written " << r.backup->age.readable << ", "
        << Duration(r.backup->age.seconds) << " ago)"
        << (r.report.outcome == OpenOutcome::Recovered ? ": the recovery would replace it\n" : "\n");
  PrintFindings(r.findings, out);
}

void WriteParseError(const dev::OpenReport& report, JsonWriter& json) {
  json.Key("parseError");
  if (report.outcome != OpenOutcome::Recovered) {
    json.Null();
    return;
  }
  json.BeginObject()
      .Member("code", report.parseError)
      .Member("kind", report.parseErrorKind)
      .Member("line", report.line)
      .Member("column", report.column)
      .EndObject();
}

void WriteExtras(const CheckResult& r, JsonWriter& json) {
  json.Member("dryRun", r.dryRun);
  WriteParseError(r.report, json);
  json.Key("backupFile");
  if (r.backup)
    json.BeginObject()
        .Member("path", r.backup->path.string())
        .Member("written", r.backup->age.iso)
        .Member("ageSeconds", static_cast<long>(r.backup->age.seconds))
        .EndObject();
  else
    json.Null();
  json.Key("linksRepaired");
  // Only what was saved counts as repaired.
  r.repair.links >= 0 ? json.Number(r.repair.saved ? r.repair.links : 0) : json.Null();
  json.Key("historyKept");
  r.repair.kept != 0 ? json.String(r.repair.history[r.repair.kept - 1].path) : json.Null();
  WriteFindings(r.findings, json);
}

void WriteCheck(const CheckResult& r, const std::string& dataDir, std::ostream& out) {
  const OpenOutcome outcome = r.report.outcome;
  JsonWriter json(out);
  json.BeginObject()
      .Member("outcome", Name(outcome))
      .Member("dataDir", dataDir)
      .Member("document", r.files.document.string())
      .Member("schema", r.files.schema.string())
      .Member("schemaWritten", r.schemaWritten)
      .Key("backup");
  outcome == OpenOutcome::Recovered ? json.String(r.files.backup.string()) : json.Null();
  json.Key("message");
  outcome == OpenOutcome::Recovered ? json.String(ParseMessage(r.report)) : json.Null();
  json.Key("reason");
  outcome == OpenOutcome::GaveUp ? json.String(r.report.reason) : json.Null();
  json.Member("units", r.units).Member("unitListComplete", outcome != OpenOutcome::GaveUp && r.complete);
  WriteExtras(r, json);
  json.EndObject();
}

// Makes the links agree and saves; the save keeps the version before it.
Repair RepairLinks(Configuration& config) {
  Repair repair{};
  const std::vector<dev::HistoryVersion> before = dev::ListHistory();
  repair.links = dev::RepairLinks(config.io());
  repair.saved = repair.links > 0 && config.Commit(true);
  if (repair.saved) {
    repair.history = dev::ListHistory();
    repair.kept = NewVersion(before, repair.history);
  }
  return repair;
}

// The document as the opening left it; after a recovery also the backup,
// where the user's data now is.
std::vector<FileFindings> Findings(const CheckResult& r) {
  std::vector<FileFindings> files{FindingsIn("document", r.files.document)};
  if (!r.dryRun && r.report.outcome == OpenOutcome::Recovered) files.push_back(FindingsIn("backup", r.files.backup));
  return files;
}

// The schema is written when it is missing, and again when the document fails to load.
bool SchemaWritten(const Configuration& config, bool dryRun) {
  if (!dryRun) return config.report().schemaWritten;
  std::error_code code;
  return !fs::exists(config.files().schema, code) || config.report().outcome == OpenOutcome::Recovered;
}

}  // namespace

int RunCheck(Context& ctx) {
  if (ctx.args.dryRun && ctx.args.repairLinks)
    throw InputError("--repair-links writes the repair: it does not go with --dry-run");
  const bool dryRun = ctx.args.dryRun;
  Configuration config(ctx.dataDir, dryRun ? Configuration::Access::ReadOnly : Configuration::Access::Change,
                       /*announce=*/false);
  CheckResult result{config.files(), config.report()};
  result.dryRun = dryRun;
  result.schemaWritten = SchemaWritten(config, dryRun);
  const bool usable = config.report().outcome != OpenOutcome::GaveUp;
  // A dry run that would recover holds no document: the opening would start
  // an empty one.
  std::vector<dev::UnitKey> units;
  result.complete = (dryRun && config.report().outcome == OpenOutcome::Recovered) || config->GetUnitList(units, false);
  result.units = units.size();
  if (ctx.args.repairLinks && usable) result.repair = RepairLinks(config);
  // A default document whose write failed is tried again by a save; one that
  // fails again is not on disk, whatever the outcome says.
  const bool written = dryRun || !usable || (config.saveFailure().empty() && config.Commit(true));
  result.backup = FindBackup(config.files().backup);
  result.findings = Findings(result);

  if (ctx.args.json)
    WriteCheck(result, ctx.dataDir, std::cout);
  else
    PrintCheck(result, std::cout);

  if (usable && !result.complete) Complain("the unit list is damaged: the library could not read every unit");
  if (!written)
    Complain(
        (result.repair.links > 0 ? "the repaired links were not saved: " : "the default document was not written: ") +
        config.saveFailure());
  switch (config.report().outcome) {
    case OpenOutcome::Recovered: return Recovered;
    case OpenOutcome::GaveUp: return GaveUp;
    default: return result.complete && written ? Success : False;
  }
}

}  // namespace kvodev
