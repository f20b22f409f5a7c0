// The process-wide extended device information service.
#pragma once

#include <atomic>

#include "deviceinfo/ExtendedDeviceInfo.h"
#include "deviceinfo/FeatureSwitches.h"

namespace dev::dynInfo {

// The service once created: read without a lock on every call, written by
// racing first callers (who all write the same instance) and cleared when
// the library unloads.
extern std::atomic<CExtendedDeviceInfo*> g_extendedDeviceInfo;

// Finds or creates the service in the host's singleton container.
CExtendedDeviceInfo* CreateExtendedDeviceInfoService();

// What GetExtendedDeviceInfo returns, as the class itself and inline, for the
// hot path inside the library: null while "DEV_NO_SERVICE_UPDATE" is on.
inline CExtendedDeviceInfo* ExtendedDeviceInfoService(const Switches& switches = CurrentSwitches()) {
  if (switches.noServiceUpdate) return nullptr;
  if (CExtendedDeviceInfo* service = g_extendedDeviceInfo.load(std::memory_order_acquire)) return service;
  return CreateExtendedDeviceInfoService();
}

}  // namespace dev::dynInfo
