// schema: writes or prints the schema of the configuration document.
#include <kvodevice/Host.h>
#include <kvodevice/IDeviceManagerIO.h>

#include "Commands.h"
#include "Configuration.h"
#include "Errors.h"
#include "platform/ScratchDirectory.h"
#include "platform/files.h"
#include "platform/strings.h"
#include "Utf8.h"

namespace kvodev {
namespace {

// The library writes the schema only into a data directory that has none, so
// the schema comes from a first start in a scratch directory. The data
// directory the library was given is restored afterwards.
std::optional<std::string> GenerateSchema(const Args& args) {
  const platform::ScratchDirectory scratch("kvodev");
  std::wstring scratchPath;
  if (!DecodeUtf8(scratch.path().string(), scratchPath)) return std::nullopt;  // never "" (the default directory)
  ssnSetDataDir(scratchPath.c_str());
  dev::CreateXMLFile()->Release();
  const std::wstring dataDir = args.dataDir ? Wide(*args.dataDir, "the data directory") : std::wstring();
  ssnSetDataDir(dataDir.empty() ? nullptr : dataDir.c_str());
  platform::FileContent schema = platform::ReadWholeFile(platform::WidePath(ConfigFiles(scratch.path()).schema.native()));
  return schema.readable ? std::optional(std::move(schema.bytes)) : std::nullopt;
}

Report PrintSchema(const Args& args) {
  const std::optional<std::string> schema = GenerateSchema(args);
  if (!schema) return Report::Failure(False, "the library wrote no schema");
  Report report(Json{{"schema", *schema}});
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

}  // namespace

Report RunSchema(Context& ctx) {
  if (ctx.args.print) return PrintSchema(ctx.args);
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

}  // namespace kvodev
