#include "platform/FileSystem.h"

#include <fcntl.h>
#include <unistd.h>

#include <memory>

namespace platform {

FileSystem::~FileSystem() = default;

int FileSystem::Open(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }
int FileSystem::Close(int fd) { return ::close(fd); }
int FileSystem::Stat(const char* path, struct stat* st) { return ::stat(path, st); }
int FileSystem::Fstat(int fd, struct stat* st) { return ::fstat(fd, st); }
ssize_t FileSystem::Read(int fd, void* buffer, size_t size) { return ::read(fd, buffer, size); }
ssize_t FileSystem::Write(int fd, const void* buffer, size_t size) { return ::write(fd, buffer, size); }
int FileSystem::Fsync(int fd) { return ::fsync(fd); }
int FileSystem::Fchown(int fd, uid_t owner, gid_t group) { return ::fchown(fd, owner, group); }
int FileSystem::Fchmod(int fd, mode_t mode) { return ::fchmod(fd, mode); }
int FileSystem::Futimens(int fd, const struct timespec times[2]) { return ::futimens(fd, times); }

int FileSystem::Openat(int dir, const char* name, int flags, mode_t mode) { return ::openat(dir, name, flags, mode); }
int FileSystem::Fstatat(int dir, const char* name, struct stat* st, int flags) {
  return ::fstatat(dir, name, st, flags);
}
ssize_t FileSystem::Readlinkat(int dir, const char* name, char* buffer, size_t size) {
  return ::readlinkat(dir, name, buffer, size);
}
int FileSystem::Renameat(int fromDir, const char* from, int toDir, const char* to) {
  return ::renameat(fromDir, from, toDir, to);
}
int FileSystem::Unlinkat(int dir, const char* name, int flags) { return ::unlinkat(dir, name, flags); }
int FileSystem::Linkat(int fromDir, const char* from, int toDir, const char* to, int flags) {
  return ::linkat(fromDir, from, toDir, to, flags);
}
int FileSystem::Mkdirat(int dir, const char* name, mode_t mode) { return ::mkdirat(dir, name, mode); }
int FileSystem::LockRecord(int fd, int command, struct flock* lock) { return ::fcntl(fd, command, lock); }

int FileSystem::ListDirectoryAt(int dir, std::vector<std::string>& names) {
  // fdopendir takes the descriptor over: a descriptor of its own, opened for reading.
  const int own = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (own < 0) return -1;
  const std::unique_ptr<DIR, int (*)(DIR*)> stream(::fdopendir(own), ::closedir);
  if (stream == nullptr) {
    ::close(own);
    return -1;
  }
  names.clear();
  while (const dirent* entry = ::readdir(stream.get())) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  return 0;
}

}  // namespace platform
