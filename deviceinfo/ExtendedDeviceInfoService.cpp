#include "deviceinfo/ExtendedDeviceInfoService.h"

#include <atomic>
#include <memory>
#include <typeinfo>

#include "host/SingleCont.h"
#include "platform/Boundary.h"
#include "module/ExitActions.h"

namespace dev::dynInfo {

std::atomic<CExtendedDeviceInfo*> g_extendedDeviceInfo{nullptr};

namespace {

using Holder = utl::SingleCont::TSinglePtrHelp<CExtendedDeviceInfo>;

CExtendedDeviceInfo* FindInContainer() {
  auto* holder = dynamic_cast<Holder*>(utl::SingleCont::Get().Find(typeid(CExtendedDeviceInfo)));
  return holder != nullptr ? holder->Get() : nullptr;
}

// Removes the instance from the container, which deletes it.
void RemoveService() {
  utl::CLock lock(utl::SingleCont::GetSection(), true);
  g_extendedDeviceInfo.store(nullptr, std::memory_order_release);
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
  std::unique_ptr<CExtendedDeviceInfo> instance(new CExtendedDeviceInfo);
  auto* holder = new Holder(instance.get());
  instance.release();
  utl::SingleCont::Get().Add(typeid(CExtendedDeviceInfo), holder);  // owns it from here, also when it throws
  return FindInContainer();
}

}  // namespace

CExtendedDeviceInfo* CreateExtendedDeviceInfoService() {
  // Null when memory ran out: no service, and the table answers alone.
  CExtendedDeviceInfo* service = platform::NoThrow<CExtendedDeviceInfo*>(nullptr, ServiceFromContainer);
  g_extendedDeviceInfo.store(service, std::memory_order_release);
  return service;
}

IExtendedDeviceInfo* GetExtendedDeviceInfo() { return ExtendedDeviceInfoService(); }

}  // namespace dev::dynInfo
