// What every subcommand gets: the parsed command line, its operands, and the
// data directory it works in.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "shared/Args.h"
#include "shared/Option.h"

namespace kvodev {

struct Context {
  const Args& args;
  std::vector<std::string> operands;
  std::string dataDir;  // UTF-8; empty for commands that need none

  // Whether the option was given: a flag set, a text given (an empty one too),
  // a list given a value at least once.
  bool Has(const Option& option) const;
  // A text option's value; nullopt when it was not given.
  std::optional<std::string> Value(const Option& option) const;
  // A list option's values in the order given.
  const std::vector<std::string>& Values(const Option& option) const;
};

// The data directory for the library: --data-dir, else the host's default
// (KVO_DATA_DIR, XDG_DATA_HOME, HOME). Throws InputError when it is not an
// existing directory; otherwise hands it to the library and returns it.
std::string UseDataDir(const Args& args);

// Checks a --data-dir that a command does not use, so that a wrong one is
// still reported.
void CheckDataDirOption(const Args& args);

// Text from the command line for the library; throws InputError when it is
// not UTF-8. `what` names the value in the message.
std::wstring Wide(const std::string& utf8, const char* what);

// Wide, and also refused when it holds characters that XML cannot hold, so
// that a change of several texts is refused whole before anything is opened.
std::wstring XmlText(const std::string& utf8, const char* what);

}  // namespace kvodev
