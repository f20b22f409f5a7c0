// schema: writes or prints the schema of the configuration document.
#include <kvodevice/Host.h>
#include <kvodevice/IDeviceManagerIO.h>

#include <iostream>

#include "Commands.h"
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

}  // namespace

int RunSchema(Context& ctx) {
  if (!ctx.args.print) ctx.dataDir = UseDataDir(ctx.args);
  const std::optional<std::string> schema = GenerateSchema(ctx.args);
  if (!schema) {
    Complain("the library wrote no schema");
    return False;
  }
  if (ctx.args.print) {
    if (ctx.args.json)
      JsonWriter(std::cout).BeginObject().Member("schema", *schema).EndObject();
    else
      std::cout << *schema;
    return Success;
  }
  const fs::path target = fs::path(ctx.dataDir) / "kvoDevice.xsd";
  std::string error;
  if (!WriteAtomically(target, *schema, error)) {
    Complain(error);
    return False;
  }
  if (ctx.args.json)
    JsonWriter(std::cout).BeginObject().Member("written", target.string()).Member("bytes", schema->size()).EndObject();
  else
    std::cout << "wrote " << target.string() << " (" << schema->size() << " bytes)\n";
  return Success;
}

}  // namespace kvodev
