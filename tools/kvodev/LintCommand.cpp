// ini --lint: the warnings of IniLinter for files read here, not by the library,
// so that lines can be named.
#include <string>
#include <vector>

#include "Commands.h"
#include "Errors.h"
#include "IniLint.h"
#include "platform/files.h"
#include "platform/strings.h"

namespace kvodev {
namespace {

// Lints every file that can be read; returns those that cannot.
std::vector<std::string> LintFiles(IniLinter& linter, const std::vector<std::string>& files) {
  std::vector<std::string> unreadable;
  for (const std::string& file : files) {
    const platform::FileContent content = platform::ReadWholeFile(platform::WidePath(file));
    if (content.readable)
      linter.Lint(file, content.bytes);
    else
      unreadable.push_back(file);
  }
  return unreadable;
}

std::string Unreadable(const std::vector<std::string>& files) {
  std::string message = files.size() == 1 ? "INI file cannot be read: " : "INI files cannot be read: ";
  for (std::size_t i = 0; i < files.size(); ++i) message.append(i == 0 ? "\"" : ", \"").append(files[i]).append("\"");
  return message;
}

void PrintWarnings(const Json& data, const TextOut& out) {
  for (const char* kind : {"warnings", "notes"})
    for (const Json& warning : data[kind])
      out.out << warning["file"].get<std::string>() << ':' << warning["line"].get<int>() << ": "
              << (kind[0] == 'n' ? "note: " : "") << warning["text"].get<std::string>() << '\n';
}

}  // namespace

Report RunIniLint(Context& ctx) {
  std::vector<std::string> files = ctx.args.iniFiles;
  files.insert(files.end(), ctx.operands.begin(), ctx.operands.end());
  if (files.empty()) throw InputError("ini --lint needs a FILE: usage: kvodev ini --lint FILE...");
  IniLinter linter;
  const std::vector<std::string> unreadable = LintFiles(linter, files);
  Report report(Json{{"warnings", Json::array()}, {"notes", Json::array()}});
  for (const LintWarning& warning : linter.warnings())
    report.data[warning.note ? "notes" : "warnings"].push_back(
        {{"file", warning.file}, {"line", warning.line}, {"text", warning.text}});
  report.text = PrintWarnings;
  if (!report.data["warnings"].empty()) report.status = False;
  if (!unreadable.empty()) {
    report.status = Usage;
    report.error = Unreadable(unreadable);
  }
  return report;
}

}  // namespace kvodev
