// The one seam through which every file-system call of the library passes, in
// the manner of a storage engine's environment object: a test installs a
// FileSystem of its own (usually one that forwards to the default and fails
// chosen calls) to see what each failure does.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace platform {

// Each call has the contract of the POSIX call of the same name: -1 (or null)
// with errno set on failure. Paths are native (UTF-8 bytes, '/' separated).
class FileSystem {
 public:
  virtual ~FileSystem();

  virtual int Open(const char* path, int flags, mode_t mode);
  virtual int Close(int fd);
  virtual int Stat(const char* path, struct stat* st);
  virtual int Fstat(int fd, struct stat* st);
  virtual ssize_t Read(int fd, void* buffer, size_t size);
  virtual ssize_t Write(int fd, const void* buffer, size_t size);
  virtual int Fsync(int fd);
  virtual int Fchown(int fd, uid_t owner, gid_t group);
  virtual int Fchmod(int fd, mode_t mode);
  virtual int Futimens(int fd, const struct timespec times[2]);

  // Relative to an open directory: what is reached is what was examined.
  virtual int Openat(int dir, const char* name, int flags, mode_t mode);
  virtual int Fstatat(int dir, const char* name, struct stat* st, int flags);
  virtual ssize_t Readlinkat(int dir, const char* name, char* buffer, size_t size);
  virtual int Renameat(int fromDir, const char* from, int toDir, const char* to);
  virtual int Unlinkat(int dir, const char* name, int flags);
  virtual int Linkat(int fromDir, const char* from, int toDir, const char* to, int flags);
  virtual int Mkdirat(int dir, const char* name, mode_t mode);
  // The names in the open directory `dir`, "." and ".." left out. 0, or -1 with errno.
  virtual int ListDirectoryAt(int dir, std::vector<std::string>& names);
  // fcntl with a struct flock (F_OFD_SETLK, F_OFD_GETLK).
  virtual int LockRecord(int fd, int command, struct flock* lock);
};

// The file system in use: the POSIX one unless a test installed another.
// There is one per process: the slot lives in libkvohost.so, which every
// program that uses the library loads exactly once.
__attribute__((visibility("default"))) FileSystem& Files();
// Installs `fileSystem` (nullptr: the POSIX one again) and returns the one it
// replaces. Not for use while another thread works with files.
__attribute__((visibility("default"))) FileSystem* SetFileSystem(FileSystem* fileSystem);

}  // namespace platform
