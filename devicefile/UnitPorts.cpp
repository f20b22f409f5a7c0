// The serial ports a unit is linked to, and unlinking a unit from a port.
#include <climits>
#include <cwchar>

#include "devicefile/UnitId.h"
#include "devicefile/XMLFile.h"
#include "devicefile/XMLNames.h"

namespace dev {
namespace {

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
  const auto fold = [](wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - (L'a' - L'A')) : c; };
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (fold(text[i]) != fold(prefix[i])) return false;
  return true;
}

}  // namespace

bool CXMLFile::GetUnitPorts(const UnitKey& unit, std::vector<PortAddress>& ports) {
  if (!isDOMReady()) return false;
  try {
    utl::CXPATHString path;
    path.setChild(XMLNames.Interfaces).setAnyChild().setAnyChild().setChild(XMLNames.LinkedUnit)
        .setAttribute(XMLNames.ItemID, FormatUnitID(unit));
    const auto links = path.selectNodes(m_dom);
    if (!links) return false;
    for (long i = 0; i < links->length(); ++i) {
      const Node link = links->item(i);
      if (!link) continue;
      const Node port = link.Parent();
      if (!port.IsElement()) return false;
      const std::optional<std::wstring> portNo = port.GetAttribute(XMLNames.PortNo.str());
      if (!portNo) return false;  // what was found before stays appended
      PortAddress address{};
      ParsePortName(platform::com::_bstr_t(*portNo), address.portType, address.portNumber);
      ports.push_back(address);
    }
    return true;
  } catch (...) {
    return false;
  }
}

void CXMLFile::ParsePortName(const platform::com::_bstr_t& text, int& portType, int& portNumber) {
  portType = PortOther;
  portNumber = 0;
  const std::wstring_view view = text.view();
  if (view.size() < 4 || !StartsWithNoCase(view, XMLNames.COM.str())) return;
  portType = PortSerial;
  // The C runtime's reading, clamped to 32 bits as a 32-bit long would be.
  const long value = std::wcstol(static_cast<const wchar_t*>(text) + XMLNames.COM.GetLength(), nullptr, 10);
  portNumber = static_cast<int>(value < INT_MIN ? INT_MIN : value > INT_MAX ? INT_MAX : value);
}

bool CXMLFile::FormatPortName(int portType, int portNumber, CString& interfaceName, CString& portText) {
  if (portType != PortSerial) return false;
  interfaceName = XMLNames.Serial;
  portText.Format(L"%ls%d", XMLNames.COM.GetString(), portNumber);  // any 32-bit number, sign included
  return true;
}

bool CXMLFile::UnlinkUnitPort(const UnitKey& unit, const PortAddress& port) {
  if (!isDOMReady()) return false;
  try {
    CString interfaceName, portText;
    if (!FormatPortName(port.portType, port.portNumber, interfaceName, portText)) return false;
    const CString id = FormatUnitID(unit);

    utl::CXPATHString unitSide(XMLNames.UnitList);
    unitSide.setAnyChild().setAttribute(XMLNames.UnitID, id).setChild(XMLNames.LinkedInterface)
        .setAttribute(XMLNames.ItemID, portText);
    if (!removeNode(unitSide.selectSingleNode(m_dom))) return false;

    utl::CXPATHString portSide(XMLNames.Interfaces);
    portSide.setChild(interfaceName).setAnyChild().setAttribute(XMLNames.PortNo, portText)
        .setChild(XMLNames.LinkedUnit).setAttribute(XMLNames.ItemID, id);
    return removeNode(portSide.selectSingleNode(m_dom));
  } catch (...) {
    return false;
  }
}

}  // namespace dev
