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

bool WriteAtomically(const fs::path& path, const std::string& bytes, std::string& error) {
  std::string name = ".";
  name.append(path.filename().string()).append(".kvodev-").append(RandomSuffix());
  const fs::path temporary = path.parent_path() / name;
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      fs::remove(temporary, ignored);
      error = "cannot write " + temporary.string();
      return false;
    }
  }
  std::error_code code;
  fs::rename(temporary, path, code);
  if (code) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    error = "cannot replace " + path.string() + ": " + code.message();
    return false;
  }
  return true;
}

FileState FileState::Of(const fs::path& path) {
  FileState state;
  std::error_code code;
  const fs::file_status status = fs::status(path, code);
  if (code || !fs::exists(status)) return state;
  if (!fs::is_regular_file(status)) {
    state.kind = Other;
    return state;
  }
  state.kind = Regular;
  state.bytes = ReadFile(path).value_or(std::string());
  state.modified = fs::last_write_time(path, code);
  return state;
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
