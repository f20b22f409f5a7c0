#include "shared/Time.h"

#include <chrono>
#include <ctime>
#include <string_view>

#include "shared/Utf8.h"

namespace kvodev {
namespace {

// "YYYYMMDDTHHMMSS" and the rest ("." and the fraction, "Z").
bool IsStamp(const std::string& stamp) {
  if (stamp.size() < 16 || stamp[8] != 'T' || stamp.back() != 'Z') return false;
  for (std::size_t i = 0; i < 15; ++i)
    if (i != 8 && (stamp[i] < '0' || stamp[i] > '9')) return false;
  return true;
}

std::string DateAndTime(const std::string& stamp, const char* between) {
  return stamp.substr(0, 4) + "-" + stamp.substr(4, 2) + "-" + stamp.substr(6, 2) + between + stamp.substr(9, 2) + ":" +
         stamp.substr(11, 2) + ":" + stamp.substr(13, 2);
}

}  // namespace

std::string ReadableStamp(const std::wstring& stamp) {
  const std::string text = EncodeUtf8(stamp);
  return IsStamp(text) ? DateAndTime(text, " ") + " UTC" : text;
}

std::string IsoStamp(const std::wstring& stamp) {
  const std::string text = EncodeUtf8(stamp);
  return IsStamp(text) ? DateAndTime(text, "T") + text.substr(15) : text;
}

std::string ReadableIso(const std::string& iso) {
  constexpr std::string_view kShape = "0000-00-00T00:00:00";
  bool matches = iso.size() > kShape.size() && iso.back() == 'Z';
  for (std::size_t i = 0; matches && i < kShape.size(); ++i)
    matches = kShape[i] == '0' ? iso[i] >= '0' && iso[i] <= '9' : iso[i] == kShape[i];
  return matches ? std::string(iso, 0, 10).append(" ").append(iso, 11, 8).append(" UTC") : iso;
}

FileAge AgeOf(std::filesystem::file_time_type written) {
  using namespace std::chrono;
  const auto time = time_point_cast<seconds>(file_clock::to_sys(written));
  const std::time_t since = system_clock::to_time_t(time);
  std::tm utc{};
  gmtime_r(&since, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  const std::int64_t age = duration_cast<seconds>(system_clock::now() - time).count();
  return {text, age > 0 ? age : 0};
}

std::string Duration(std::int64_t seconds) {
  const auto count = [](std::int64_t n, const char* unit) {
    return std::to_string(n) + " " + unit + (n == 1 ? "" : "s");
  };
  if (seconds < 120) return count(seconds, "second");
  if (seconds < 120 * 60) return count(seconds / 60, "minute");
  if (seconds < 48 * 3600) return count(seconds / 3600, "hour");
  return count(seconds / 86400, "day");
}

}  // namespace kvodev
