// The serial ports a unit is linked to, and unlinking a unit from a port.
#include "devicefile/PortName.h"
#include "devicefile/UnitId.h"
#include "devicefile/XMLFile.h"
#include "names/XMLNames.h"

namespace dev {

bool CXMLFile::GetUnitPorts(const UnitKey& unit, std::vector<PortAddress>& ports) {
  return Answered({Call::Op::GetUnitPorts, unit}, [&] {
    if (!isDOMReady()) return false;
    const DocumentIndex& index = Index();
    for (const DocumentIndex::Entry& link : index.Find(Indexed::PortLink, DocumentIndex::Key(FormatUnitId(unit)))) {
      const std::optional<std::wstring> portNo = m_dom.At(link.node).Parent().GetAttribute(XMLNames.PortNo.str());
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
  // The unit's side first: when it is not linked there, nothing changes.
  if (!removeNode(LinkIn(FindUnit(unit), Indexed::UnitLink, portText.str()))) return false;
  return removeNode(LinkIn(FirstNamed(Indexed::Port, portText.str()), Indexed::PortLink, FormatUnitId(unit)));
}

}  // namespace dev
