// The INI files that caps and ini read (--ini), and the extended device
// information service with them read into it.
#pragma once

#include <kvodevice/IExtendedDeviceInfo.h>

#include <string>
#include <vector>

#include "shared/Context.h"
#include "shared/Option.h"

namespace kvodev {

inline constexpr Option kIni{"--ini", Option::List, "FILE", "an INI file to read (repeatable, read in order)"};

// Checks every --ini file (a readable regular file) and converts the paths
// for the library. Throws InputError naming the first bad one.
std::vector<std::wstring> IniPaths(const Context& ctx);

// The service with every file of `iniFiles` read into it; null while the host
// feature DEV_NO_SERVICE_UPDATE is on.
dev::dynInfo::IExtendedDeviceInfo* LoadService(const std::vector<std::wstring>& iniFiles);

}  // namespace kvodev
