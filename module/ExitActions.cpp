#include "module/ExitActions.h"

#include <mutex>
#include <vector>

namespace module {
namespace {

class ExitActions {
 public:
  ~ExitActions() {
    std::vector<void (*)()> actions;
    {
      std::lock_guard lock(mutex_);
      actions.swap(actions_);
    }
    for (auto it = actions.rbegin(); it != actions.rend(); ++it) (*it)();
  }
  void Add(void (*action)()) {
    std::lock_guard lock(mutex_);
    actions_.push_back(action);
  }

 private:
  std::mutex mutex_;
  std::vector<void (*)()> actions_;
};

// Destroyed when this library is unloaded (dlclose) or at exit, before the
// host library's objects, which were built before this library loaded.
ExitActions g_actions;

}  // namespace

void AtUnload(void (*action)()) { g_actions.Add(action); }

}  // namespace module
