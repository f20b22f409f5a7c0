#include "platform/clock.h"

#include <time.h>

#include <charconv>
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

bool ParseUtcTimestamp(std::string_view text, std::int64_t& ns) {
  // "YYYYMMDDTHHMMSS.nnnnnnnnnZ"
  if (text.size() != 26 || text[8] != 'T' || text[15] != '.' || text[25] != 'Z') return false;
  const auto number = [&](std::size_t at, std::size_t length, int& value) {
    const char* first = text.data() + at;
    const auto [last, error] = std::from_chars(first, first + length, value);
    return error == std::errc() && last == first + length;
  };
  struct tm utc {};
  int nanoseconds = 0;
  if (!number(0, 4, utc.tm_year) || !number(4, 2, utc.tm_mon) || !number(6, 2, utc.tm_mday) ||
      !number(9, 2, utc.tm_hour) || !number(11, 2, utc.tm_min) || !number(13, 2, utc.tm_sec) ||
      !number(16, 9, nanoseconds))
    return false;
  utc.tm_year -= 1900;
  utc.tm_mon -= 1;
  ns = static_cast<std::int64_t>(::timegm(&utc)) * 1'000'000'000 + nanoseconds;
  return true;
}

}  // namespace platform
