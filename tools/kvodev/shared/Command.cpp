#include "shared/Command.h"

namespace kvodev {
namespace {

// "[--dry-run]", "[--name TEXT]", "[--ini FILE]...".
std::string OptionUsage(const Option& option) {
  std::string usage = "[";
  usage.append(option.name);
  if (option.kind != Option::Flag) usage.append(" ").append(option.valueName);
  usage.append("]");
  if (option.kind == Option::List) usage.append("...");
  return usage;
}

}  // namespace

std::string UsageLine(const Command& command) {
  std::string usage = "kvodev ";
  usage.append(command.name);
  for (const std::string_view operand : command.operands) usage.append(" ").append(operand);
  for (const Option* option : command.options) usage.append(" ").append(OptionUsage(*option));
  return usage;
}

}  // namespace kvodev
