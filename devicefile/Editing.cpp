// Editing beyond the host interface: links, a unit's details, sets, driver files.
#include <algorithm>

#include "devicefile/DocumentLinks.h"
#include "devicefile/PortName.h"
#include "devicefile/UnitId.h"
#include "devicefile/XMLFile.h"
#include "names/XMLNames.h"

namespace dev {
namespace {

using platform::xml::IsXmlText;

// The Unit children in the order the schema gives them, by UnitText.
const CString* const kUnitTexts[] = {&XMLNames.Driver, &XMLNames.Model, &XMLNames.UnitName, &XMLNames.SerialNo};

}  // namespace

IDeviceEditor* CXMLFile::Editor() noexcept { return this; }

CXMLFile::Node CXMLFile::FindUnit(const UnitKey& unit) const { return FirstNamed(Indexed::Unit, FormatUnitId(unit)); }

CXMLFile::Node CXMLFile::FindSet(const std::wstring& name) const { return FirstNamed(Indexed::Set, name); }

bool CXMLFile::LinkUnitPort(const UnitKey& unit, const PortAddress& port) {
  return Answered({Call::Op::LinkUnitPort, unit, port}, [&] { return Record({Change::Kind::LinkUnitPort, unit, port}); });
}

bool CXMLFile::LinkInDocument(const UnitKey& unit, const PortAddress& port) {
  CString interfaceName, portText;
  const Node unitNode = FindUnit(unit);
  if (!unitNode || !FormatPortName(port.portType, port.portNumber, interfaceName, portText)) return false;
  const Node root = m_dom.DocumentElement();
  const Node ports = getChildNode(interfaceName, getChildNode(XMLNames.Interfaces, root, true), true);
  Node portNode = FirstNamed(Indexed::Port, portText.str());
  if (!portNode) portNode = newNode(XMLNames.ComPort, ports, &XMLNames.PortNo, &portText);
  const CString unitId = FormatUnitID(unit);
  bool linked = false;
  if (!LinkIn(unitNode, Indexed::UnitLink, portText.str()))
    linked = static_cast<bool>(newNode(XMLNames.LinkedInterface, unitNode, &XMLNames.ItemID, &portText));
  if (!LinkIn(portNode, Indexed::PortLink, unitId.str()))
    linked = static_cast<bool>(newNode(XMLNames.LinkedUnit, portNode, &XMLNames.ItemID, &unitId)) || linked;
  return linked;
}

bool CXMLFile::RemovePort(const PortAddress& port) {
  return Answered({.op = Call::Op::RemovePort, .port = port}, [&] { return Record({Change::Kind::RemovePort, {}, port}); });
}

bool CXMLFile::RemovePortFromDocument(const PortAddress& port) {
  CString interfaceName, portText;
  if (!FormatPortName(port.portType, port.portNumber, interfaceName, portText)) return false;
  const Node portNode = FirstNamed(Indexed::Port, portText.str());
  if (!portNode || !portNode.Parent().RemoveChild(portNode)) return false;
  const DocumentIndex& index = Index();
  for (const Node& link : index.Nodes(index.Find(Indexed::UnitLink, DocumentIndex::Key(portText.str()))))
    link.Parent().RemoveChild(link);
  return true;
}

void CXMLFile::ReadUnit(const Node& node, UnitDetails& details) {
  // What `details` held before goes, its storage stays for the texts read now.
  for (std::size_t i = 0; i < 4; ++i) {
    details.has[i] = false;
    details.text[i].clear();
  }
  details.ports.clear();
  const XMLNameBytes& n = XMLNamesUtf8();
  std::string spare;
  const std::optional<std::string_view> setup = node.Attribute(n.setup, spare);
  details.setup = !setup ? UnitSetup::Unset : *setup == n.exclude ? UnitSetup::Exclude : UnitSetup::Include;
  // One pass over the children: the first of each text, and the links in order.
  Node child = node;
  for (child.ToFirstChild(); child; child.ToNextSibling()) {
    const std::size_t which = child.Among(n.UnitChildren);
    if (which == 4)
      details.ports.push_back(ParsePortName(child.Attribute(n.ItemID, spare).value_or("")));
    else if (which < 4 && !details.has[which]) {
      details.has[which] = true;
      child.TextInto(details.text[which]);
    }
  }
}

bool CXMLFile::GetUnit(const UnitKey& unit, UnitDetails& details) {
  details = UnitDetails{};
  return Answered({Call::Op::GetUnit, unit}, [&] {
    if (!isDOMReady()) return false;
    const Node node = FindUnit(unit);
    if (!node) return false;
    details.key = unit;
    ReadUnit(node, details);
    return true;
  });
}

bool CXMLFile::SetUnitText(const UnitKey& unit, UnitText which, const wchar_t* text) {
  return Answered({.op = Call::Op::SetUnitText, .unit = unit, .text = text != nullptr ? std::wstring_view(text) : std::wstring_view(), .which = which}, [&] {
    if (static_cast<std::size_t>(which) >= 4 || (text != nullptr && !IsXmlText(text))) return false;
    Change change{Change::Kind::SetUnitText, unit};
    change.which = which;
    if (text != nullptr) change.text = text;
    return Record(std::move(change));
  });
}

bool CXMLFile::SetUnitTextInDocument(const UnitKey& unit, UnitText which, const std::optional<std::wstring>& text) {
  const auto index = static_cast<std::size_t>(which);
  const Node node = FindUnit(unit);
  if (!node) return false;
  Node element = node.ChildElement(kUnitTexts[index]->str());
  if (!text) return !element || node.RemoveChild(element);
  if (!element) {
    // In its place: before the first child that the schema puts after it.
    Node before = node.FirstChild();
    while (before && !(before.IsElement() && (IsNamed(before, XMLNames.LinkedInterface) ||
                                              std::any_of(kUnitTexts + index + 1, kUnitTexts + 4,
                                                          [&](const CString* name) { return IsNamed(before, *name); }))))
      before = before.NextSibling();
    element = node.InsertBefore(m_dom.CreateElement(kUnitTexts[index]->str()), before);
  }
  element.SetText(*text);
  return true;
}

bool CXMLFile::SetUnitSetup(const UnitKey& unit, UnitSetup setup) {
  return Answered({Call::Op::SetUnitSetup, unit}, [&] {
    Change change{Change::Kind::SetUnitSetup, unit};
    change.setup = setup;
    return Record(std::move(change));
  });
}

bool CXMLFile::SetUnitSetupInDocument(const UnitKey& unit, UnitSetup setup) {
  const Node node = FindUnit(unit);
  if (!node) return false;
  if (setup == UnitSetup::Unset) {
    node.RemoveAttribute(XMLNames.setup.str());
    return true;
  }
  node.SetAttribute(XMLNames.setup.str(), (setup == UnitSetup::Exclude ? XMLNames.exclude : XMLNames.include).str());
  return true;
}

bool CXMLFile::GetSets(std::vector<std::wstring>& names) {
  names.clear();
  return Answered({Call::Op::GetSets}, [&] {
    if (!isDOMReady()) return false;
    const Node sets = m_dom.DocumentElement().ChildElement(XMLNames.Sets.str());
    for (Node set = sets ? sets.FirstChild() : Node(); set; set = set.NextSibling())
      if (IsNamed(set, XMLNames.Set)) names.push_back(set.GetAttribute(XMLNames.Name.str()).value_or(L""));
    return true;
  });
}

bool CXMLFile::GetSet(const std::wstring& name, SetDetails& details) {
  details = SetDetails{};
  return Answered({.op = Call::Op::GetSet, .name = name}, [&] {
    if (!isDOMReady()) return false;
    const Node set = FindSet(name);
    if (!set) return false;
    details.name = name;
    if (const Node comment = set.ChildElement(XMLNames.Comment.str())) details.comment = comment.Text();
    for (Node child = set.FirstChild(); child; child = child.NextSibling())
      if (IsNamed(child, XMLNames.LinkedUnit))
        details.members.push_back(ParseUnitID(child.GetAttribute(XMLNames.ItemID.str()).value_or(L"").c_str()));
    return true;
  });
}

bool CXMLFile::GetActiveSet(std::wstring& name) {
  name.clear();
  return Answered({Call::Op::GetActiveSet}, [&] {
    if (!isDOMReady()) return false;
    const Node sets = m_dom.DocumentElement().ChildElement(XMLNames.Sets.str());
    const Node active = sets ? sets.ChildElement(XMLNames.ActiveSet.str()) : Node();
    name = active ? active.GetAttribute(XMLNames.Name.str()).value_or(L"") : L"";
    return true;
  });
}

namespace {

// A change that names a set, with the text it sets.
Change ChangeOfSet(Change::Kind kind, const std::wstring& name, const std::wstring* text = nullptr) {
  Change change{kind};
  change.name = name;
  if (text != nullptr) change.text = *text;
  return change;
}

}  // namespace

bool CXMLFile::CreateSet(const std::wstring& name, const std::wstring& comment) {
  return Answered({.op = Call::Op::CreateSet, .name = name, .text = comment}, [&] {
    if (name.empty() || !IsXmlText(name) || !IsXmlText(comment)) return false;
    return Record(ChangeOfSet(Change::Kind::CreateSet, name, &comment));
  });
}

bool CXMLFile::CreateSetInDocument(const std::wstring& name, const std::wstring& comment) {
  if (FindSet(name)) return false;
  EnsureSetsNode();
  const Node sets = m_dom.DocumentElement().ChildElement(XMLNames.Sets.str());
  const CString setName(name);
  const Node set = newNode(XMLNames.Set, sets, &XMLNames.Name, &setName);
  newNode(XMLNames.Comment, set, nullptr, nullptr).SetText(comment);
  return true;
}

bool CXMLFile::SetSetComment(const std::wstring& name, const std::wstring& comment) {
  return Answered({.op = Call::Op::SetSetComment, .name = name, .text = comment}, [&] {
    if (!IsXmlText(comment)) return false;
    return Record(ChangeOfSet(Change::Kind::SetSetComment, name, &comment));
  });
}

bool CXMLFile::SetSetCommentInDocument(const std::wstring& name, const std::wstring& comment) {
  const Node set = FindSet(name);
  if (!set) return false;
  Node element = set.ChildElement(XMLNames.Comment.str());
  if (!element) element = set.InsertBefore(m_dom.CreateElement(XMLNames.Comment.str()), set.FirstChild());
  element.SetText(comment);
  return true;
}

bool CXMLFile::RenameSet(const std::wstring& from, const std::wstring& to) {
  return Answered({.op = Call::Op::RenameSet, .name = from, .text = to}, [&] {
    if (to.empty() || !IsXmlText(to)) return false;
    return Record(ChangeOfSet(Change::Kind::RenameSet, from, &to));
  });
}

bool CXMLFile::DeleteSet(const std::wstring& name) {
  return Answered({.op = Call::Op::DeleteSet, .name = name}, [&] { return Record(ChangeOfSet(Change::Kind::DeleteSet, name)); });
}

bool CXMLFile::AddSetMember(const std::wstring& name, const UnitKey& unit) {
  return Answered({.op = Call::Op::AddSetMember, .unit = unit, .name = name}, [&] {
    Change change = ChangeOfSet(Change::Kind::AddSetMember, name);
    change.unit = unit;
    return Record(std::move(change));
  });
}

bool CXMLFile::AddSetMemberInDocument(const std::wstring& name, const UnitKey& unit) {
  const Node set = FindSet(name);
  const CString id = FormatUnitID(unit);
  if (!set || !FindUnit(unit) || LinkIn(set, Indexed::SetLink, id.str())) return false;
  return static_cast<bool>(newNode(XMLNames.LinkedUnit, set, &XMLNames.ItemID, &id));
}

bool CXMLFile::RemoveSetMember(const std::wstring& name, const UnitKey& unit) {
  return Answered({.op = Call::Op::RemoveSetMember, .unit = unit, .name = name}, [&] {
    Change change = ChangeOfSet(Change::Kind::RemoveSetMember, name);
    change.unit = unit;
    return Record(std::move(change));
  });
}

bool CXMLFile::RemoveSetMemberInDocument(const std::wstring& name, const UnitKey& unit) {
  const Node set = FindSet(name);
  const Node member = LinkIn(set, Indexed::SetLink, FormatUnitId(unit));
  return member && set.RemoveChild(member);
}

bool CXMLFile::SetActiveSet(const std::wstring& name) {
  return Answered({.op = Call::Op::SetActiveSet, .name = name}, [&] { return Record(ChangeOfSet(Change::Kind::SetActiveSet, name)); });
}

CXMLFile::Node CXMLFile::ActiveSetNode() const {
  return m_dom.DocumentElement().ChildElement(XMLNames.Sets.str()).ChildElement(XMLNames.ActiveSet.str());
}

bool CXMLFile::SetActiveSetInDocument(const std::wstring& name) {
  if (!name.empty() && !FindSet(name)) return false;
  EnsureSetsNode();
  const Node active = ActiveSetNode();
  if (!active) return false;
  active.SetAttribute(XMLNames.Name.str(), name);
  return true;
}

}  // namespace dev
