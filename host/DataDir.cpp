#include <kvodevice/Host.h>

#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>

#include "platform/Boundary.h"
#include "platform/strings.h"

namespace {

std::mutex g_mutex;
std::optional<std::wstring> g_dataDir;  // set by ssnSetDataDir
// The last ssnSetDataDir ran out of memory: there is no data directory
// (rather than the one before, which the host meant to leave).
bool g_setFailed = false;

std::wstring FromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::wstring() : platform::WidePath(value);
}

// Drops trailing separators, keeping a lone root. A backslash is part of a name.
std::wstring WithoutTrailingSeparator(std::wstring dir) {
  while (dir.size() > 1 && dir.back() == L'/') dir.pop_back();
  return dir;
}

std::wstring DefaultDataDir() {
  if (std::wstring dir = FromEnvironment("KVO_DATA_DIR"); !dir.empty()) return dir;
  if (std::wstring dir = FromEnvironment("XDG_DATA_HOME"); !dir.empty())
    return WithoutTrailingSeparator(dir) + L"/kvoRQ";
  return WithoutTrailingSeparator(FromEnvironment("HOME")) + L"/.local/share/kvoRQ";
}

}  // namespace

std::wstring ssnGetDataDir(int kind) {
  if (kind != 1) return {};
  return platform::NoThrow<std::wstring>({}, [] {
    {
      std::lock_guard lock(g_mutex);
      if (g_setFailed) return std::wstring();
      if (g_dataDir) return *g_dataDir;
    }
    return WithoutTrailingSeparator(DefaultDataDir());
  });
}

void ssnSetDataDir(const wchar_t* dir) {
  platform::NoThrow(false, [dir] {
    std::lock_guard lock(g_mutex);
    g_setFailed = true;  // until the new name is in place
    if (dir == nullptr || *dir == L'\0')
      g_dataDir.reset();
    else
      g_dataDir = WithoutTrailingSeparator(dir);
    g_setFailed = false;
    return true;
  });
}
