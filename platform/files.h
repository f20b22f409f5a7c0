// The file system, for the rest of the library. Paths come in the library's form
// (see NativePath): a '\' in them means the directory separator.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// What a path names, and enough about a file to tell when it has changed.
struct FileStamp {
  enum class Kind : std::uint8_t { Missing, File, Directory, Other };
  Kind kind = Kind::Missing;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t size = 0;
  std::int64_t modifiedNs = 0;
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// Follows symbolic links; Kind::Missing also when the path cannot be examined.
FileStamp StatPath(std::wstring_view path);

// A whole file as it was read, with the stamp of exactly what was read.
struct FileContent {
  bool readable = false;  // false: missing, a directory, or a read error
  FileStamp stamp;
  std::string bytes;
};
FileContent ReadWholeFile(std::wstring_view path);

}  // namespace platform
