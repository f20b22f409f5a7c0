// The serial ports a unit is linked to, and unlinking a unit from a port.
#include "devicefile/PortName.h"
#include "devicefile/UnitId.h"
#include "devicefile/XMLFile.h"
#include "names/XMLNames.h"

namespace dev {

bool CXMLFile::GetUnitPorts(const UnitKey& unit, std::vector<PortAddress>& ports) {
  return Answered({Call::Op::GetUnitPorts, unit}, [&] {
    if (!isDOMReady()) return false;
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
      ports.push_back(ParsePortName(*portNo));
    }
    return true;
  });
}

bool CXMLFile::UnlinkUnitPort(const UnitKey& unit, const PortAddress& port) {
  return Answered({Call::Op::UnlinkUnitPort, unit, port}, [&] { return Record({Change::Kind::UnlinkUnitPort, unit, port}); });
}

bool CXMLFile::UnlinkInDocument(const UnitKey& unit, const PortAddress& port) {
  CString interfaceName, portText;
  if (!FormatPortName(port.portType, port.portNumber, interfaceName, portText)) return false;
  const CString id = FormatUnitID(unit);

  utl::CXPATHString unitSide(XMLNames.UnitList);
  unitSide.setAnyChild()
      .setAttribute(XMLNames.UnitID, id)
      .setChild(XMLNames.LinkedInterface)
      .setAttribute(XMLNames.ItemID, portText);
  if (!removeNode(unitSide.selectSingleNode(m_dom))) return false;

  utl::CXPATHString portSide(XMLNames.Interfaces);
  portSide.setChild(interfaceName)
      .setAnyChild()
      .setAttribute(XMLNames.PortNo, portText)
      .setChild(XMLNames.LinkedUnit)
      .setAttribute(XMLNames.ItemID, id);
  return removeNode(portSide.selectSingleNode(m_dom));
}

}  // namespace dev
