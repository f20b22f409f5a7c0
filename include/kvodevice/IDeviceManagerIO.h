// The device configuration service: the record of the units installed in the
// host's system, kept in the XML document "kvoDevice.xml" of the data directory.
#pragma once

#include <kvodevice/CString.h>
#include <kvodevice/Export.h>

#include <cstdint>
#include <vector>

namespace dev {

// The numeric key of an installed unit; its text form is "U<device>x<index>".
// The invalid key is {65535, 0}.
struct UnitKey {
  std::uint16_t device;
  std::uint16_t index;
  friend bool operator==(const UnitKey&, const UnitKey&) = default;
};

enum ePortType : std::int32_t { PortOther = 1, PortSerial = 2 };

// One interface port; a serial port "COM3" is {PortSerial, 3}.
struct PortAddress {
  std::int32_t portType;
  std::int32_t portNumber;
};

}  // namespace dev
