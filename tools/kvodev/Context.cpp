#include "Context.h"

#include <kvodevice/Host.h>

#include <filesystem>

#include "Errors.h"
#include "Utf8.h"
#include "platform/files.h"
#include "platform/strings.h"
#include "platform/xml/Dom.h"

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

std::vector<std::wstring> IniPaths(const Args& args) {
  std::vector<std::wstring> paths;
  for (const std::string& file : args.iniFiles) {
    std::error_code code;
    if (!std::filesystem::exists(file, code)) throw InputError("INI file not found: \"" + file + "\"");
    if (!std::filesystem::is_regular_file(file, code))
      throw InputError("INI file is not a regular file: \"" + file + "\"");
    // Read as the library reads it: a file swapped for a FIFO meanwhile never blocks.
    if (const platform::FileContent content = platform::ReadWholeFile(platform::WidePath(file)); !content.readable)
      throw InputError("INI file cannot be read: " + EncodeUtf8(content.error.Describe()));
    paths.push_back(Wide(file, "the INI file name"));
  }
  return paths;
}

}  // namespace kvodev
