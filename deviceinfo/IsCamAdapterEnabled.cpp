#include <kvodevice/IExtendedDeviceInfo.h>

#include "deviceinfo/CapabilityTable.h"
#include "deviceinfo/ExtendedDeviceInfoService.h"

namespace dev::dynInfo {

bool IsCamAdapterEnabled(dev::id device, tro::cam::eCamProcessingType type) {
  // An INI setting overrides the table in both directions.
  if (const CExtendedDeviceInfo* service = ExtendedDeviceInfoService()) {
    bool enabled = false;
    if (service->GetProcessingEnabled(device, type, enabled)) return enabled;
  }
  return CapabilityTableAnswer(device, type);
}

}  // namespace dev::dynInfo
