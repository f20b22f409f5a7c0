// What the command line says, as the parser fills it in (CommandLine.cpp).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kvodev {

struct Args {
  // Global options: they may stand anywhere on the line.
  std::optional<std::string> dataDir;
  std::vector<std::string> features;
  bool json = false;
  bool noHeaders = false;
  bool tabs = false;

  // Options of some commands; a command takes only those it names.
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
  bool yes = false;
  bool force = false;
  bool longList = false;
  // Texts of units and sets; an empty value is given, and clears the text.
  std::optional<std::string> name, model, driver, serial, comment;
};

}  // namespace kvodev
