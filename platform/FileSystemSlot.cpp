// The process's one file-system slot. Built into libkvohost.so only (see
// platform/CMakeLists.txt): the platform code linked into each library and
// program finds it there, so a file system a test installs is the one that
// every library of the process uses.
#include <atomic>

#include "platform/FileSystem.h"

namespace platform {
namespace {

FileSystem& Posix() {
  static FileSystem posix;
  return posix;
}

std::atomic<FileSystem*> installed{nullptr};

}  // namespace

FileSystem& Files() {
  FileSystem* fileSystem = installed.load(std::memory_order_acquire);
  return fileSystem != nullptr ? *fileSystem : Posix();
}

FileSystem* SetFileSystem(FileSystem* fileSystem) {
  FileSystem* previous = installed.exchange(fileSystem, std::memory_order_acq_rel);
  return previous != nullptr ? previous : &Posix();
}

}  // namespace platform
