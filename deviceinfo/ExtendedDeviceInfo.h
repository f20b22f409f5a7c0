// The store of extended device descriptions read from INI files, and its queries.
#pragma once

#include <kvodevice/IExtendedDeviceInfo.h>

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "deviceinfo/ProcessingKeys.h"
#include "deviceinfo/Utf16Order.h"
#include "host/SingleCont.h"

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
    if (slot < 0 || processingFlat_.empty()) return false;
    const std::uint16_t flags = processingFlat_[device];
    if ((flags >> slot & 1) == 0) return false;
    enabled = (flags >> (8 + slot) & 1) != 0;
    return true;
  }

  // Deletes this object.
  virtual void Release();

 private:
  bool LoadFile(const wchar_t* iniFilePath);
  void LoadSection(const wchar_t* section, const wchar_t* iniFilePath);
  // Stores one setting in processingFlat_.
  void SetFlatProcessing(dev::id device, tro::cam::eCamProcessingType type, bool enabled);

  std::map<dev::id, std::wstring> sectionNames_;
  std::map<dev::id, std::wstring> auxiliaryTexts_;  // nothing in this library fills it
  std::map<dev::id, std::vector<PositionEntry>> positions_;
  std::map<std::int32_t, std::vector<dev::id>> devicesAtPosition_;
  std::map<std::wstring, std::vector<dev::id>, Utf16Less> devicesByTag_;
  std::set<dev::id> rtcTriggerDevices_;

  // The processing settings, flat, for the constant-time answer on the hot
  // path: per device, bit s says "set" and bit 8 + s the setting, for the type in
  // slot s of ProcessingSlot(). Empty until the first setting is stored.
  std::vector<std::uint16_t> processingFlat_;
};

}  // namespace dev::dynInfo
