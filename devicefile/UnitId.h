// The unit id text of a UnitKey: "U<device>x<index>", decimal, no sign, no
// leading zeros.
#pragma once

#include <kvodevice/CString.h>
#include <kvodevice/IDeviceManagerIO.h>

#include <string_view>

namespace dev {

inline constexpr UnitKey kInvalidUnitKey{65535, 0};

CString FormatUnitID(const UnitKey& key);

// The key that `text` names, or kInvalidUnitKey for a null text or any text
// that FormatUnitID would not have written.
UnitKey ParseUnitID(const wchar_t* text);
// The same for the id as the document holds it, in UTF-8.
UnitKey ParseUnitID(std::string_view utf8);

}  // namespace dev
