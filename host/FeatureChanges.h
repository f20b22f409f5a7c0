// How a library that keeps feature switches learns that one changed, without
// asking the host library on every call: it puts this counter into the
// singleton container, and setFeatureEnabled counts each change there.
#pragma once

#include <atomic>
#include <cstdint>

#include "host/SingleCont.h"

namespace pkg {

// Its own holder: the container's Release has nothing more to free.
class FeatureChanges final : public utl::SingleCont::CSinglePtrBase {
 public:
  void Release() override {}

  // Incremented (release) after a switch has been set; never 0.
  std::atomic<std::uint64_t> count{1};
};

}  // namespace pkg
