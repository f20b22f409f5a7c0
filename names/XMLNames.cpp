#include "names/XMLNames.h"

#include "platform/strings.h"

namespace dev {

const XMLNameTable XMLNames;

const XMLNameBytes& XMLNamesUtf8() {
  static const XMLNameBytes names = [] {
    const auto utf8 = [](const CString& name) { return platform::Utf8FromWide(name.str()).value_or(""); };
    const XMLNameTable& n = XMLNames;
    return XMLNameBytes{utf8(n.UnitList),   utf8(n.Unit),       utf8(n.UnitID),          utf8(n.setup),
                        utf8(n.exclude),    utf8(n.LinkedInterface), utf8(n.Interfaces), utf8(n.Serial),
                        utf8(n.ComPort),    utf8(n.PortNo),     utf8(n.LinkedUnit),      utf8(n.ItemID),
                        utf8(n.Sets),       utf8(n.Set),        utf8(n.Name),            utf8(n.DriverList),
                        utf8(n.File),
                        {utf8(n.Driver), utf8(n.Model), utf8(n.UnitName), utf8(n.SerialNo), utf8(n.LinkedInterface)}};
  }();
  return names;
}

}  // namespace dev
