// Unit and port id texts, checked against plain reference readers written
// here from the rules, not from the library's code.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <string>

#include "devicefile/PortName.h"
#include "devicefile/UnitId.h"

namespace {

// "U" decimal "x" decimal, each 0..65535 without leading zeros, nothing else.
dev::UnitKey ReferenceUnitId(const std::wstring& text) {
  const dev::UnitKey invalid{65535, 0};
  std::size_t pos = 0;
  const auto number = [&](std::uint32_t& value) {
    const std::size_t start = pos;
    value = 0;
    while (pos < text.size() && text[pos] >= L'0' && text[pos] <= L'9' && pos - start < 6)
      value = value * 10 + static_cast<std::uint32_t>(text[pos++] - L'0');
    const std::size_t digits = pos - start;
    return digits > 0 && digits <= 5 && !(digits > 1 && text[start] == L'0') && value <= 65535;
  };
  std::uint32_t device = 0, index = 0;
  if (text.empty() || text[pos++] != L'U' || !number(device)) return invalid;
  if (pos >= text.size() || text[pos++] != L'x' || !number(index) || pos != text.size()) return invalid;
  return {static_cast<std::uint16_t>(device), static_cast<std::uint16_t>(index)};
}

// "COM" in any letter case, at least one more character, then what the C
// runtime's strtol reads from the rest, clamped to 32 bits.
dev::PortAddress ReferencePortName(const std::wstring& text) {
  if (text.size() < 4) return {dev::PortOther, 0};
  for (std::size_t i = 0; i < 3; ++i)
    if (text[i] >= 0x80 || static_cast<wchar_t>(std::towupper(text[i])) != L"COM"[i]) return {dev::PortOther, 0};
  std::size_t pos = 3;
  while (pos < text.size() && text[pos] != L'\0' && std::iswspace(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == L'+' || text[pos] == L'-')) negative = text[pos++] == L'-';
  long long value = 0;
  for (; pos < text.size() && text[pos] >= L'0' && text[pos] <= L'9'; ++pos)
    value = std::min(value * 10 + (text[pos] - L'0'), 1LL << 40);
  if (negative) value = -value;
  return {dev::PortSerial, static_cast<std::int32_t>(std::clamp<long long>(value, INT_MIN, INT_MAX))};
}

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "differs from the reference: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // Mostly one character per byte, so that mutations of ASCII seeds stay
  // readable; an odd first byte takes four bytes per character instead, to
  // reach every wchar_t value.
  std::wstring text;
  if (data[0] % 2 == 0) {
    for (std::size_t i = 1; i < size; ++i) text += static_cast<wchar_t>(data[i]);
  } else {
    for (std::size_t i = 1; i + 4 <= size; i += 4)
      text += static_cast<wchar_t>(data[i] | data[i + 1] << 8 | data[i + 2] << 16 | static_cast<std::uint32_t>(data[i + 3]) << 24);
  }
  const std::wstring untilNul = text.substr(0, text.find(L'\0'));
  Require(dev::ParseUnitID(text.c_str()) == ReferenceUnitId(untilNul), "unit id");
  const dev::PortAddress port = dev::ParsePortName(text), expected = ReferencePortName(text);
  Require(port.portType == expected.portType && port.portNumber == expected.portNumber, "port name");
  return 0;
}
