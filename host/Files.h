// The host's file test.
#pragma once

#include <kvodevice/Export.h>

// Nonzero when `path` names an existing file (anything but a directory).
KVO_HOST_API int osExistsFile(const wchar_t* path);
