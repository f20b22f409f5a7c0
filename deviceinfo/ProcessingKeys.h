// The processing types that INI files can set, with their keys.
#pragma once

#include <kvodevice/IExtendedDeviceInfo.h>

#include <array>
#include <cstdint>

namespace dev::dynInfo {

// The other keys of a section.
inline constexpr const wchar_t* kIdKey = L"ID";
inline constexpr const wchar_t* kTagKey = L"Tag";
inline constexpr const wchar_t* kPositionKey = L"Position";
inline constexpr const wchar_t* kRtcTriggerKey = L"useRTCTrigger";

struct ProcessingKey {
  const wchar_t* key;
  tro::cam::eCamProcessingType type;
};

// In the order in which a section's keys are read.
inline constexpr std::array<ProcessingKey, 7> kProcessingKeys = {{
    {L"useShading", tro::cam::Shading},
    {L"useCustomGrayscale", tro::cam::CustomGrayscale},
    {L"useAutoExposure", tro::cam::AutoExposure},
    {L"useWhitebalance", tro::cam::Whitebalance},
    {L"useBlackbalance", tro::cam::Blackbalance},
    {L"useAccumulation", tro::cam::Accumulation},
    {L"useSplitting", tro::cam::Splitting},
}};

// Slot of each type below 32 in kProcessingKeys, -1 where no key sets it.
inline constexpr auto kSlotOfType = [] {
  std::array<std::int8_t, 32> slots{};
  slots.fill(-1);
  for (std::size_t slot = 0; slot < kProcessingKeys.size(); ++slot)
    slots[static_cast<std::size_t>(kProcessingKeys[slot].type)] = static_cast<std::int8_t>(slot);
  return slots;
}();

// For each combination of slots as bits (bit s: slot s), the types of those
// slots as bits (bit t: type t).
inline constexpr auto kTypesOfSlots = [] {
  static_assert(kProcessingKeys.size() == 7);
  std::array<std::uint32_t, 128> types{};
  for (std::size_t slots = 0; slots < types.size(); ++slots)
    for (std::size_t slot = 0; slot < kProcessingKeys.size(); ++slot)
      if ((slots >> slot & 1) != 0) types[slots] |= 1u << kProcessingKeys[slot].type;
  return types;
}();

// The index of `type` in kProcessingKeys, or -1 for a type no key sets.
constexpr int ProcessingSlot(tro::cam::eCamProcessingType type) {
  const auto value = static_cast<std::uint32_t>(type);
  return value < kSlotOfType.size() ? kSlotOfType[value] : -1;
}

}  // namespace dev::dynInfo
