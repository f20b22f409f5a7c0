// Plain file work the commands need around the library.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace kvodev {

namespace fs = std::filesystem;

// The whole file, or nothing when it cannot be read.
std::optional<std::string> ReadFile(const fs::path& path);

}  // namespace kvodev
