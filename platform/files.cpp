#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
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

bool ReplaceFileAtomically(std::wstring_view path, std::string_view bytes) {
  const std::string target = NativePath(path);
  const std::size_t slash = target.rfind('/');
  const std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  if (name.empty()) return false;
  std::string temporary = (slash == std::string::npos ? "" : target.substr(0, slash + 1)) + "." + name + ".tmp-XXXXXX";

  const Descriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
  if (fd.get() < 0) return false;
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
  const Descriptor dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());
  return true;
}

bool CopyFileReplacing(std::wstring_view from, std::wstring_view to) {
  const FileContent content = ReadWholeFile(from);
  return content.readable && ReplaceFileAtomically(to, content.bytes);
}

}  // namespace platform
