// Every command: the words that select it, its operands, options and help.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Context.h"
#include "Report.h"

namespace kvodev {

// Options that only some commands take; a command lists those it accepts.
enum Option : std::uint32_t {
  OptSkipExcluded = 1u << 0,
  OptPrint = 1u << 1,
  OptIni = 1u << 2,
  OptDevice = 1u << 3,
  OptAllTypes = 1u << 4,
  OptDryRun = 1u << 5,
  OptRepairLinks = 1u << 6,
  OptName = 1u << 7,
  OptModel = 1u << 8,
  OptDriver = 1u << 9,
  OptSerial = 1u << 10,
  OptInclude = 1u << 11,
  OptExclude = 1u << 12,
  OptUnlink = 1u << 13,
  OptComment = 1u << 14,
  OptLint = 1u << 15,
  OptSvg = 1u << 16,
  OptYes = 1u << 17,
  OptForce = 1u << 18,
  OptLong = 1u << 19,
};

struct Command {
  std::string_view name;  // the words that select it: "units add"
  // Operand names, in order: {"DEVICE", "INDEX"}. Names in brackets ("[B]")
  // are optional; they come last, and each needs the ones before it. A last
  // name ending in "..." may repeat ("[FILE]...").
  std::vector<std::string_view> operands;
  std::string_view optionsUsage;  // "[--skip-excluded]"
  std::uint32_t options;          // the Option bits it accepts
  bool configuration;             // opens the configuration of the data directory
  Report (*run)(Context&);
  std::string_view summary;  // one line for the list of commands
  std::string_view details;  // the rest of its help: what it does, an example
};

// In the order the help lists them; a command's words come after its parent's.
const std::vector<Command>& Commands();

// "kvodev units add UNIT|DEVICE [INDEX] ..."
std::string UsageLine(const Command& command);

// What the help says after the commands: operands, exit statuses, an example.
extern const std::string_view kOverviewFooter;

}  // namespace kvodev
