// Times for people and for programs: the history's version stamps and the
// modification time of files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace kvodev {

// A history stamp "YYYYMMDDTHHMMSS.nnnnnnnnnZ" as "2026-12-06 13:02:33 UTC";
// anything else as it is.
std::string ReadableStamp(const std::wstring& stamp);
// The same stamp in ISO 8601: "2026-12-06T13:02:33.123456789Z".
std::string IsoStamp(const std::wstring& stamp);
// An ISO 8601 time as IsoStamp and AgeOf write it, for people:
// "2026-12-06 13:02:33 UTC"; anything else as it is.
std::string ReadableIso(const std::string& iso);

// When a file was last written, and how long ago.
struct FileAge {
  std::string iso;       // "2026-12-06T13:02:33Z"
  std::int64_t seconds;  // before now; 0 for a time in the future
};
FileAge AgeOf(std::filesystem::file_time_type written);

// "45 seconds", "12 minutes", "5 hours", "3 days".
std::string Duration(std::int64_t seconds);

}  // namespace kvodev
