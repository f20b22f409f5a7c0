#include "IniText.h"

#include "Utf8.h"

namespace kvodev {
namespace {

std::wstring Utf16(std::string_view bytes, bool bigEndian) {
  std::wstring text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(bytes[at]); };
    const wchar_t unit = bigEndian ? (byte(i) << 8 | byte(i + 1)) : (byte(i + 1) << 8 | byte(i));
    if (unit >= 0xDC00 && unit < 0xE000 && !text.empty() && text.back() >= 0xD800 && text.back() < 0xDC00)
      text.back() = 0x10000 + ((text.back() - 0xD800) << 10) + (unit - 0xDC00);
    else
      text.push_back(unit);
  }
  return text;
}

std::string Utf8Text(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  else if (bytes.starts_with("\xFF\xFE")) return EncodeUtf8(Utf16(bytes.substr(2), false));
  else if (bytes.starts_with("\xFE\xFF")) return EncodeUtf8(Utf16(bytes.substr(2), true));
  std::wstring text;
  if (DecodeUtf8(bytes, text)) return std::string(bytes);
  text.clear();
  for (const char c : bytes) text.push_back(static_cast<unsigned char>(c));
  return EncodeUtf8(text);
}

// A quarter of the bytes zero is far more than any text holds, and what
// ASCII in UTF-16 holds.
bool LooksLikeUtf16(std::string_view bytes) {
  if (bytes.size() < 2 || bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) return false;
  std::size_t zeros = 0;
  for (const char c : bytes) zeros += c == '\0';
  return zeros * 4 >= bytes.size();
}

}  // namespace

std::string_view TrimIni(std::string_view text) {
  const auto space = [](char c) { return (c >= '\t' && c <= '\r') || c == '\x1A' || c == ' '; };
  while (!text.empty() && space(text.front())) text.remove_prefix(1);
  while (!text.empty() && space(text.back())) text.remove_suffix(1);
  return text;
}

IniText ReadIniText(std::string_view bytes) {
  IniText result;
  result.unmarkedUtf16 = LooksLikeUtf16(bytes);
  if (result.unmarkedUtf16) return result;
  const std::string text = Utf8Text(bytes);
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
