// Comparing two documents by what they say.
#include <kvodevice/ConfigurationContent.h>

#include <deque>
#include <map>

#include "devicefile/DocumentLinks.h"
#include "platform/Boundary.h"

namespace dev {
namespace {

// The items of `from` that `other` does not have as often.
std::vector<std::wstring> Minus(const std::vector<std::wstring>& from, const std::vector<std::wstring>& other) {
  std::map<std::wstring, int> left;
  for (const std::wstring& item : other) ++left[item];
  std::vector<std::wstring> rest;
  for (const std::wstring& item : from)
    if (left[item]-- <= 0) rest.push_back(item);
  return rest;
}

ListChange CompareLists(const std::vector<std::wstring>& a, const std::vector<std::wstring>& b) {
  return {Minus(b, a), Minus(a, b)};
}

void CompareValue(std::vector<ValueChange>& values, const wchar_t* field, const std::wstring& a, const std::wstring& b) {
  if (a != b) values.push_back({field, a, b});
}

// Pairs the entries of A and B that have the same key, the first with the
// first (a name there twice pairs in document order); `both` gets each pair
// and adds a change when they differ.
template <typename Entry, typename Change, typename Key, typename Both>
void Match(const std::vector<Entry>& a, const std::vector<Entry>& b, Key key, Both both,
           Changes<Entry, Change>& changes) {
  std::map<std::wstring, std::deque<const Entry*>> inB;
  for (const Entry& entry : b) inB[key(entry)].push_back(&entry);
  std::map<const Entry*, bool> paired;
  for (const Entry& entry : a) {
    std::deque<const Entry*>& same = inB[key(entry)];
    if (same.empty()) {
      changes.removed.push_back(entry);
      continue;
    }
    paired[same.front()] = true;
    both(entry, *same.front());
    same.pop_front();
  }
  for (const Entry& entry : b)
    if (!paired.contains(&entry)) changes.added.push_back(entry);
}

void CompareUnits(const UnitEntry& a, const UnitEntry& b, Changes<UnitEntry, UnitChange>& changes) {
  UnitChange change{a, b, {}, CompareLists(a.ports, b.ports)};
  CompareValue(change.values, L"setup", a.setup, b.setup);
  CompareValue(change.values, L"driver", a.driver, b.driver);
  CompareValue(change.values, L"model", a.model, b.model);
  CompareValue(change.values, L"name", a.name, b.name);
  CompareValue(change.values, L"serialNo", a.serialNo, b.serialNo);
  if (!change.values.empty() || !change.ports.empty()) changes.changed.push_back(std::move(change));
}

void CompareSets(const SetEntry& a, const SetEntry& b, Changes<SetEntry, SetChange>& changes) {
  SetChange change{a, b, std::nullopt, CompareLists(a.members, b.members)};
  if (a.comment != b.comment) change.comment = ValueChange{L"comment", a.comment, b.comment};
  if (change.comment || !change.members.empty()) changes.changed.push_back(std::move(change));
}

}  // namespace

DocumentChanges Compare(const DocumentContent& a, const DocumentContent& b) {
  DocumentChanges diff;
  // Units without UnitID pair among themselves, in order.
  Match(
      a.units, b.units, [](const UnitEntry& u) { return u.hasId ? L"=" + u.id : std::wstring(); },
      [&](const auto& x, const auto& y) { CompareUnits(x, y, diff.units); }, diff.units);
  Match(
      a.ports, b.ports, [](const PortEntry& p) { return p.interfaceName + L"/" + p.portNo; },
      [&](const auto& x, const auto& y) {
        if (ListChange units = CompareLists(x.units, y.units); !units.empty())
          diff.ports.changed.push_back({x, y, units});
      },
      diff.ports);
  Match(
      a.drivers, b.drivers, [](const DriverEntry& d) { return d.file; }, [](const auto&, const auto&) {},
      diff.drivers);
  Match(
      a.sets, b.sets, [](const SetEntry& s) { return s.name; },
      [&](const auto& x, const auto& y) { CompareSets(x, y, diff.sets); }, diff.sets);
  if (a.activeSet != b.activeSet) diff.activeSet = ValueChange{L"activeSet", a.activeSet, b.activeSet};
  if (a.hasSets != b.hasSets) diff.setListAdded = b.hasSets;
  return diff;
}

DocumentChanges CompareContent(const DocumentContent& a, const DocumentContent& b) {
  return platform::NoThrow<DocumentChanges>({}, [&] { return Compare(a, b); });
}

DocumentChanges CompareDocuments(const std::wstring& a, const std::wstring& b) {
  return platform::NoThrow<DocumentChanges>({}, [&] {
    const DocumentContent contentA = ReadDocumentContent(a), contentB = ReadDocumentContent(b);
    for (const auto* content : {&contentA, &contentB})
      if (!content->wellFormed) {
        DocumentChanges failed;
        failed.error = (content == &contentA ? a : b) + L": " + content->errorReason;
        return failed;
      }
    return Compare(contentA, contentB);
  });
}

}  // namespace dev
