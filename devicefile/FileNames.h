// The names of the files of a data directory, in one place.
#pragma once

namespace dev {

inline constexpr const wchar_t* kDocumentName = L"kvoDevice.xml";
inline constexpr const wchar_t* kSchemaName = L"kvoDevice.xsd";
inline constexpr const wchar_t* kBackupName = L"kvoDevice.xml.bak";  // a damaged document, set aside
inline constexpr const wchar_t* kHistoryName = L"kvoDevice.history";  // the folder of replaced versions
inline constexpr const wchar_t* kLockName = L"kvoDevice.lock";        // the writers' lock

}  // namespace dev
