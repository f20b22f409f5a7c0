// Renaming a unit or a set, and deleting a set, in the document: what names them follows.
#include <kvodevice/Text.h>

#include <algorithm>
#include <tuple>

#include "devicefile/DocumentLinks.h"
#include "devicefile/UnitId.h"
#include "devicefile/XMLFile.h"
#include "names/XMLNames.h"

namespace dev {
namespace {

using Node = platform::xml::Node;

// Gives the first of `links` (LinkedUnits of one holder, in document order)
// the id `to`, and removes the others: one link where two would name the same unit.
void RenameLinks(const std::vector<Node>& links, const std::wstring& to) {
  for (std::size_t i = 0; i < links.size(); ++i) {
    if (i > 0)
      links[i].Parent().RemoveChild(links[i]);
    else if (links[i].GetAttribute(XMLNames.ItemID.str()) != to)
      links[i].SetAttribute(XMLNames.ItemID.str(), to);
  }
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
  const Node unit = FirstNamed(Indexed::Unit, from);
  const std::wstring name = FormatUnitId(to);
  if (!unit || FirstNamed(Indexed::Unit, name)) return false;
  // A malformed id is often written elsewhere in the form it was meant in.
  const std::optional<UnitKey> meant = ParseUnitId(from) ? std::nullopt : ReadUnitIdLeniently(from);
  const auto follows = [&](const std::wstring& id) {
    if (id == from || id == name) return true;
    const std::optional<UnitKey> key = meant ? ReadUnitIdLeniently(id) : std::nullopt;
    return key && *key == *meant && !FirstNamed(Indexed::Unit, id);
  };
  // The links of ports and sets that name the unit, by holder, each holder's in document order.
  std::vector<std::vector<Node>> holders;
  const auto take = [&](const Node& link) {
    if (holders.empty() || holders.back().front().Parent() != link.Parent()) holders.emplace_back();
    holders.back().push_back(link);
  };
  if (meant) {
    // Any spelling of the meant id: only a walk over every link finds them all.
    const Node root = m_dom.DocumentElement();
    std::vector<Node> parents = Children(root.ChildElement(XMLNames.Sets.str()), XMLNames.Set);
    for (const Node& kind : Children(root.ChildElement(XMLNames.Interfaces.str()), XMLNames.Serial))
      for (const Node& port : Children(kind, XMLNames.ComPort)) parents.push_back(port);
    for (const Node& parent : parents)
      for (const Node& link : Children(parent, XMLNames.LinkedUnit))
        if (follows(link.GetAttribute(XMLNames.ItemID.str()).value_or(L""))) take(link);
  } else {
    std::vector<DocumentIndex::Entry> links;
    for (const Indexed kind : {Indexed::PortLink, Indexed::SetLink})
      for (const std::wstring* id : {&from, &name}) {
        const DocumentIndex::Entries& named = Index().Find(kind, DocumentIndex::Key(*id));
        links.insert(links.end(), named.begin(), named.end());
      }
    std::sort(links.begin(), links.end(), [](const auto& a, const auto& b) {
      return std::tie(a.holder, a.own) < std::tie(b.holder, b.own);
    });
    for (const DocumentIndex::Entry& link : links) take(m_dom.At(link.node));
  }
  unit.SetAttribute(XMLNames.UnitID.str(), name);
  for (const std::vector<Node>& links : holders) RenameLinks(links, name);
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
