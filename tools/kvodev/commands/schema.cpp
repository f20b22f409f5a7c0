// schema: writes or prints the schema of the configuration document.
#include <kvodevice/Host.h>
#include <kvodevice/IDeviceManagerIO.h>

#include "commands/Registry.h"
#include "platform/files.h"
#include "platform/strings.h"
#include "shared/Configuration.h"
#include "shared/Errors.h"
#include "shared/Utf8.h"

namespace kvodev {
namespace {

constexpr Option kPrint{"--print", Option::Flag, "", "print it on standard output instead; nothing is written"};

Report PrintSchema() {
  Report report(Json{{"schema", dev::SchemaText()}});
  report.text = [](const Json& data, const TextOut& out) { out.out << data["schema"].get<std::string>(); };
  return report;
}

// Removes the schema file so that the next opening writes it, under the
// library's lock. Anything but a file or a link in its place stays, and the
// opening reports it. Returns why it could not, or nothing.
std::string RemoveSchema(const fs::path& schema) {
  std::error_code code;
  const fs::file_status status = fs::symlink_status(schema, code);
  if (fs::is_regular_file(status) || fs::is_symlink(status)) fs::remove(schema, code);
  if (code && code != std::errc::no_such_file_or_directory)
    return "cannot remove " + schema.string() + ": " + code.message();
  return {};
}

Report RunSchema(Context& ctx) {
  if (ctx.Has(kPrint)) return PrintSchema();
  ctx.dataDir = UseDataDir(ctx.args);
  const fs::path target = ConfigFiles(ctx.dataDir).schema;
  if (const std::string error = RemoveSchema(target); !error.empty()) return Report::Failure(False, error);
  const dev::OpenReport opened = Configuration(ctx.dataDir, Configuration::Access::Change).report();
  std::error_code code;
  const std::uintmax_t bytes = fs::file_size(target, code);
  if (!opened.schemaWritten || code)
    return Report::Failure(False, opened.reason.empty() ? "the library wrote no schema" : EncodeUtf8(opened.reason));
  Report report(Json{{"written", target.string()}, {"bytes", bytes}});
  report.text = [](const Json& data, const TextOut& out) {
    out.out << "wrote " << data["written"].get<std::string>() << " (" << data["bytes"].get<std::uintmax_t>()
            << " bytes)\n";
  };
  return report;
}

const Command kSchema{"schema", {}, {&kPrint}, false, RunSchema,
    "write the schema into the data directory, or print it",
    "Writes kvoDevice.xsd, the schema of the document, into the data directory,\n"
    "replacing the file there: removes it, then opens the configuration as a host\n"
    "does, which writes the schema (and a default document when there is none).\n\n"
    "example:\n  kvodev schema --print > kvoDevice.xsd\n"};

}  // namespace

std::vector<Command> SchemaCommands() { return {kSchema}; }

}  // namespace kvodev
