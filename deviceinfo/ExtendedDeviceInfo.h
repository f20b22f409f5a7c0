// The store of extended device descriptions read from INI files, and its queries.
#pragma once

#include <kvodevice/IExtendedDeviceInfo.h>

#include <atomic>
#include <bitset>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "deviceinfo/ProcessingKeys.h"
#include "deviceinfo/Utf16Order.h"
#include "host/SingleCont.h"

namespace platform::profile {
class IniFile;
}

namespace dev::dynInfo {

class CExtendedDeviceInfo final : public IExtendedDeviceInfo, private utl::TSingle<CExtendedDeviceInfo> {
 public:
  CExtendedDeviceInfo() = default;
  ~CExtendedDeviceInfo() override = default;

  bool Load(const wchar_t* iniFilePath) override;
  std::vector<dev::id> GetDeviceIDs() const override;
  std::wstring GetSectionName(dev::id device) const override;
  bool GetAuxiliaryText(dev::id device, std::uint32_t kind, std::uint32_t& code, std::wstring& text) const override;
  std::vector<std::wstring> GetTags() const override;
  std::vector<dev::id> GetDevicesByTag(const std::wstring& tag) const override;
  std::vector<PositionEntry> GetPositions(dev::id device) const override;
  std::vector<dev::id> GetDevicesAtPosition(std::int32_t positionCode) const override;
  bool GetRTCTrigger(dev::id device, bool& usesTrigger) const override;
  // Inline: the first step of IsCamAdapterEnabled, answered from the flat
  // table of settings in constant time.
  bool GetProcessingEnabled(dev::id device, tro::cam::eCamProcessingType type, bool& enabled) const override {
    const int slot = ProcessingSlot(type);
    if (slot < 0) return false;
    const std::uint16_t flags = ProcessingFlags(device);
    if ((flags >> slot & 1) == 0) return false;
    enabled = (flags >> (8 + slot) & 1) != 0;
    return true;
  }

  // The device's settings: bit s says "set" and bit 8 + s the setting, for
  // the type in slot s of ProcessingSlot(). Safe while another thread loads.
  std::uint16_t ProcessingFlags(dev::id device) const {
    const std::atomic<std::uint16_t>* flat = processingFlat_.load(std::memory_order_acquire);
    return flat == nullptr ? 0 : flat[device].load(std::memory_order_relaxed);
  }

  // Deletes this object.
  virtual void Release();

 private:
  bool LoadFile(const wchar_t* iniFilePath);
  void LoadSection(const platform::profile::IniFile& ini, std::uint32_t section);
  // Stores settings in processingFlat_: `set` has bit s for each slot s set,
  // `on` for each set to 1.
  void StoreProcessing(dev::id device, unsigned set, unsigned on);

  // A described device: the section that named it last, and its positions.
  struct Device {
    std::wstring sectionName;
    std::vector<PositionEntry> positions;
  };
  const Device* FindDevice(dev::id device) const;
  // The list of devicesByTag_ under `tag`, added when it has none yet.
  std::vector<dev::id>& TagList(std::wstring_view tag);
  // The device's record, added when it has none yet (`added`).
  Device& AddDevice(dev::id device, bool& added);

  // The devices in the order they were first read, and by id the index of
  // each one's record plus one (0: none), 65536 entries once one is read: a
  // Load adds no node per device, and the ids come out in order. At most
  // 65535 ids are described (never dev::NoDevice), so the index fits.
  std::vector<Device> devices_;
  std::vector<std::uint16_t> deviceIndex_;
  std::map<dev::id, std::wstring> auxiliaryTexts_;  // nothing in this library fills it
  std::map<std::int32_t, std::vector<dev::id>> devicesAtPosition_;
  std::map<std::wstring, std::vector<dev::id>, Utf16Less> devicesByTag_;
  // The lists of devicesByTag_ by hash, which Load looks each section's tag up in
  // first; the keys are those of the map's nodes. A tag missing here is looked for there.
  std::unordered_map<std::wstring_view, std::vector<dev::id>*> tagLists_;
  std::bitset<65536> rtcTriggerDevices_;  // one bit per id: no allocation per device

  // The processing settings, flat, for the constant-time answer on the hot
  // path, which other threads take while Load writes them: each device's
  // flags are one atomic word, so that a reader sees them as they were before
  // or after a change, never half of it. Null until the first setting is
  // stored; the words then stay where they are until the service goes.
  std::unique_ptr<std::atomic<std::uint16_t>[]> processingWords_;
  std::atomic<const std::atomic<std::uint16_t>*> processingFlat_{nullptr};
};

}  // namespace dev::dynInfo
