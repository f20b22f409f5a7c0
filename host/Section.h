// The host's critical section and the scope lock that holds it.
#pragma once

#include <kvodevice/Export.h>

#include <boost/noncopyable.hpp>
#include <mutex>

namespace utl {

// A recursive lock, as a Windows critical section is: the thread that holds
// it may enter it again.
class KVO_HOST_API CSection : private boost::noncopyable {
 public:
  void Enter() { mutex_.lock(); }
  void Leave() { mutex_.unlock(); }

 private:
  std::recursive_mutex mutex_;
};

// Holds `section` from construction (when `lockNow`) until destruction.
class KVO_HOST_API CLock : private boost::noncopyable {
 public:
  CLock(CSection& section, bool lockNow) : section_(section), held_(lockNow) {
    if (held_) section_.Enter();
  }
  ~CLock() {
    if (held_) section_.Leave();
  }
  void Lock() {
    if (!held_) section_.Enter();
    held_ = true;
  }
  void Unlock() {
    if (held_) section_.Leave();
    held_ = false;
  }

 private:
  CSection& section_;
  bool held_;
};

}  // namespace utl
