// A fresh private directory below $TMPDIR (else /tmp), removed with everything
// in it when the object goes. For the tools and the tests; the library itself
// never needs one.
#pragma once

#include <filesystem>
#include <string_view>

namespace platform {

class ScratchDirectory {
 public:
  // `prefix` starts the directory's name. Throws std::system_error when no
  // directory can be made.
  explicit ScratchDirectory(std::string_view prefix = "kvo");
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace platform
