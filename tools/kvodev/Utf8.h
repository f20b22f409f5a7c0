// UTF-8 <-> wide text. The library speaks wide strings (UTF-32 wchar_t); the
// command line, files and the terminal speak UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace kvodev {

// Decodes `bytes`; false for anything that is not UTF-8 (stray or missing
// continuation bytes, overlong forms, surrogates, values above U+10FFFF).
bool DecodeUtf8(std::string_view bytes, std::wstring& text);

// Encodes `text`; a wchar_t that is not a Unicode scalar value becomes U+FFFD.
std::string EncodeUtf8(std::wstring_view text);

// The number of code points of UTF-8 text (its width in a table).
std::size_t CodePoints(std::string_view utf8);

}  // namespace kvodev
