// drivers, drivers add, drivers clear, drivers remove.
#include <iostream>
#include <set>

#include "Commands.h"
#include "Configuration.h"
#include "Errors.h"
#include "Json.h"
#include "Utf8.h"

namespace kvodev {

using Access = Configuration::Access;

int RunDrivers(Context& ctx) {
  Configuration config(ctx.dataDir, Access::ReadOnly);
  if (!config.loaded()) return NotLoaded;
  std::set<std::wstring> files;
  const bool listed = config->GetDriverFiles(files);
  if (ctx.args.json) {
    JsonWriter json(std::cout);
    json.BeginObject().Key("files").BeginArray();
    for (const std::wstring& file : files) json.String(file);
    json.EndArray().EndObject();
  } else if (files.empty()) {
    std::cout << "no driver files\n";
  } else {
    for (const std::wstring& file : files) std::cout << EncodeUtf8(file) << '\n';
  }
  return config.Finish(listed, "the driver file list could not be read");
}

int RunDriversAdd(Context& ctx) {
  const std::wstring file = Wide(ctx.operands[0], "the driver file name");
  Configuration config(ctx.dataDir, Access::Change);
  const bool added = config.Commit(config->AddDriverFile(CString(file)));
  if (ctx.args.json)
    JsonWriter(std::cout).BeginObject().Member("file", file).Member("added", added).EndObject();
  else if (added)
    std::cout << "added driver file " << ctx.operands[0] << '\n';
  return config.Finish(added,
                       "driver file not added: \"" + ctx.operands[0] +
                           "\" is listed already (in some letter case), is empty, or holds characters XML cannot hold");
}

int RunDriversClear(Context& ctx) {
  Configuration config(ctx.dataDir, Access::Change);
  const bool cleared = config.Commit(config->ClearDriverFiles());
  if (ctx.args.json)
    JsonWriter(std::cout).BeginObject().Member("cleared", cleared).EndObject();
  else if (cleared)
    std::cout << "driver file list cleared\n";
  return config.Finish(cleared, "the driver file list could not be cleared");
}

int RunDriversRemove(Context& ctx) {
  const std::wstring file = Wide(ctx.operands[0], "the driver file name");
  Configuration config(ctx.dataDir, Access::Change);
  const bool removed = config.Commit(config.edit().RemoveDriverFile(file));
  if (ctx.args.json)
    JsonWriter(std::cout).BeginObject().Member("file", file).Member("removed", removed).EndObject();
  else if (removed)
    std::cout << "removed driver file " << ctx.operands[0] << '\n';
  return config.Finish(removed, "no driver file \"" + ctx.operands[0] + "\" is listed (in any letter case)");
}

}  // namespace kvodev
