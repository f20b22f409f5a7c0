// Telling a host that the configuration may have changed, without a thread:
// the host's event loop waits on a descriptor and asks.
#pragma once

#include <kvodevice/Export.h>

namespace dev {

class IConfigurationWatch {
 public:
  // Readable when the document may have changed: for poll, select, epoll, a
  // socket notifier of a toolkit or Python's selectors. -1 when the data
  // directory cannot be watched by the system (see SystemError).
  virtual int Descriptor() const = 0;
  // Drains what the descriptor holds without blocking; true when
  // "kvoDevice.xml" was replaced, rewritten or removed since the last call,
  // by anyone, this process included (a host that wrote it itself can tell by
  // IsStale). The lock file, temporaries and the history alone never count.
  // Without a descriptor: whether the file is another one than at the last call.
  virtual bool Changed() = 0;
  // Why Descriptor is -1 (an errno), 0 while it watches.
  virtual int SystemError() const = 0;
  // Stops watching and deletes the watch.
  virtual void Release() = 0;

 protected:
  ~IConfigurationWatch() = default;
};

// Watches the document of the host's data directory (see ssnGetDataDir), as
// it is now: made absolute, and for a linked document its final target too.
// Changes nothing on disk. Null only when memory ran out.
KVO_DEVICE_API IConfigurationWatch* WatchConfiguration();

}  // namespace dev
