// Repairing links, and restoring a version of the document.
#include <set>
#include <utility>

#include "devicefile/DocumentLinks.h"
#include "devicefile/XMLFile.h"
#include "names/XMLNames.h"

namespace dev {

int CXMLFile::RepairLinks() {
  if (!isDOMReady()) return -1;
  Applied applied;
  Record({Change::Kind::RepairLinks}, &applied);
  return applied.repaired;
}

int CXMLFile::RepairLinksInDocument() {
  int repaired = 0;
  const Node devices = m_dom.DocumentElement();
  DocumentContent content;
  ReadTree(devices, content);
  const LinkMap links(content);  // the links as they were before any repair
  const auto remove = [&](const Node& link) {
    if (link.Parent().RemoveChild(link)) ++repaired;
  };
  // Each child `name` of `parent` whose ItemID `keep` refuses goes.
  const auto sweep = [&](const Node& parent, const CString& name, const auto& keep) {
    std::vector<Node> doomed;
    for (Node child = parent.FirstChild(); child; child = child.NextSibling())
      if (child.IsElement() && child.Name() == name.str() &&
          !keep(child.GetAttribute(XMLNames.ItemID.str()).value_or(L"")))
        doomed.push_back(child);
    for (const Node& link : doomed) remove(link);
  };
  std::unordered_map<std::wstring, Node> units;
  std::set<std::pair<std::wstring, std::wstring>> added;
  if (const Node list = devices.ChildElement(XMLNames.UnitList.str()))
    for (Node unit = list.FirstChild(); unit; unit = unit.NextSibling())
      if (const auto id = unit.GetAttribute(XMLNames.UnitID.str()); id && unit.Name() == XMLNames.Unit.str()) {
        units.try_emplace(*id, unit);
        sweep(unit, XMLNames.LinkedInterface, [&](const std::wstring& port) { return links.PortLinks(port, *id); });
      }
  if (const Node interfaces = devices.ChildElement(XMLNames.Interfaces.str()))
    for (Node kind = interfaces.FirstChild(); kind; kind = kind.NextSibling())
      for (Node port = kind.IsElement() ? kind.FirstChild() : Node(); port; port = port.NextSibling()) {
        const std::wstring portNo = port.GetAttribute(XMLNames.PortNo.str()).value_or(L"");
        sweep(port, XMLNames.LinkedUnit, [&](const std::wstring& unit) { return links.HasUnit(unit); });
        // The port side is what GetUnitPorts answers from: a unit it names gets its side.
        for (Node link = port.FirstChild(); link && !portNo.empty(); link = link.NextSibling()) {
          const std::wstring unit = link.GetAttribute(XMLNames.ItemID.str()).value_or(L"");
          if (link.Name() != XMLNames.LinkedUnit.str() || !units.contains(unit) || links.UnitLinks(unit, portNo) ||
              !added.emplace(unit, portNo).second)
            continue;
          const CString portText(portNo);
          if (newNode(XMLNames.LinkedInterface, units.at(unit), &XMLNames.ItemID, &portText)) ++repaired;
        }
      }
  if (const Node sets = devices.ChildElement(XMLNames.Sets.str()))
    for (Node set = sets.FirstChild(); set; set = set.NextSibling())
      if (set.IsElement() && set.Name() == XMLNames.Set.str())
        sweep(set, XMLNames.LinkedUnit, [&](const std::wstring& unit) { return links.HasUnit(unit); });
  return repaired;
}

std::vector<HistoryVersion> CXMLFile::ListHistory() { return History(GetDataDirectory().str(), 0).List(); }

bool CXMLFile::Restore(const std::wstring& version, SaveReport& report) {
  const auto fail = [&report](const platform::FileError& error, std::wstring what) {
    report = {true, error.code, std::move(what), {}};
    if (error) report.reason += L": " + error.Describe();
    return false;
  };
  report = {};
  History history(GetDataDirectory().str(), History::KeepFromEnvironment());
  bool inHistory = false;
  const platform::FileContent content = history.ReadVersion(version, inHistory);
  if (!content.readable) return fail(content.error, L"the version cannot be read");
  platform::xml::Document check = platform::xml::Document::Create();
  check.SetSchemaText(L"", SchemaText());  // whatever schema the version names, or none
  if (!check.LoadBytes(content.bytes, version)) {
    const platform::xml::ParseError& error = check.LastParseError();
    std::wstring reason = error.reason;
    reason.erase(reason.find_last_not_of(L" \n") + 1);
    return fail({}, L"the version is not a valid document: line " + std::to_wstring(error.line) + L": " + reason);
  }
  if (check.DocumentElement().Name() != XMLNames.DocumentElement.str())
    return fail({}, L"the version is not a configuration document");

  HeldDocument held;
  if (!HoldDocument(GetDataDirectory(), held)) return fail(held.error, L"the configuration cannot be locked");
  // The document it replaces is kept first, always: a restore never loses one.
  const bool replacesOne = held.target.old.kind == platform::FileStamp::Kind::File;
  if (replacesOne && !history.enabled())
    return fail({}, L"the current document would be lost: the history is off (KVO_HISTORY=0), so nothing was restored");
  History::Pending kept;
  platform::FileError error;
  if (!history.Keep(held.target, History::Reason::Restore, kept, error))
    return fail(error, L"the current document cannot be kept in the history, so nothing was restored");
  if (!held.target.directory.Replace(held.target.name, content.bytes, {}, held.target.old, error)) {
    history.Discard(kept);
    return fail(error, L"the document cannot be written");
  }
  history.Commit(kept);
  return true;
}

std::wstring CXMLFile::RestoreExposure(const std::wstring& version) {
  const platform::FileStamp source = platform::StatPath(version);
  platform::WriteTarget target;
  platform::FileError error;
  if (source.kind != platform::FileStamp::Kind::File || !platform::ResolveTarget((GetDataDirectory() + L"/kvoDevice.xml").str(), true, target, error) ||
      target.old.kind != platform::FileStamp::Kind::File)
    return {};
  // Who may read the document and could not read the source.
  const std::uint32_t doc = target.old.mode, src = source.mode;
  const bool others = (doc & 0004) != 0 && (src & 0004) == 0;
  const bool group = (doc & 0040) != 0 && (src & 0004) == 0 && ((src & 0040) == 0 || source.group != target.old.group);
  const bool owner = (doc & 0400) != 0 && source.owner != target.old.owner && (src & 0004) == 0 &&
                     !((src & 0040) != 0 && source.group == target.old.group);
  if (!others && !group && !owner) return {};
  wchar_t modes[32];
  std::swprintf(modes, 32, L"%04o", static_cast<unsigned>(src));
  std::wstring text = L"the version is owned by user " + std::to_wstring(source.owner) + L" (group " +
                      std::to_wstring(source.group) + L") with mode " + modes + L"; ";
  std::swprintf(modes, 32, L"%04o", static_cast<unsigned>(doc));
  return text + L"as the document (user " + std::to_wstring(target.old.owner) + L", group " +
         std::to_wstring(target.old.group) + L", mode " + modes + L") it would be readable by more users";
}

}  // namespace dev
