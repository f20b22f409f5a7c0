// capdemo INI... [-- DEVICE...]
// Loads the INI files into the extended device information service, then
// prints what it holds and the capability answer of every named processing
// type for the listed devices (or for every described device and a few others).
#include <kvodevice/Host.h>
#include <kvodevice/IExtendedDeviceInfo.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct NamedType {
  const char* name;
  tro::cam::eCamProcessingType type;
};

constexpr NamedType kTypes[] = {
    {"Shading", tro::cam::Shading},           {"CustomGray", tro::cam::CustomGrayscale},
    {"Splitting", tro::cam::Splitting},       {"AutoExpo", tro::cam::AutoExposure},
    {"WhiteBal", tro::cam::Whitebalance},     {"BlackBal", tro::cam::Blackbalance},
    {"Accumul", tro::cam::Accumulation},      {"HDRI", tro::cam::HDRI},
};

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (const wchar_t c : text) out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::wstring> files;
  std::vector<dev::id> devices;
  bool deviceArgs = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) {
      deviceArgs = true;
    } else if (deviceArgs) {
      devices.push_back(static_cast<dev::id>(std::strtoul(argv[i], nullptr, 10)));
    } else {
      files.emplace_back(argv[i], argv[i] + std::strlen(argv[i]));
    }
  }

  dev::dynInfo::IExtendedDeviceInfo* info = dev::dynInfo::GetExtendedDeviceInfo();
  if (info == nullptr) {
    std::puts("DEV_NO_SERVICE_UPDATE is on: no extended device information, the fixed table answers alone.");
  } else {
    for (const std::wstring& file : files) {
      info->Load(file.c_str());
      std::printf("loaded %s\n", Narrow(file).c_str());
    }
    std::puts("\nDevices described by the INI files:");
    for (const dev::id device : info->GetDeviceIDs()) {
      bool rtc = false;
      info->GetRTCTrigger(device, rtc);
      std::printf("  %5u  [%s]  positions:", static_cast<unsigned>(device), Narrow(info->GetSectionName(device)).c_str());
      for (const auto& position : info->GetPositions(device)) std::printf(" %d", position.code - 1000);
      std::printf("  rtc trigger: %s\n", rtc ? "yes" : "no");
    }
    std::puts("\nTags:");
    for (const std::wstring& tag : info->GetTags()) {
      std::printf("  %-16s", Narrow(tag).c_str());
      for (const dev::id device : info->GetDevicesByTag(tag)) std::printf(" %u", static_cast<unsigned>(device));
      std::puts("");
    }
    if (devices.empty()) devices = info->GetDeviceIDs();
  }
  if (devices.empty()) devices = {dev::id{100}, dev::id{303}, dev::id{332}, dev::NoDevice};

  std::printf("\nCapabilities (+ available, - not; * an INI setting decided):\n  %6s", "device");
  for (const NamedType& type : kTypes) std::printf(" %10s", type.name);
  std::puts("");
  for (const dev::id device : devices) {
    std::printf("  %6u", static_cast<unsigned>(device));
    for (const NamedType& type : kTypes) {
      bool setting = false;
      const bool fromIni = info != nullptr && info->GetProcessingEnabled(device, type.type, setting);
      std::printf(" %9s%s", dev::dynInfo::IsCamAdapterEnabled(device, type.type) ? "+" : "-", fromIni ? "*" : " ");
    }
    std::puts("");
  }
  return EXIT_SUCCESS;
}
