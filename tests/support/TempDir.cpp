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

}  // namespace testsupport
