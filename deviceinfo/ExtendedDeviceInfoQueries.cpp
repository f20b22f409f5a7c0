// The read operations of the store. They never change it.
#include <algorithm>
#include <array>

#include "deviceinfo/ExtendedDeviceInfo.h"
#include "platform/Boundary.h"

namespace dev::dynInfo {
namespace {

// Devices that use the RTC trigger whatever the INI files say.
constexpr std::array<std::uint16_t, 27> kFixedRtcTriggerDevices = {
    196, 197, 198, 199, 204, 250, 253, 254, 255, 256, 301, 302, 303, 304,
    305, 306, 308, 320, 321, 322, 323, 350, 351, 352, 353, 354, 355};
static_assert(std::is_sorted(kFixedRtcTriggerDevices.begin(), kFixedRtcTriggerDevices.end()));

// The mapped value under `key`, copied, or an empty one (also when memory ran out).
template <typename Map, typename Key>
typename Map::mapped_type CopyOf(const Map& map, const Key& key) noexcept {
  return platform::NoThrow<typename Map::mapped_type>({}, [&] {
    const auto it = map.find(key);
    return it == map.end() ? typename Map::mapped_type{} : it->second;
  });
}

}  // namespace

const CExtendedDeviceInfo::Device* CExtendedDeviceInfo::FindDevice(dev::id device) const {
  return deviceIndex_.empty() || deviceIndex_[device] == 0 ? nullptr : &devices_[deviceIndex_[device] - 1u];
}

std::vector<dev::id> CExtendedDeviceInfo::GetDeviceIDs() const {
  return platform::NoThrow<std::vector<dev::id>>({}, [&] {
    std::vector<dev::id> devices;
    devices.reserve(devices_.size());
    for (std::size_t id = 0; id < deviceIndex_.size(); ++id)
      if (deviceIndex_[id] != 0) devices.push_back(static_cast<dev::id>(id));
    return devices;
  });
}

std::wstring CExtendedDeviceInfo::GetSectionName(dev::id device) const {
  return platform::NoThrow<std::wstring>({}, [&] {
    const Device* described = FindDevice(device);
    return described == nullptr ? std::wstring() : described->sectionName;
  });
}

bool CExtendedDeviceInfo::GetAuxiliaryText(dev::id device, std::uint32_t kind, std::uint32_t& code,
                                           std::wstring& text) const {
  if (kind > 1) return false;
  const auto it = auxiliaryTexts_.find(device);
  if (it == auxiliaryTexts_.end()) return false;
  code = 0xFFFFFFFF;
  return platform::NoThrow(false, [&] {
    text = it->second;
    return true;
  });
}

std::vector<std::wstring> CExtendedDeviceInfo::GetTags() const {
  return platform::NoThrow<std::vector<std::wstring>>({}, [&] {
    std::vector<std::wstring> tags;
    tags.reserve(devicesByTag_.size());
    for (const auto& entry : devicesByTag_) tags.push_back(entry.first);
    return tags;
  });
}

std::vector<dev::id> CExtendedDeviceInfo::GetDevicesByTag(const std::wstring& tag) const {
  return CopyOf(devicesByTag_, tag);
}

std::vector<PositionEntry> CExtendedDeviceInfo::GetPositions(dev::id device) const {
  return platform::NoThrow<std::vector<PositionEntry>>({}, [&] {
    const Device* described = FindDevice(device);
    return described == nullptr ? std::vector<PositionEntry>() : described->positions;
  });
}

std::vector<dev::id> CExtendedDeviceInfo::GetDevicesAtPosition(std::int32_t positionCode) const {
  return CopyOf(devicesAtPosition_, positionCode);
}

bool CExtendedDeviceInfo::GetRTCTrigger(dev::id device, bool& usesTrigger) const {
  usesTrigger = std::binary_search(kFixedRtcTriggerDevices.begin(), kFixedRtcTriggerDevices.end(),
                                   static_cast<std::uint16_t>(device)) ||
                rtcTriggerDevices_.test(device);
  return true;
}

void CExtendedDeviceInfo::Release() { delete this; }

}  // namespace dev::dynInfo
