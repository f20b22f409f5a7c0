// The command line, parsed with CLI11 from the command table.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "shared/Args.h"
#include "shared/Command.h"

namespace kvodev {

struct Invocation {
  const Command* command = nullptr;  // null when only help or the version was asked for
  std::vector<std::string> operands;
  std::string help;      // the help text asked for (--help, -h, help [COMMAND])
  bool version = false;  // --version
};

// Fills `args` from the command line and says which of `commands` to run
// (a command's words come after its parent's; `footer` ends the overall
// help). Throws InputError for anything the table does not allow, with a
// "did you mean" for a misspelt command or option.
Invocation ParseCommandLine(int argc, const char* const* argv, const std::vector<Command>& commands,
                            std::string_view footer, Args& args);

}  // namespace kvodev
