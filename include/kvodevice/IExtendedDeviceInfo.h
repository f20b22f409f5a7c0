// Extended device information: devices that INI files describe, and whether a
// camera processing function is available for a device.
#pragma once

#include <kvodevice/Export.h>

#include <cstdint>
#include <string>
#include <vector>

namespace dev {

// A device, known by number only.
enum id : std::uint16_t { NoDevice = 65535 };

}  // namespace dev

namespace tro::cam {

// Camera processing functions. Any other 32-bit value is accepted by number.
enum eCamProcessingType : std::int32_t {
  Shading = 2,
  CustomGrayscale = 4,
  Splitting = 6,
  AutoExposure = 7,
  Whitebalance = 9,
  Blackbalance = 10,
  Accumulation = 11,
  HDRI = 16,
};

}  // namespace tro::cam

namespace dev::dynInfo {

// A position at which a device can sit: `code` is the INI position plus 1000.
struct PositionEntry {
  std::int32_t code;
  std::int32_t extra;  // always 0 when read from an INI file
  friend bool operator==(const PositionEntry&, const PositionEntry&) = default;
};

// The process-wide store of extended device descriptions. Hosts call the
// virtual operations by position: their order is fixed.
class IExtendedDeviceInfo {
 public:
  virtual ~IExtendedDeviceInfo() = default;

  // Reads every section of the INI file into the store, adding to what earlier
  // calls read. Returns true in every case, also for a missing or unreadable
  // file. Reads the file only; must not run while any other call on the service runs.
  virtual bool Load(const wchar_t* iniFilePath) = 0;

  // The queries below only read; they may overlap one another.

  // Every described device, in ascending order.
  virtual std::vector<dev::id> GetDeviceIDs() const = 0;
  // The INI section name of the device; empty when it is not described.
  virtual std::wstring GetSectionName(dev::id device) const = 0;
  // For `kind` 0 or 1 and a device with an auxiliary text: sets `code` to
  // 0xFFFFFFFF and `text`, returns true. Otherwise false, nothing written.
  virtual bool GetAuxiliaryText(dev::id device, std::uint32_t kind, std::uint32_t& code,
                                std::wstring& text) const = 0;
  // Every tag, ordered by UTF-16 code units, case-sensitive.
  virtual std::vector<std::wstring> GetTags() const = 0;
  // The devices carrying exactly `tag`, in the order they were read.
  virtual std::vector<dev::id> GetDevicesByTag(const std::wstring& tag) const = 0;
  // The device's positions, in the order they were read.
  virtual std::vector<PositionEntry> GetPositions(dev::id device) const = 0;
  // The devices at a position code (INI position plus 1000), in reading order.
  virtual std::vector<dev::id> GetDevicesAtPosition(std::int32_t positionCode) const = 0;
  // Always true; `usesTrigger` tells whether the device uses the RTC trigger.
  virtual bool GetRTCTrigger(dev::id device, bool& usesTrigger) const = 0;
  // True when an INI file set processing `type` for the device; `enabled` then
  // holds the setting. Otherwise false and `enabled` is left as it was.
  virtual bool GetProcessingEnabled(dev::id device, tro::cam::eCamProcessingType type,
                                    bool& enabled) const = 0;
};

// The process-wide service, created on first use and owned by the host's
// singleton container until the library unloads; null while the host feature
// "DEV_NO_SERVICE_UPDATE" is on. Never release it yourself.
KVO_DEVICE_API IExtendedDeviceInfo* GetExtendedDeviceInfo();

// Whether processing `type` is available for `device`: an INI setting of the
// service decides first, the library's fixed capability table second; type 16
// follows the host feature "ACQ_ENABLE_HDRI". Never allocates or locks once
// the service exists.
KVO_DEVICE_API bool IsCamAdapterEnabled(dev::id device, tro::cam::eCamProcessingType type);

// A key of an INI section that Load reads, spelt as the documentation spells
// it ("ID", "Tag", "Position", "useRTCTrigger", "useShading", ...); names
// compare without regard to ASCII case. `integer`: read as
// GetPrivateProfileIntW reads (ID and the switches), else as text.
struct IniKey {
  std::wstring name;
  bool integer = false;
};
// Every key Load reads, in the order above. For tools that check INI files.
KVO_DEVICE_API std::vector<IniKey> IniKeys();

}  // namespace dev::dynInfo
