#include "shared/Configuration.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "shared/Errors.h"
#include "shared/Utf8.h"

namespace kvodev {
namespace {

using dev::OpenOutcome;

// The first `count` lines of `text` on one line: the parse error's code, its
// place and the parser's reason, whose further lines may be long.
std::string FirstLines(const std::string& text, int count) {
  std::string line;
  for (std::size_t from = 0; from != std::string::npos && count-- > 0;) {
    const std::size_t end = text.find('\n', from);
    line.append(line.empty() ? "" : "; ").append(text, from, end - from);
    from = end == std::string::npos ? end : end + 1;
  }
  return line;
}

}  // namespace

ConfigFiles::ConfigFiles(const fs::path& dir) {
  // The names are ASCII; the directory stays as the bytes it was given.
  const dev::DataDirectoryFiles names = dev::FilesOf(L".");
  const auto in = [&dir](const std::wstring& path) { return dir / fs::path(EncodeUtf8(path)).filename(); };
  document = in(names.document);
  schema = in(names.schema);
  backup = in(names.backup);
  history = in(names.history);
}

std::string ParseMessage(const dev::OpenReport& report) {
  if (report.outcome != dev::OpenOutcome::Recovered) return {};
  // "parse error: 72f" keeps the number the recovered document carries; the words go beside it.
  char code[16];
  std::snprintf(code, sizeof code, "%x", static_cast<unsigned>(report.parseError));
  std::string message = "parse error: " + std::string(code);
  if (!report.parseErrorKind.empty())
    message += " (" + std::to_string(report.parseError) + ": " + EncodeUtf8(report.parseErrorKind) + ")";
  return message + "\nin line: " + std::to_string(report.line) + " col: " + std::to_string(report.column) + "\n" +
         EncodeUtf8(report.parseErrorText);
}

std::string ExplainedCode(std::uint32_t code, const std::wstring& kind) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%x", code);
  return std::string(hex) + " (" + std::to_string(code) + ": " + EncodeUtf8(kind) + ")";
}

Configuration::Configuration(const std::string& dataDir, Access access, bool announce)
    : files_(fs::path(dataDir)),
      io_(access == Access::ReadOnly ? dev::OpenXMLFileReadOnly() : dev::CreateXMLFile()),
      editor_(dev::GetDeviceEditor(io_)),
      report_(dev::GetOpenReport(io_)) {
  if (editor_ == nullptr) throw std::runtime_error("the library gave no editor for its own configuration object");
  if (announce) Announce(access);
}

Configuration::~Configuration() { io_->Release(); }

bool Configuration::loaded() const {
  return report_.outcome == OpenOutcome::Loaded || report_.outcome == OpenOutcome::Created;
}

void Configuration::Announce(Access access) const {
  if (access == Access::Change && report_.outcome == OpenOutcome::Recovered)
    Complain("note: " + files_.document.string() + " could not be loaded: it is kept as " + files_.backup.string() +
             ", and a default document that names the reason replaces it");
}

Report Configuration::Unloadable() const {
  if (report_.outcome == OpenOutcome::Recovered)
    return Report::Failure(NotLoaded, files_.document.string() + " could not be loaded (" +
                                          FirstLines(ParseMessage(report_), 3) +
                                          "); nothing was changed ('kvodev check' keeps it as the backup and starts a "
                                          "default document)");
  return Report::Failure(NotLoaded, "the configuration cannot be loaded: " + EncodeUtf8(report_.reason) +
                                        "; nothing was changed ('kvodev check' tells more)");
}

bool Configuration::Commit(bool answer) {
  // Saved whatever the answer: an operation that answers false may still have
  // changed the document (removing a unit adds the missing set list first).
  failure_ = answer ? std::string() : EncodeUtf8(dev::LastFailure(io_));
  saveFailure_ = io_->Save() ? std::string() : EncodeUtf8(dev::GetLastSaveReport(io_).reason);
  return answer && saveFailure_.empty();
}

void Configuration::Finish(Report& report, bool answer, const std::string& reason) const {
  if (answer) return;
  report.status = False;
  if (report_.outcome == OpenOutcome::GaveUp)
    report.error = "the configuration could not be opened: " + EncodeUtf8(report_.reason) + " ('kvodev check' tells more)";
  else if (!saveFailure_.empty())
    report.error = "the change was not saved: " + saveFailure_;
  else
    report.error = reason;
}

}  // namespace kvodev
