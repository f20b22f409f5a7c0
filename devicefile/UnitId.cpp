#include "devicefile/UnitId.h"

#include <kvodevice/Text.h>

namespace dev {
namespace {

// A decimal number up to 65535 at the front of `text`, which it leaves after
// the digits. Written by hand: the C runtime's readers accept signs and spaces.
template <typename Char>
std::optional<std::uint16_t> ReadNumber(std::basic_string_view<Char>& text, bool leadingZeros) {
  std::size_t digits = 0;
  std::uint32_t value = 0;
  while (digits < text.size() && text[digits] >= Char('0') && text[digits] <= Char('9')) {
    value = value * 10 + static_cast<std::uint32_t>(text[digits] - Char('0'));
    if (value > 65535) return std::nullopt;
    ++digits;
  }
  if (digits == 0 || (!leadingZeros && digits > 1 && text[0] == Char('0'))) return std::nullopt;
  text.remove_prefix(digits);
  return static_cast<std::uint16_t>(value);
}

// Reads UTF-16/32 or UTF-8 alike: every character an id holds is ASCII, and
// no byte of a longer UTF-8 sequence is.
template <typename Char>
std::optional<UnitKey> ReadUnitId(std::basic_string_view<Char> text, bool lenient) {
  // `letter` is a letter: setting bit 5 makes both of its cases its small one.
  const auto is = [lenient](Char c, char letter) {
    return c == Char(letter) || (lenient && (c | 0x20) == (letter | 0x20));
  };
  if (text.empty() || !is(text[0], 'U')) return std::nullopt;
  text.remove_prefix(1);
  const std::optional<std::uint16_t> device = ReadNumber(text, lenient);
  if (!device || text.empty() || !is(text[0], 'x')) return std::nullopt;
  text.remove_prefix(1);
  const std::optional<std::uint16_t> index = ReadNumber(text, lenient);
  if (!index || !text.empty()) return std::nullopt;
  return UnitKey{*device, *index};
}

}  // namespace

std::wstring FormatUnitId(const UnitKey& unit) {
  return L"U" + std::to_wstring(unit.device) + L"x" + std::to_wstring(unit.index);
}

std::optional<UnitKey> ParseUnitId(std::wstring_view text) { return ReadUnitId(text, false); }

std::optional<UnitKey> ReadUnitIdLeniently(std::wstring_view text) { return ReadUnitId(text, true); }

CString FormatUnitID(const UnitKey& key) { return CString(FormatUnitId(key)); }

UnitKey ParseUnitID(const wchar_t* text) {
  return text != nullptr ? ParseUnitId(text).value_or(kInvalidUnitKey) : kInvalidUnitKey;
}

UnitKey ParseUnitID(std::string_view utf8) { return ReadUnitId(utf8, false).value_or(kInvalidUnitKey); }

}  // namespace dev
