// A fresh directory per test, removed with everything in it afterwards.
#pragma once

#include <sys/stat.h>

#include <cstdlib>
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
// lstat of `path`: all zero when there is nothing.
struct stat LinkStat(const std::filesystem::path& path);
inline unsigned Mode(const std::filesystem::path& path) { return LinkStat(path).st_mode & 07777; }
// How many entries a directory holds.
long EntryCount(const std::filesystem::path& dir);

// Sets an environment variable (unsets it for null) until destruction, which unsets it.
struct ScopedEnv {
  ScopedEnv(const char* name, const char* value) : name_(name) { Set(value); }
  ~ScopedEnv() { Set(nullptr); }
  void Set(const char* value) const { value != nullptr ? ::setenv(name_, value, 1) : ::unsetenv(name_); }
  const char* name_;
};

}  // namespace testsupport
