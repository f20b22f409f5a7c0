// The fixed capability table: which camera processing types each device offers
// when no INI setting says otherwise.
#pragma once

#include <kvodevice/IExtendedDeviceInfo.h>

namespace dev::dynInfo {

// The table's answer, in constant time. Types below 2 and above 31 are
// available everywhere; type 16 follows the host feature "ACQ_ENABLE_HDRI".
bool CapabilityTableAnswer(dev::id device, tro::cam::eCamProcessingType type);

}  // namespace dev::dynInfo
