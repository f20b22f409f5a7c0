// The text of an INI file as the profile rules read it, in one encoding.
#pragma once

#include <string>
#include <string_view>

namespace platform::profile {

// Decodes a file's bytes to UTF-8 (surrogates of UTF-16 files kept in their
// 3-byte form). A byte-order mark decides first (EF BB BF, FF FE, FE FF; exactly
// one mark is dropped); without one, valid UTF-8 is taken as it is and anything
// else is read as code page 1252, as Windows reads such files.
std::string DecodeIniBytes(std::string_view bytes);
// The same, keeping the bytes' own buffer when they are UTF-8 already.
std::string DecodeIniBytesInPlace(std::string&& bytes);

// White space of profile files: U+0009..U+000D, U+001A and U+0020. All ASCII,
// so trimming UTF-8 bytes by it is exact.
constexpr bool IsIniSpace(char32_t c) { return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == 0x20; }

// Inline: the reader trims every line, key and value.
inline std::string_view TrimIniSpace(std::string_view text) {
  while (!text.empty() && IsIniSpace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && IsIniSpace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}
std::wstring_view TrimIniSpace(std::wstring_view text);

}  // namespace platform::profile
