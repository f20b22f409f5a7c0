#include "deviceinfo/CapabilityTable.h"

#include <kvodevice/CapabilityTable.h>

#include <array>
#include <cstdint>
#include <span>

namespace dev::dynInfo {
namespace {

// Devices from `first` to `last`, both included.
struct Devices {
  constexpr Devices(std::uint16_t one) : first(one), last(one) {}
  constexpr Devices(std::uint16_t from, std::uint16_t to) : first(from), last(to) {}
  std::uint16_t first, last;
};

// Types `firstType`..`lastType` answer `byDefault` for every device except
// the `opposite` ones.
struct Row {
  std::int32_t firstType, lastType;
  bool byDefault;
  std::span<const Devices> opposite;
};

constexpr Devices kShading[] = {100, {168, 169}, 196, 201, {203, 208}, {255, 258}, 275, 280, 303, 322,
                                {332, 335}, 338, {342, 349}, 360, 370};
constexpr Devices kCustomGrayscale[] = {170, 194, {196, 200}, 203, 204, {250, 258}, 301, {303, 308},
                                        {320, 323}, 338, 342, 343, 346, 347, {350, 355}, 360, 370};
constexpr Devices kAutoExposure[] = {{251, 258}, 342, 343, 360, 370};
constexpr Devices kWhitebalance[] = {170, {194, 201}, 204, {250, 258}, 280, 301, {303, 308}, {320, 323}, 335,
                                     338, 342, 343, 346, 347, {350, 355}, 360, 370};
constexpr Devices kAccumulation[] = {201, {251, 258}, 275, 280, 306, 332, 334, {344, 347}};
constexpr Devices kType15[] = {301, 304, 307};
constexpr Devices kType24[] = {170, 196, 301, 303, 305, 308, {320, 323}, 352, 353, 355};
constexpr Devices kType26[] = {301, 307, 335, 338};
constexpr Devices kType28[] = {201, 280, 301, 307, 335, 338};
constexpr Devices kType30[] = {280, 301, 305, 307, 338};
constexpr Devices kType31[] = {257, 258};


constexpr Row kTable[] = {
    {2, 2, true, kShading},          // Shading
    {3, 3, true, {}},
    {4, 4, true, kCustomGrayscale},  // CustomGrayscale
    {5, 5, true, {}},
    {6, 6, true, {}},                // Splitting
    {7, 7, true, kAutoExposure},     // AutoExposure
    {8, 8, true, {}},
    {9, 9, true, kWhitebalance},     // Whitebalance
    {10, 10, false, {}},             // Blackbalance
    {11, 11, false, kAccumulation},  // Accumulation
    {12, 14, true, {}},
    {15, 15, false, kType15},
    {17, 23, true, {}},
    {24, 24, false, kType24},
    {25, 25, true, {}},
    {26, 26, false, kType26},
    {27, 27, true, {}},
    {28, 28, false, kType28},
    {29, 29, true, {}},
    {30, 30, false, kType30},
    {31, 31, false, kType31},
};

constexpr std::int32_t kFirstType = 2;

// One type of the table as bits: its default, and one bit per mapped device
// that answers the opposite.
struct TypeAnswers {
  bool byDefault = true;
  std::array<std::uint64_t, kCapabilityMappedDevices / 64> opposite{};
};

// The table as bits, checked while it is built: a mistake in it does not compile.
constexpr auto kAnswers = [] {
  std::array<TypeAnswers, kCapabilityLastType + 1> answers{};
  std::array<bool, kCapabilityLastType + 1> covered{};
  for (const Row& row : kTable) {
    for (std::int32_t type = row.firstType; type <= row.lastType; ++type) {
      if (covered[type]) throw "a type has two rows";
      covered[type] = true;
      answers[type].byDefault = row.byDefault;
      for (const Devices& devices : row.opposite) {
        if (devices.first > devices.last || devices.last >= kCapabilityMappedDevices) throw "device range out of bounds";
        for (std::uint32_t d = devices.first; d <= devices.last; ++d) answers[type].opposite[d / 64] |= 1ull << (d % 64);
      }
    }
  }
  // Every type has one row, except HDRI, which follows a host feature.
  for (std::int32_t type = kFirstType; type <= kCapabilityLastType; ++type)
    if (covered[type] == (type == tro::cam::HDRI)) throw "a type without a row, or HDRI with one";
  return answers;
}();

// The same by device: types below kFirstType are available, HDRI is left to the feature.
constexpr auto kWords = [] {
  std::array<std::uint32_t, kCapabilityMappedDevices + 1> words{};
  for (std::uint32_t d = 0; d <= kCapabilityMappedDevices; ++d) {
    words[d] = (1u << kFirstType) - 1;
    for (std::int32_t type = kFirstType; type <= kCapabilityLastType; ++type) {
      const bool opposite = d < kCapabilityMappedDevices && (kAnswers[type].opposite[d / 64] >> (d % 64) & 1) != 0;
      if (type != tro::cam::HDRI && kAnswers[type].byDefault != opposite) words[d] |= 1u << type;
    }
  }
  return words;
}();

}  // namespace

const std::array<std::uint32_t, kCapabilityMappedDevices + 1> kCapabilityWords = kWords;

// A device is in the table when it answers some type otherwise than the default.
bool IsDeviceInCapabilityTable(dev::id device) {
  return device < kCapabilityMappedDevices && CapabilityWord(device) != kCapabilityWords[kCapabilityMappedDevices];
}

}  // namespace dev::dynInfo
