#include "names/XMLNames.h"

namespace dev {

const XMLNameTable XMLNames;

}  // namespace dev
