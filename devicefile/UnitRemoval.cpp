// Removing a unit with its set memberships.
#include <unordered_map>

#include "devicefile/UnitId.h"
#include "devicefile/XMLFile.h"
#include "names/XMLNames.h"

namespace dev {

bool CXMLFile::RemoveUnit(const UnitKey& unit) {
  return Answered({Call::Op::RemoveUnit, unit}, [&] {
    if (!isDOMReady()) return false;
    // A document without sets gets an empty one and is saved at once, before
    // the unit is even looked up; the save's answer does not matter here.
    if (!existsNode(utl::CXPATHString(XMLNames.Sets))) {
      Record({Change::Kind::AddSets});
      SaveChanges();
    }
    return Record({Change::Kind::RemoveUnit, unit});
  });
}

bool CXMLFile::RemoveUnitFromDocument(const UnitKey& unit) {
  std::vector<CString> setNames;
  if (!CollectSetNames(setNames)) return false;
  const CString id = FormatUnitID(unit);
  // For each name, in order, the unit leaves the first set of that name
  // once; a set without the unit is no error. The first set of each name
  // comes from one index, so the cost stays linear in the number of sets.
  const std::unordered_map<std::wstring, Node> firstSets = FirstSetOfEachName();
  for (const CString& name : setNames)
    if (const auto set = firstSets.find(name.str()); set != firstSets.end()) RemoveUnitFromSet(set->second, id);

  utl::CXPATHString path(XMLNames.UnitList);
  path.setChild(XMLNames.Unit).setAttribute(XMLNames.UnitID, id);
  const Node node = path.selectSingleNode(m_dom);
  if (!node) return false;
  const Node parent = node.Parent();
  if (!parent.IsElement() || !parent.RemoveChild(node)) return false;

  // Whatever the loop above left: a second entry in one set, entries of a
  // second set of the same name, entries under any other child of Sets.
  path = XMLNames.Sets;
  path.setAnyChild().setChild(XMLNames.LinkedUnit).setAttribute(XMLNames.ItemID, id);
  const auto memberships = path.selectNodes(m_dom);
  return memberships && RemoveAll(*memberships);
}

bool CXMLFile::CollectSetNames(std::vector<CString>& setNames) {
  setNames.clear();
  if (!isDOMReady()) return false;
  const auto sets = utl::CXPATHString(XMLNames.Sets).setChild(XMLNames.Set).selectNodes(m_dom);
  if (!sets) return false;
  for (long i = 0; i < sets->length(); ++i) {
    const Node set = sets->item(i);
    if (!set.IsElement()) return false;
    const std::optional<std::wstring> name = set.GetAttribute(XMLNames.Name.str());
    if (!name) return false;  // a Set without a Name: nothing is removed
    setNames.emplace_back(*name);
  }
  return true;
}

bool CXMLFile::EnsureSetsNode() {
  if (!isDOMReady()) return false;
  // Made again on a newer file by a merge, where another writer may have made it first.
  if (getChildNode(XMLNames.Sets, m_dom.DocumentElement(), false)) return true;
  const Node sets = getChildNode(XMLNames.Sets, m_dom.DocumentElement(), true);
  const CString empty;
  return static_cast<bool>(newNode(XMLNames.ActiveSet, sets, &XMLNames.Name, &empty));
}

std::unordered_map<std::wstring, CXMLFile::Node> CXMLFile::FirstSetOfEachName() {
  std::unordered_map<std::wstring, Node> firstSets;
  const auto sets = utl::CXPATHString(XMLNames.Sets).setChild(XMLNames.Set).selectNodes(m_dom);
  if (!sets) return firstSets;
  for (const Node& set : *sets)
    if (const auto name = set.GetAttribute(XMLNames.Name.str())) firstSets.try_emplace(*name, set);
  return firstSets;
}

bool CXMLFile::RemoveUnitFromSet(const Node& set, const CString& unitId) {
  if (!isDOMReady()) return false;
  for (Node child = set.FirstChild(); child; child = child.NextSibling()) {
    if (child.IsElement() && child.Name() == XMLNames.LinkedUnit.str() &&
        child.GetAttribute(XMLNames.ItemID.str()) == unitId.str())
      return static_cast<bool>(set.RemoveChild(child));
  }
  return false;
}

bool CXMLFile::RemoveAll(const platform::xml::NodeList& nodes) {
  // The list is a snapshot: removing one entry does not shift the others.
  for (long i = 0; i < nodes.length(); ++i) {
    const Node node = nodes.item(i);
    if (!node) return false;
    const Node parent = node.Parent();
    if (!parent.IsElement() || !parent.RemoveChild(node)) return false;
  }
  return true;
}

}  // namespace dev
