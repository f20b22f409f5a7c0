// UTF-8 <-> wide text, through the library's own codec: the library speaks wide
// strings (UTF-32 wchar_t); the command line, files and the terminal speak UTF-8.
#pragma once

#include <string>
#include <string_view>

#include "platform/strings.h"

namespace kvodev {

// Decodes `bytes`; false for anything that is not UTF-8 (stray or missing
// continuation bytes, overlong forms, surrogates, values above U+10FFFF).
inline bool DecodeUtf8(std::string_view bytes, std::wstring& text) {
  if (!platform::IsValidUtf8(bytes)) return false;
  text = platform::WideFromUtf8(bytes);
  return true;
}

// Encodes `text`; a wchar_t that is not a Unicode scalar value becomes U+FFFD.
inline std::string EncodeUtf8(std::wstring_view text) {
  if (auto utf8 = platform::Utf8FromWide(text)) return *std::move(utf8);
  std::string out;
  for (const wchar_t c : text) {
    const auto value = static_cast<char32_t>(c);
    platform::AppendUtf8(out, value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF) ? U'\uFFFD' : value);
  }
  return out;
}

// The number of code points of UTF-8 text (its width in a table).
inline std::size_t CodePoints(std::string_view utf8) {
  std::size_t count = 0;
  for (const char c : utf8)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  return count;
}

}  // namespace kvodev
