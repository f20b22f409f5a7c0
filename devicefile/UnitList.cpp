// Listing, finding and adding units.
#include "devicefile/UnitId.h"
#include "devicefile/XMLFile.h"
#include "names/XMLNames.h"

namespace dev {

bool CXMLFile::GetUnitList(std::vector<UnitKey>& units, bool skipExcluded) {
  units.clear();
  return Answered({Call::Op::GetUnitList}, [&] {
    if (!isDOMReady()) return false;
    const auto nodes = utl::CXPATHString(XMLNames.UnitList).setChild(XMLNames.Unit).selectNodes(m_dom);
    if (!nodes) return false;
    for (long i = 0; i < nodes->length(); ++i) {
      const Node unit = nodes->item(i);
      if (!unit) return false;
      // "exclude" exactly; a unit whose setup cannot be read counts as included.
      if (skipExcluded && unit.GetAttribute(XMLNames.setup.str()) == XMLNames.exclude.str()) continue;
      const std::optional<std::wstring> id = unit.GetAttribute(XMLNames.UnitID.str());
      if (!id) return false;
      units.push_back(ParseUnitID(id->c_str()));
    }
    return true;
  });
}

bool CXMLFile::ExistsUnit(const UnitKey& key) {
  return Answered({Call::Op::ExistsUnit, key}, [&] { return UnitListed(key); });
}

bool CXMLFile::UnitListed(const UnitKey& key) const {
  if (!isDOMReady()) return false;
  CString path;
  path.Format(L"%ls/%ls[@%ls='%ls']", XMLNames.UnitList.GetString(), XMLNames.Unit.GetString(),
              XMLNames.UnitID.GetString(), FormatUnitID(key).GetString());
  return existsNode(utl::CXPATHString(path));
}

bool CXMLFile::AddUnit(const UnitKey& key) {
  return Answered({Call::Op::AddUnit, key}, [&] {
    // Device 65535 is no device, and its first unit what a malformed id
    // lists as: stored, it could not be told from one.
    if (key.device == kInvalidUnitKey.device) return false;
    return Record({Change::Kind::AddUnit, key});
  });
}

bool CXMLFile::AddUnitToDocument(const UnitKey& key) {
  // A second Unit with the same id would make the document invalid, and the
  // next start would set it aside as damaged.
  if (UnitListed(key)) return false;
  const CString id = FormatUnitID(key);
  const Node list = getChildNode(XMLNames.UnitList, m_dom.DocumentElement(), true);
  return static_cast<bool>(newNode(XMLNames.Unit, list, &XMLNames.UnitID, &id));
}

}  // namespace dev
