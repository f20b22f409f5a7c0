// The process-wide extended device information service.
#pragma once

#include "deviceinfo/ExtendedDeviceInfo.h"

namespace dev::dynInfo {

// What GetExtendedDeviceInfo returns, as the class itself, for callers inside
// the library.
CExtendedDeviceInfo* ExtendedDeviceInfoService();

}  // namespace dev::dynInfo
