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

namespace platform {

// Replaces the file at `path` by `bytes` so that a crash at any moment leaves
// either the old file or the new one: the bytes go to a temporary file
// ".NAME.tmp-XXXXXX" in the same directory, which is flushed to disk and
// renamed over the target, and the directory is flushed. The new file keeps
// the old one's permissions (0644 for a new file). False, with the target
// untouched and no temporary file left, when any step fails.
bool ReplaceFileAtomically(std::wstring_view path, std::string_view bytes);

// Removes what saves of `path` that were killed left behind: the temporary
// files ".NAME.tmp-XXXXXX" beside it (only those, recognised by name) that no
// save holds at the moment. Returns how many were removed.
int RemoveAbandonedTemporaries(std::wstring_view path);

// The platform's file copy with its fail-if-exists flag off: `to` is replaced
// by a copy of `from`, atomically as above. False when `from` cannot be read
// or `to` cannot be written.
bool CopyFileReplacing(std::wstring_view from, std::wstring_view to);

}  // namespace platform
