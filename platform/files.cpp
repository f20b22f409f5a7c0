#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>

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
  return stamp;
}

// Closes a descriptor on every path.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

FileStamp StatPath(std::wstring_view path) {
  struct stat st;
  if (::stat(NativePath(path).c_str(), &st) != 0) return {};
  return StampOf(st);
}

FileContent ReadWholeFile(std::wstring_view path) {
  FileContent content;
  const Descriptor fd(::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return content;
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) return content;
  content.stamp = StampOf(st);
  if (content.stamp.kind == FileStamp::Kind::Directory) return content;
  // The size is a hint only: the file may be a pipe, or change while it is read.
  content.bytes.resize(content.stamp.kind == FileStamp::Kind::File ? content.stamp.size + 1 : 4096);
  std::size_t used = 0;
  for (;;) {
    if (used == content.bytes.size()) content.bytes.resize(content.bytes.size() * 2);
    const ssize_t got = ::read(fd.get(), content.bytes.data() + used, content.bytes.size() - used);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return FileContent{};
    if (got == 0) break;
    used += static_cast<std::size_t>(got);
  }
  content.bytes.resize(used);
  content.readable = true;
  return content;
}

namespace {

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace

// A file path split for the temporary files of its saves.
struct SavePaths {
  explicit SavePaths(std::wstring_view path) : target(NativePath(path)) {
    const std::size_t slash = target.rfind('/');
    directory = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    name = slash == std::string::npos ? target : target.substr(slash + 1);
    temporaryPrefix = "." + name + ".tmp-";
  }
  std::string InDirectory(const std::string& file) const { return directory + "/" + file; }

  std::string target, directory, name, temporaryPrefix;
};

constexpr std::size_t kTemporarySuffix = 6;  // the XXXXXX of mkostemp

bool ReplaceFileAtomically(std::wstring_view path, std::string_view bytes) {
  const SavePaths paths(path);
  if (paths.name.empty()) return false;
  std::string temporary = paths.InDirectory(paths.temporaryPrefix + std::string(kTemporarySuffix, 'X'));

  const Descriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
  if (fd.get() < 0) return false;
  // Held until the file is renamed or given up: RemoveAbandonedTemporaries
  // tells a live save from a killed one by it.
  ::flock(fd.get(), LOCK_EX);
  const std::string& target = paths.target;
  struct stat old;
  const mode_t mode = ::stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
  const bool written = ::fchmod(fd.get(), mode) == 0 && WriteAll(fd.get(), bytes) && ::fsync(fd.get()) == 0 &&
                       ::rename(temporary.c_str(), target.c_str()) == 0;
  if (!written) {
    ::unlink(temporary.c_str());
    return false;
  }
  // The rename is durable once the directory is on disk; a failure here
  // cannot be undone and the new file is in place, so it counts as written.
  const Descriptor dir(::open(paths.directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());
  return true;
}

int RemoveAbandonedTemporaries(std::wstring_view path) {
  const SavePaths paths(path);
  if (paths.name.empty()) return 0;
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(paths.directory.c_str()), ::closedir);
  if (dir == nullptr) return 0;
  int removed = 0;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string_view file = entry->d_name;
    if (!file.starts_with(paths.temporaryPrefix) || file.size() != paths.temporaryPrefix.size() + kTemporarySuffix)
      continue;
    const std::string candidate = paths.InDirectory(std::string(file));
    const Descriptor fd(::open(candidate.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st;
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 && ::unlink(candidate.c_str()) == 0) ++removed;
  }
  return removed;
}

bool CopyFileReplacing(std::wstring_view from, std::wstring_view to) {
  const FileContent content = ReadWholeFile(from);
  return content.readable && ReplaceFileAtomically(to, content.bytes);
}

}  // namespace platform
