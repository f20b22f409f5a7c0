// Plain file work the commands need around the library: reading a file whole,
// and scratch directories.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace kvodev {

namespace fs = std::filesystem;

// The whole file, or nothing when it cannot be read.
std::optional<std::string> ReadFile(const fs::path& path);

// A new empty directory below the system's temporary directory, removed with
// everything in it on destruction.
class TempDirectory {
 public:
  TempDirectory();
  ~TempDirectory();
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

}  // namespace kvodev
