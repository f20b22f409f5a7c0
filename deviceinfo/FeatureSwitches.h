// The host feature switches that the hot path follows, kept here and read
// again from the host library only after a switch has changed.
#pragma once

#include <atomic>
#include <cstdint>

#include "host/FeatureChanges.h"

namespace dev::dynInfo {

struct Switches {
  bool noServiceUpdate = false;  // "DEV_NO_SERVICE_UPDATE"
  bool hdri = false;             // "ACQ_ENABLE_HDRI"
};

// The host's change counter once this library has put it into the container,
// and the switches as read at a count: count << 2 | hdri << 1 | noServiceUpdate.
extern std::atomic<const pkg::FeatureChanges*> g_featureChanges;
extern std::atomic<std::uint64_t> g_switches;

// Reads the switches from the host library, and keeps them with the count
// read before them: a change after that read moves the count on.
Switches ReadSwitches();

// The kept switches, false when a switch has changed since they were read.
inline bool KeptSwitches(Switches& switches) {
  const pkg::FeatureChanges* changes = g_featureChanges.load(std::memory_order_acquire);
  const std::uint64_t kept = g_switches.load(std::memory_order_acquire);
  if (changes == nullptr || kept >> 2 != changes->count.load(std::memory_order_acquire)) return false;
  switches = {(kept & 1) != 0, (kept & 2) != 0};
  return true;
}

// Without a call while no switch changes.
inline Switches CurrentSwitches() {
  Switches switches;
  return KeptSwitches(switches) ? switches : ReadSwitches();
}

}  // namespace dev::dynInfo
