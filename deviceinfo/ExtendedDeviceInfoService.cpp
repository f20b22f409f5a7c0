#include "deviceinfo/ExtendedDeviceInfoService.h"

#include <kvodevice/Host.h>

#include <atomic>
#include <typeinfo>

#include "host/SingleCont.h"
#include "module/ExitActions.h"

namespace dev::dynInfo {
namespace {

using Holder = utl::SingleCont::TSinglePtrHelp<CExtendedDeviceInfo>;

// Read without a lock on every call; written by racing first callers, who all
// write the same instance, and cleared by the exit action.
std::atomic<CExtendedDeviceInfo*> g_service{nullptr};

CExtendedDeviceInfo* FindInContainer() {
  auto* holder = dynamic_cast<Holder*>(utl::SingleCont::Get().Find(typeid(CExtendedDeviceInfo)));
  return holder != nullptr ? holder->Get() : nullptr;
}

// Removes the instance from the container, which deletes it.
void RemoveService() {
  utl::CLock lock(utl::SingleCont::GetSection(), true);
  g_service.store(nullptr, std::memory_order_release);
  utl::SingleCont::Get().Remove(typeid(CExtendedDeviceInfo));
}

CExtendedDeviceInfo* ServiceFromContainer() {
  utl::CLock lock(utl::SingleCont::GetSection(), true);
  if (CExtendedDeviceInfo* found = FindInContainer()) return found;
  static bool exitActionRegistered = false;  // guarded by the section
  if (!exitActionRegistered) {
    module::AtUnload(RemoveService);
    exitActionRegistered = true;
  }
  utl::SingleCont::Get().Add(typeid(CExtendedDeviceInfo), new Holder(new CExtendedDeviceInfo));
  return FindInContainer();
}

}  // namespace

CExtendedDeviceInfo* ExtendedDeviceInfoService() {
  if (pkg::isFeatureEnabled(L"DEV_NO_SERVICE_UPDATE")) return nullptr;
  if (CExtendedDeviceInfo* cached = g_service.load(std::memory_order_acquire)) return cached;
  CExtendedDeviceInfo* service = ServiceFromContainer();
  g_service.store(service, std::memory_order_release);
  return service;
}

IExtendedDeviceInfo* GetExtendedDeviceInfo() { return ExtendedDeviceInfoService(); }

}  // namespace dev::dynInfo
