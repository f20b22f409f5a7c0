// Host services that a host program sets up before it uses the library.
// These live in libkvohost.so, which owns them for the whole process.
#pragma once

#include <kvodevice/Export.h>

#include <string>

// The host's data directory for `kind` 1; an empty string for any other kind.
// It is the directory last given to ssnSetDataDir, else the environment variable
// KVO_DATA_DIR, else $XDG_DATA_HOME/kvoRQ, else $HOME/.local/share/kvoRQ.
// Never ends in a path separator (except the root directory itself).
KVO_HOST_API std::wstring ssnGetDataDir(int kind);

// Sets the data directory for configuration objects created from now on;
// nullptr (or an empty text) goes back to the default. A trailing '/' is dropped.
// Changes nothing on disk.
KVO_HOST_API void ssnSetDataDir(const wchar_t* dir);

namespace pkg {

// True when the named feature is switched on. Names compare without regard to
// ASCII letter case. The initial set is read once, on first use, from the
// environment variable KVO_FEATURES: names separated by commas, blanks around
// a name ignored, empty items skipped. Safe from any thread; never allocates
// or waits for a lock. A null or empty name is never enabled.
KVO_HOST_API bool isFeatureEnabled(const wchar_t* name);

// Switches the named feature on or off at once, for every thread, overriding
// KVO_FEATURES for that name. A null or empty name is ignored.
KVO_HOST_API void setFeatureEnabled(const wchar_t* name, bool on);

}  // namespace pkg
