#include "platform/profile/IniText.h"

#include <array>
#include <utility>

#include "platform/strings.h"

namespace platform::profile {
namespace {

// Code page 1252 for 0x80..0x9F; the five unassigned bytes map to the C1
// control of the same value, as Windows' conversion does.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::string FromCp1252(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 4);
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    AppendUtf8(out, b >= 0x80 && b <= 0x9F ? kCp1252High[b - 0x80] : char32_t{b});
  }
  return out;
}

// Unpaired surrogates are kept as they are, as the Windows API keeps them.
std::string FromUtf16(std::string_view bytes, bool bigEndian) {
  std::string out;
  out.reserve(bytes.size() / 2);
  const auto unit = [&](std::size_t i) -> char32_t {
    const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
    return bigEndian ? (a << 8 | b) : (b << 8 | a);
  };
  const std::size_t units = bytes.size() / 2;  // an odd last byte is no character
  for (std::size_t i = 0; i < units; ++i) {
    char32_t cp = unit(2 * i);
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units) {
      const char32_t low = unit(2 * (i + 1));
      if (low >= 0xDC00 && low <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    AppendUtf8(out, cp);
  }
  return out;
}

}  // namespace

std::string DecodeIniBytes(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) {
    bytes.remove_prefix(3);
    if (IsValidUtf8(bytes)) return std::string(bytes);
    std::string out;
    for (const wchar_t c : WideFromUtf8(bytes)) AppendUtf8(out, static_cast<char32_t>(c));
    return out;
  }
  if (bytes.starts_with("\xFF\xFE")) return FromUtf16(bytes.substr(2), false);
  if (bytes.starts_with("\xFE\xFF")) return FromUtf16(bytes.substr(2), true);
  if (IsValidUtf8(bytes)) return std::string(bytes);
  return FromCp1252(bytes);
}

std::string DecodeIniBytesInPlace(std::string&& bytes) {
  const std::string_view view = bytes;
  const bool marked = view.starts_with("\xEF\xBB\xBF");
  if (!marked && (view.starts_with("\xFF\xFE") || view.starts_with("\xFE\xFF"))) return DecodeIniBytes(view);
  if (!IsValidUtf8(view.substr(marked ? 3 : 0))) return DecodeIniBytes(view);
  if (marked) bytes.erase(0, 3);
  return std::move(bytes);
}

std::wstring_view TrimIniSpace(std::wstring_view text) {
  while (!text.empty() && IsIniSpace(static_cast<char32_t>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && IsIniSpace(static_cast<char32_t>(text.back()))) text.remove_suffix(1);
  return text;
}

}  // namespace platform::profile
