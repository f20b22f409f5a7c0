// kvodev: a host program that shows and changes the device configuration
// through the library's public interface only, as an imaging application does.
#include <kvodevice/Host.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string_view>

#include "commands/Registry.h"
#include "shared/CommandLine.h"
#include "shared/Context.h"
#include "shared/Errors.h"
#include "shared/Report.h"

namespace {

using namespace kvodev;

Report Run(const Invocation& invocation, Args& args) {
  Report report;
  if (invocation.command == nullptr && !invocation.version) {
    report.data["help"] = invocation.help;
    report.text = [](const Json& data, const TextOut& out) { out.out << data["help"].get<std::string>(); };
    return report;
  }
  if (invocation.version) {
    report.data["version"] = KVODEV_VERSION;
    report.text = [](const Json& data, const TextOut& out) {
      out.out << "kvodev " << data["version"].get<std::string>() << '\n';
    };
    return report;
  }
  const Command& command = *invocation.command;
  // Everything the command line says is checked before anything is opened.
  std::vector<std::wstring> features;
  for (const std::string& feature : args.features) features.push_back(Wide(feature, "the feature name"));
  Context ctx{args, invocation.operands, {}};
  if (command.configuration)
    ctx.dataDir = UseDataDir(args);
  else
    CheckDataDirOption(args);
  for (const std::wstring& feature : features) pkg::setFeatureEnabled(feature.c_str(), true);
  return command.run(ctx);
}

void Render(const Report& report, bool json, const Args& args) {
  if (json) {
    Json data = report.data;
    if (!report.error.empty()) data["error"] = report.error;
    std::cout << data.dump(-1, ' ', true, Json::error_handler_t::replace) << '\n';
  } else {
    if (report.text != nullptr) report.text(report.data, TextOut{std::cout, {!args.noHeaders, args.tabs}});
    if (!report.error.empty()) Complain(report.error);
  }
}

// --json as the parser will see it, for an error the parser itself reports.
bool AsksForJson(int argc, const char* const* argv) {
  const auto end = std::find(argv + 1, argv + argc, std::string_view("--"));
  return std::find(argv + 1, end, std::string_view("--json")) != end;
}

}  // namespace

int main(int argc, char** argv) {
  Args args;
  Report report;
  try {
    report = Run(ParseCommandLine(argc, argv, Commands(), kOverviewFooter, args), args);
  } catch (const InputError& error) {
    report = Report::Failure(Usage, error.what());
  } catch (const std::exception& error) {
    report = Report::Failure(False, std::string("failed: ") + error.what());
  }
  Render(report, args.json || AsksForJson(argc, argv), args);
  std::cout.flush();
  if (!std::cout || std::fflush(stdout) != 0) {
    Complain(std::string("cannot write to standard output: ") + std::strerror(errno));
    return WriteFailed;
  }
  return report.status;
}
