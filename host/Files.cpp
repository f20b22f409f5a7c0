#include "host/Files.h"

#include "platform/files.h"

int osExistsFile(const wchar_t* path) {
  if (path == nullptr) return 0;
  const auto kind = platform::StatPath(path).kind;
  return kind != platform::FileStamp::Kind::Missing && kind != platform::FileStamp::Kind::Directory;
}
