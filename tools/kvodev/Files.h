// Plain file work the commands need around the library: reading a file whole,
// replacing one atomically, noting what a file was, and scratch directories.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace kvodev {

namespace fs = std::filesystem;

// The whole file, or nothing when it cannot be read.
std::optional<std::string> ReadFile(const fs::path& path);

// Writes `bytes` to a new file beside `path` and renames it over `path`, so
// that readers see either the old or the new content, never a part. On
// failure returns false with the reason in `error`, and `path` is as it was.
bool WriteAtomically(const fs::path& path, const std::string& bytes, std::string& error);

// What a file was at one moment: enough to tell whether someone changed it.
struct FileState {
  enum Kind { Missing, Regular, Other } kind = Missing;  // Other: a directory, a socket, ...
  std::string bytes;                                     // of a regular file
  fs::file_time_type modified{};
  static FileState Of(const fs::path& path);
  friend bool operator==(const FileState&, const FileState&) = default;
};

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
