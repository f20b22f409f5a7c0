// The file-system slot of the library or program this code is linked into:
// hidden in each shared library, so that no other code of the process can
// put its own file calls under the library's.
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
