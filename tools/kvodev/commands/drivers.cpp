// drivers and its subcommands: the driver file list.
#include <set>

#include "commands/Registry.h"
#include "shared/Configuration.h"
#include "shared/Errors.h"
#include "shared/Utf8.h"

namespace kvodev {
namespace {

using Access = Configuration::Access;

// A name the library would refuse whatever the list holds is bad input.
std::wstring NewDriverFile(const std::string& utf8) {
  if (utf8.empty()) throw InputError("a driver file needs a name: \"\"");
  return XmlText(utf8, "the driver file name");
}

Report RunDrivers(Context& ctx) {
  Configuration config(ctx.dataDir, Access::ReadOnly);
  if (!config.loaded()) return config.Unloadable();
  std::set<std::wstring> files;
  const bool listed = config->GetDriverFiles(files);
  Report report(Json{{"files", Json::array()}});
  for (const std::wstring& file : files) report.data["files"].push_back(EncodeUtf8(file));
  report.text = [](const Json& data, const TextOut& out) {
    if (data["files"].empty()) return out.Notice("no driver files");
    for (const Json& file : data["files"]) out.out << file.get<std::string>() << '\n';
  };
  config.Finish(report, listed, "the driver file list could not be read");
  return report;
}

const Command kDrivers{"drivers", {}, {}, true, RunDrivers,
    "list the driver files",
    "Lists the driver file names, sorted. Empty entries are left out (and stay\n"
    "in the file).\n\n"
    "example:\n  kvodev drivers --json\n"};

Report RunDriversAdd(Context& ctx) {
  const std::wstring file = NewDriverFile(ctx.operands[0]);
  Configuration config(ctx.dataDir, Access::Change);
  Report report(Json{{"file", ctx.operands[0]}});
  report.data["added"] = config.Commit(config->AddDriverFile(CString(file)));
  report.text = [](const Json& data, const TextOut& out) {
    if (data["added"]) out.out << "added driver file " << data["file"].get<std::string>() << '\n';
  };
  config.Finish(report, report.data["added"],
                "driver file not added: \"" + ctx.operands[0] + "\" is listed already (in some letter case)");
  return report;
}

const Command kDriversAdd{"drivers add", {"FILE"}, {}, true, RunDriversAdd,
    "add a driver file",
    "Adds a driver file name. Exit status 1, with nothing changed, when the name is\n"
    "listed already in any letter case (A to Z); exit status 2, with nothing opened,\n"
    "when it is empty or holds characters XML cannot hold. Put \"--\" before a name\n"
    "that starts with '-'.\n\n"
    "example:\n  kvodev drivers add /opt/kvoRQ/drivers/stage303.so\n"};

Report RunDriversClear(Context& ctx) {
  Configuration config(ctx.dataDir, Access::Change);
  Report report;
  report.data["cleared"] = config.Commit(config->ClearDriverFiles());
  report.text = [](const Json& data, const TextOut& out) {
    if (data["cleared"]) out.out << "driver file list cleared\n";
  };
  config.Finish(report, report.data["cleared"], "the driver file list could not be cleared");
  return report;
}

const Command kDriversClear{"drivers clear", {}, {}, true, RunDriversClear,
    "remove every driver file",
    "Removes the whole driver file list.\n\n"
    "example:\n  kvodev drivers clear\n"};

Report RunDriversRemove(Context& ctx) {
  const std::wstring file = Wide(ctx.operands[0], "the driver file name");
  Configuration config(ctx.dataDir, Access::Change);
  Report report(Json{{"file", ctx.operands[0]}});
  report.data["removed"] = config.Commit(config.edit().RemoveDriverFile(file));
  report.text = [](const Json& data, const TextOut& out) {
    if (data["removed"]) out.out << "removed driver file " << data["file"].get<std::string>() << '\n';
  };
  config.Finish(report, report.data["removed"],
                "no driver file \"" + ctx.operands[0] + "\" is listed (in any letter case)");
  return report;
}

const Command kDriversRemove{"drivers remove", {"FILE"}, {}, true, RunDriversRemove,
    "remove one driver file",
    "Removes the driver file of that name, compared as drivers add does (letters A\n"
    "to Z in any case). Exit status 1 when none is listed. Put \"--\" before a name\n"
    "that starts with '-'.\n\n"
    "example:\n  kvodev drivers remove stage303.so\n"};

}  // namespace

std::vector<Command> DriversCommands() { return {kDrivers, kDriversAdd, kDriversRemove, kDriversClear}; }

}  // namespace kvodev
