// check: opens the configuration as a host does, or with --dry-run as a reader
// that writes nothing, and tells what the opening did (or would do) as the
// library reports it, what is wrong in the document, and what --repair-links
// changed.
#include "commands/Findings.h"
#include "commands/Registry.h"
#include "shared/Configuration.h"
#include "shared/Errors.h"
#include "shared/Time.h"
#include "shared/Utf8.h"
#include "shared/Versions.h"

namespace kvodev {
namespace {

constexpr Option kDryRun{"--dry-run", Option::Flag, "", "tell what an opening would do and what is wrong, writing nothing"};
constexpr Option kRepairLinks{"--repair-links", Option::Flag, "",
                               "then make every link agree on both sides, and save (with --dry-run: list the changes)"};

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

Json ParseErrorJson(const dev::OpenReport& report) {
  if (report.outcome != OpenOutcome::Recovered) return nullptr;
  return {{"code", report.parseError},
          {"kind", EncodeUtf8(report.parseErrorKind)},
          {"line", report.line},
          {"column", report.column}};
}

// What a dry run says would happen goes into the "would" twin of a member,
// and the member itself says nothing happened: null, or false.
constexpr std::pair<const char*, const char*> kWould[] = {
    {"outcome", "wouldOutcome"}, {"schemaWritten", "schemaWouldBeWritten"}, {"backup", "wouldBackUpAs"}};

void Put(Json& data, const char* member, Json value, bool dryRun) {
  for (const auto& [did, would] : kWould) {
    if (std::string_view(member) != did) continue;
    const Json nothing = value.is_boolean() ? Json(false) : Json(nullptr);
    data[did] = dryRun ? nothing : value;
    data[would] = dryRun ? value : nothing;
  }
}

// What the opening did, or in a dry run would do.
const Json& Said(const Json& data, const char* member) {
  for (const auto& [did, would] : kWould)
    if (std::string_view(member) == did) return data[data["dryRun"].get<bool>() ? would : did];
  return data[member];
}

// What the opening did, or would do: the members up to "parseError".
Json Opening(Configuration& config, const std::string& dataDir, bool dryRun) {
  const dev::OpenReport& report = config.report();
  const bool recovered = report.outcome == OpenOutcome::Recovered, gaveUp = report.outcome == OpenOutcome::GaveUp;
  Json data{{"dataDir", dataDir}, {"document", config.files().document.string()}, {"schema", config.files().schema.string()}};
  Put(data, "outcome", Name(report.outcome), dryRun);
  Put(data, "schemaWritten", report.schemaWritten, dryRun);
  Put(data, "backup", recovered ? Json(config.files().backup.string()) : Json(nullptr), dryRun);
  data["message"] = recovered ? Json(ParseMessage(report)) : Json(nullptr);
  data["reason"] = gaveUp ? Json(EncodeUtf8(report.reason)) : Json(nullptr);
  // A dry run that would recover holds no document: the opening would start
  // an empty one.
  std::vector<dev::UnitKey> units;
  const bool complete = (dryRun && recovered) || config->GetUnitList(units, false);
  data["units"] = units.size();
  data["unitListComplete"] = !gaveUp && complete;
  data["dryRun"] = dryRun;
  data["parseError"] = ParseErrorJson(report);
  data["historyUnusable"] = report.historyUnusable.empty() ? Json(nullptr) : Json(EncodeUtf8(report.historyUnusable));
  return data;
}

struct Repair {
  bool asked = false;  // asked for, and a document was loaded
  std::vector<dev::LinkRepair> changes;
  bool saved = false;
  std::size_t kept = 0;                      // the number of the history version the repair's save made
  std::vector<dev::HistoryVersion> history;  // after the repair's save
};

// Makes the links agree and saves, or with `dryRun` only lists what that would
// change; the save keeps the version before it.
Repair RepairLinks(Configuration& config, bool dryRun) {
  Repair repair{};
  repair.asked = dev::RepairLinks(config.io(), !dryRun, repair.changes);
  repair.saved = !dryRun && !repair.changes.empty() && config.Commit(true);
  if (repair.saved) {
    repair.history = dev::ListHistory();
    repair.kept = NumberOf(dev::GetLastSaveReport(config.io()).kept, repair.history);
  }
  return repair;
}

const char* Name(dev::LinkRepair::Action action) {
  switch (action) {
    case dev::LinkRepair::Action::AddUnitSide: return "add-unit-side";
    case dev::LinkRepair::Action::AddPortSide: return "add-port-side";
    case dev::LinkRepair::Action::RemoveLinkToPort: return "remove-link-to-port";
    case dev::LinkRepair::Action::RemoveLinkToUnit: return "remove-link-to-unit";
    case dev::LinkRepair::Action::RemoveSetMember: return "remove-set-member";
  }
  return "?";
}

// Only what was saved counts as repaired.
void AddRepair(const Repair& repair, Json& data) {
  const dev::HistoryVersion* kept = repair.kept != 0 ? &repair.history[repair.kept - 1] : nullptr;
  Json changes = Json::array();
  for (const dev::LinkRepair& change : repair.changes) {
    Json item{{"action", Name(change.action)}, {"unit", EncodeUtf8(change.unit)}, {"line", change.line},
              {"text", EncodeUtf8(change.text)}};
    item["port"] = change.port.empty() ? Json(nullptr) : Json(EncodeUtf8(change.port));
    item["set"] = change.action == dev::LinkRepair::Action::RemoveSetMember ? Json(EncodeUtf8(change.set)) : Json(nullptr);
    changes.push_back(std::move(item));
  }
  data["linksFound"] = repair.asked ? Json(repair.changes.size()) : Json(nullptr);
  data["linksRepaired"] = repair.asked ? Json(repair.saved ? repair.changes.size() : 0) : Json(nullptr);
  data["repairs"] = repair.asked ? changes : Json(nullptr);
  data["historyKept"] = kept != nullptr ? Json(EncodeUtf8(kept->path)) : Json(nullptr);
  data["historyKeptLabel"] = kept != nullptr ? Json(VersionLabel(*kept, repair.kept)) : Json(nullptr);
}

Json BackupJson(const std::optional<BackupFile>& backup) {
  if (!backup) return nullptr;
  return {{"path", backup->path.string()}, {"written", backup->age.iso}, {"ageSeconds", backup->age.seconds}};
}

// The document as the opening left it; after a recovery also the backup,
// where the user's data now is.
// A dry run's findings come from the bytes its opening read.
std::vector<FileFindings> Findings(Configuration& config, bool dryRun) {
  const ConfigFiles& files = config.files();
  if (dryRun) return {{"document", files.document, dev::OpenedDocumentContent(config.io()).findings}};
  std::vector<FileFindings> found{FindingsIn("document", files.document)};
  if (config.report().outcome == OpenOutcome::Recovered) found.push_back(FindingsIn("backup", files.backup));
  return found;
}

// Repairs the links when asked and writes what the opening could not, then
// adds the members after the opening's. Returns why the repair or the default
// document is not on disk; empty when it is, or when nothing was to be written.
std::string RepairAndFind(Configuration& config, bool repairLinks, bool dryRun, Json& data) {
  const OpenOutcome outcome = config.report().outcome;
  const bool usable = outcome != OpenOutcome::GaveUp;
  const Repair repair = repairLinks && usable ? RepairLinks(config, dryRun) : Repair{};
  // A default document whose write failed is tried again by a save; one that
  // fails again is not on disk, whatever the outcome says.
  const bool written = dryRun || !usable || (config.saveFailure().empty() && config.Commit(true));
  data["backupFile"] = BackupJson(FindBackup(config.files().backup));
  AddRepair(repair, data);
  data["findings"] = FindingsJson(Findings(config, dryRun));
  if (written) return {};
  return std::string(repair.saved || (!dryRun && !repair.changes.empty()) ? "the repaired links were not saved: " : "the default document was not written: ")
      .append(config.saveFailure());
}

void PrintRecovered(const Json& data, std::ostream& out) {
  std::string indented = Text(data["message"]);
  for (std::size_t at = indented.find('\n'); at != std::string::npos; at = indented.find('\n', at + 1))
    indented.insert(at + 1, "  ");
  const std::string document = Text(data["document"]), backup = Text(Said(data, "backup"));
  if (data["dryRun"].get<bool>())
    out << "would recover: " << document << " cannot be loaded\nwould keep it as: " << backup << '\n'
        << "message: " << indented << "\na default document would replace it\n";
  else
    out << "recovered: " << document << " could not be loaded\nbackup: " << backup << '\n'
        << "message: " << indented << "\na default document replaces it\n";
}

void PrintOutcome(const Json& data, std::ostream& out) {
  const bool dryRun = data["dryRun"].get<bool>();
  const Json& outcome = Said(data, "outcome");
  const std::size_t units = data["units"].get<std::size_t>();
  if (outcome == "loaded")
    out << (dryRun ? "would load " : "loaded ") << Text(data["document"]) << ": " << units
        << (units == 1 ? " unit\n" : " units\n");
  else if (outcome == "created")
    out << (dryRun ? "would create " : "created ") << Text(data["document"])
        << ": a default document (the data directory " << (dryRun ? "holds" : "held") << " none)\n";
  else if (outcome == "recovered")
    PrintRecovered(data, out);
  else
    out << (dryRun ? "would give up: " : "gave up: ") << Text(data["reason"]) << '\n';
  if (Said(data, "schemaWritten").get<bool>())
    out << (dryRun ? "schema would be written: " : "schema written: ") << Text(data["schema"]) << '\n';
  if (!data["historyUnusable"].is_null())
    out << "the history is not used, saves keep no versions: " << Text(data["historyUnusable"]) << '\n';
}

void PrintRepairAndBackup(const Json& data, std::ostream& out) {
  const bool dryRun = data["dryRun"].get<bool>();
  const std::size_t found = data["linksFound"].is_null() ? 0 : data["linksFound"].get<std::size_t>();
  const std::size_t repaired = data["linksRepaired"].is_null() ? 0 : data["linksRepaired"].get<std::size_t>();
  if (data["linksFound"] == 0) out << "no links to repair\n";
  if (dryRun && found > 0) out << "would repair " << found << (found == 1 ? " link:\n" : " links:\n");
  if (repaired > 0)
    out << "repaired " << repaired << (repaired == 1 ? " link; " : " links; ")
        << (data["historyKeptLabel"].is_null()
                ? std::string("the history is off: the document before the repair was not kept")
                : "the document before the repair is kept as " + Text(data["historyKeptLabel"]))
        << ":\n";
  if (dryRun || repaired > 0)
    for (const Json& change : data["repairs"])
      out << "  line " << change["line"].get<int>() << ": " << Text(change["text"]) << '\n';
  // A backup the opening just made needs no age.
  const Json& backup = data["backupFile"];
  const bool recovered = Said(data, "outcome") == "recovered";
  if (!backup.is_null() && (data["dryRun"].get<bool>() || !recovered))
    out << "backup: " << Text(backup["path"]) << " (written " << ReadableIso(Text(backup["written"])) << ", "
        << Duration(backup["ageSeconds"].get<std::int64_t>()) << " ago)"
        << (recovered ? ": the recovery would replace it\n" : "\n");
}

void PrintCheck(const Json& data, const TextOut& out) {
  PrintOutcome(data, out.out);
  PrintRepairAndBackup(data, out.out);
  PrintFindings(data["findings"], out.out);
}

Report RunCheck(Context& ctx) {
  const bool dryRun = ctx.Has(kDryRun);
  Configuration config(ctx.dataDir, dryRun ? Configuration::Access::ReadOnly : Configuration::Access::Change,
                       /*announce=*/false);
  Report report(Opening(config, ctx.dataDir, dryRun));
  const std::string unwritten = RepairAndFind(config, ctx.Has(kRepairLinks), dryRun, report.data);
  report.text = PrintCheck;
  // Findings leave the status as it is.
  const OpenOutcome outcome = config.report().outcome;
  if (outcome != OpenOutcome::GaveUp && !report.data["unitListComplete"].get<bool>())
    report.error = "the unit list is damaged: the library could not read every unit";
  if (!unwritten.empty()) report.error.append(report.error.empty() ? "" : "; ").append(unwritten);
  switch (outcome) {
    case OpenOutcome::Recovered: report.status = Recovered; break;
    case OpenOutcome::GaveUp: report.status = GaveUp; break;
    default: report.status = report.error.empty() ? Success : False;
  }
  return report;
}

const Command kCheck{"check", {}, {&kDryRun, &kRepairLinks}, true, RunCheck,
    "open the configuration, tell what happened and what is wrong",
    "Opens the configuration as a host does and tells the outcome:\n"
    "  loaded     the document loaded                                 exit 0\n"
    "  created    there was no document: a default one was written    exit 0\n"
    "  recovered  the document could not be loaded: it is kept as     exit 3\n"
    "             kvoDevice.xml.bak and a default document replaces it;\n"
    "             the backup's path and the parse error are shown\n"
    "  gave up    the schema could not be written, the document       exit 4\n"
    "             could not be read, or the damaged document could not be\n"
    "             backed up: nothing is loaded and the document is left\n"
    "             as it was; the reason is shown\n"
    "Exit status 1 when the document loaded but its unit list is damaged, or\n"
    "the default document (or the repair) could not be written. The schema is\n"
    "written when it is missing or damaged (\"schema written\").\n\n"
    "Then it names what is wrong in the document, each finding with its line:\n"
    "links on one side only, links to units or ports that are not there, unit\n"
    "ids that are malformed, missing or repeated, driver files that differ only\n"
    "in letter case, and the schema's first error. After a recovery the backup\n"
    "is read as well: the user's data is there. An older backup is named with\n"
    "its age. Findings leave the exit status as it is.\n\n"
    "With --dry-run it tells what an opening would do and what is wrong, writing\n"
    "nothing, and ends with the status check would; its JSON says what would\n"
    "happen in wouldOutcome, schemaWouldBeWritten and wouldBackUpAs, while\n"
    "outcome, schemaWritten and backup say that nothing did (null, false).\n\n"
    "With --repair-links it then gives a link on one side only its other side\n"
    "(from either side), drops links and set memberships naming a unit or port\n"
    "that is not there, saves, and lists each change with its line; the version\n"
    "before the repair is kept in kvoDevice.history. Nothing whose both ends are\n"
    "there is removed, and the links of a unit with a malformed id wait for\n"
    "\"units rename\". With both options it lists the changes and writes nothing.\n\n"
    "example:\n  kvodev --data-dir /srv/kvoRQ check --dry-run --repair-links\n"};

}  // namespace

std::vector<Command> CheckCommands() { return {kCheck}; }

}  // namespace kvodev
