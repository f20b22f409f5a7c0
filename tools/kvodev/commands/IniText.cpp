#include "commands/IniText.h"

#include "platform/profile/IniText.h"

namespace kvodev {
namespace {

// A quarter of the bytes zero is far more than any text holds, and what
// ASCII in UTF-16 holds.
bool LooksLikeUtf16(std::string_view bytes) {
  if (bytes.size() < 2 || bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) return false;
  std::size_t zeros = 0;
  for (const char c : bytes) zeros += c == '\0';
  return zeros * 4 >= bytes.size();
}

}  // namespace

IniText ReadIniText(std::string_view bytes) {
  IniText result;
  result.unmarkedUtf16 = LooksLikeUtf16(bytes);
  if (result.unmarkedUtf16) return result;
  const std::string text = platform::profile::DecodeIniBytes(bytes);
  int number = 1;
  std::string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') {
      line.push_back(text[i]);
      continue;
    }
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    result.lines.push_back({number++, std::move(line)});
    line.clear();
  }
  if (!line.empty()) result.lines.push_back({number, std::move(line)});
  return result;
}

}  // namespace kvodev
