#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

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

}  // namespace platform
