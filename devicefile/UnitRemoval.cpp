// Removing a unit with its set memberships.
#include "devicefile/DocumentLinks.h"
#include "devicefile/UnitId.h"
#include "devicefile/XMLFile.h"
#include "names/XMLNames.h"

namespace dev {

bool CXMLFile::RemoveUnit(const UnitKey& unit) {
  return Answered({Call::Op::RemoveUnit, unit}, [&] {
    if (!isDOMReady()) return false;
    // A document without sets gets an empty one and is saved at once, before
    // the unit is even looked up; the save's answer does not matter here.
    if (!ChildOf(m_dom.DocumentElement(), XMLNames.Sets)) {
      Record({Change::Kind::AddSets});
      SaveChanges();
    }
    return Record({Change::Kind::RemoveUnit, unit});
  });
}

bool CXMLFile::RemoveUnitFromDocument(const UnitKey& unit) {
  // A Set without a Name: nothing is removed.
  if (!isDOMReady() || Index().UnnamedSets() > 0) return false;
  const std::string id = DocumentIndex::Key(FormatUnitId(unit));
  // The unit leaves the first set of each name once for every set of that
  // name, even when it is not listed; a set without it is no error. The
  // links come in document order, those of one set together.
  platform::xml::NodeRef set = nullptr;
  std::size_t left = 0;
  for (const Node& link : Index().Nodes(Index().Find(Indexed::SetLink, id))) {
    const Node holder = link.Parent();
    if (holder.Ref() != set) {
      set = holder.Ref();
      const auto& named = Index().Find(Indexed::Set, holder.Attribute(XMLNamesUtf8().Name).value_or(""));
      left = !named.empty() && named.front().node == set ? named.size() : 0;
    }
    if (left > 0) {
      --left;
      holder.RemoveChild(link);
    }
  }

  const Node node = FindUnit(unit);
  if (!node || !node.Parent().RemoveChild(node)) return false;
  // Whatever that left: further entries in one set, entries of a second set of the same name.
  for (const Node& link : Index().Nodes(Index().Find(Indexed::SetLink, id)))
    if (!link.Parent().RemoveChild(link)) return false;
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

}  // namespace dev
