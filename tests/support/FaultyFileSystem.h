// A file system that forwards to the real one and fails chosen calls with a
// chosen errno: the n-th call (counting every kind), or every call of one kind
// on files whose path ends in a given text. Installed for its lifetime.
#pragma once

#include <cerrno>
#include <map>
#include <string>

#include "platform/FileSystem.h"

namespace testsupport {

class FaultyFileSystem : public platform::FileSystem {
 public:
  // Fails call number `failAt` (1 for the first) with `error`, counted from construction.
  FaultyFileSystem(int failAt, int error) : failAt_(failAt), error_(error), real_(platform::SetFileSystem(this)) {}
  // Fails every `call` ("Open", "Read", ...) on a path ending in `pathEnd`,
  // or only the first `times` of them.
  FaultyFileSystem(std::string call, std::string pathEnd, int error, int times = -1)
      : error_(error),
        call_(std::move(call)),
        pathEnd_(std::move(pathEnd)),
        times_(times),
        real_(platform::SetFileSystem(this)) {}
  ~FaultyFileSystem() override { platform::SetFileSystem(real_); }
  FaultyFileSystem(const FaultyFileSystem&) = delete;
  FaultyFileSystem& operator=(const FaultyFileSystem&) = delete;

  // The n-th call came: the scenario made more calls than `failAt`.
  bool failed() const { return calls_ >= failAt_; }
  void Stop() { armed_ = false; }

  int Open(const char* p, int f, mode_t m) override {
    if (Fail("Open", p)) return -1;
    const int fd = real_->Open(p, f, m);
    if (fd >= 0) paths_[fd] = p;
    return fd;
  }
  int Close(int fd) override {
    const bool fail = Fail("Close", PathOf(fd));
    paths_.erase(fd);
    const int result = real_->Close(fd);
    return fail ? -1 : result;
  }
  int Stat(const char* p, struct stat* s) override { return Fail("Stat", p) ? -1 : real_->Stat(p, s); }
  int Fstat(int fd, struct stat* s) override { return Fail("Fstat", PathOf(fd)) ? -1 : real_->Fstat(fd, s); }
  ssize_t Read(int fd, void* b, size_t n) override { return Fail("Read", PathOf(fd)) ? -1 : real_->Read(fd, b, n); }
  ssize_t Write(int fd, const void* b, size_t n) override { return Fail("Write", PathOf(fd)) ? -1 : real_->Write(fd, b, n); }
  int Fsync(int fd) override { return Fail("Fsync", PathOf(fd)) ? -1 : real_->Fsync(fd); }
  int Fchown(int fd, uid_t u, gid_t g) override { return Fail("Fchown", PathOf(fd)) ? -1 : real_->Fchown(fd, u, g); }
  int Fchmod(int fd, mode_t m) override { return Fail("Fchmod", PathOf(fd)) ? -1 : real_->Fchmod(fd, m); }
  int Futimens(int fd, const struct timespec t[2]) override { return Fail("Futimens", PathOf(fd)) ? -1 : real_->Futimens(fd, t); }
  // Calls relative to a directory go by the names of the POSIX path calls ("Open", "Lstat", ...), on the joined path.
  int Openat(int d, const char* n, int f, mode_t m) override {
    const std::string path = Join(d, n);
    if (Fail("Open", path)) return -1;
    const int fd = real_->Openat(d, n, f, m);
    if (fd >= 0) paths_[fd] = path;
    return fd;
  }
  int Fstatat(int d, const char* n, struct stat* s, int f) override { return Fail("Lstat", Join(d, n)) ? -1 : real_->Fstatat(d, n, s, f); }
  ssize_t Readlinkat(int d, const char* n, char* b, size_t size) override {
    return Fail("Readlink", Join(d, n)) ? -1 : real_->Readlinkat(d, n, b, size);
  }
  int Renameat(int fd, const char* a, int td, const char* b) override {
    return Fail("Rename", Join(td, b)) ? -1 : real_->Renameat(fd, a, td, b);
  }
  int Unlinkat(int d, const char* n, int f) override { return Fail("Unlink", Join(d, n)) ? -1 : real_->Unlinkat(d, n, f); }
  int Linkat(int fd, const char* a, int td, const char* b, int f) override {
    return Fail("Link", Join(td, b)) ? -1 : real_->Linkat(fd, a, td, b, f);
  }
  int Mkdirat(int d, const char* n, mode_t m) override { return Fail("Mkdir", Join(d, n)) ? -1 : real_->Mkdirat(d, n, m); }
  int ListDirectoryAt(int d, std::vector<std::string>& names) override {
    return Fail("ListDirectory", PathOf(d)) ? -1 : real_->ListDirectoryAt(d, names);
  }
  int LockRecord(int fd, int command, struct flock* lock) override {
    return Fail("Flock", PathOf(fd)) ? -1 : real_->LockRecord(fd, command, lock);
  }

 private:
  std::string PathOf(int fd) const {
    const auto it = paths_.find(fd);
    return it == paths_.end() ? std::string() : it->second;
  }
  std::string Join(int dir, const char* name) const { return PathOf(dir) + "/" + name; }
  bool Fail(const char* call, const std::string& path) {
    if (!armed_) return false;
    const bool fail =
        call_.empty() ? ++calls_ == failAt_ : call_ == call && path.ends_with(pathEnd_) && times_ != 0;
    if (!fail) return false;
    if (times_ > 0) --times_;
    errno = error_;
    return true;
  }

  int failAt_ = 0;
  int error_;
  std::string call_, pathEnd_;
  int times_ = -1;
  platform::FileSystem* real_;
  std::map<int, std::string> paths_;
  int calls_ = 0;
  bool armed_ = true;
};

}  // namespace testsupport
