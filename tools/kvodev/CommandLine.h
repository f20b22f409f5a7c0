// The command line, parsed with CLI11 from the command table.
#pragma once

#include <string>
#include <vector>

#include "Args.h"
#include "CommandTable.h"

namespace kvodev {

struct Invocation {
  const Command* command = nullptr;  // null when only help or the version was asked for
  std::vector<std::string> operands;
  std::string help;      // the help text asked for (--help, -h, help [COMMAND])
  bool version = false;  // --version
};

// Fills `args` from the command line and says what to run. Throws InputError
// for anything the command table does not allow, with a "did you mean" for a
// misspelt command or option.
Invocation ParseCommandLine(int argc, const char* const* argv, Args& args);

}  // namespace kvodev
