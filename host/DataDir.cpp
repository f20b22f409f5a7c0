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
      if (g_dataDir) return *g_dataDir;
    }
    return WithoutTrailingSeparator(DefaultDataDir());
  });
}

void ssnSetDataDir(const wchar_t* dir) {
  std::lock_guard lock(g_mutex);
  try {
    if (dir == nullptr || *dir == L'\0')
      g_dataDir.reset();
    else
      g_dataDir = WithoutTrailingSeparator(dir);
  } catch (...) {
    // Memory ran out: an empty name (which allocates nothing), so that the
    // library opens nothing rather than the directory the host meant to leave.
    g_dataDir.emplace();
  }
}
