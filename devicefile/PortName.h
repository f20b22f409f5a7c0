// The port id text of a serial port: "COM" and the port number in decimal.
#pragma once

#include <kvodevice/CString.h>
#include <kvodevice/IDeviceManagerIO.h>

#include <string_view>

namespace dev {

// A port from its id text: PortSerial and the number after "COM" (any letter
// case; read as the C runtime reads a long: blanks, a sign, digits up to the
// first other character, clamped to 32 bits) when the text has at least four
// characters; PortOther and 0 otherwise.
PortAddress ParsePortName(std::wstring_view text);
// The same for the id in UTF-8, as the document holds it.
PortAddress ParsePortName(std::string_view utf8);

// The list element name and the port id text of a serial port; false, and
// nothing set, for any other port type. Any 32-bit number, sign included.
bool FormatPortName(int portType, int portNumber, CString& interfaceName, CString& portText);

}  // namespace dev
