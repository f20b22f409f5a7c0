#include "platform/files.h"

#include <fcntl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <random>
#include <thread>
#include <utility>

#include "platform/FileSystem.h"
#include "platform/strings.h"

namespace platform {
namespace {

FileStamp StampOf(const struct stat& st) {
  FileStamp stamp;
  stamp.kind = S_ISREG(st.st_mode)   ? FileStamp::Kind::File
               : S_ISDIR(st.st_mode) ? FileStamp::Kind::Directory
               : S_ISLNK(st.st_mode) ? FileStamp::Kind::Link
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

FileError Failed(const char* call, const std::string& path, int code = errno, std::string detail = {}) {
  return FileError{code, call, path, std::move(detail)};
}

void Set(FileError* target, FileError error) {
  if (target != nullptr) *target = std::move(error);
}

std::string Join(const std::string& directory, std::string_view name) {
  if (directory.empty()) return std::string(name);
  std::string path = directory;
  if (!path.ends_with('/')) path += '/';
  return path.append(name);
}

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "" : slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string TemporaryPrefix(std::string_view name) {
  std::string prefix = ".";  // appended, not added up: g++ 12 warns falsely (-Wrestrict) on "." + name
  prefix.append(name).append(".tmp-");
  return prefix;
}
constexpr std::size_t kTemporarySuffix = 6;
constexpr int kMaxLinks = 40;  // as the kernel's own limit on a chain of links

// Reads a regular file whole from `fd`, refusing anything else before a byte
// is read, and a file that grows past the limit while it is read.
FileContent ReadOpened(int fd, const std::string& path, std::uint64_t limit) {
  FileContent content;
  struct stat st;
  if (Files().Fstat(fd, &st) != 0) {
    content.error = Failed("examine", path);
    return content;
  }
  if (S_ISDIR(st.st_mode)) {
    content.error = Failed("read", path, EISDIR);
    return content;
  }
  if (!S_ISREG(st.st_mode)) {
    content.error = Failed("read", path, EINVAL, "not a regular file (a FIFO, a device or a socket), which is never read");
    return content;
  }
  const auto tooLarge = [&] {
    content.bytes.clear();
    content.error = Failed("read", path, EFBIG,
                           "larger than the " + std::to_string(limit >> 20) + " MiB that a file read here may hold");
    return content;
  };
  if (static_cast<std::uint64_t>(st.st_size) > limit) return tooLarge();
  // The size is a hint only (files in /proc say 0): read to the end, never past the limit.
  content.bytes.resize(static_cast<std::size_t>(st.st_size) + 1);
  std::size_t used = 0;
  for (;;) {
    if (used == content.bytes.size()) {
      if (used > limit) return tooLarge();
      content.bytes.resize(std::min<std::uint64_t>(content.bytes.size() * 2 + 4096, limit + 1));
    }
    const ssize_t got = Files().Read(fd, content.bytes.data() + used, content.bytes.size() - used);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      content.bytes.clear();
      content.error = Failed("read", path);
      return content;
    }
    if (got == 0) break;
    used += static_cast<std::size_t>(got);
  }
  if (used > limit) return tooLarge();
  content.bytes.resize(used);
  // The stamp of the file as it is after the read: a change during the read
  // shows as a stamp that no longer matches what was read.
  if (Files().Fstat(fd, &st) != 0) {
    content.bytes.clear();
    content.error = Failed("examine", path);
    return content;
  }
  content.stamp = StampOf(st);
  content.readable = true;
  return content;
}

// A fresh temporary file beside `name`, created with mode 0666 so that the
// system applies the umask (and a default ACL) as for any new file.
int CreateTemporary(const Directory& directory, std::string_view name, std::string& temporary, FileError& error) {
  static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937_64 random{std::random_device{}()};
  const std::string prefix = TemporaryPrefix(name);
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = prefix;
    for (std::size_t i = 0; i < kTemporarySuffix; ++i) temporary += kLetters[random() % (sizeof kLetters - 1)];
    const int fd = Files().Openat(directory.fd(), temporary.c_str(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0) return fd;
    if (errno != EEXIST) break;
  }
  error = Failed("create", directory.PathOf(temporary));
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

// Someone other than root and the caller may change what the directory holds.
bool WritableByOthers(const FileStamp& directory) {
  const std::uint32_t self = ::geteuid();
  return (directory.owner != 0 && directory.owner != self) || (directory.mode & S_IWOTH) != 0 ||
         ((directory.mode & S_IWGRP) != 0 && directory.group != 0);
}

// A link that may be read in `directory`: in a sticky directory that all may
// write, only the caller's own and those of the directory's owner, as the
// kernel itself follows links there.
bool MayReadLink(const FileStamp& link, const FileStamp& directory) {
  const bool shared = (directory.mode & S_ISVTX) != 0 && (directory.mode & S_IWOTH) != 0;
  return !shared || link.owner == ::geteuid() || link.owner == directory.owner;
}

// The components of a path, in order; "" and "." left out.
std::deque<std::string> Components(std::string_view path) {
  std::deque<std::string> components;
  while (!path.empty()) {
    const std::size_t slash = path.find('/');
    const std::string_view part = path.substr(0, slash);
    if (!part.empty() && part != ".") components.emplace_back(part);
    path.remove_prefix(slash == std::string_view::npos ? path.size() : slash + 1);
  }
  return components;
}

ssize_t ReadLinkAt(int directory, const std::string& name, std::string& text) {
  text.assign(4096, '\0');
  const ssize_t length = Files().Readlinkat(directory, name.c_str(), text.data(), text.size());
  if (length < 0 || static_cast<std::size_t>(length) >= text.size()) return length < 0 ? -1 : (errno = ENAMETOOLONG, -1);
  text.resize(static_cast<std::size_t>(length));
  return length;
}


constexpr int kDirectoryFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// The start of a walk: the root for an absolute path, else the working directory.
Directory Base(bool absolute, FileError& error) {
  const char* start = absolute ? "/" : ".";
  const int fd = Files().Open(start, O_PATH | O_DIRECTORY | O_CLOEXEC, 0);
  if (fd < 0) error = Failed("open the directory", start);
  return Directory::Adopt(fd, absolute ? "/" : "");
}

// A descriptor of the same directory, for a walk that must leave the original as it is.
Directory Duplicate(const Directory& directory, FileError& error) {
  const int fd = Files().Openat(directory.fd(), ".", O_PATH | O_DIRECTORY | O_CLOEXEC, 0);
  if (fd < 0) error = Failed("open the directory", directory.path().empty() ? "." : directory.path());
  return Directory::Adopt(fd, directory.path());
}

// A link belongs to the caller or root, or to the owner of what it points to
// (`target`; Missing when nothing is there): a link someone else planted
// must not lead this process to files of its own.
bool MayFollow(const FileStamp& link, const FileStamp& target) {
  const std::uint32_t self = ::geteuid();
  return link.owner == self || link.owner == 0 || (target.kind != FileStamp::Kind::Missing && target.owner == link.owner);
}

// Walks `path` from `directory` (from "/" for an absolute path) one component
// at a time, each opened relative to the one before and each link read once:
// nothing is resolved twice, so what is reached is what was examined.
Directory Walk(Directory directory, const std::string& path, int& hops, FileError& error) {
  if (path.starts_with('/')) directory = Base(true, error);
  std::deque<std::string> pending = Components(path);
  while (directory.valid() && !pending.empty()) {
    const std::string component = std::move(pending.front());
    pending.pop_front();
    const int next = Files().Openat(directory.fd(), component.c_str(), kDirectoryFlags, 0);
    if (next >= 0) {
      directory = Directory::Adopt(next, directory.PathOf(component));
      continue;
    }
    const int openError = errno;
    const std::string where = directory.PathOf(component);
    const FileStamp entry = directory.StatEntry(component);
    if (entry.kind != FileStamp::Kind::Link) {
      error = Failed("open the directory", where, openError);
      return {};
    }
    std::string text;
    if (++hops > kMaxLinks) {
      error = Failed("follow the link", where, ELOOP);
      return {};
    }
    if (!MayReadLink(entry, directory.Stamp())) {
      error = Failed("follow the link of another user", where, EACCES);
      return {};
    }
    if (ReadLinkAt(directory.fd(), component, text) < 0) {
      error = Failed("read the link", where);
      return {};
    }
    // The link's target, walked on its own, so that the rule holds for what it reached.
    Directory reached = Walk(text.starts_with('/') ? Directory() : Duplicate(directory, error), text, hops, error);
    if (!reached.valid()) return {};
    if (!MayFollow(entry, reached.Stamp())) {
      error = Failed("follow the link of another user", where, EACCES);
      return {};
    }
    directory = std::move(reached);
  }
  return directory;
}

// Whether a link that `link` describes may be written through to `target`
// (what its chain ends in; Missing when nothing is there) in `directory`.
bool MayWriteThrough(const FileStamp& link, const FileStamp& target, const FileStamp& directory,
                     const std::string& path, FileError& error) {
  if (!MayFollow(link, target)) {
    error = Failed("follow the link of another user", path, EACCES);
    return false;
  }
  if (directory.kind == FileStamp::Kind::Missing) return true;  // reading only
  if (::geteuid() == 0 && link.owner != 0) {
    error = Failed("write through the link", path, EACCES, "the link belongs to another user, and root writes through its own only");
    return false;
  }
  if (::geteuid() == 0 && WritableByOthers(directory)) {
    error = Failed("write through the link", path, EACCES,
                   "its target's directory may be written by another user, so root does not write there");
    return false;
  }
  return true;
}

}  // namespace

std::wstring FileError::Describe() const {
  const std::string text = "cannot " + call + " " + path + ": " + (detail.empty() ? std::strerror(code) : detail);
  return WidePath(text);
}

std::wstring AbsolutePath(std::wstring_view path) {
  if (path.empty() || path.front() == L'/') return std::wstring(path);
  std::string directory(PATH_MAX, '\0');
  while (::getcwd(directory.data(), directory.size()) == nullptr) {
    if (errno != ERANGE) return std::wstring(path);
    directory.resize(directory.size() * 2);
  }
  directory.resize(std::strlen(directory.c_str()));
  std::wstring absolute = WidePath(directory);
  if (absolute.back() != L'/') absolute += L'/';
  return absolute + std::wstring(path);
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

FileContent ReadWholeFile(std::wstring_view path, const ReadOptions& options) {
  if (options.asSaveFollows) {
    WriteTarget target;
    FileContent content;
    if (!ResolveTarget(path, true, target, content.error, true)) return content;
    return target.directory.Read(target.name, options.limit);
  }
  const std::string native = NativePath(path);
  // Without blocking: a FIFO opens at once (and is then refused), instead of waiting for a writer.
  const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | (options.noFollow ? O_NOFOLLOW : 0);
  const Descriptor fd(Files().Open(native.c_str(), flags, 0));
  if (fd.get() < 0) {
    FileContent content;
    content.error = errno == ELOOP && options.noFollow
                        ? Failed("read", native, ELOOP, "a symbolic link, which is not followed here")
                        : Failed("open", native);
    return content;
  }
  return ReadOpened(fd.get(), native, options.limit);
}

Descriptor::~Descriptor() { reset(); }

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept {
  if (this != &other) reset(other.release());
  return *this;
}

void Descriptor::reset(int fd) noexcept {
  if (fd_ >= 0) Files().Close(fd_);
  fd_ = fd;
}

// ---------------------------------------------------------------------------
// Directories held open.

Directory::~Directory() {
  if (fd_ >= 0) Files().Close(fd_);
}

Directory::Directory(Directory&& other) noexcept : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

Directory& Directory::operator=(Directory&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) Files().Close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

Directory Directory::Open(std::wstring_view path, FileError& error) {
  const std::string native = NativePath(path);
  int hops = 0;
  Directory base = Base(native.starts_with('/'), error);
  return base.valid() ? Walk(std::move(base), native, hops, error) : Directory();
}

Directory Directory::Subdirectory(std::string_view name, bool create, FileError& error) const {
  const std::string own(name);
  int fd = Files().Openat(fd_, own.c_str(), kDirectoryFlags, 0);
  if (fd < 0 && errno == ENOENT && create) {
    if (Files().Mkdirat(fd_, own.c_str(), 0777) != 0 && errno != EEXIST) {
      error = Failed("create the directory", PathOf(name));
      return {};
    }
    fd = Files().Openat(fd_, own.c_str(), kDirectoryFlags, 0);
  }
  if (fd < 0) {
    error = Failed("open the directory", PathOf(name));
    return {};
  }
  return Adopt(fd, PathOf(name));
}

std::string Directory::PathOf(std::string_view name) const { return Join(path_, name); }

FileStamp Directory::Stamp(FileError* error) const {
  struct stat st;
  if (Files().Fstat(fd_, &st) != 0) {
    Set(error, Failed("examine", path_.empty() ? "." : path_));
    return {};
  }
  return StampOf(st);
}

FileStamp Directory::StatEntry(std::string_view name, FileError* error) const {
  const std::string own(name);
  struct stat st;
  if (Files().Fstatat(fd_, own.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno != ENOENT) Set(error, Failed("examine", PathOf(name)));
    return {};
  }
  return StampOf(st);
}

FileContent Directory::Read(std::string_view name, std::uint64_t limit) const {
  const std::string own(name), path = PathOf(name);
  const Descriptor fd(Files().Openat(fd_, own.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, 0));
  if (fd.get() < 0) {
    FileContent content;
    content.error = errno == ELOOP ? Failed("read", path, ELOOP, "a symbolic link, which is not followed here")
                                   : Failed("open", path);
    return content;
  }
  return ReadOpened(fd.get(), path, limit);
}

bool Directory::Holds(std::string_view name, std::string_view bytes, const FileStamp& stamp) const {
  const std::string own(name);
  const Descriptor fd(Files().Openat(fd_, own.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, 0));
  const auto unchanged = [&] {
    struct stat st;
    return Files().Fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) && StampOf(st) == stamp;
  };
  if (fd.get() < 0 || !unchanged()) return false;
  char piece[16384];
  std::size_t used = 0;
  for (;;) {
    const ssize_t got = Files().Read(fd.get(), piece, sizeof piece);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 || static_cast<std::size_t>(got) > bytes.size() - used) return false;
    if (got == 0) break;
    if (std::memcmp(piece, bytes.data() + used, static_cast<std::size_t>(got)) != 0) return false;
    used += static_cast<std::size_t>(got);
  }
  return used == bytes.size() && unchanged();
}

bool Directory::Replace(std::string_view name, std::string_view bytes, const WriteOptions& options,
                        const FileStamp& old, FileError& error, Written* written) const {
  const FileStamp* like = options.permissions == Permissions::Like ? &options.like
                          : options.permissions == Permissions::KeepTarget && old.kind == FileStamp::Kind::File ? &old
                                                                                                              : nullptr;
  const std::string own(name);
  std::string temporary;
  const Descriptor fd(CreateTemporary(*this, name, temporary, error));
  if (fd.get() < 0) return false;
  // Until it is renamed into place, the temporary goes whatever ends the
  // write early, running out of memory included.
  struct Unplaced {
    const Directory& directory;
    const std::string& name;
    bool placed = false;
    ~Unplaced() {
      if (!placed) Files().Unlinkat(directory.fd(), name.c_str(), 0);
    }
  } unplaced{*this, temporary};
  const auto fail = [&](const char* call, const std::string& file) {
    if (!error) error = Failed(call, file);
    return false;
  };
  if (like != nullptr && !ApplyPermissions(fd.get(), *like, PathOf(temporary), error)) return fail("chmod", "");
  if (!WriteAll(fd.get(), bytes)) return fail("write", PathOf(temporary));
  // The kernel stamps a write with the coarse clock's present step: a time
  // just before that step is one it gives no later write. A failure leaves
  // the time the write gave.
  std::int64_t settledNs = -1;
  if (options.settleTime) {
    struct timespec times[2] = {{0, UTIME_OMIT}, {}};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &times[1]);
    times[1] = times[1].tv_nsec > 0 ? timespec{times[1].tv_sec, times[1].tv_nsec - 1} : timespec{times[1].tv_sec - 1, 999'999'999};
    if (Files().Futimens(fd.get(), times) == 0)
      settledNs = static_cast<std::int64_t>(times[1].tv_sec) * 1'000'000'000 + times[1].tv_nsec;
  }
  if (Files().Fsync(fd.get()) != 0) return fail("flush", PathOf(temporary));
  if (Files().Renameat(fd_, temporary.c_str(), fd_, own.c_str()) != 0) return fail("replace", PathOf(name));
  unplaced.placed = true;
  struct stat st;
  if (written != nullptr) {
    written->stamp = Files().Fstat(fd.get(), &st) == 0 ? StampOf(st) : FileStamp{};
    // Held only when the file system kept the time; read-only, so that what
    // holds it cannot write through it.
    written->file.reset();
    if (settledNs >= 0 && written->stamp.modifiedNs == settledNs) {
      written->file.reset(Files().Openat(fd_, own.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0));
      if (written->file.get() >= 0 && (Files().Fstat(written->file.get(), &st) != 0 || StampOf(st) != written->stamp))
        written->file.reset();
    }
  }
  // The rename is durable once the directory is on disk; a failure here
  // cannot be undone and the new file is in place, so it counts as written.
  Flush();
  return true;
}

bool Directory::LinkFrom(const Directory& source, std::string_view from, std::string_view name, FileError& error) const {
  const std::string own(from), to(name);
  if (Files().Linkat(source.fd(), own.c_str(), fd_, to.c_str(), 0) == 0) return true;
  error = Failed("link", PathOf(name));
  return false;
}

bool Directory::Remove(std::string_view name, FileError& error) const {
  const std::string own(name);
  if (Files().Unlinkat(fd_, own.c_str(), 0) == 0) return true;
  error = Failed("remove", PathOf(name));
  return false;
}

bool Directory::List(std::vector<std::string>& names, FileError& error) const {
  if (Files().ListDirectoryAt(fd_, names) == 0) return true;
  error = Failed("list", path_.empty() ? "." : path_);
  return false;
}

bool Directory::Flush() const {
  // The walk holds O_PATH descriptors, which cannot be flushed: one for reading.
  const Descriptor readable(Files().Openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
  return readable.get() >= 0 && Files().Fsync(readable.get()) == 0;
}

bool ResolveTarget(std::wstring_view path, bool followLink, WriteTarget& target, FileError& error, bool reading) {
  std::string native = NativePath(path);
  std::string name = NameOf(native);
  if (name.empty() || name == "..") {
    error = Failed("write", native, EISDIR);
    return false;
  }
  int hops = 0;
  Directory directory = Base(native.starts_with('/'), error);
  if (directory.valid()) directory = Walk(std::move(directory), DirectoryOf(native), hops, error);
  FileStamp link;
  target.linked = false;
  for (;;) {
    if (!directory.valid()) return false;
    target.old = directory.StatEntry(name, &error);
    if (error) return false;
    if (!followLink || target.old.kind != FileStamp::Kind::Link) break;
    std::string text;
    if (++hops > kMaxLinks || ReadLinkAt(directory.fd(), name, text) < 0) {
      error = hops > kMaxLinks ? Failed("follow the link", directory.PathOf(name), ELOOP)
                               : Failed("read the link", directory.PathOf(name));
      return false;
    }
    if (!MayReadLink(target.old, directory.Stamp())) {
      error = Failed("follow the link of another user", directory.PathOf(name), EACCES);
      return false;
    }
    link = target.old;
    target.linked = true;
    name = NameOf(text);
    if (name.empty() || name == "..") {
      error = Failed("write", text, EISDIR);
      return false;
    }
    directory = Walk(text.starts_with('/') ? Directory() : Duplicate(directory, error), DirectoryOf(text), hops, error);
  }
  if (target.linked && !MayWriteThrough(link, target.old, reading ? FileStamp{} : directory.Stamp(),
                                        directory.PathOf(name), error))
    return false;
  target.directory = std::move(directory);
  target.name = std::move(name);
  return true;
}

bool ReplaceFileAtomically(std::wstring_view path, std::string_view bytes, const WriteOptions& options,
                           FileError* error, Written* written) {
  FileError failure;
  WriteTarget target;
  if (ResolveTarget(path, options.followLink, target, failure) &&
      target.directory.Replace(target.name, bytes, options, target.old, failure, written))
    return true;
  Set(error, std::move(failure));
  return false;
}

int RemoveAbandonedTemporaries(const Directory& directory, std::string_view name) {
  const std::string prefix = TemporaryPrefix(name);
  std::vector<std::string> names;
  FileError ignored;
  if (!directory.List(names, ignored)) return 0;
  int removed = 0;
  for (const std::string& candidate : names) {
    if (!candidate.starts_with(prefix) || candidate.size() != prefix.size() + kTemporarySuffix) continue;
    if (directory.StatEntry(candidate).kind == FileStamp::Kind::File && directory.Remove(candidate, ignored)) ++removed;
  }
  return removed;
}

// ---------------------------------------------------------------------------
// The writers' lock.

std::string LockNameFor(std::string_view name) {
  std::string lock(name.ends_with(".xml") ? name.substr(0, name.size() - 4) : name);
  return lock.append(".lock");
}

std::chrono::milliseconds LockTimeoutFromEnvironment() {
  constexpr std::chrono::milliseconds kDefault{10'000};
  const char* text = std::getenv("KVO_LOCK_TIMEOUT");
  if (text == nullptr) return kDefault;
  double seconds = 0;
  const char* end = text + std::strlen(text);
  const auto [last, failure] = std::from_chars(text, end, seconds);
  if (failure != std::errc() || last != end || !(seconds >= 0) || seconds > 86'400) return kDefault;
  return std::chrono::milliseconds(static_cast<std::int64_t>(seconds * 1000));
}

namespace {

// Read and write for exactly those whom `mode` lets write; the owner always.
std::uint32_t LockMode(std::uint32_t mode) {
  return 0600 | ((mode & S_IWGRP) != 0 ? 0060 : 0) | ((mode & S_IWOTH) != 0 ? 0006 : 0);
}

// Which process holds the lock on `fd`'s file, where the system tells: the
// lock itself names none for locks of open file descriptions, /proc/locks does.
std::string Holder(int fd) {
  struct flock probe {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  if (Files().LockRecord(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK && probe.l_pid > 0)
    return std::to_string(probe.l_pid);
  struct stat st;
  if (Files().Fstat(fd, &st) != 0) return {};
  char file[64];
  std::snprintf(file, sizeof file, " %02x:%02x:%llu ", major(st.st_dev), minor(st.st_dev),
                static_cast<unsigned long long>(st.st_ino));
  const FileContent locks = ReadWholeFile(L"/proc/locks");
  // "1: OFDLCK ADVISORY  WRITE 1234 08:01:5678 0 EOF"
  for (std::size_t start = 0; locks.readable && start < locks.bytes.size();) {
    const std::size_t end = std::min(locks.bytes.find('\n', start), locks.bytes.size());
    const std::string line = locks.bytes.substr(start, end - start);
    start = end + 1;
    const std::size_t at = line.find(file);
    if (at == std::string::npos || line.find("->") != std::string::npos) continue;
    const std::size_t pid = line.find_last_of(' ', at - 1);
    if (pid != std::string::npos && pid + 1 < at && line.substr(pid + 1, at - pid - 1) != "-1")
      return line.substr(pid + 1, at - pid - 1);
  }
  return {};
}

}  // namespace

FileLock::FileLock(const Directory& directory, std::string name, const FileStamp& guarded,
                   std::chrono::milliseconds timeout) {
  const std::string path = directory.PathOf(name);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (int attempt = 0; attempt < 10; ++attempt) {
    // No link is followed: a planted link must not make this process create or open files elsewhere.
    Descriptor fd(Files().Openat(directory.fd(), name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                                 guarded.kind == FileStamp::Kind::Missing ? 0600 : LockMode(guarded.mode)));
    struct stat st;
    if (fd.get() < 0 || Files().Fstat(fd.get(), &st) != 0) {
      error_ = Failed("open the lock file", path);
      return;
    }
    if (!S_ISREG(st.st_mode)) {
      error_ = Failed("open the lock file", path, EINVAL, "not a regular file");
      return;
    }
    // Until there is a document, for the caller alone.
    const bool known = guarded.kind != FileStamp::Kind::Missing;
    FileStamp like = StampOf(st);
    like.mode = LockMode(known ? guarded.mode : 0600);
    if (known) {
      like.owner = guarded.owner;
      like.group = guarded.group;
    }
    if ((st.st_mode & 07777) != like.mode || (known && (st.st_uid != like.owner || st.st_gid != like.group))) {
      // One that gives more than its due may be open in a reader's hands: a new
      // file takes its place, and the old one locks nothing any more.
      FileError ignored;
      WriteOptions options;
      options.permissions = Permissions::Like;
      options.like = like;
      if ((st.st_mode & 0066 & ~like.mode) != 0 && directory.Replace(name, "", options, {}, ignored)) continue;
      ApplyPermissions(fd.get(), like, path, ignored);
    }
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    auto pause = std::chrono::milliseconds(1);
    while (Files().LockRecord(fd.get(), F_OFD_SETLK, &lock) != 0) {
      if (errno == EINTR) continue;
      if (errno != EAGAIN) {  // the one answer of a lock that another description holds
        error_ = Failed("lock", path);
        return;
      }
      if (std::chrono::steady_clock::now() >= deadline) {
        const std::string holder = Holder(fd.get());
        char waited[32];
        std::snprintf(waited, sizeof waited, ", waited %.1f s", static_cast<double>(timeout.count()) / 1000);
        error_ = Failed("lock", path, EAGAIN,
                        "another writer holds the lock" + (holder.empty() ? std::string() : " (process " + holder + ")") +
                            waited);
        return;
      }
      std::this_thread::sleep_for(pause);
      pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
    // Locked; still the file of that name, not one a replacement left behind?
    const FileStamp now = directory.StatEntry(name);
    if (now.device == st.st_dev && now.inode == st.st_ino) {
      fd_ = fd.release();
      return;
    }
  }
  error_ = Failed("lock", path, EAGAIN, "the lock file keeps being replaced");
}

FileLock::~FileLock() {
  if (fd_ >= 0) Files().Close(fd_);  // closing releases the lock
}

}  // namespace platform
