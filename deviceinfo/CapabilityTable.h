// The fixed capability table: which camera processing types each device offers
// when no INI setting says otherwise.
#pragma once

#include <kvodevice/IExtendedDeviceInfo.h>

#include <array>
#include <cstdint>

namespace dev::dynInfo {

// Every device from this bound on takes each type's default.
inline constexpr std::uint32_t kCapabilityMappedDevices = 512;
inline constexpr std::int32_t kCapabilityLastType = 31;

// One type of the table as bits: its default, and one bit per device below
// kCapabilityMappedDevices that answers the opposite.
struct CapabilityTypeAnswers {
  bool byDefault = true;
  std::array<std::uint64_t, kCapabilityMappedDevices / 64> opposite{};
};

// Built at compile time from the table in CapabilityTable.cpp.
extern const std::array<CapabilityTypeAnswers, kCapabilityLastType + 1> kCapabilityAnswers;

// The host feature that decides type 16.
bool HdriEnabled();

// The table's answer, in constant time. Types below 2 and above 31 are
// available everywhere; type 16 follows the host feature "ACQ_ENABLE_HDRI".
inline bool CapabilityTableAnswer(dev::id device, tro::cam::eCamProcessingType type) {
  if (type < 2 || type > kCapabilityLastType) return true;
  if (type == tro::cam::HDRI) return HdriEnabled();
  const CapabilityTypeAnswers& answers = kCapabilityAnswers[static_cast<std::size_t>(type)];
  const std::uint32_t d = device;
  const bool opposite = d < kCapabilityMappedDevices && (answers.opposite[d / 64] >> (d % 64) & 1) != 0;
  return answers.byDefault != opposite;
}

}  // namespace dev::dynInfo
