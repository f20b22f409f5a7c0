// A command of the table: the words that select it, its operands and options,
// the function that runs it, and its help.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "shared/Context.h"
#include "shared/Option.h"
#include "shared/Report.h"

namespace kvodev {

struct Command {
  std::string_view name;  // the words that select it: "units add"
  // Operand names, in order: {"DEVICE", "INDEX"}. Names in brackets ("[B]")
  // are optional; they come last, and each needs the ones before it. A last
  // name ending in "..." may repeat ("[FILE]...").
  std::vector<std::string_view> operands;
  std::vector<const Option*> options;  // those it takes, in the order usage and help show them
  bool configuration;                  // opens the configuration of the data directory
  Report (*run)(Context&);             // null for help, which the parser answers
  std::string_view summary;            // one line for the list of commands
  std::string_view details;            // the rest of its help: what it does, an example
};

// "kvodev units add UNIT|DEVICE [INDEX]", then the usage of each option.
std::string UsageLine(const Command& command);

}  // namespace kvodev
