#include <kvodevice/Version.h>

namespace dev {

const char* Version() { return KVO_VERSION_TEXT; }

}  // namespace dev
