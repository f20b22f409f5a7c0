#include "Args.h"

#include <string_view>
#include <utility>

#include "Errors.h"

namespace kvodev {
namespace {

bool LooksLikeOption(std::string_view text) {
  if (text.size() < 2 || text[0] != '-') return false;
  const char c = text[1];
  return c == '-' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The option that holds a unit's or a set's text, with its bit.
std::optional<std::pair<std::optional<std::string>*, std::uint32_t>> TextOption(Args& args, std::string_view name) {
  if (name == "--name") return std::pair{&args.name, std::uint32_t{OptName}};
  if (name == "--model") return std::pair{&args.model, std::uint32_t{OptModel}};
  if (name == "--driver") return std::pair{&args.driver, std::uint32_t{OptDriver}};
  if (name == "--serial") return std::pair{&args.serial, std::uint32_t{OptSerial}};
  if (name == "--comment") return std::pair{&args.comment, std::uint32_t{OptComment}};
  return std::nullopt;
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
    case OptName: return "--name";
    case OptModel: return "--model";
    case OptDriver: return "--driver";
    case OptSerial: return "--serial";
    case OptInclude: return "--include";
    case OptExclude: return "--exclude";
    case OptUnlink: return "--unlink";
    case OptComment: return "--comment";
    case OptLint: return "--lint";
    case OptSvg: return "--svg";
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
    } else if (name == "--include") {
      flag(args.include, OptInclude);
    } else if (name == "--exclude") {
      flag(args.exclude, OptExclude);
    } else if (name == "--unlink") {
      flag(args.unlink, OptUnlink);
    } else if (name == "--lint") {
      flag(args.lint, OptLint);
    } else if (name == "--svg") {
      flag(args.svg, OptSvg);
    } else if (const auto text = TextOption(args, name)) {
      if (text->first->has_value()) throw InputError("option " + std::string(name) + " is given twice");
      *text->first = value();
      args.given |= text->second;
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
