// schema: writes or prints the schema of the configuration document.
#include <kvodevice/Host.h>
#include <kvodevice/IDeviceManagerIO.h>

#include <iostream>

#include "Commands.h"
#include "Configuration.h"
#include "Errors.h"
#include "Files.h"
#include "Json.h"
#include "Utf8.h"

namespace kvodev {
namespace {

// The library writes the schema only into a data directory that has none, so
// the schema comes from a first start in a scratch directory. The data
// directory the library was given is restored afterwards.
std::optional<std::string> GenerateSchema(const Args& args) {
  TempDirectory scratch;
  std::wstring scratchPath;
  if (!DecodeUtf8(scratch.path().string(), scratchPath)) return std::nullopt;  // never "" (the default directory)
  ssnSetDataDir(scratchPath.c_str());
  dev::CreateXMLFile()->Release();
  const std::wstring dataDir = args.dataDir ? Wide(*args.dataDir, "the data directory") : std::wstring();
  ssnSetDataDir(dataDir.empty() ? nullptr : dataDir.c_str());
  return ReadFile(scratch.path() / "kvoDevice.xsd");
}

int PrintSchema(const Args& args) {
  const std::optional<std::string> schema = GenerateSchema(args);
  if (!schema) {
    Complain("the library wrote no schema");
    return False;
  }
  if (args.json)
    JsonWriter(std::cout).BeginObject().Member("schema", *schema).EndObject();
  else
    std::cout << *schema;
  return Success;
}

// Removes the schema file so that the next opening writes it, under the
// library's lock. Anything but a file or a link in its place stays, and the
// opening reports it.
bool RemoveSchema(const fs::path& schema) {
  std::error_code code;
  const fs::file_status status = fs::symlink_status(schema, code);
  if (fs::is_regular_file(status) || fs::is_symlink(status)) fs::remove(schema, code);
  if (code && code != std::errc::no_such_file_or_directory) {
    Complain("cannot remove " + schema.string() + ": " + code.message());
    return false;
  }
  return true;
}

}  // namespace

int RunSchema(Context& ctx) {
  if (ctx.args.print) return PrintSchema(ctx.args);
  ctx.dataDir = UseDataDir(ctx.args);
  const fs::path target = fs::path(ctx.dataDir) / "kvoDevice.xsd";
  if (!RemoveSchema(target)) return False;
  const dev::OpenReport report = Configuration(ctx.dataDir, Configuration::Access::Change).report();
  std::error_code code;
  const std::uintmax_t bytes = fs::file_size(target, code);
  if (!report.schemaWritten || code) {
    Complain(report.reason.empty() ? "the library wrote no schema" : EncodeUtf8(report.reason));
    return False;
  }
  if (ctx.args.json)
    JsonWriter(std::cout).BeginObject().Member("written", target.string()).Member("bytes", bytes).EndObject();
  else
    std::cout << "wrote " << target.string() << " (" << bytes << " bytes)\n";
  return Success;
}

}  // namespace kvodev
