// The text forms a person types and reads: unit ids ("U303x0"), serial ports
// ("COM3"), device numbers and indexes. Parsers throw InputError naming the value.
#pragma once

#include <kvodevice/IDeviceManagerIO.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace kvodev {

// A decimal number without sign or leading zeros, at most `maximum`; `what`
// names it in the error ("device number").
std::uint32_t ParseNumber(std::string_view text, std::uint32_t maximum, const char* what);

// "U<device>x<index>", both decimal 0..65535 without leading zeros.
dev::UnitKey ParseUnit(std::string_view text);
std::string FormatUnit(const dev::UnitKey& unit);

// "COM<n>", n a 32-bit decimal number (a minus sign allowed) without leading zeros.
dev::PortAddress ReadPort(std::string_view text);
// "COM3" for a serial port, "other port <n>" for any other kind.
std::string ShowPort(const dev::PortAddress& port);

}  // namespace kvodev
