#include "shared/CommandLine.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <map>
#include <string_view>

#include "shared/DidYouMean.h"
#include "shared/Errors.h"

namespace kvodev {
namespace {

void AddOption(CLI::App& app, const Option& option, GivenOption& given) {
  const std::string name(option.name), help(option.help);
  switch (option.kind) {
    case Option::Flag: app.add_flag(name, given.flag, help); break;
    case Option::Text:
      app.add_option_function<std::string>(name, [&given](const std::string& value) { given.text = value; }, help)
          ->type_name(std::string(option.valueName))
          ->multi_option_policy(CLI::MultiOptionPolicy::Throw);
      break;
    case Option::List:
      app.add_option(name, given.list, help)->type_name(std::string(option.valueName))->allow_extra_args(false);
      break;
  }
}

// The command an App stands for: its words, and its parents' before them.
std::string WordsOf(const CLI::App* app) {
  std::string words;
  for (; app != nullptr && app->get_parent() != nullptr; app = app->get_parent())
    words.insert(0, words.empty() ? app->get_name() : app->get_name() + " ");
  return words;
}

// The usage line and the details come from the command table; CLI11 lays out
// the rest (options, subcommands).
class HelpFormatter : public CLI::Formatter {
 public:
  explicit HelpFormatter(const std::vector<Command>& commands) : commands_(commands) {}

  std::string make_usage(const CLI::App* app, std::string) const override {
    const Command* command = Find(WordsOf(app));
    return "usage: " +
           (command != nullptr ? UsageLine(*command) : "kvodev [GLOBAL OPTIONS] COMMAND [OPTIONS] [OPERANDS]") + "\n";
  }

 private:
  const Command* Find(std::string_view words) const {
    for (const Command& command : commands_)
      if (command.name == words) return &command;
    return nullptr;
  }

  const std::vector<Command>& commands_;
};

std::vector<std::string> SubcommandNames(const CLI::App* app) {
  std::vector<std::string> names;
  for (const CLI::App* sub : app->get_subcommands({})) names.push_back(sub->get_name());
  return names;
}

std::size_t RequiredOperands(const Command& command) {
  std::size_t required = 0;
  while (required < command.operands.size() && !command.operands[required].starts_with('[')) ++required;
  return required;
}

std::size_t MaxOperands(const Command& command) {
  const bool repeats = !command.operands.empty() && command.operands.back().ends_with("...");
  return repeats ? SIZE_MAX : command.operands.size();
}

class Parser {
 public:
  Parser(const std::vector<Command>& commands, std::string_view footer, Args& args)
      : app_("kvodev: the device configuration of an imaging host, from the command line") {
    auto formatter = std::make_shared<HelpFormatter>(commands);
    formatter->column_width(24);
    app_.formatter(formatter);
    app_.fallthrough()->allow_extras()->require_subcommand(0, 1);
    app_.add_option("--data-dir", args.dataDir,
                    "the data directory holding kvoDevice.xml (it must exist)")
        ->type_name("DIR")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app_.add_option("--feature", args.features,
                    "switch a host feature on (repeatable), e.g. ACQ_ENABLE_HDRI")
        ->type_name("NAME")
        ->allow_extra_args(false);
    app_.add_flag("--json", args.json, "machine-readable output: one JSON object on standard output");
    app_.add_flag("--no-headers", args.noHeaders, "tables without their header line");
    app_.add_flag("--tabs", args.tabs, "tables with one tab between cells and no padding");
    app_.add_flag("--version", version_, "print the version");
    app_.footer(std::string(footer));

    for (const Command& command : commands) {
      const std::size_t space = command.name.rfind(' ');
      // A parent is one word, and the table lists it before its children.
      CLI::App* parent =
          space == std::string_view::npos ? &app_ : app_.get_subcommand(std::string(command.name.substr(0, space)));
      CLI::App* sub = parent->add_subcommand(std::string(command.name.substr(space + 1)), std::string(command.summary));
      sub->footer(std::string(command.details));
      sub->group("Commands");
      for (const Option* option : command.options) {
        AddOption(*sub, *option, args.options[option]);
        if (std::find(optionNames_.begin(), optionNames_.end(), option->name) == optionNames_.end())
          optionNames_.emplace_back(option->name);
      }
      // One positional per operand, each wanting a word, so that "--" stays with
      // this command; the last takes every further word (counted in Parse).
      Operands& operands = operands_[&command];
      operands.words.resize(command.operands.size());
      for (std::size_t i = 0; i < command.operands.size(); ++i)
        operands.options.push_back(
            i + 1 < command.operands.size()
                ? sub->add_option("operand" + std::to_string(i), operands.words[i])->group("")
                : sub->add_option("operand" + std::to_string(i), operands.last)->expected(1, CLI::detail::expected_max_vector_size)->group(""));
      commands_[sub] = &command;
    }
  }

  Invocation Parse(int argc, const char* const* argv) {
    try {
      app_.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
      Invocation help;
      help.help = app_.help();
      return help;
    } catch (const CLI::ParseError& error) {
      throw InputError(error.what());
    }
    Invocation invocation;
    invocation.version = version_;
    CLI::App* leaf = &app_;
    while (!leaf->get_subcommands().empty()) leaf = leaf->get_subcommands().front();
    RefuseLeftovers(leaf);
    if (invocation.version) return invocation;
    if (leaf == &app_) throw InputError("no command given (kvodev --help lists them)");

    const Command& command = *commands_.at(leaf);
    const Operands& operands = operands_[&command];
    for (std::size_t i = 0; i < operands.options.size() && operands.options[i]->count() > 0; ++i) {
      if (i + 1 < operands.options.size())
        invocation.operands.push_back(operands.words[i]);
      else
        invocation.operands.insert(invocation.operands.end(), operands.last.begin(), operands.last.end());
    }
    if (invocation.operands.size() < RequiredOperands(command))
      throw InputError("missing operands: usage: " + UsageLine(command));
    if (invocation.operands.size() > MaxOperands(command))
      throw InputError("too many operands: usage: " + UsageLine(command));
    if (command.run == nullptr) {  // help [COMMAND]...
      invocation.help = HelpFor(invocation.operands);
      return invocation;
    }
    invocation.command = &command;
    return invocation;
  }

 private:
  // Words and options that no command took: misspelt commands, stray options,
  // operands too many.
  void RefuseLeftovers(CLI::App* leaf) const {
    std::vector<std::string> rest = app_.remaining(true);
    std::erase(rest, "--");  // the end of the options, kept by CLI11 among the leftovers
    if (rest.empty()) return;
    const std::string& first = rest.front();
    const std::string words = WordsOf(leaf);
    if (first.starts_with('-') && first.size() > 1) {
      const std::string name = first.substr(0, first.find('='));
      if (std::find(optionNames_.begin(), optionNames_.end(), name) != optionNames_.end())
        throw InputError("option " + name + " does not apply to " + (words.empty() ? "kvodev" : words));
      std::vector<std::string> names{"--data-dir", "--feature", "--json", "--no-headers", "--tabs", "--version", "--help"};
      names.insert(names.end(), optionNames_.begin(), optionNames_.end());
      throw InputError("unknown option: " + first + DidYouMean(name, names, ""));
    }
    const Command* command = commands_.contains(leaf) ? commands_.at(leaf) : nullptr;
    if (command != nullptr && !command->operands.empty())
      throw InputError("too many operands: usage: " + UsageLine(*command));
    const std::string prefix = words.empty() ? "" : words + " ";
    const std::string lister = words.empty() ? "kvodev --help" : "kvodev help " + words;
    throw InputError("unknown command: \"" + prefix + first + "\"" + DidYouMean(first, SubcommandNames(leaf), prefix) +
                     " (" + lister + " lists them)");
  }

  std::string HelpFor(const std::vector<std::string>& words) const {
    const CLI::App* app = &app_;
    std::string path;
    for (const std::string& word : words) {
      const auto names = SubcommandNames(app);
      if (std::find(names.begin(), names.end(), word) == names.end())
        throw InputError("unknown command: \"" + path + word + "\"" + DidYouMean(word, names, path));
      app = app->get_subcommand(word);
      path += word + " ";
    }
    // Straight to the formatter: App::help() would show the selected "help" command's own help.
    return app->get_formatter()->make_help(app, app->get_name(), CLI::AppFormatMode::Normal);
  }

  CLI::App app_;
  bool version_ = false;
  std::vector<std::string> optionNames_;  // of every command, in the order the table first names them
  std::map<const CLI::App*, const Command*> commands_;
  struct Operands {
    std::vector<CLI::Option*> options;
    std::vector<std::string> words;  // of all but the last
    std::vector<std::string> last;
  };
  std::map<const Command*, Operands> operands_;
};

}  // namespace

Invocation ParseCommandLine(int argc, const char* const* argv, const std::vector<Command>& commands,
                            std::string_view footer, Args& args) {
  return Parser(commands, footer, args).Parse(argc, argv);
}

}  // namespace kvodev
