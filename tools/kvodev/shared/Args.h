// What the command line says, as the parser fills it in (CommandLine.cpp).
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "shared/Option.h"

namespace kvodev {

// What the command line gave one option; the member of its kind is the one filled in.
struct GivenOption {
  bool flag = false;
  std::optional<std::string> text;
  std::vector<std::string> list;
};

struct Args {
  // Global options: they may stand anywhere on the line.
  std::optional<std::string> dataDir;
  std::vector<std::string> features;
  bool json = false;
  bool noHeaders = false;
  bool tabs = false;

  // The options of the commands, by their declaration; a command takes only those it lists.
  std::map<const Option*, GivenOption> options;
};

}  // namespace kvodev
