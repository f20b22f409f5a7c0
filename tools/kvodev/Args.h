// The command line: global options, the options of the subcommands, and the
// words that name the subcommand and its operands.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kvodev {

// Options that only some subcommands take; a command lists those it accepts.
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
};

struct Args {
  // Global options.
  std::optional<std::string> dataDir;
  std::vector<std::string> features;
  bool json = false;
  bool version = false;
  bool help = false;

  // Subcommand options, and which of them were given.
  std::uint32_t given = 0;
  bool skipExcluded = false;
  bool print = false;
  bool allTypes = false;
  bool dryRun = false;
  bool repairLinks = false;
  std::vector<std::string> iniFiles;
  std::vector<std::string> devices;
  bool include = false;
  bool exclude = false;
  bool unlink = false;
  bool lint = false;
  bool svg = false;
  // Texts of units and sets; an empty value is given, and clears the text.
  std::optional<std::string> name, model, driver, serial, comment;

  // Everything that is not an option, in order: the subcommand's words, then its operands.
  std::vector<std::string> words;
};

// Options may stand anywhere, in the form "--name value" or "--name=value";
// "--" makes every later argument a word. A word that starts with '-' and a
// letter or a second '-' is an option. Throws InputError for an unknown option
// or a missing value.
Args ParseArgs(int argc, const char* const* argv);

// The spelling of an option flag, for messages ("--print").
std::string OptionName(Option option);

}  // namespace kvodev
