// The file system, for the rest of the library. Paths come in the library's
// form (see NativePath), joined with '/'. Every call goes through the seam in FileSystem.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// What a path names, and enough about a file to tell when it has changed.
struct FileStamp {
  enum class Kind : std::uint8_t { Missing, File, Directory, Other };
  Kind kind = Kind::Missing;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t size = 0;
  std::int64_t modifiedNs = 0;
  std::int64_t changedNs = 0;  // the inode's change time: also moves on an in-place rewrite
  std::uint32_t mode = 0;      // permission bits
  std::uint32_t owner = 0;
  std::uint32_t group = 0;
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
  // The same file with the same size and modification time: what a reader's
  // cache relies on (a change of permissions alone is no change of content).
  bool SameContent(const FileStamp& other) const noexcept {
    return kind == other.kind && device == other.device && inode == other.inode && size == other.size &&
           modifiedNs == other.modifiedNs;
  }
};

// A failed file call: its errno, the call, and the file (native form).
struct FileError {
  int code = 0;  // 0: nothing failed
  std::string call;
  std::string path;
  explicit operator bool() const noexcept { return code != 0; }
  // "cannot <call> <path>: <the system's error text>".
  std::wstring Describe() const;
};

// Follows symbolic links. Kind::Missing when the path names nothing; any other
// failure to examine it is set in `error` (Kind::Missing then, too).
FileStamp StatPath(std::wstring_view path, FileError* error = nullptr);

// A whole file as it was read, with the stamp of what was read.
struct FileContent {
  bool readable = false;  // false: missing (error.code ENOENT), a directory (EISDIR), or a failed call
  FileStamp stamp;
  std::string bytes;
  FileError error;
};
FileContent ReadWholeFile(std::wstring_view path);

// Who may read and write a file that a save puts in place.
enum class Permissions : std::uint8_t {
  KeepTarget,  // the mode, owner and group of the file it replaces; a new file's when there is none
  New,         // a new file's: 0666 less the umask, owned by the caller
  Like,        // those of WriteOptions::like
};

struct WriteOptions {
  Permissions permissions = Permissions::KeepTarget;
  FileStamp like;  // mode, owner and group for Permissions::Like
  // A symbolic link at the path stays: its final target is replaced, in the
  // target's own directory. Refused (EACCES) for a link that belongs to
  // neither the caller, nor root, nor the owner of its target: a directory
  // another user controls must not make this process overwrite files of its own.
  bool followLink = false;
};

// Replaces the file at `path` by `bytes` so that a crash at any moment leaves
// either the old file or the new one: the bytes go to a temporary file
// ".NAME.tmp-XXXXXX" in the same directory, which is flushed to disk, given its
// permissions and renamed over the target; then the directory is flushed. The
// owner and group are kept where the system permits (fchown). False, with
// `error` set, the target untouched and no temporary file left, when any step
// fails; a failure to examine the old file fails the save rather than give the
// new one other permissions. `written`, when given, receives the new file's stamp.
bool ReplaceFileAtomically(std::wstring_view path, std::string_view bytes, const WriteOptions& options = {},
                           FileError* error = nullptr, FileStamp* written = nullptr);

// The path a save of `path` with followLink writes: the final target of a
// chain of symbolic links (the path itself when it is none). False, with
// `error`, for a link that may not be followed or a chain that cannot be read.
bool ResolveLinks(std::wstring_view path, std::wstring& target, FileError& error);

// Removes what killed saves of `path` left behind: the temporary files
// ".NAME.tmp-XXXXXX" beside it (only those, recognised by name, and only
// regular files). Call with the directory's FileLock held, so that no live
// save is among them. Returns how many were removed.
int RemoveAbandonedTemporaries(std::wstring_view path);

// Small file operations through the seam; false with `error` on failure.
// LinkFile makes a hard link `to` of `from` (it never follows a link at `to`).
bool LinkFile(std::wstring_view from, std::wstring_view to, FileError& error);
bool MakeDirectory(std::wstring_view path, FileError& error);  // 0777 less the umask; true when it exists
bool RemoveFile(std::wstring_view path, FileError& error);
// The names in a directory, without "." and "..", in no particular order.
bool ListDirectory(std::wstring_view path, std::vector<std::wstring>& names, FileError& error);

// An exclusive advisory lock (flock) on the file at `path`, created (0666 less
// the umask) when missing, held until destruction. Waits while another holder
// has it. A file that cannot be created is opened for reading, which is enough
// to lock it; when that fails too, held() is false and error() says why.
class FileLock {
 public:
  explicit FileLock(std::wstring_view path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool held() const noexcept { return fd_ >= 0; }
  const FileError& error() const noexcept { return error_; }

 private:
  int fd_ = -1;
  FileError error_;
};

}  // namespace platform
