// The fixed capability table: which camera processing types each device offers
// when no INI setting says otherwise.
#pragma once

#include <kvodevice/IExtendedDeviceInfo.h>

#include <algorithm>
#include <array>
#include <cstdint>

#include "deviceinfo/FeatureSwitches.h"
#include "deviceinfo/ProcessingKeys.h"

namespace dev::dynInfo {

// Every device from this bound on takes each type's default.
inline constexpr std::uint32_t kCapabilityMappedDevices = 512;
inline constexpr std::int32_t kCapabilityLastType = 31;

// The table's answers of each device below kCapabilityMappedDevices as bits
// by type, then those of every later device; bit 16 (HDRI) is clear.
// Built at compile time from the table in CapabilityTable.cpp.
extern const std::array<std::uint32_t, kCapabilityMappedDevices + 1> kCapabilityWords;

inline std::uint32_t CapabilityWord(dev::id device) {
  return kCapabilityWords[std::min<std::uint32_t>(device, kCapabilityMappedDevices)];
}

// The answer for `device`, whose INI settings are `settings` (as
// CExtendedDeviceInfo::ProcessingFlags has them, 0 for none), in constant time
// and without a branch on the device: a setting overrides the table in both
// directions; types below 2 and above 31 are available everywhere; type 16
// follows the host feature "ACQ_ENABLE_HDRI", `hdri`.
inline bool CapabilityAnswer(dev::id device, tro::cam::eCamProcessingType type, std::uint16_t settings, bool hdri) {
  const auto bit = static_cast<std::uint32_t>(type);
  if (bit > static_cast<std::uint32_t>(kCapabilityLastType)) return true;
  const std::uint32_t set = kTypesOfSlots[settings & 0x7F], on = kTypesOfSlots[settings >> 8 & 0x7F];
  const std::uint32_t answers = (CapabilityWord(device) & ~set) | (on & set) | std::uint32_t{hdri} << tro::cam::HDRI;
  return (answers >> bit & 1) != 0;
}

// The table's answer alone.
inline bool CapabilityTableAnswer(dev::id device, tro::cam::eCamProcessingType type) {
  return CapabilityAnswer(device, type, 0, CurrentSwitches().hdri);
}

}  // namespace dev::dynInfo
