#include "deviceinfo/FeatureSwitches.h"

#include <kvodevice/Host.h>

#include <typeinfo>

#include "host/SingleCont.h"
#include "module/ExitActions.h"
#include "platform/Boundary.h"

namespace dev::dynInfo {

std::atomic<const pkg::FeatureChanges*> g_featureChanges{nullptr};
std::atomic<std::uint64_t> g_switches{0};  // count 0: never current

namespace {

// Removes the counter, which the container then deletes, before this
// library's code goes.
void RemoveFeatureChanges() {
  utl::CLock lock(utl::SingleCont::GetSection(), true);
  g_featureChanges.store(nullptr, std::memory_order_release);
  utl::SingleCont::Get().Remove(typeid(pkg::FeatureChanges));
}

const pkg::FeatureChanges* FeatureChangesFromContainer() {
  utl::CLock lock(utl::SingleCont::GetSection(), true);
  if (const pkg::FeatureChanges* known = g_featureChanges.load(std::memory_order_acquire)) return known;
  utl::SingleCont& container = utl::SingleCont::Get();
  auto* changes = static_cast<pkg::FeatureChanges*>(container.Find(typeid(pkg::FeatureChanges)));
  if (changes == nullptr) {
    static bool exitActionRegistered = false;  // guarded by the section
    if (!exitActionRegistered) {
      module::AtUnload(RemoveFeatureChanges);
      exitActionRegistered = true;
    }
    changes = new pkg::FeatureChanges;
    container.Add(typeid(pkg::FeatureChanges), changes);  // owns it from here, also when it throws
  }
  g_featureChanges.store(changes, std::memory_order_release);
  return changes;
}

}  // namespace

Switches ReadSwitches() {
  // Without the counter (memory ran out) every call reads the switches.
  const pkg::FeatureChanges* changes = g_featureChanges.load(std::memory_order_acquire);
  if (changes == nullptr) changes = platform::NoThrow<const pkg::FeatureChanges*>(nullptr, FeatureChangesFromContainer);
  const std::uint64_t count = changes != nullptr ? changes->count.load(std::memory_order_acquire) : 0;
  const Switches now{pkg::isFeatureEnabled(L"DEV_NO_SERVICE_UPDATE"), pkg::isFeatureEnabled(L"ACQ_ENABLE_HDRI")};
  if (changes != nullptr)
    g_switches.store(count << 2 | std::uint64_t{now.hdri} << 1 | std::uint64_t{now.noServiceUpdate},
                     std::memory_order_release);
  return now;
}

}  // namespace dev::dynInfo
