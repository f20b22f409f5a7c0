// What a document file holds and what is wrong in it, for diagnosis.
#include <kvodevice/ConfigurationContent.h>
#include <kvodevice/ConfigurationFile.h>
#include <kvodevice/Text.h>

#include <algorithm>
#include <map>
#include <set>

#include "devicefile/DocumentLinks.h"
#include "devicefile/TagScan.h"
#include "devicefile/UnitId.h"
#include "names/XMLNames.h"
#include "platform/Boundary.h"
#include "platform/files.h"
#include "schema/XMLDeviceSchema.h"

namespace dev {
namespace {

using platform::xml::Node;

std::wstring Attribute(const Node& node, const CString& name) {
  return node.GetAttribute(name.str()).value_or(std::wstring());
}

std::wstring ChildText(const Node& parent, const CString& name) {
  const Node child = parent.ChildElement(name.str());
  return child ? child.Text() : std::wstring();
}

std::vector<std::wstring> ItemIds(const Node& parent, const CString& name) {
  std::vector<std::wstring> ids;
  for (const Node& link : Children(parent, name)) ids.push_back(Attribute(link, XMLNames.ItemID));
  return ids;
}

}  // namespace

bool IsNamed(const Node& node, const CString& name) { return node.IsElement() && node.Name() == name.str(); }

std::vector<Node> Children(const Node& parent, const CString& name) {
  std::vector<Node> children;
  for (Node child = parent ? parent.FirstChild() : Node(); child; child = child.NextSibling())
    if (IsNamed(child, name)) children.push_back(child);
  return children;
}

Node ChildOf(const Node& parent, const CString& name) { return parent ? parent.ChildElement(name.str()) : Node(); }

Node ChildWith(const Node& parent, const CString& name, const CString& attribute, const std::wstring& value) {
  for (Node child = parent ? parent.FirstChild() : Node(); child; child = child.NextSibling())
    if (IsNamed(child, name) && child.GetAttribute(attribute.str()) == value) return child;
  return {};
}

void ReadTree(const Node& devices, DocumentContent& content) {
  for (const Node& unit : Children(devices.ChildElement(XMLNames.UnitList.str()), XMLNames.Unit)) {
    UnitEntry& entry = content.units.emplace_back();
    const std::optional<std::wstring> id = unit.GetAttribute(XMLNames.UnitID.str());
    entry.hasId = id.has_value();
    entry.id = id.value_or(std::wstring());
    entry.setup = Attribute(unit, XMLNames.setup);
    entry.driver = ChildText(unit, XMLNames.Driver);
    entry.model = ChildText(unit, XMLNames.Model);
    entry.name = ChildText(unit, XMLNames.UnitName);
    entry.serialNo = ChildText(unit, XMLNames.SerialNo);
    entry.ports = ItemIds(unit, XMLNames.LinkedInterface);
    entry.line = unit.Line();
  }
  if (const Node interfaces = devices.ChildElement(XMLNames.Interfaces.str()))
    for (Node kind = interfaces.FirstChild(); kind; kind = kind.NextSibling())
      for (Node port = kind.IsElement() ? kind.FirstChild() : Node(); port; port = port.NextSibling())
        if (port.IsElement())
          content.ports.push_back({kind.Name(), Attribute(port, XMLNames.PortNo), ItemIds(port, XMLNames.LinkedUnit),
                                   port.Line()});
  for (const Node& file : Children(devices.ChildElement(XMLNames.DriverList.str()), XMLNames.File))
    content.drivers.push_back({file.Text(), file.Line()});
  if (const Node sets = devices.ChildElement(XMLNames.Sets.str())) {
    content.hasSets = true;
    const Node active = sets.ChildElement(XMLNames.ActiveSet.str());
    content.activeSet = Attribute(active, XMLNames.Name);
    content.activeSetLine = active ? active.Line() : 0;
    for (const Node& set : Children(sets, XMLNames.Set))
      content.sets.push_back(
          {Attribute(set, XMLNames.Name), ChildText(set, XMLNames.Comment), ItemIds(set, XMLNames.LinkedUnit), set.Line()});
  }
}

namespace {

void Find(DocumentContent& content, FindingKind kind, int line, const std::wstring& text) {
  content.findings.push_back({kind, line, text});
}

void FindUnitIdProblems(DocumentContent& content) {
  std::set<std::wstring> seen;
  for (const UnitEntry& unit : content.units) {
    if (!unit.hasId) {
      Find(content, FindingKind::UnitWithoutId, unit.line, L"a unit without UnitID");
    } else if (!ParseUnitId(unit.id)) {
      const std::optional<UnitKey> meant = ReadUnitIdLeniently(unit.id);
      Find(content, FindingKind::MalformedUnitId, unit.line,
           L"the unit id " + unit.id + L" names no unit (U<device>x<index>, both 0 to 65535 without leading zeros)" +
               (meant ? L"; rename it: kvodev units rename " + unit.id + L" " + FormatUnitId(*meant) : L""));
    } else if (!seen.insert(unit.id).second) {
      Find(content, FindingKind::DuplicateUnitId, unit.line, L"the unit id " + unit.id + L" is there twice");
    }
  }
}

// The malformed UnitID that `unit` is another spelling of; empty when none is.
std::wstring SpeltAs(const DocumentContent& content, const std::wstring& unit) {
  const std::optional<UnitKey> key = ReadUnitIdLeniently(unit);
  for (const UnitEntry& entry : content.units)
    if (key && entry.hasId && !ParseUnitId(entry.id) && ReadUnitIdLeniently(entry.id) == key) return entry.id;
  return {};
}

// What a link or membership naming a unit that is not there says.
std::wstring NotThere(const DocumentContent& content, const std::wstring& unit) {
  const std::wstring spelt = SpeltAs(content, unit);
  return spelt.empty() ? L", which is not there" : L", which the unit list writes " + spelt;
}

// One side of a link: what it names must be there and link back.
void CheckLink(DocumentContent& content, bool fromUnit, const std::wstring& from, const std::wstring& to, int line,
               bool there, bool linksBack) {
  if (!there)
    Find(content, fromUnit ? FindingKind::LinkToMissingPort : FindingKind::LinkToMissingUnit, line,
         from + (fromUnit ? L" links to the port " + to + L", which is not there" : L" links to the unit " + to + NotThere(content, to)));
  else if (!linksBack)
    Find(content, fromUnit ? FindingKind::UnitSideOnly : FindingKind::PortSideOnly, line,
         from + L" links to " + to + L", which does not link back (the " + (fromUnit ? L"unit" : L"port") +
             L" side only)");
}

void FindLinkProblems(DocumentContent& content) {
  const LinkMap links(content);
  for (const UnitEntry& unit : content.units)
    for (const std::wstring& port : unit.ports)
      CheckLink(content, true, unit.id, port, unit.line, links.HasPort(port), links.PortLinks(port, unit.id));
  for (const PortEntry& port : content.ports)
    for (const std::wstring& unit : port.units)
      CheckLink(content, false, port.portNo, unit, port.line, links.HasUnit(unit), links.UnitLinks(unit, port.portNo));
  for (const SetEntry& set : content.sets)
    for (const std::wstring& unit : set.members)
      if (!links.HasUnit(unit))
        Find(content, FindingKind::LinkToMissingUnit, set.line,
             L"the set \"" + set.name + L"\" holds the unit " + unit + NotThere(content, unit));
  // A serial port serves one unit: two that claim it, on either side, cannot both work.
  std::map<std::wstring, std::set<std::wstring>> claims;
  for (const PortEntry& port : content.ports)
    for (const std::wstring& unit : port.units)
      if (links.HasUnit(unit)) claims[port.portNo].insert(unit);
  for (const UnitEntry& unit : content.units)
    for (const std::wstring& port : unit.ports)
      if (unit.hasId) claims[port].insert(unit.id);
  for (const PortEntry& port : content.ports) {
    const std::set<std::wstring>& units = claims[port.portNo];
    if (units.size() < 2) continue;
    std::wstring names;
    for (const std::wstring& unit : units) names += (names.empty() ? L"" : L", ") + unit;
    Find(content, FindingKind::SharedPort, port.line, port.portNo + L" is linked to more than one unit: " + names);
  }
}

void FindActiveSetProblem(DocumentContent& content) {
  if (content.activeSet.empty()) return;
  for (const SetEntry& set : content.sets)
    if (set.name == content.activeSet) return;
  Find(content, FindingKind::NoSuchActiveSet, content.activeSetLine,
       L"the active set \"" + content.activeSet + L"\" is not there: no set is active");
}

void FindDriverCaseTwins(DocumentContent& content) {
  std::map<std::wstring, std::wstring> byLowerCase;
  for (const DriverEntry& driver : content.drivers) {
    std::wstring lower = driver.file;
    for (wchar_t& c : lower)
      if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    const auto [first, added] = byLowerCase.try_emplace(lower, driver.file);
    if (!added && first->second != driver.file)
      Find(content, FindingKind::DriverCaseTwin, driver.line,
           L"the driver file " + driver.file + L" differs from " + first->second + L" only in letter case");
  }
}

void SetError(DocumentContent& content, const platform::xml::ParseError& error) {
  content.errorCode = error.errorCode;
  content.errorLine = error.line;
  content.errorColumn = error.linepos;
  content.errorReason = error.reason;
  content.errorReason.erase(content.errorReason.find_last_not_of(L" \n") + 1);
  content.errorKind = platform::xml::ExplainErrorCode(error.errorCode);
}

// Memory ran out: nothing half read is handed on as the file's content.
DocumentContent OutOfMemory() noexcept {
  DocumentContent content;
  platform::NoThrow(false, [&content] {
    content.errorReason = L"the document could not be read: out of memory";
    return true;
  });
  return content;
}

}  // namespace

DocumentContent ContentOf(const platform::FileContent& file, const std::wstring& path, bool validated) {
  DocumentContent content;
  try {
    platform::xml::Document document = platform::xml::Document::Create();
    document.SetValidateOnParse(false);
    if (!document.LoadContent(file, path)) {
      SetError(content, document.LastParseError());
      if (!file.readable) return content;
      content.read = true;
      Find(content, FindingKind::NotWellFormed, content.errorLine, content.errorKind + L": " + content.errorReason);
      for (const UnclosedElement& element : ScanUnclosedElements(file.bytes))
        Find(content, FindingKind::UnclosedElement, element.line,
             L"the element " + element.name + L" is not closed" +
                 (element.closedBy.empty() ? L" before the file ends"
                                           : L": </" + element.closedBy + L"> at line " +
                                                 std::to_wstring(element.closedByLine) + L" closes the element around it"));
      std::stable_sort(content.findings.begin(), content.findings.end(),
                       [](const Finding& a, const Finding& b) { return a.line < b.line; });
      return content;
    }
    content.read = content.wellFormed = true;
    ReadTree(document.DocumentElement(), content);

    // Validated against the schema the library writes, whatever schema the
    // document names (an opening validates only a document that names one).
    content.valid = validated || document.ValidateAgainst(SchemaText());
    if (!content.valid) {
      SetError(content, document.LastParseError());
      Find(content, FindingKind::NotValid, content.errorLine, content.errorKind + L": " + content.errorReason);
    }
    FindUnitIdProblems(content);
    FindLinkProblems(content);
    FindDriverCaseTwins(content);
    FindActiveSetProblem(content);
    std::stable_sort(content.findings.begin(), content.findings.end(),
                     [](const Finding& a, const Finding& b) { return a.line < b.line; });
  } catch (...) {
    content = OutOfMemory();
  }
  return content;
}

DocumentContent ReadDocumentContent(const std::wstring& path) {
  try {
    return ContentOf(platform::ReadWholeFile(path), path, false);
  } catch (...) {
    return OutOfMemory();
  }
}

}  // namespace dev
