#include "platform/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <random>

#include "platform/FileSystem.h"
#include "platform/strings.h"

namespace platform {
namespace {

FileStamp StampOf(const struct stat& st) {
  FileStamp stamp;
  stamp.kind = S_ISREG(st.st_mode)   ? FileStamp::Kind::File
               : S_ISDIR(st.st_mode) ? FileStamp::Kind::Directory
                                     : FileStamp::Kind::Other;
  stamp.device = st.st_dev;
  stamp.inode = st.st_ino;
  stamp.size = static_cast<std::uint64_t>(st.st_size);
  stamp.modifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
  stamp.changedNs = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec;
  stamp.mode = st.st_mode & 07777;
  stamp.owner = st.st_uid;
  stamp.group = st.st_gid;
  return stamp;
}

FileError Failed(const char* call, const std::string& path, int code = errno) { return FileError{code, call, path}; }

void Set(FileError* target, FileError error) {
  if (target != nullptr) *target = std::move(error);
}

// Closes a descriptor on every path.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) Files().Close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string TemporaryPrefix(const std::string& path) {
  std::string prefix = ".";  // appended, not added up: g++ 12 warns falsely (-Wrestrict) on "." + name
  prefix.append(NameOf(path)).append(".tmp-");
  return prefix;
}
constexpr std::size_t kTemporarySuffix = 6;

// A fresh temporary file beside `target`, created with mode 0666 so that the
// system applies the umask (and a default ACL) as for any new file.
int CreateTemporary(const std::string& target, std::string& temporary, FileError& error) {
  static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937_64 random{std::random_device{}()};
  const std::string prefix = DirectoryOf(target) + "/" + TemporaryPrefix(target);
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = prefix;
    for (std::size_t i = 0; i < kTemporarySuffix; ++i) temporary += kLetters[random() % (sizeof kLetters - 1)];
    const int fd = Files().Open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0) return fd;
    if (errno != EEXIST) break;
  }
  error = Failed("create", temporary);
  return -1;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = Files().Write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return false;
    if (written == 0) {
      errno = EIO;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// Gives the new file the owner, group and mode of `like`. The owner and group
// only where the system permits: a user who may not give a file away keeps it,
// and the group is tried on its own.
bool ApplyPermissions(int fd, const FileStamp& like, const std::string& temporary, FileError& error) {
  if (Files().Fchown(fd, like.owner, like.group) != 0) Files().Fchown(fd, static_cast<uid_t>(-1), like.group);
  if (Files().Fchmod(fd, like.mode) == 0) return true;
  error = Failed("chmod", temporary);
  return false;
}

// A link may be followed when its owner is the caller or root, or owns what it points to.
bool MayFollow(const struct stat& link, const std::string& target) {
  if (link.st_uid == ::geteuid() || link.st_uid == 0) return true;
  struct stat st;
  return Files().Stat(target.c_str(), &st) == 0 && st.st_uid == link.st_uid;
}

// Follows `path` to the end of its chain of links; `final` receives what is
// there (a regular file, a directory, ...), left empty when nothing is.
bool ResolveNative(std::string path, std::string& target, FileError& error, std::optional<FileStamp>* final = nullptr) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (Files().Lstat(path.c_str(), &st) != 0) {
      if (errno != ENOENT) {
        error = Failed("stat", path);
        return false;
      }
      target = path;  // nothing there yet: a save creates it
      return true;
    }
    if (!S_ISLNK(st.st_mode)) {
      target = path;
      if (final != nullptr) *final = StampOf(st);
      return true;
    }
    std::string link(4096, '\0');
    const ssize_t length = Files().Readlink(path.c_str(), link.data(), link.size());
    if (length < 0 || static_cast<std::size_t>(length) >= link.size()) {
      error = Failed("read the link", path, length < 0 ? errno : ENAMETOOLONG);
      return false;
    }
    link.resize(static_cast<std::size_t>(length));
    std::string next = link.starts_with('/') ? link : DirectoryOf(path) + "/" + link;
    if (!MayFollow(st, next)) {
      error = Failed("follow the link of another user", path, EACCES);
      return false;
    }
    path = std::move(next);
  }
  error = Failed("follow the link", path, ELOOP);
  return false;
}

}  // namespace

std::wstring FileError::Describe() const {
  const std::string text = "cannot " + call + " " + path + ": " + std::strerror(code);
  return WidePath(text);
}

FileStamp StatPath(std::wstring_view path, FileError* error) {
  const std::string native = NativePath(path);
  struct stat st;
  if (Files().Stat(native.c_str(), &st) != 0) {
    if (errno != ENOENT) Set(error, Failed("examine", native));
    return {};
  }
  return StampOf(st);
}

FileContent ReadWholeFile(std::wstring_view path) {
  FileContent content;
  const std::string native = NativePath(path);
  const Descriptor fd(Files().Open(native.c_str(), O_RDONLY | O_CLOEXEC, 0));
  struct stat st;
  if (fd.get() < 0) {
    content.error = Failed("open", native);
    return content;
  }
  if (Files().Fstat(fd.get(), &st) != 0) {
    content.error = Failed("examine", native);
    return content;
  }
  if (S_ISDIR(st.st_mode)) {
    content.error = Failed("read", native, EISDIR);
    return content;
  }
  // The size is a hint only: the file may be a pipe, or change while it is read.
  content.bytes.resize(S_ISREG(st.st_mode) ? static_cast<std::size_t>(st.st_size) + 1 : 4096);
  std::size_t used = 0;
  for (;;) {
    if (used == content.bytes.size()) content.bytes.resize(content.bytes.size() * 2);
    const ssize_t got = Files().Read(fd.get(), content.bytes.data() + used, content.bytes.size() - used);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      content.bytes.clear();
      content.error = Failed("read", native);
      return content;
    }
    if (got == 0) break;
    used += static_cast<std::size_t>(got);
  }
  content.bytes.resize(used);
  // The stamp of the file as it is after the read: a change during the read
  // shows as a stamp that no longer matches what was read.
  if (Files().Fstat(fd.get(), &st) != 0) {
    content.bytes.clear();
    content.error = Failed("examine", native);
    return content;
  }
  content.stamp = StampOf(st);
  content.readable = true;
  return content;
}

bool ResolveLinks(std::wstring_view path, std::wstring& target, FileError& error) {
  std::string native;
  if (!ResolveNative(NativePath(path), native, error)) return false;
  target = WidePath(native);
  return true;
}

bool ReplaceFileAtomically(std::wstring_view path, std::string_view bytes, const WriteOptions& options,
                           FileError* error, FileStamp* written) {
  FileError failure;
  std::string target = NativePath(path);
  if (NameOf(target).empty()) {
    Set(error, Failed("write", target, EISDIR));
    return false;
  }
  // What the save replaces: the end of the link chain, or the path itself.
  std::optional<FileStamp> old;
  if (options.followLink) {
    if (!ResolveNative(target, target, failure, &old)) {
      Set(error, std::move(failure));
      return false;
    }
  } else if (struct stat st; Files().Lstat(target.c_str(), &st) == 0) {
    old = StampOf(st);
  } else if (errno != ENOENT) {
    Set(error, Failed("examine", target));
    return false;
  }

  std::optional<FileStamp> like;
  if (options.permissions == Permissions::Like)
    like = options.like;
  else if (options.permissions == Permissions::KeepTarget && old && old->kind == FileStamp::Kind::File)
    like = old;

  std::string temporary;
  const Descriptor fd(CreateTemporary(target, temporary, failure));
  if (fd.get() < 0) {
    Set(error, std::move(failure));
    return false;
  }
  const auto fail = [&](const char* call, const std::string& file) {
    failure = failure ? failure : Failed(call, file);
    Files().Unlink(temporary.c_str());
    Set(error, std::move(failure));
    return false;
  };
  if (like && !ApplyPermissions(fd.get(), *like, temporary, failure)) return fail("chmod", temporary);
  if (!WriteAll(fd.get(), bytes)) return fail("write", temporary);
  if (Files().Fsync(fd.get()) != 0) return fail("flush", temporary);
  if (Files().Rename(temporary.c_str(), target.c_str()) != 0) return fail("replace", target);
  struct stat st;
  if (written != nullptr) *written = Files().Fstat(fd.get(), &st) == 0 ? StampOf(st) : FileStamp{};
  // The rename is durable once the directory is on disk; a failure here
  // cannot be undone and the new file is in place, so it counts as written.
  const Descriptor dir(Files().Open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
  if (dir.get() >= 0) Files().Fsync(dir.get());
  return true;
}

int RemoveAbandonedTemporaries(std::wstring_view path) {
  const std::string native = NativePath(path);
  if (NameOf(native).empty()) return 0;
  const std::string directory = DirectoryOf(native), prefix = TemporaryPrefix(native);
  std::vector<std::string> names;
  if (Files().ListDirectory(directory.c_str(), names) != 0) return 0;
  int removed = 0;
  for (const std::string& name : names) {
    if (!name.starts_with(prefix) || name.size() != prefix.size() + kTemporarySuffix) continue;
    const std::string candidate = directory + "/" + name;
    struct stat st;
    if (Files().Lstat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && Files().Unlink(candidate.c_str()) == 0)
      ++removed;
  }
  return removed;
}

bool LinkFile(std::wstring_view from, std::wstring_view to, FileError& error) {
  const std::string source = NativePath(from), target = NativePath(to);
  if (Files().Link(source.c_str(), target.c_str()) == 0) return true;
  error = Failed("link", target);
  return false;
}

bool MakeDirectory(std::wstring_view path, FileError& error) {
  const std::string native = NativePath(path);
  if (Files().Mkdir(native.c_str(), 0777) == 0 || errno == EEXIST) return true;
  error = Failed("create the directory", native);
  return false;
}

bool RemoveFile(std::wstring_view path, FileError& error) {
  const std::string native = NativePath(path);
  if (Files().Unlink(native.c_str()) == 0) return true;
  error = Failed("remove", native);
  return false;
}

bool ListDirectory(std::wstring_view path, std::vector<std::wstring>& names, FileError& error) {
  const std::string native = NativePath(path);
  std::vector<std::string> found;
  if (Files().ListDirectory(native.c_str(), found) != 0) {
    error = Failed("list", native);
    return false;
  }
  names.clear();
  for (const std::string& name : found) names.push_back(WidePath(name));
  return true;
}

FileLock::FileLock(std::wstring_view path) {
  const std::string native = NativePath(path);
  // No link is followed: a planted link must not make this process create or open files elsewhere.
  int fd = Files().Open(native.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM))
    fd = Files().Open(native.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC, 0);
  if (fd < 0) {
    error_ = Failed("open the lock file", native);
    return;
  }
  int locked;
  while ((locked = Files().Flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
  }
  if (locked != 0) {
    error_ = Failed("lock", native);
    Files().Close(fd);
    return;
  }
  fd_ = fd;
}

FileLock::~FileLock() {
  if (fd_ >= 0) Files().Close(fd_);  // closing releases the lock
}

}  // namespace platform
