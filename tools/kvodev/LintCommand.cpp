// ini --lint: the warnings of IniLinter for files read here, not by the library,
// so that lines can be named.
#include <iostream>

#include "Commands.h"
#include "Errors.h"
#include "Files.h"
#include "IniLint.h"
#include "Json.h"

namespace kvodev {

int RunIniLint(Context& ctx) {
  std::vector<std::string> files = ctx.args.iniFiles;
  files.insert(files.end(), ctx.operands.begin(), ctx.operands.end());
  if (files.empty()) throw InputError("ini --lint needs a FILE: usage: kvodev ini --lint FILE...");
  IniLinter linter;
  bool unreadable = false;
  for (const std::string& file : files) {
    std::error_code code;
    const std::optional<std::string> bytes = fs::is_directory(file, code) ? std::nullopt : ReadFile(file);
    if (bytes)
      linter.Lint(file, *bytes);
    else
      Complain("INI file cannot be read: \"" + file + "\"");
    unreadable = unreadable || !bytes;
  }
  const std::vector<LintWarning>& warnings = linter.warnings();
  if (ctx.args.json) {
    JsonWriter json(std::cout);
    json.BeginObject().Key("warnings").BeginArray();
    for (const LintWarning& warning : warnings)
      json.BeginObject().Member("file", warning.file).Member("line", warning.line).Member("text", warning.text).EndObject();
    json.EndArray().EndObject();
  } else {
    for (const LintWarning& warning : warnings)
      std::cout << warning.file << ':' << warning.line << ": " << warning.text << '\n';
  }
  return unreadable ? Usage : warnings.empty() ? Success : False;
}

}  // namespace kvodev
