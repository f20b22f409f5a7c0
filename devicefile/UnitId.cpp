#include "devicefile/UnitId.h"

#include <kvodevice/Text.h>

namespace dev {
namespace {

// A decimal number up to 65535 at the front of `text`, which it leaves after
// the digits. Written by hand: the C runtime's readers accept signs and spaces.
std::optional<std::uint16_t> ReadNumber(std::wstring_view& text, bool leadingZeros) {
  std::size_t digits = 0;
  std::uint32_t value = 0;
  while (digits < text.size() && text[digits] >= L'0' && text[digits] <= L'9') {
    value = value * 10 + static_cast<std::uint32_t>(text[digits] - L'0');
    if (value > 65535) return std::nullopt;
    ++digits;
  }
  if (digits == 0 || (!leadingZeros && digits > 1 && text[0] == L'0')) return std::nullopt;
  text.remove_prefix(digits);
  return static_cast<std::uint16_t>(value);
}

std::optional<UnitKey> ReadUnitId(std::wstring_view text, bool lenient) {
  // `letter` is a letter: setting bit 5 makes both of its cases its small one.
  const auto is = [lenient](wchar_t c, wchar_t letter) { return c == letter || (lenient && (c | 0x20) == (letter | 0x20)); };
  if (text.empty() || !is(text[0], L'U')) return std::nullopt;
  text.remove_prefix(1);
  const std::optional<std::uint16_t> device = ReadNumber(text, lenient);
  if (!device || text.empty() || !is(text[0], L'x')) return std::nullopt;
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

}  // namespace dev
