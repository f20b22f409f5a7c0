#include "shared/Context.h"

#include <kvodevice/Host.h>

#include <filesystem>

#include "platform/xml/Dom.h"
#include "shared/Errors.h"
#include "shared/Utf8.h"

namespace kvodev {

std::wstring Wide(const std::string& utf8, const char* what) {
  std::wstring text;
  if (!DecodeUtf8(utf8, text)) throw InputError(std::string(what) + " is not UTF-8: \"" + utf8 + "\"");
  return text;
}

std::wstring XmlText(const std::string& utf8, const char* what) {
  std::wstring text = Wide(utf8, what);
  if (!platform::xml::IsXmlText(text))
    throw InputError(std::string(what) + " holds characters XML cannot hold: \"" + utf8 + "\"");
  return text;
}

namespace {

void RequireDirectory(const std::string& dir, const char* hint = "") {
  std::error_code code;
  if (!std::filesystem::is_directory(dir, code))
    throw InputError(std::string("the data directory ") +
                     (std::filesystem::exists(dir, code) ? "is not a directory: \"" : "does not exist: \"") + dir +
                     "\"" + hint);
}

// Null for an option that no command of the table lists.
const GivenOption* Given(const Args& args, const Option& option) {
  const auto found = args.options.find(&option);
  return found != args.options.end() ? &found->second : nullptr;
}

}  // namespace

void CheckDataDirOption(const Args& args) {
  if (args.dataDir) {
    Wide(*args.dataDir, "the data directory");
    RequireDirectory(*args.dataDir);
  }
}

std::string UseDataDir(const Args& args) {
  if (args.dataDir) {
    const std::wstring dir = Wide(*args.dataDir, "the data directory");
    RequireDirectory(*args.dataDir);
    ssnSetDataDir(dir.c_str());
    return *args.dataDir;
  }
  const std::string dir = EncodeUtf8(ssnGetDataDir(1));
  RequireDirectory(dir, " (create it, or give --data-dir)");
  return dir;
}

bool Context::Has(const Option& option) const {
  const GivenOption* given = Given(args, option);
  if (given == nullptr) return false;
  switch (option.kind) {
    case Option::Flag: return given->flag;
    case Option::Text: return given->text.has_value();
    case Option::List: return !given->list.empty();
  }
  return false;
}

std::optional<std::string> Context::Value(const Option& option) const {
  const GivenOption* given = Given(args, option);
  return given != nullptr ? given->text : std::nullopt;
}

const std::vector<std::string>& Context::Values(const Option& option) const {
  static const std::vector<std::string> none;
  const GivenOption* given = Given(args, option);
  return given != nullptr ? given->list : none;
}

}  // namespace kvodev
