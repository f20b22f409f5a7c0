#include "Files.h"

#include <fstream>
#include <random>
#include <sstream>
#include <system_error>

namespace kvodev {
namespace {

std::string RandomSuffix() {
  static std::mt19937_64 generator{std::random_device{}()};
  std::ostringstream text;
  text << std::hex << generator();
  return text.str();
}

}  // namespace

std::optional<std::string> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return bytes.str();
}

TempDirectory::TempDirectory() {
  const fs::path base = fs::temp_directory_path();
  for (;;) {
    path_ = base / ("kvodev-" + RandomSuffix());
    if (fs::create_directory(path_)) return;  // false: the name was taken, try another
  }
}

TempDirectory::~TempDirectory() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

}  // namespace kvodev
