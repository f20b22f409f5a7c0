// check: opens the configuration as a host does and tells what the opening
// did, as the library reports it.
#include <iostream>

#include "Commands.h"
#include "Configuration.h"
#include "Errors.h"
#include "Json.h"
#include "Utf8.h"

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

}  // namespace

int RunCheck(Context& ctx) {
  Configuration config(ctx.dataDir, Configuration::Access::Change, /*announce=*/false);
  const ConfigFiles& files = config.files();
  const dev::OpenReport& report = config.report();
  const OpenOutcome outcome = report.outcome;
  const std::string reason = EncodeUtf8(report.reason), message = ParseMessage(report);

  std::vector<dev::UnitKey> units;
  const bool complete = config->GetUnitList(units, false);
  const bool usable = outcome != OpenOutcome::GaveUp;
  // A default document whose write failed is tried again by a save; one that
  // fails again is not on disk, whatever the outcome says.
  const bool written = !usable || config.Commit(true);

  if (ctx.args.json) {
    JsonWriter json(std::cout);
    json.BeginObject()
        .Member("outcome", Name(outcome))
        .Member("dataDir", ctx.dataDir)
        .Member("document", files.document.string())
        .Member("schema", files.schema.string())
        .Member("schemaWritten", report.schemaWritten)
        .Key("backup");
    outcome == OpenOutcome::Recovered ? json.String(files.backup.string()) : json.Null();
    json.Key("message");
    outcome == OpenOutcome::Recovered ? json.String(message) : json.Null();
    json.Key("reason");
    outcome == OpenOutcome::GaveUp ? json.String(reason) : json.Null();
    json.Member("units", units.size()).Member("unitListComplete", usable && complete).EndObject();
  } else {
    switch (outcome) {
      case OpenOutcome::Loaded:
        std::cout << "loaded " << files.document.string() << ": " << units.size()
                  << (units.size() == 1 ? " unit\n" : " units\n");
        break;
      case OpenOutcome::Created:
        std::cout << "created " << files.document.string() << ": a default document (the data directory held none)\n";
        break;
      case OpenOutcome::Recovered: {
        std::string indented = message;
        for (std::size_t at = indented.find('\n'); at != std::string::npos; at = indented.find('\n', at + 1))
          indented.insert(at + 1, "  ");
        std::cout << "recovered: " << files.document.string() << " could not be loaded\n"
                  << "backup: " << files.backup.string() << '\n'
                  << "message: " << indented << '\n'
                  << "a default document replaces it\n";
        break;
      }
      case OpenOutcome::GaveUp: std::cout << "gave up: " << reason << '\n'; break;
    }
    if (report.schemaWritten) std::cout << "schema written: " << files.schema.string() << '\n';
  }

  if (usable && !complete) Complain("the unit list is damaged: the library could not read every unit");
  if (!written) Complain("the default document was not written: " + config.saveFailure());
  switch (outcome) {
    case OpenOutcome::Recovered: return Recovered;
    case OpenOutcome::GaveUp: return GaveUp;
    default: return complete && written ? Success : False;
  }
}

}  // namespace kvodev
