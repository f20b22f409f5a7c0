#include "tests/support/TempDir.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace testsupport {

std::wstring TempDir::Write(std::string_view name, std::string_view bytes) const {
  std::ofstream out(path() / name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write test file");
  return Wide(name);
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct stat LinkStat(const std::filesystem::path& path) {
  struct stat st {};
  ::lstat(path.c_str(), &st);
  return st;
}

long EntryCount(const std::filesystem::path& dir) {
  return std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator());
}

}  // namespace testsupport
