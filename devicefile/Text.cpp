// The text helpers of Text.h beside the unit ids: UTF-8 and the port names.
#include <kvodevice/Text.h>

#include <charconv>
#include <cstdint>

#include "devicefile/PortName.h"
#include "platform/strings.h"

namespace dev {

std::wstring ToWide(std::string_view utf8, bool path) {
  return path ? platform::WidePath(utf8) : platform::WideFromUtf8(utf8);
}

std::optional<std::string> ToUtf8(std::wstring_view text, bool path) {
  if (path) return platform::NativePath(text);
  return platform::Utf8FromWide(text);
}

std::wstring FormatPort(const PortAddress& port) {
  CString interfaceName, text;
  return FormatPortName(port.portType, port.portNumber, interfaceName, text) ? text.str() : std::wstring();
}

std::optional<PortAddress> ParsePort(std::wstring_view text) {
  if (!text.starts_with(L"COM")) return std::nullopt;
  // Only ASCII digits and one leading '-' may follow; from_chars then reads them.
  std::string digits;
  for (const wchar_t c : text.substr(3)) {
    if (c != L'-' && (c < L'0' || c > L'9')) return std::nullopt;
    digits += static_cast<char>(c);
  }
  const std::string_view magnitude = std::string_view(digits).substr(digits.starts_with('-') ? 1 : 0);
  if (magnitude.empty() || (magnitude[0] == '0' && digits.size() > 1)) return std::nullopt;
  std::int32_t number = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return PortAddress{PortSerial, number};
}

}  // namespace dev
