// The text forms of unit ids, as the library writes and reads them.
#pragma once

#include <kvodevice/Export.h>
#include <kvodevice/IDeviceManagerIO.h>

#include <optional>
#include <string>
#include <string_view>

namespace dev {

// "U<device>x<index>", both decimal: "U303x0".
KVO_DEVICE_API std::wstring FormatUnitId(const UnitKey& unit);

// The unit `text` names in exactly the form FormatUnitId writes (no leading
// zeros, no sign, nothing around it); nullopt for any other text. This is the
// reading of every operation that finds a unit by its id.
KVO_DEVICE_API std::optional<UnitKey> ParseUnitId(std::wstring_view text);

// What a person or another program most likely meant: also "u" for "U", "X"
// for "x" and leading zeros ("U0332x0" reads as U332x0); nullopt when it is
// no id at all or a number passes 65535. For finding and renaming units whose
// UnitID ParseUnitId refuses.
KVO_DEVICE_API std::optional<UnitKey> ReadUnitIdLeniently(std::wstring_view text);

}  // namespace dev
