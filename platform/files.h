// The file system, for the rest of the library. Paths come in the library's
// form (see NativePath), joined with '/'. Every call goes through the seam in FileSystem.h.
//
// Every file is treated as possibly planted: reads take regular files of bounded
// size only, opened without blocking; a path is resolved once, component by
// component, and everything after that works through the descriptor of the
// directory it reached, so that no name is resolved twice.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

// The most a file read by the library may hold; a larger one is refused.
inline constexpr std::uint64_t kMaxFileBytes = 64ull << 20;

// What a path names, and enough about a file to tell when it has changed.
struct FileStamp {
  enum class Kind : std::uint8_t { Missing, File, Directory, Other, Link };
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
  bool SameFile(const FileStamp& other) const noexcept { return device == other.device && inode == other.inode; }
};

// A failed file call: its errno, the call, and the file (native form).
struct FileError {
  int code = 0;  // 0: nothing failed
  std::string call;
  std::string path;
  std::string detail;  // said instead of the system's error text when set
  explicit operator bool() const noexcept { return code != 0; }
  // "cannot <call> <path>: <the system's error text, or the detail>".
  std::wstring Describe() const;
};

// `path` made absolute against the working directory as it is now, lexically
// (links are not resolved); as it is when the working directory cannot be read.
std::wstring AbsolutePath(std::wstring_view path);

// Follows symbolic links. Kind::Missing when the path names nothing; any other
// failure to examine it is set in `error` (Kind::Missing then, too).
FileStamp StatPath(std::wstring_view path, FileError* error = nullptr);

// A whole file as it was read, with the stamp of what was read.
struct FileContent {
  bool readable = false;  // false: missing (error.code ENOENT), refused, or a failed call
  FileStamp stamp;
  std::string bytes;
  FileError error;
};

struct ReadOptions {
  // A symbolic link as the last component is refused (ELOOP) instead of followed.
  bool noFollow = false;
  // Links are followed as a save follows them (see ResolveTarget), and one
  // that another user planted is refused (EACCES).
  bool asSaveFollows = false;
  std::uint64_t limit = kMaxFileBytes;
};

// Reads a regular file whole. A directory (EISDIR), a FIFO, a device or a
// socket (EINVAL, "not a regular file") and a file larger than the limit
// (EFBIG) are refused without reading a byte; nothing ever waits for a writer.
FileContent ReadWholeFile(std::wstring_view path, const ReadOptions& options = {});

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
  // target's own directory (see ResolveTarget for the links that are refused).
  bool followLink = false;
  // The new file's modification time is set to just before the system's
  // present time step, a time no later write can give it (see Written).
  bool settleTime = false;
};

// Closes a descriptor on every path.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) noexcept : fd_(fd) {}
  ~Descriptor();
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor& operator=(Descriptor&& other) noexcept;
  int get() const noexcept { return fd_; }
  int release() noexcept { return std::exchange(fd_, -1); }
  void reset(int fd = -1) noexcept;

 private:
  int fd_;
};

// What a replace wrote.
struct Written {
  FileStamp stamp;
  // Open (read-only) only with WriteOptions::settleTime, when the file system
  // kept the time set: a later write to the file gives it another time, and
  // while this is open the inode number goes to no other file, so a file at
  // the name with this very stamp is this one, unchanged.
  Descriptor file;
};

// A directory held open, and the files in it by name: nothing is looked up
// by path again once it is open.
class Directory {
 public:
  Directory() = default;
  ~Directory();
  Directory(Directory&& other) noexcept;
  Directory& operator=(Directory&& other) noexcept;
  Directory(const Directory&) = delete;
  Directory& operator=(const Directory&) = delete;

  // The directory at `path`, whose links (in any component) are read once.
  static Directory Open(std::wstring_view path, FileError& error);
  // The directory `name` in this one, never through a link (ELOOP); with
  // `create`, made (0777 less the umask) when missing.
  Directory Subdirectory(std::string_view name, bool create, FileError& error) const;

  bool valid() const noexcept { return fd_ >= 0; }
  int fd() const noexcept { return fd_; }
  const std::string& path() const noexcept { return path_; }  // native, for messages and callers' paths
  std::string PathOf(std::string_view name) const;
  // The directory itself.
  FileStamp Stamp(FileError* error = nullptr) const;
  // What `name` is, without following a link (Kind::Link for one).
  FileStamp StatEntry(std::string_view name, FileError* error = nullptr) const;
  // As ReadWholeFile, for `name` in this directory; a link is never followed.
  FileContent Read(std::string_view name, std::uint64_t limit = kMaxFileBytes) const;
  // Whether `name` is the regular file `stamp` describes, holding exactly
  // `bytes` from before the first byte is read to after the last; read in
  // pieces, so it costs no memory of the file's size. False for anything
  // else, a failed call included. A link is never followed.
  bool Holds(std::string_view name, std::string_view bytes, const FileStamp& stamp) const;
  // Replaces `name` atomically (see ReplaceFileAtomically); `old` is what is
  // there now, for Permissions::KeepTarget.
  bool Replace(std::string_view name, std::string_view bytes, const WriteOptions& options, const FileStamp& old,
               FileError& error, Written* written = nullptr) const;
  // A hard link `name` here of `from` in `source` (a link there is not followed).
  bool LinkFrom(const Directory& source, std::string_view from, std::string_view name, FileError& error) const;
  bool Remove(std::string_view name, FileError& error) const;
  // The names in it, without "." and "..", in no particular order.
  bool List(std::vector<std::string>& names, FileError& error) const;
  // Flushes the directory's entries to disk; false when it cannot.
  bool Flush() const;

 // Takes over `fd`, a directory known as `path`.
  static Directory Adopt(int fd, std::string path) {
    Directory directory;
    directory.fd_ = fd;
    directory.path_ = std::move(path);
    return directory;
  }

 private:
  int fd_ = -1;
  std::string path_;
};

// Where a save of a path writes: the directory that holds the file, held
// open, and the file's name in it.
struct WriteTarget {
  Directory directory;
  std::string name;
  bool linked = false;  // reached through a symbolic link at the path
  FileStamp old;        // what is there now: Missing, or the file a save replaces
  std::string path() const { return directory.PathOf(name); }
};

// Resolves `path` once, one component at a time, each link read once. With
// `followLink`, a symbolic link at the path is followed to the end of its
// chain; these rules then hold for what the descriptors show, not for a path
// resolved again: a link that belongs to neither the caller, nor root, nor
// the owner of what it points to is refused (EACCES), and a process running as
// root writes only through links of its own, and never into a directory that
// someone other than root may write (EACCES; not checked when only `reading`). Without it,
// the last component is the file itself, whatever it is (a save replaces a
// link there by a file).
bool ResolveTarget(std::wstring_view path, bool followLink, WriteTarget& target, FileError& error, bool reading = false);

// Replaces the file at `path` by `bytes` so that a crash at any moment leaves
// either the old file or the new one: the bytes go to a temporary file
// ".NAME.tmp-XXXXXX" in the same directory, which is flushed to disk, given its
// permissions and renamed over the target; then the directory is flushed. The
// owner and group are kept where the system permits (fchown). False, with
// `error` set, the target untouched and no temporary file left, when any step
// fails; a failure to examine the old file fails the save rather than give the
// new one other permissions. `written`, when given, receives what was written.
bool ReplaceFileAtomically(std::wstring_view path, std::string_view bytes, const WriteOptions& options = {},
                           FileError* error = nullptr, Written* written = nullptr);

// Removes what killed saves of `name` in `directory` left behind: the
// temporary files ".NAME.tmp-XXXXXX" (only those, recognised by name, and
// only regular files). Call with the FileLock that covers the file held, so
// that no live save is among them. Returns how many were removed.
int RemoveAbandonedTemporaries(const Directory& directory, std::string_view name);

// The writers' lock beside a file named `name`: "kvoDevice.xml" -> "kvoDevice.lock".
std::string LockNameFor(std::string_view name);
// How long a lock is waited for: KVO_LOCK_TIMEOUT seconds, else 10.
std::chrono::milliseconds LockTimeoutFromEnvironment();

// An exclusive lock on the file `name` in `directory`, held until destruction:
// an open-file-description write lock, which only a descriptor opened for
// writing can take, so that a user who may only read cannot hold it. The lock
// file is created when missing; it gets read and write access for exactly
// those whom `guarded` (the file the lock protects; Missing when there is none
// yet) gives write access, and its owner and group, where the system permits.
// One that gives more is replaced, so that no reader keeps a descriptor of it.
// Waits at most `timeout` for another holder; then held() is false and error()
// says the lock is held (by which process, where the system tells).
class FileLock {
 public:
  FileLock(const Directory& directory, std::string name, const FileStamp& guarded, std::chrono::milliseconds timeout);
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
