#include "platform/strings.h"

#include <algorithm>
#include <cstdint>

namespace platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsSurrogate(char32_t cp) { return cp >= 0xD800 && cp <= 0xDFFF; }

// Length of the well-formed UTF-8 sequence at `pos`, 0 when ill-formed
// (the rules of Unicode table 3-7: no overlong forms, no surrogates, <= U+10FFFF).
std::size_t WellFormedLength(std::string_view s, std::size_t pos, char32_t& cp) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char b0 = byte(pos);
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  }
  std::size_t len;
  unsigned char lo = 0x80, hi = 0xBF;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2;
    cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3;
    cp = b0 & 0x0F;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4;
    cp = b0 & 0x07;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (pos + len > s.size()) return 0;
  for (std::size_t i = 1; i < len; ++i) {
    const unsigned char b = byte(pos + i);
    if (b < (i == 1 ? lo : 0x80) || b > (i == 1 ? hi : 0xBF)) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  return len;
}

// Decodes `bytes`, calling `bad(byte)` for each byte of an ill-formed sequence.
template <typename OnBadByte>
void Decode(std::string_view bytes, std::wstring& out, OnBadByte bad) {
  out.clear();
  out.reserve(bytes.size());
  for (std::size_t pos = 0; pos < bytes.size();) {
    // A run of ASCII, the usual text, goes over as it is.
    std::size_t end = pos;
    while (end < bytes.size() && static_cast<unsigned char>(bytes[end]) < 0x80) ++end;
    std::size_t at = out.size();
    out.resize(at + (end - pos));
    while (pos < end) out[at++] = static_cast<wchar_t>(bytes[pos++]);
    if (pos == bytes.size()) break;
    char32_t cp;
    if (const std::size_t len = WellFormedLength(bytes, pos, cp)) {
      out.push_back(static_cast<wchar_t>(cp));
      pos += len;
    } else {
      bad(out, static_cast<unsigned char>(bytes[pos]));
      ++pos;
    }
  }
}

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp > 0x10FFFF) cp = kReplacement;
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

char32_t DecodeUtf8Lenient(std::string_view text, std::size_t& pos) {
  const auto b0 = static_cast<unsigned char>(text[pos++]);
  if (b0 < 0x80) return b0;
  const std::size_t more = b0 >= 0xF0 ? 3 : b0 >= 0xE0 ? 2 : 1;
  char32_t cp = b0 & (0x3F >> more);
  for (std::size_t i = 0; i < more && pos < text.size(); ++i)
    cp = (cp << 6) | (static_cast<unsigned char>(text[pos++]) & 0x3F);
  return cp;
}

bool IsValidUtf8(std::string_view bytes) {
  for (std::size_t pos = 0; pos < bytes.size();) {
    // Runs of ASCII are the common case: skip them eight bytes at a time.
    while (pos + 8 <= bytes.size()) {
      std::uint64_t word;
      __builtin_memcpy(&word, bytes.data() + pos, 8);
      if (word & 0x8080808080808080ull) break;
      pos += 8;
    }
    if (pos >= bytes.size()) break;
    char32_t cp;
    const std::size_t len = WellFormedLength(bytes, pos, cp);
    if (len == 0) return false;
    pos += len;
  }
  return true;
}

std::wstring WideFromUtf8(std::string_view bytes) {
  std::wstring out;
  AssignWideFromUtf8(out, bytes);
  return out;
}

void AssignWideFromUtf8(std::wstring& out, std::string_view bytes) {
  Decode(bytes, out, [](std::wstring& text, unsigned char) { text.push_back(kReplacement); });
}

std::optional<std::string> Utf8FromWide(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (const wchar_t c : text) {
    const auto cp = static_cast<char32_t>(c);
    if (cp > 0x10FFFF || IsSurrogate(cp)) return std::nullopt;
    AppendUtf8(out, cp);
  }
  return out;
}

std::string NativePath(std::wstring_view path) {
  std::string out;
  out.reserve(path.size());
  for (const wchar_t c : path) {
    const auto cp = static_cast<char32_t>(c);
    if (cp >= 0xDC80 && cp <= 0xDCFF)
      out.push_back(static_cast<char>(cp - 0xDC00));
    else
      AppendUtf8(out, cp);
  }
  return out;
}

std::wstring WidePath(std::string_view native) {
  std::wstring out;
  Decode(native, out, [](std::wstring& text, unsigned char b) { text.push_back(static_cast<wchar_t>(0xDC00 + b)); });
  return out;
}

}  // namespace platform

namespace platform {

std::int32_t Wtoi(const wchar_t* text) {
  if (text == nullptr) return 0;
  while (*text == L' ' || (*text >= L'\t' && *text <= L'\r')) ++text;
  const bool negative = *text == L'-';
  if (*text == L'-' || *text == L'+') ++text;
  std::int64_t value = 0;
  constexpr std::int64_t kLimit = std::int64_t{INT32_MAX} + 1;
  for (; *text >= L'0' && *text <= L'9'; ++text) value = std::min(value * 10 + (*text - L'0'), kLimit);
  if (negative) return static_cast<std::int32_t>(-value);
  return static_cast<std::int32_t>(std::min<std::int64_t>(value, INT32_MAX));
}

}  // namespace platform
