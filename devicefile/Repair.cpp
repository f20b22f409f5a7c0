// Repairing links, and restoring a version of the document.
#include <kvodevice/Text.h>

#include <algorithm>
#include <set>
#include <unordered_map>
#include <utility>

#include "devicefile/DocumentLinks.h"
#include "devicefile/FileNames.h"
#include "devicefile/XMLFile.h"
#include "names/XMLNames.h"

namespace dev {

bool CXMLFile::RepairLinks(bool apply, std::vector<LinkRepair>& repairs) {
  return Answered({Call::Op::RepairLinks}, [&] {
    if (!isDOMReady()) return false;
    if (!apply) {
      repairs = RepairLinksInDocument(false);
      return true;
    }
    Applied applied;
    Record({Change::Kind::RepairLinks}, &applied);
    repairs = std::move(applied.repairs);
    return true;
  });
}

namespace {

using Node = platform::xml::Node;

std::wstring ItemId(const Node& link) { return link.GetAttribute(XMLNames.ItemID.str()).value_or(L""); }

// How a LinkedUnit's ItemID meets the units of the document.
enum class Named { Unit, OtherSpelling, Nothing };

}  // namespace

std::vector<LinkRepair> CXMLFile::RepairLinksInDocument(bool apply) {
  using Action = LinkRepair::Action;
  const Node devices = m_dom.DocumentElement();
  DocumentContent content;
  ReadTree(devices, content);
  const LinkMap links(content);  // the links as they were before any repair
  std::unordered_map<std::wstring, Node> units;
  std::set<std::pair<std::uint16_t, std::uint16_t>> spelt;  // what every UnitID means, read leniently
  std::vector<LinkRepair> repairs;
  std::vector<Node> doomed;
  const auto plan = [&](Action action, const Node& at, std::wstring unit, std::wstring port, std::wstring set,
                        std::wstring text) {
    repairs.push_back({action, std::move(unit), std::move(port), std::move(set), at.Line(), std::move(text)});
  };
  const auto named = [&](const std::wstring& unit) {
    if (units.contains(unit)) return Named::Unit;
    const std::optional<UnitKey> key = ReadUnitIdLeniently(unit);
    return key && spelt.contains({key->device, key->index}) ? Named::OtherSpelling : Named::Nothing;
  };

  const Node list = devices.ChildElement(XMLNames.UnitList.str());
  for (Node unit = list ? list.FirstChild() : Node(); unit; unit = unit.NextSibling())
    if (const auto id = unit.GetAttribute(XMLNames.UnitID.str()); id && IsNamed(unit, XMLNames.Unit)) {
      units.try_emplace(*id, unit);
      if (const std::optional<UnitKey> key = ReadUnitIdLeniently(*id)) spelt.emplace(key->device, key->index);
    }
  std::set<std::pair<std::wstring, std::wstring>> added;  // (unit, port): each side is added once
  for (Node unit = list ? list.FirstChild() : Node(); unit; unit = unit.NextSibling()) {
    const auto id = unit.GetAttribute(XMLNames.UnitID.str());
    // A unit with a malformed id keeps its links until it is renamed.
    if (!id || !IsNamed(unit, XMLNames.Unit) || !ParseUnitId(*id)) continue;
    for (Node link = unit.FirstChild(); link; link = link.NextSibling()) {
      if (!IsNamed(link, XMLNames.LinkedInterface)) continue;
      const std::wstring port = ItemId(link);
      if (!links.HasPort(port)) {
        plan(Action::RemoveLinkToPort, unit, *id, port, {},
             L"remove the link of " + *id + L" to the port " + port + L", which is not there");
        doomed.push_back(link);
      } else if (!links.PortLinks(port, *id) && added.emplace(*id, port).second) {
        plan(Action::AddPortSide, unit, *id, port, {},
             L"add the port side of the link from " + *id + L" to " + port + L" (" + port + L" does not link back)");
      }
    }
  }
  std::unordered_map<std::wstring, Node> ports;             // the first of each number
  std::vector<std::pair<Node, std::wstring>> unitSides;   // where a LinkedInterface goes
  if (const Node interfaces = devices.ChildElement(XMLNames.Interfaces.str()))
    for (Node kind = interfaces.FirstChild(); kind; kind = kind.NextSibling())
      for (Node port = kind.IsElement() ? kind.FirstChild() : Node(); port; port = port.NextSibling()) {
        if (!port.IsElement()) continue;
        const std::wstring portNo = port.GetAttribute(XMLNames.PortNo.str()).value_or(L"");
        ports.try_emplace(portNo, port);
        for (Node link = port.FirstChild(); link; link = link.NextSibling()) {
          if (!IsNamed(link, XMLNames.LinkedUnit)) continue;
          const std::wstring unit = ItemId(link);
          const Named is = named(unit);
          if (is == Named::Nothing) {
            plan(Action::RemoveLinkToUnit, port, unit, portNo, {},
                 L"remove the link of " + portNo + L" to the unit " + unit + L", which is not there");
            doomed.push_back(link);
          } else if (is == Named::Unit && !portNo.empty() && !links.UnitLinks(unit, portNo) &&
                     added.emplace(unit, portNo).second) {
            plan(Action::AddUnitSide, port, unit, portNo, {},
                 L"add the unit side of the link from " + portNo + L" to " + unit + L" (" + unit +
                     L" does not link back)");
            unitSides.emplace_back(units.at(unit), portNo);
          }
        }
      }
  if (const Node sets = devices.ChildElement(XMLNames.Sets.str()))
    for (Node set = sets.FirstChild(); set; set = set.NextSibling())
      if (IsNamed(set, XMLNames.Set))
        for (Node link = set.FirstChild(); link; link = link.NextSibling())
          if (IsNamed(link, XMLNames.LinkedUnit) && named(ItemId(link)) == Named::Nothing) {
            const std::wstring name = set.GetAttribute(XMLNames.Name.str()).value_or(L"");
            plan(Action::RemoveSetMember, set, ItemId(link), {}, name,
                 L"remove the unit " + ItemId(link) + L", which is not there, from the set \"" + name + L"\"");
            doomed.push_back(link);
          }
  if (!apply) return repairs;
  for (const Node& link : doomed) link.Parent().RemoveChild(link);
  for (const LinkRepair& repair : repairs)
    if (repair.action == Action::AddPortSide) {
      const CString unit(repair.unit);
      newNode(XMLNames.LinkedUnit, ports.at(repair.port), &XMLNames.ItemID, &unit);
    }
  for (const auto& [unit, portNo] : unitSides) {
    const CString port(portNo);
    newNode(XMLNames.LinkedInterface, unit, &XMLNames.ItemID, &port);
  }
  return repairs;
}

std::vector<HistoryVersion> CXMLFile::ListHistory() { return History(GetDataDirectory().str(), 0).List(); }

bool CXMLFile::Restore(const std::wstring& version, SaveReport& report) {
  const auto fail = [&report](const platform::FileError& error, std::wstring what) {
    report = {true, error.code, std::move(what), {}, {}};
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
  report.kept = history.Commit(kept);
  return true;
}

std::wstring CXMLFile::RestoreExposure(const std::wstring& version) {
  const platform::FileStamp source = platform::StatPath(version);
  platform::WriteTarget target;
  platform::FileError error;
  if (source.kind != platform::FileStamp::Kind::File || !platform::ResolveTarget((GetDataDirectory() + L"/" + kDocumentName).str(), true, target, error) ||
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
