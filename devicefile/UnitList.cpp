// Listing, finding and adding units.
#include "devicefile/DocumentLinks.h"
#include "devicefile/UnitId.h"
#include "devicefile/XMLFile.h"
#include "names/XMLNames.h"

namespace dev {

namespace {

// What a listing does with a Unit: with skipExcluded it passes over those set
// to "exclude"; one without an id ends it, answering false.
enum class Listing { Take, Pass, Fail };
Listing ListingOf(bool skipExcluded, bool excluded, bool hasId) {
  if (skipExcluded && excluded) return Listing::Pass;
  return hasId ? Listing::Take : Listing::Fail;
}

}  // namespace

template <typename Visit>
void CXMLFile::ForEachUnit(const Visit& visit) const {
  const XMLNameBytes& n = XMLNamesUtf8();
  std::string spare;
  Node unit = ChildOf(m_dom.DocumentElement(), XMLNames.UnitList);
  for (unit.ToFirstChild(); unit; unit.ToNextSibling()) {
    if (!unit.Is(n.Unit)) continue;
    // "exclude" exactly; a unit whose setup cannot be read counts as included.
    const bool excluded = unit.Attribute(n.setup, spare) == n.exclude;
    if (!visit(unit, excluded, unit.Attribute(n.UnitID, spare))) return;
  }
}

bool CXMLFile::GetUnitList(std::vector<UnitKey>& units, bool skipExcluded) {
  units.clear();
  return Answered({Call::Op::GetUnitList}, [&] {
    if (!isDOMReady()) return false;
    bool listed = true;
    ForEachUnit([&](const Node&, bool excluded, const std::optional<std::string_view>& id) {
      const Listing listing = ListingOf(skipExcluded, excluded, id.has_value());
      if (listing == Listing::Take) units.push_back(ParseUnitID(*id));
      return listed = listing != Listing::Fail;
    });
    return listed;
  });
}

const CXMLFile::UnitsRead& CXMLFile::ReadUnits() {
  UnitsRead& read = unitsRead_;
  if (index_.Unchanged(read.mark)) return read;
  // A read cut short by a throw leaves the mark as it was, which no longer
  // holds: the next call reads again.
  read.count = 0;
  ForEachUnit([&](const Node& node, bool excluded, const std::optional<std::string_view>& id) {
    UnitRead& unit = read.count < read.units.size() ? read.units[read.count] : read.units.emplace_back();
    ++read.count;
    unit.excluded = excluded;
    unit.hasId = id.has_value();
    if (id) {
      unit.details.key = ParseUnitID(*id);
      ReadUnit(node, unit.details);
    }
    // Past an included Unit without an id, no listing reads on.
    return id || excluded;
  });
  read.mark = index_.Now();
  return read;
}

bool CXMLFile::GetUnits(std::vector<UnitDetails>& units, bool skipExcluded) {
  // The entries `units` holds are filled again in place: a host that reads
  // the units over and over reuses their storage instead of making it anew.
  std::size_t count = 0;
  const bool answer = Answered({Call::Op::GetUnits}, [&] {
    if (!isDOMReady()) return false;
    const UnitsRead& read = ReadUnits();
    for (std::size_t i = 0; i < read.count; ++i) {
      const UnitRead& unit = read.units[i];
      const Listing listing = ListingOf(skipExcluded, unit.excluded, unit.hasId);
      if (listing == Listing::Fail) return false;
      if (listing == Listing::Pass) continue;
      if (count < units.size())
        units[count] = unit.details;
      else
        units.push_back(unit.details);
      ++count;
    }
    return true;
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
