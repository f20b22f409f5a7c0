#include "shared/Ids.h"

#include <kvodevice/Text.h>

#include "shared/Errors.h"
#include "shared/Utf8.h"

namespace kvodev {
namespace {

// Digits only, no leading zero unless the number is "0", at most `maximum`.
bool ParseDecimal(std::string_view text, std::uint64_t maximum, std::uint64_t& value) {
  if (text.empty() || text.size() > 10 || (text.size() > 1 && text[0] == '0')) return false;
  value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return value <= maximum;
}

}  // namespace

std::uint32_t ParseNumber(std::string_view text, std::uint32_t maximum, const char* what) {
  std::uint64_t value;
  if (!ParseDecimal(text, maximum, value))
    throw InputError("not a " + std::string(what) + " (0 to " + std::to_string(maximum) +
                     ", decimal without leading zeros): \"" + std::string(text) + "\"");
  return static_cast<std::uint32_t>(value);
}

dev::UnitKey ParseUnit(std::string_view text) {
  std::wstring wide;
  const std::optional<dev::UnitKey> unit = DecodeUtf8(text, wide) ? dev::ParseUnitId(wide) : std::nullopt;
  if (!unit)
    throw InputError("not a unit id (U<device>x<index>, both 0 to 65535 without leading zeros, e.g. U303x0): \"" +
                     std::string(text) + "\"");
  return *unit;
}

std::string FormatUnit(const dev::UnitKey& unit) { return EncodeUtf8(dev::FormatUnitId(unit)); }

dev::PortAddress ReadPort(std::string_view text) {
  std::wstring wide;
  const std::optional<dev::PortAddress> port = DecodeUtf8(text, wide) ? dev::ParsePort(wide) : std::nullopt;
  if (!port)
    throw InputError("not a serial port (COM<n>, n a 32-bit decimal number, e.g. COM3 or COM-5): \"" +
                     std::string(text) + "\"");
  return *port;
}

std::string ShowPort(const dev::PortAddress& port) {
  if (port.portType == dev::PortSerial) return EncodeUtf8(dev::FormatPort(port));
  return "other port " + std::to_string(port.portNumber);
}

}  // namespace kvodev
