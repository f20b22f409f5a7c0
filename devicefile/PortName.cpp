#include "devicefile/PortName.h"

#include <climits>
#include <cwchar>
#include <string>

#include "names/XMLNames.h"

namespace dev {

PortAddress ParsePortName(std::wstring_view text) {
  const std::wstring_view prefix = XMLNames.COM.str();
  const auto upper = [](wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - (L'a' - L'A')) : c; };
  if (text.size() < prefix.size() + 1) return {PortOther, 0};
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (upper(text[i]) != upper(prefix[i])) return {PortOther, 0};
  // wcstol needs a terminated text; a long is 64 bits here, so clamp as a 32-bit one would.
  const std::wstring number(text.substr(prefix.size()));
  const long value = std::wcstol(number.c_str(), nullptr, 10);
  return {PortSerial, static_cast<std::int32_t>(value < INT_MIN ? INT_MIN : value > INT_MAX ? INT_MAX : value)};
}

bool FormatPortName(int portType, int portNumber, CString& interfaceName, CString& portText) {
  if (portType != PortSerial) return false;
  interfaceName = XMLNames.Serial;
  portText.Format(L"%ls%d", XMLNames.COM.GetString(), portNumber);
  return true;
}

}  // namespace dev
