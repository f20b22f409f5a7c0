#include <kvodevice/IExtendedDeviceInfo.h>

#include "deviceinfo/CapabilityTable.h"
#include "deviceinfo/ExtendedDeviceInfoService.h"

namespace dev::dynInfo {
namespace {

// Out of line, so that the common path below saves no registers for it.
[[gnu::noinline]] bool AnswerAfterLookUps(dev::id device, tro::cam::eCamProcessingType type) {
  const Switches switches = CurrentSwitches();
  const CExtendedDeviceInfo* service = ExtendedDeviceInfoService(switches);
  return CapabilityAnswer(device, type, service != nullptr ? service->ProcessingFlags(device) : 0, switches.hdri);
}

}  // namespace

// While no switch changes and once the service exists, flat tables and
// atomics only, without a call: the service's settings words, which Load
// changes in place, and the table's words. Otherwise the same answer after
// reading the switches or creating the service.
bool IsCamAdapterEnabled(dev::id device, tro::cam::eCamProcessingType type) {
  Switches switches;
  const CExtendedDeviceInfo* service = g_extendedDeviceInfo.load(std::memory_order_acquire);
  if (!KeptSwitches(switches) || (service == nullptr && !switches.noServiceUpdate))
    return AnswerAfterLookUps(device, type);
  const std::uint16_t settings = switches.noServiceUpdate ? 0 : service->ProcessingFlags(device);
  return CapabilityAnswer(device, type, settings, switches.hdri);
}

}  // namespace dev::dynInfo
