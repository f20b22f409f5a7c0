// INI files by the Windows profile-file rules. Each file is parsed once and
// kept by path; it is parsed again when its identity, size or modification
// time has changed, which is checked at the start of every section-name pass
// and, for lookups, at most once a second.
#pragma once

#include <kvodevice/Export.h>

#include <cstdint>

// Fills `buffer` with the names of the file's sections in file order, each
// ended by a NUL, the list ended by a second NUL; returns the count without
// that last NUL. When the list needs `size` characters or more, the name that
// does not fit is cut, the buffer still ends in two NULs and the result is
// `size` - 2 (so that result means: retry with a bigger buffer). A missing
// file writes buffer[0] only; a directory or unreadable file writes nothing.
KVO_HOST_API std::uint32_t iniGetSectionNames(wchar_t* buffer, std::uint32_t size, const wchar_t* file);

// The same under the Windows name the library's code uses: inline, so that it
// stays inside each library and no host's function of that name replaces it.
inline std::uint32_t GetPrivateProfileSectionNamesW(wchar_t* buffer, std::uint32_t size, const wchar_t* file) {
  return iniGetSectionNames(buffer, size, file);
}

// The integer value of `key` in `section`, or `fallback` when the key is
// missing, has no '=' or an empty value. See platform/profile/IniFile.h for
// how a value is read. `keyFound` and `sectionFound`, when given, tell what
// the lookup found.
KVO_HOST_API int iniGetInt(const wchar_t* section, const wchar_t* key, int fallback, const wchar_t* file,
                           bool* keyFound = nullptr, bool* sectionFound = nullptr);

// Copies the text of `key` in `section` (or `fallback` when the key is missing
// or has no '='), cut to `size` - 1 characters and ended by a NUL, into
// `buffer`; returns the number of characters copied. Outer quotes are dropped.
KVO_HOST_API int iniGetString(const wchar_t* section, const wchar_t* key, const wchar_t* fallback,
                              wchar_t* buffer, int size, const wchar_t* file, bool* keyFound = nullptr,
                              bool* sectionFound = nullptr);
