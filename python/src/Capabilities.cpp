// Which camera processing functions a device offers, the device descriptions
// of INI files, and the host's feature switches.
#include <kvodevice/CapabilityTable.h>
#include <kvodevice/Host.h>
#include <kvodevice/IExtendedDeviceInfo.h>

#include <algorithm>
#include <map>

#include "Support.h"

namespace kvopy {
namespace {

using tro::cam::eCamProcessingType;

constexpr eCamProcessingType kProcessing[] = {tro::cam::Shading,      tro::cam::CustomGrayscale, tro::cam::Splitting,
                                              tro::cam::AutoExposure, tro::cam::Whitebalance,    tro::cam::Blackbalance,
                                              tro::cam::Accumulation, tro::cam::HDRI};
// INI positions are stored with this offset (IExtendedDeviceInfo.h).
constexpr std::int32_t kPositionCode = 1000;

struct DeviceInfo {
  int device = 0;
  std::wstring section;
  std::vector<std::wstring> tags;
  std::vector<int> positions;
  bool rtcTrigger = false;
  std::map<eCamProcessingType, bool> processing;
};

dev::dynInfo::IExtendedDeviceInfo& Service() {
  dev::dynInfo::IExtendedDeviceInfo* info = dev::dynInfo::GetExtendedDeviceInfo();
  if (info == nullptr)
    Raise(ErrorClasses().error, L"the extended device information service is off while the feature DEV_NO_SERVICE_UPDATE is on");
  return *info;
}

DeviceInfo Describe(dev::id device) {
  const dev::dynInfo::IExtendedDeviceInfo& info = Service();
  DeviceInfo out;
  out.device = device;
  out.section = info.GetSectionName(device);
  for (const std::wstring& tag : info.GetTags()) {
    const std::vector<dev::id> tagged = info.GetDevicesByTag(tag);
    if (std::find(tagged.begin(), tagged.end(), device) != tagged.end()) out.tags.push_back(tag);
  }
  for (const dev::dynInfo::PositionEntry& position : info.GetPositions(device))
    out.positions.push_back(position.code - kPositionCode);
  info.GetRTCTrigger(device, out.rtcTrigger);
  for (const eCamProcessingType type : kProcessing) {
    bool enabled = false;
    if (info.GetProcessingEnabled(device, type, enabled)) out.processing[type] = enabled;
  }
  return out;
}

std::vector<int> Numbers(const std::vector<dev::id>& devices) { return {devices.begin(), devices.end()}; }

}  // namespace

void BindCapabilities(py::module_& m) {
  py::enum_<eCamProcessingType>(m, "Processing", "Camera processing functions (is_cam_adapter_enabled).")
      .value("SHADING", tro::cam::Shading, "Shading correction.")
      .value("CUSTOM_GRAYSCALE", tro::cam::CustomGrayscale, "Custom grayscale.")
      .value("SPLITTING", tro::cam::Splitting, "Splitting.")
      .value("AUTO_EXPOSURE", tro::cam::AutoExposure, "Auto exposure.")
      .value("WHITEBALANCE", tro::cam::Whitebalance, "White balance.")
      .value("BLACKBALANCE", tro::cam::Blackbalance, "Black balance.")
      .value("ACCUMULATION", tro::cam::Accumulation, "Accumulation.")
      .value("HDRI", tro::cam::HDRI, "HDRI; follows the feature ACQ_ENABLE_HDRI.")
      .attr("__module__") = "kvodevice";

  using D = DeviceInfo;
  ValueClass<D>(m, "DeviceInfo", "What the loaded INI files say of a device (device_info).")
      .field("device", &D::device, "The device number.")
      .field("section", &D::section, "Its INI section name; empty when no file describes it.")
      .field("tags", &D::tags, "The tags it carries.")
      .field("positions", &D::positions, "The INI positions it can sit at, in reading order.")
      .field("rtc_trigger", &D::rtcTrigger, "It uses the RTC trigger.")
      .field("processing", &D::processing,
             "The processing settings the INI files make: {Processing: bool}; a type they leave out is absent.");

  m.def(
      "load_ini", [](const FsPath& path) { Service().Load(path.path.c_str()); }, py::arg("path"),
      "Reads the device descriptions of an INI file, adding to what earlier files gave (a missing or unreadable "
      "file adds nothing). Load every file before the first query, from one thread. Error while the feature "
      "DEV_NO_SERVICE_UPDATE is on.");
  m.def(
      "is_cam_adapter_enabled",
      [](long device, eCamProcessingType type) { return dev::dynInfo::IsCamAdapterEnabled(DeviceArg(device), type); },
      py::arg("device"), py::arg("processing"),
      "Whether processing (a Processing) is available for the device: an INI setting decides first, the "
      "built-in capability table second.");
  m.def(
      "is_cam_adapter_enabled",
      [](long device, std::int32_t type) {
        return dev::dynInfo::IsCamAdapterEnabled(DeviceArg(device), static_cast<eCamProcessingType>(type));
      },
      py::arg("device"), py::arg("processing"), "The same for a processing type given by number.");
  m.def(
      "in_capability_table", [](long device) { return dev::dynInfo::IsDeviceInCapabilityTable(DeviceArg(device)); },
      py::arg("device"), "Whether the built-in capability table names the device for some processing type.");
  m.def(
      "device_info", [](long device) { return Describe(DeviceArg(device)); }, py::arg("device"),
      "The DeviceInfo of a device: section, tags, positions, RTC trigger use, processing settings.");
  m.def(
      "devices", [] { return Numbers(Service().GetDeviceIDs()); }, "The devices the loaded INI files describe, ascending.");
  m.def(
      "tags", [] { return Service().GetTags(); }, "Every tag the loaded INI files give, sorted.");
  m.def(
      "devices_with_tag", [](const std::wstring& tag) { return Numbers(Service().GetDevicesByTag(tag)); },
      py::arg("tag"), "The devices carrying exactly `tag`, in reading order.");
  m.def(
      "devices_at_position",
      [](std::int32_t position) { return Numbers(Service().GetDevicesAtPosition(position + kPositionCode)); },
      py::arg("position"), "The devices at an INI position, in reading order.");

  m.def(
      "set_feature", [](const std::wstring& name, bool on) { pkg::setFeatureEnabled(name.c_str(), on); },
      py::arg("name"), py::arg("on") = true,
      "Switches a host feature on or off at once for the whole process (ACQ_ENABLE_HDRI, DEV_NO_SERVICE_UPDATE), "
      "over what KVO_FEATURES says.");
  m.def(
      "is_feature_enabled", [](const std::wstring& name) { return pkg::isFeatureEnabled(name.c_str()); },
      py::arg("name"), "Whether a host feature is on (names compare without regard to ASCII case).");
}

}  // namespace kvopy
