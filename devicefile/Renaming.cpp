// Renaming a unit or a set, and deleting a set, in the document: what names them follows.
#include <kvodevice/Text.h>

#include <set>

#include "devicefile/DocumentLinks.h"
#include "devicefile/UnitId.h"
#include "devicefile/XMLFile.h"
#include "names/XMLNames.h"

namespace dev {
namespace {

using Node = platform::xml::Node;

// Gives every LinkedUnit of `parent` that `follows` the id `to`, keeping one
// where two would then name the same unit.
template <typename Follows>
void RenameLinks(const Node& parent, const std::wstring& to, const Follows& follows) {
  bool named = false;
  std::vector<Node> twins;
  for (const Node& link : Children(parent, XMLNames.LinkedUnit)) {
    const std::wstring id = link.GetAttribute(XMLNames.ItemID.str()).value_or(L"");
    if (id != to && !follows(id)) continue;
    if (named) twins.push_back(link);
    else if (id != to) link.SetAttribute(XMLNames.ItemID.str(), to);
    named = true;
  }
  for (const Node& twin : twins) parent.RemoveChild(twin);
}

}  // namespace

bool CXMLFile::RenameUnit(const std::wstring& from, const UnitKey& to) {
  return Answered({.op = Call::Op::RenameUnit, .unit = to, .name = from}, [&] {
    if (to.device == kInvalidUnitKey.device) return false;  // as AddUnit refuses it
    Change change{Change::Kind::RenameUnit, to};
    change.text = from;
    return Record(std::move(change));
  });
}

bool CXMLFile::RenameUnitInDocument(const std::wstring& from, const UnitKey& to) {
  const Node root = m_dom.DocumentElement();
  const Node list = root.ChildElement(XMLNames.UnitList.str());
  Node unit;
  std::set<std::wstring> ids;
  for (const Node& node : Children(list, XMLNames.Unit))
    if (const std::optional<std::wstring> id = node.GetAttribute(XMLNames.UnitID.str())) {
      if (*id == from && !unit) unit = node;
      ids.insert(*id);
    }
  const std::wstring name = FormatUnitId(to);
  if (!unit || ids.contains(name)) return false;
  // A malformed id is often written elsewhere in the form it was meant in.
  const std::optional<UnitKey> meant = ParseUnitId(from) ? std::nullopt : ReadUnitIdLeniently(from);
  const auto follows = [&](const std::wstring& id) {
    if (id == from) return true;
    const std::optional<UnitKey> key = meant ? ReadUnitIdLeniently(id) : std::nullopt;
    return key && *key == *meant && !ids.contains(id);
  };
  unit.SetAttribute(XMLNames.UnitID.str(), name);
  if (const Node interfaces = root.ChildElement(XMLNames.Interfaces.str()))
    for (Node kind = interfaces.FirstChild(); kind; kind = kind.NextSibling())
      for (Node port = kind.IsElement() ? kind.FirstChild() : Node(); port; port = port.NextSibling())
        if (port.IsElement()) RenameLinks(port, name, follows);
  for (const Node& set : Children(root.ChildElement(XMLNames.Sets.str()), XMLNames.Set)) RenameLinks(set, name, follows);
  return true;
}

bool CXMLFile::RenameSetInDocument(const std::wstring& from, const std::wstring& to) {
  const Node set = FindSet(from);
  if (!set || FindSet(to)) return false;
  set.SetAttribute(XMLNames.Name.str(), to);
  const Node active = ActiveSetNode();
  if (active && active.GetAttribute(XMLNames.Name.str()) == from) active.SetAttribute(XMLNames.Name.str(), to);
  return true;
}

bool CXMLFile::DeleteSetInDocument(const std::wstring& name) {
  const Node set = FindSet(name);
  if (!set || !set.Parent().RemoveChild(set)) return false;
  const Node active = ActiveSetNode();
  if (active && active.GetAttribute(XMLNames.Name.str()) == name) active.SetAttribute(XMLNames.Name.str(), L"");
  return true;
}

}  // namespace dev
