// A cheap monotonic clock for deciding when cached data is worth checking again.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// Milliseconds since an arbitrary start, with a resolution of a few
// milliseconds; costs a few nanoseconds, unlike a precise clock.
std::int64_t CoarseMonotonicMs();

// The wall-clock time in nanoseconds since 1970, comparable with file times.
std::int64_t RealTimeNs();

// `ns` since 1970 as UTC "YYYYMMDDTHHMMSS.nnnnnnnnnZ": fixed width, so that
// such texts sort as the times they stand for.
std::string UtcTimestamp(std::int64_t ns);
// The nanoseconds a text of that form stands for; false for any other text.
bool ParseUtcTimestamp(std::string_view text, std::int64_t& ns);

}  // namespace platform
