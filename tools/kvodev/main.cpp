// kvodev: a host program that shows and changes the device configuration
// through the library's public interface only, as an imaging application does.
#include <kvodevice/Host.h>

#include <iostream>

#include "Args.h"
#include "CommandTable.h"
#include "Commands.h"
#include "Errors.h"
#include "Json.h"

namespace {

using namespace kvodev;

int Run(int argc, const char* const* argv) {
  const Args args = ParseArgs(argc, argv);
  if (args.version) {
    if (args.json)
      JsonWriter(std::cout).BeginObject().Member("version", KVODEV_VERSION).EndObject();
    else
      std::cout << "kvodev " << KVODEV_VERSION << '\n';
    return Success;
  }

  std::size_t used = 0;
  const Command* command = FindCommand(args.words, used);
  if (args.words.empty()) {
    if (!args.help) throw InputError("no command given (kvodev --help lists them)");
    PrintOverview(std::cout);
    return Success;
  }
  if (command == nullptr) throw InputError("unknown command: \"" + args.words[0] + "\" (kvodev --help lists them)");
  if (args.help) {
    PrintHelp(*command, std::cout);
    return Success;
  }

  // Everything the command line says is checked before anything is opened.
  const std::vector<std::string> operands(args.words.begin() + static_cast<std::ptrdiff_t>(used), args.words.end());
  if (operands.size() < RequiredOperands(*command) || operands.size() > MaxOperands(*command))
    throw InputError(
        std::string(operands.size() < command->operands.size() ? "missing operands" : "too many operands") +
        ": usage: " + UsageLine(*command));
  if (const std::uint32_t stray = args.given & ~command->options; stray != 0)
    throw InputError("option " + OptionName(static_cast<Option>(stray & -stray)) + " does not apply to " +
                     std::string(command->name));
  std::vector<std::wstring> features;
  for (const std::string& feature : args.features) features.push_back(Wide(feature, "the feature name"));

  Context ctx{args, operands, {}};
  if (command->configuration)
    ctx.dataDir = UseDataDir(args);
  else
    CheckDataDirOption(args);
  for (const std::wstring& feature : features) pkg::setFeatureEnabled(feature.c_str(), true);
  return command->run(ctx);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const InputError& error) {
    Complain(error.what());
    return Usage;
  } catch (const std::exception& error) {
    Complain(std::string("failed: ") + error.what());
    return False;
  }
}
