#include "devicefile/PortName.h"

#include <algorithm>
#include <climits>
#include <cwchar>
#include <string>

#include "names/XMLNames.h"
#include "platform/strings.h"

namespace dev {

namespace {

// The number after "COM", read by `number` from the rest of the text.
template <typename Char, typename Number>
PortAddress Parse(std::basic_string_view<Char> text, const Number& number) {
  const std::wstring_view prefix = XMLNames.COM.str();
  const auto upper = [](wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - (L'a' - L'A')) : c; };
  if (text.size() < prefix.size() + 1) return {PortOther, 0};
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (upper(static_cast<wchar_t>(text[i])) != upper(prefix[i])) return {PortOther, 0};
  // A long is 64 bits here: clamped as a 32-bit one would be.
  const long value = number(text.substr(prefix.size()));
  return {PortSerial, static_cast<std::int32_t>(value < INT_MIN ? INT_MIN : value > INT_MAX ? INT_MAX : value)};
}

// What strtol reads from ASCII text, clamped beyond 32 bits. Written by hand
// for the ids a document holds, which are ASCII: the C runtime's reader would
// need a terminated copy of each.
long AsciiNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  const bool negative = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    if (value <= INT_MAX) value = value * 10 + (text[i] - '0');
  return negative ? -value : value;
}

}  // namespace

PortAddress ParsePortName(std::wstring_view text) {
  return Parse(text, [](std::wstring_view number) { return std::wcstol(std::wstring(number).c_str(), nullptr, 10); });
}

PortAddress ParsePortName(std::string_view utf8) {
  // Port ids are ASCII; any other text takes the long way.
  if (std::any_of(utf8.begin(), utf8.end(), [](char c) { return c & 0x80; }))
    return ParsePortName(platform::WideFromUtf8(utf8));
  return Parse(utf8, AsciiNumber);
}

bool FormatPortName(int portType, int portNumber, CString& interfaceName, CString& portText) {
  if (portType != PortSerial) return false;
  interfaceName = XMLNames.Serial;
  portText.Format(L"%ls%d", XMLNames.COM.GetString(), portNumber);
  return true;
}

}  // namespace dev
