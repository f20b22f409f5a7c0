#include "Utf8.h"

#include <cstdint>

namespace kvodev {

bool DecodeUtf8(std::string_view bytes, std::wstring& text) {
  text.clear();
  text.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    std::size_t length;
    std::uint32_t value, minimum;
    if (lead < 0x80) {
      length = 1, value = lead, minimum = 0;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2, value = lead & 0x1Fu, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3, value = lead & 0x0Fu, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4, value = lead & 0x07u, minimum = 0x10000;
    } else {
      return false;
    }
    if (bytes.size() - i < length) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      value = value << 6 | (next & 0x3Fu);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
    text += static_cast<wchar_t>(value);
    i += length;
  }
  return true;
}

std::string EncodeUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (const wchar_t c : text) {
    auto value = static_cast<std::uint32_t>(c);
    if (value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) value = 0xFFFD;
    if (value < 0x80) {
      out += static_cast<char>(value);
    } else if (value < 0x800) {
      out += static_cast<char>(0xC0 | value >> 6);
      out += static_cast<char>(0x80 | (value & 0x3F));
    } else if (value < 0x10000) {
      out += static_cast<char>(0xE0 | value >> 12);
      out += static_cast<char>(0x80 | (value >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (value & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | value >> 18);
      out += static_cast<char>(0x80 | (value >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (value >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (value & 0x3F));
    }
  }
  return out;
}

std::size_t CodePoints(std::string_view utf8) {
  std::size_t count = 0;
  for (const char c : utf8)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  return count;
}

}  // namespace kvodev
