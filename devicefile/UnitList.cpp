// Listing, finding and adding units.
#include "devicefile/DocumentLinks.h"
#include "devicefile/UnitId.h"
#include "devicefile/XMLFile.h"
#include "names/XMLNames.h"

namespace dev {

template <typename Visit>
bool CXMLFile::ForEachUnit(bool skipExcluded, const Visit& visit) const {
  const XMLNameBytes& n = XMLNamesUtf8();
  Node unit = ChildOf(m_dom.DocumentElement(), XMLNames.UnitList);
  for (unit.ToFirstChild(); unit; unit.ToNextSibling()) {
    if (!unit.Is(n.Unit)) continue;
    // "exclude" exactly; a unit whose setup cannot be read counts as included.
    if (skipExcluded && unit.Attribute(n.setup) == n.exclude) continue;
    const std::optional<std::wstring> id = unit.GetAttribute(XMLNames.UnitID.str());
    if (!id) return false;
    visit(unit, *id);
  }
  return true;
}

bool CXMLFile::GetUnitList(std::vector<UnitKey>& units, bool skipExcluded) {
  units.clear();
  return Answered({Call::Op::GetUnitList}, [&] {
    return isDOMReady() &&
           ForEachUnit(skipExcluded, [&](const Node&, const std::wstring& id) { units.push_back(ParseUnitID(id.c_str())); });
  });
}

bool CXMLFile::GetUnits(std::vector<UnitDetails>& units, bool skipExcluded) {
  // The entries `units` holds are filled again in place: a host that reads
  // the units over and over reuses their storage instead of making it anew.
  std::size_t count = 0;
  const bool answer = Answered({Call::Op::GetUnits}, [&] {
    return isDOMReady() && ForEachUnit(skipExcluded, [&](const Node& node, const std::wstring& id) {
             UnitDetails& details = count < units.size() ? units[count] : units.emplace_back();
             ++count;
             details.key = ParseUnitID(id.c_str());
             ReadUnit(node, details);
           });
  });
  units.resize(count);
  return answer;
}

bool CXMLFile::ExistsUnit(const UnitKey& key) {
  return Answered({Call::Op::ExistsUnit, key}, [&] { return UnitListed(key); });
}

bool CXMLFile::UnitListed(const UnitKey& key) const { return isDOMReady() && FindUnit(key); }

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
