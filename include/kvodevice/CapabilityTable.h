// The capability table compiled into the library, beyond IsCamAdapterEnabled.
#pragma once

#include <kvodevice/Export.h>
#include <kvodevice/IExtendedDeviceInfo.h>

namespace dev::dynInfo {

// True when the table names `device` for at least one processing type; every
// other device gets each type's default, which says nothing about the device.
KVO_DEVICE_API bool IsDeviceInCapabilityTable(dev::id device);

}  // namespace dev::dynInfo
