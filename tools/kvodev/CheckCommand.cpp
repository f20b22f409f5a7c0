// check: opens the configuration and tells what the opening did. The library
// does not report that itself, so the answer comes from the files of the data
// directory before and after the opening.
#include <iostream>
#include <optional>

#include "Commands.h"
#include "Configuration.h"
#include "Errors.h"
#include "Json.h"

namespace kvodev {
namespace {

enum class Outcome { Loaded, Created, Recovered, GaveUp };

const char* Name(Outcome outcome) {
  switch (outcome) {
    case Outcome::Loaded: return "loaded";
    case Outcome::Created: return "created";
    case Outcome::Recovered: return "recovered";
    case Outcome::GaveUp: return "gave-up";
  }
  return "?";
}

// The reason that a replaced document names in its second comment:
// "Failed to load XML file:\n<the parse error>Default document created instead."
std::string ParseMessage(const std::string& document) {
  constexpr std::string_view kStart = "Failed to load XML file:", kEnd = "Default document created instead.";
  const std::size_t start = document.find(kStart);
  if (start == std::string::npos) return {};
  const std::size_t from = start + kStart.size();
  std::string message = document.substr(from, document.find(kEnd, from) - from);
  const std::size_t first = message.find_first_not_of(" \n\r\t");
  if (first == std::string::npos) return {};
  message.erase(message.find_last_not_of(" \n\r\t") + 1);
  return message.substr(first);
}

const char* InTheWay(const FileState& state) {
  return state.kind == FileState::Other ? " (something that is not a regular file has its name)" : "";
}

// Why the opening gave up, from what the files are now.
std::string GaveUpReason(const Configuration& config) {
  const ConfigFiles& files = config.files();
  const ConfigFiles::States& after = config.afterOpen();
  if (after.schema.kind != FileState::Regular)
    return "the schema " + files.schema.string() + " could not be written" + InTheWay(after.schema) +
           "; nothing was loaded and no file was changed";
  if (config.before().document.kind == FileState::Regular)
    return "the document " + files.document.string() + " could not be loaded, and it could not be backed up to " +
           files.backup.string() + InTheWay(after.backup) + "; it is left as it was";
  if (after.document.kind != FileState::Regular)
    return "the document " + files.document.string() + " could not be written" + InTheWay(after.document);
  return "the configuration could not be opened";
}

}  // namespace

int RunCheck(Context& ctx) {
  Configuration config(ctx.dataDir, Configuration::Access::ReadOnly, /*announce=*/false);
  const ConfigFiles& files = config.files();
  const ConfigFiles::States& after = config.afterOpen();

  std::vector<dev::UnitKey> units;
  const bool complete = config->GetUnitList(units, false);
  Outcome outcome = Outcome::Loaded;
  std::string reason, message;
  if (!config.Usable() || after.document.kind != FileState::Regular) {
    outcome = Outcome::GaveUp;
    reason = GaveUpReason(config);
  } else if (config.Recovered()) {
    outcome = Outcome::Recovered;
    message = ParseMessage(after.document.bytes);
  } else if (config.Created()) {
    outcome = Outcome::Created;
  }
  const bool schemaWritten = after.schema.kind == FileState::Regular && !(after.schema == config.before().schema);
  const bool usable = outcome != Outcome::GaveUp;

  if (ctx.args.json) {
    JsonWriter json(std::cout);
    json.BeginObject()
        .Member("outcome", Name(outcome))
        .Member("dataDir", ctx.dataDir)
        .Member("document", files.document.string())
        .Member("schema", files.schema.string())
        .Member("schemaWritten", schemaWritten)
        .Key("backup");
    outcome == Outcome::Recovered ? json.String(files.backup.string()) : json.Null();
    json.Key("message");
    outcome == Outcome::Recovered ? json.String(message) : json.Null();
    json.Key("reason");
    outcome == Outcome::GaveUp ? json.String(reason) : json.Null();
    json.Member("units", units.size()).Member("unitListComplete", usable && complete).EndObject();
  } else {
    switch (outcome) {
      case Outcome::Loaded:
        std::cout << "loaded " << files.document.string() << ": " << units.size()
                  << (units.size() == 1 ? " unit\n" : " units\n");
        break;
      case Outcome::Created:
        std::cout << "created " << files.document.string() << ": a default document (the data directory held none)\n";
        break;
      case Outcome::Recovered: {
        std::string indented = message;
        for (std::size_t at = indented.find('\n'); at != std::string::npos; at = indented.find('\n', at + 1))
          indented.insert(at + 1, "  ");
        std::cout << "recovered: " << files.document.string() << " could not be loaded\n"
                  << "backup: " << files.backup.string() << '\n'
                  << "message: " << indented << '\n'
                  << "a default document replaces it\n";
        break;
      }
      case Outcome::GaveUp: std::cout << "gave up: " << reason << '\n'; break;
    }
    if (schemaWritten) std::cout << "schema written: " << files.schema.string() << '\n';
  }

  if (usable && !complete) Complain("the unit list is damaged: the library could not read every unit");
  config.Close();
  switch (outcome) {
    case Outcome::Recovered: return Recovered;
    case Outcome::GaveUp: return GaveUp;
    default: return complete ? Success : False;
  }
}

}  // namespace kvodev
