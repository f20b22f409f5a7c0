// Every subcommand: its words, operands, options and help.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "Context.h"

namespace kvodev {

struct Command {
  std::string_view name;                   // the words that select it: "units add"
  // Operand names, in order: {"DEVICE", "INDEX"}. Names in brackets ("[B]")
  // are optional; they come last, and each needs the ones before it. A last
  // name ending in "..." may repeat ("[FILE]...").
  std::vector<std::string_view> operands;
  std::string_view optionsUsage;           // "[--skip-excluded]"
  std::uint32_t options;                   // the Option bits it accepts
  bool configuration;                      // opens the configuration of the data directory
  int (*run)(Context&);
  std::string_view summary;  // one line for the overview
  std::string_view details;  // the rest of its help: what it does, an example
};

const std::vector<Command>& Commands();

// The command that the leading words name (two words before one), with the
// number of words that named it; null when none does.
const Command* FindCommand(const std::vector<std::string>& words, std::size_t& used);

// How many operands the command needs at least.
std::size_t RequiredOperands(const Command& command);
// How many it takes at most.
std::size_t MaxOperands(const Command& command);

// "kvodev units add DEVICE INDEX"
std::string UsageLine(const Command& command);
void PrintOverview(std::ostream& out);
void PrintHelp(const Command& command, std::ostream& out);

}  // namespace kvodev
