// A fresh directory per test, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/ScratchDirectory.h"

namespace testsupport {

class TempDir {
 public:
  const std::filesystem::path& path() const { return dir_.path(); }
  // Writes `bytes` to the file `name` in this directory; returns its wide path.
  std::wstring Write(std::string_view name, std::string_view bytes) const;
  std::wstring Wide(std::string_view name) const { return (path() / name).wstring(); }

 private:
  platform::ScratchDirectory dir_{"kvotest"};
};

// A whole file's bytes; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);

}  // namespace testsupport
