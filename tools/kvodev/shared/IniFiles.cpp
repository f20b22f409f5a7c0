#include "shared/IniFiles.h"

#include <filesystem>

#include "platform/files.h"
#include "platform/strings.h"
#include "shared/Errors.h"
#include "shared/Utf8.h"

namespace kvodev {

std::vector<std::wstring> IniPaths(const Context& ctx) {
  std::vector<std::wstring> paths;
  for (const std::string& file : ctx.Values(kIni)) {
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

dev::dynInfo::IExtendedDeviceInfo* LoadService(const std::vector<std::wstring>& iniFiles) {
  dev::dynInfo::IExtendedDeviceInfo* info = dev::dynInfo::GetExtendedDeviceInfo();
  if (info != nullptr)
    for (const std::wstring& file : iniFiles) info->Load(file.c_str());
  return info;
}

}  // namespace kvodev
