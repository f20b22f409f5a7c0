#include "Args.h"

#include <string_view>

#include "Errors.h"

namespace kvodev {
namespace {

bool LooksLikeOption(std::string_view text) {
  if (text.size() < 2 || text[0] != '-') return false;
  const char c = text[1];
  return c == '-' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

std::string OptionName(Option option) {
  switch (option) {
    case OptSkipExcluded: return "--skip-excluded";
    case OptPrint: return "--print";
    case OptIni: return "--ini";
    case OptDevice: return "--device";
    case OptAllTypes: return "--all-types";
    case OptDryRun: return "--dry-run";
    case OptRepairLinks: return "--repair-links";
  }
  return "?";
}

Args ParseArgs(int argc, const char* const* argv) {
  Args args;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (optionsEnded || !LooksLikeOption(arg)) {
      args.words.emplace_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    std::string_view name = arg;
    std::optional<std::string> inlineValue;
    if (const std::size_t equals = arg.find('='); arg.starts_with("--") && equals != std::string_view::npos) {
      name = arg.substr(0, equals);
      inlineValue = std::string(arg.substr(equals + 1));
    }
    const auto value = [&]() -> std::string {
      if (inlineValue) return *inlineValue;
      if (i + 1 >= argc) throw InputError("option " + std::string(name) + " needs a value");
      return argv[++i];
    };
    const auto flag = [&](bool& target, std::uint32_t bit = 0) {
      if (inlineValue) throw InputError("option " + std::string(name) + " takes no value");
      target = true;
      args.given |= bit;
    };

    if (name == "--data-dir") {
      args.dataDir = value();
    } else if (name == "--feature") {
      args.features.push_back(value());
    } else if (name == "--json") {
      flag(args.json);
    } else if (name == "--version") {
      flag(args.version);
    } else if (name == "--help" || name == "-h") {
      flag(args.help);
    } else if (name == "--skip-excluded") {
      flag(args.skipExcluded, OptSkipExcluded);
    } else if (name == "--print") {
      flag(args.print, OptPrint);
    } else if (name == "--all-types") {
      flag(args.allTypes, OptAllTypes);
    } else if (name == "--dry-run") {
      flag(args.dryRun, OptDryRun);
    } else if (name == "--repair-links") {
      flag(args.repairLinks, OptRepairLinks);
    } else if (name == "--ini") {
      args.iniFiles.push_back(value());
      args.given |= OptIni;
    } else if (name == "--device") {
      args.devices.push_back(value());
      args.given |= OptDevice;
    } else {
      throw InputError("unknown option: " + std::string(arg));
    }
  }
  return args;
}

}  // namespace kvodev
