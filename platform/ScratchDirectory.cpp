#include "platform/ScratchDirectory.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>

namespace platform {

ScratchDirectory::ScratchDirectory(std::string_view prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / prefix).string();
  pattern += "-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr)
    throw std::system_error(errno, std::generic_category(), "cannot make a scratch directory");
  path_ = pattern;
}

ScratchDirectory::~ScratchDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace platform
