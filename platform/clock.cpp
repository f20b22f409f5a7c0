#include "platform/clock.h"

#include <time.h>

#include <cstdio>

namespace platform {

std::int64_t CoarseMonotonicMs() {
  struct timespec now;
  ::clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

std::int64_t RealTimeNs() {
  struct timespec now;
  ::clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

std::string UtcTimestamp(std::int64_t ns) {
  const time_t seconds = static_cast<time_t>(ns / 1'000'000'000);
  struct tm utc;
  ::gmtime_r(&seconds, &utc);
  char text[96];  // room for any int, as the compiler cannot know the ranges
  std::snprintf(text, sizeof text, "%04d%02d%02dT%02d%02d%02d.%09lldZ", utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday,
                utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<long long>(ns % 1'000'000'000));
  return text;
}

}  // namespace platform
