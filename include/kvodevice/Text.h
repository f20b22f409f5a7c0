// Text for hosts that hold UTF-8: the wide strings of the interfaces from and
// to UTF-8, and the text forms of unit ids and ports as the library writes
// and reads them.
#pragma once

#include <kvodevice/Export.h>
#include <kvodevice/IDeviceManagerIO.h>

#include <optional>
#include <string>
#include <string_view>

namespace dev {

// UTF-8 to the library's wide text. For text, each ill-formed sequence becomes
// U+FFFD. For a path (`path` true) every byte sequence converts back exactly:
// each byte of an ill-formed sequence becomes U+DC00 + the byte (U+DC80 to
// U+DCFF), which the library turns back into that byte when it names a file.
KVO_DEVICE_API std::wstring ToWide(std::string_view utf8, bool path = false);

// The library's wide text as UTF-8; nullopt when a character is no Unicode
// scalar value (a surrogate, or above U+10FFFF). For a path (`path` true),
// U+DC80 to U+DCFF become the single bytes they stand for, as above, and the
// answer is never nullopt.
KVO_DEVICE_API std::optional<std::string> ToUtf8(std::wstring_view text, bool path = false);

// "U<device>x<index>", both decimal: "U303x0".
KVO_DEVICE_API std::wstring FormatUnitId(const UnitKey& unit);

// The unit `text` names in exactly the form FormatUnitId writes (no leading
// zeros, no sign, nothing around it); nullopt for any other text. This is the
// reading of every operation that finds a unit by its id, and what
// "kvodev units add" accepts.
KVO_DEVICE_API std::optional<UnitKey> ParseUnitId(std::wstring_view text);

// What a person or another program most likely meant: also "u" for "U", "X"
// for "x" and leading zeros ("U0332x0" reads as U332x0); nullopt when it is
// no id at all or a number passes 65535. For finding and renaming units whose
// UnitID ParseUnitId refuses.
KVO_DEVICE_API std::optional<UnitKey> ReadUnitIdLeniently(std::wstring_view text);

// A serial port as the document names it: "COM3" for {PortSerial, 3} (any
// 32-bit number, sign included); empty for a port of another type.
KVO_DEVICE_API std::wstring FormatPort(const PortAddress& port);

// The serial port that `text` names in exactly the form FormatPort writes:
// "COM", then a decimal number without leading zeros (a '-' allowed, not
// before 0) that fits 32 bits; nullopt for any other text. What "kvodev link"
// accepts; the document's own links are read more leniently.
KVO_DEVICE_API std::optional<PortAddress> ParsePort(std::wstring_view text);

}  // namespace dev
