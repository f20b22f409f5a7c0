// A cheap monotonic clock for deciding when cached data is worth checking again.
#pragma once

#include <cstdint>

namespace platform {

// Milliseconds since an arbitrary start, with a resolution of a few
// milliseconds; costs a few nanoseconds, unlike a precise clock.
std::int64_t CoarseMonotonicMs();

}  // namespace platform
