#include "devicefile/XMLNames.h"

namespace dev {

const XMLNameTable XMLNames;

}  // namespace dev
