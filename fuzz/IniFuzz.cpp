// Arbitrary bytes as an INI file: Load, then every query. Nothing may crash,
// leak or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <unistd.h>

#include "deviceinfo/ExtendedDeviceInfo.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = "/tmp/kvo-fuzz-ini-" + std::to_string(::getpid()) + ".ini";
  static const std::wstring widePath(path.begin(), path.end());
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                 static_cast<std::streamsize>(size));
  dev::dynInfo::CExtendedDeviceInfo info;
  info.Load(widePath.c_str());
  for (const dev::id device : info.GetDeviceIDs()) {
    info.GetSectionName(device);
    for (const auto& position : info.GetPositions(device)) info.GetDevicesAtPosition(position.code);
    bool flag = false;
    info.GetRTCTrigger(device, flag);
    for (int type = -1; type <= 40; ++type)
      info.GetProcessingEnabled(device, static_cast<tro::cam::eCamProcessingType>(type), flag);
    std::uint32_t code = 0;
    std::wstring text;
    info.GetAuxiliaryText(device, 0, code, text);
  }
  for (const std::wstring& tag : info.GetTags()) info.GetDevicesByTag(tag);
  return 0;
}
