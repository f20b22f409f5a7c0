// What a configuration document holds, read from any file (the document, a
// version from the history, a backup), with the line of each item and what is
// wrong in it: for the people who repair a configuration and their tools.
// Hosts work with IDeviceManagerIO.
#pragma once

#include <kvodevice/Export.h>
#include <kvodevice/Text.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dev {

struct UnitEntry {
  bool hasId = false;
  std::wstring id;  // UnitID as written
  std::wstring setup, driver, model, name, serialNo;  // empty when absent
  std::vector<std::wstring> ports;                    // the LinkedInterface ItemIDs, in order
  int line = 0;
};

struct PortEntry {
  std::wstring interfaceName;  // "Serial"
  std::wstring portNo;
  std::vector<std::wstring> units;  // the LinkedUnit ItemIDs, in order
  int line = 0;
};

struct SetEntry {
  std::wstring name, comment;
  std::vector<std::wstring> members;
  int line = 0;
};

struct DriverEntry {
  std::wstring file;
  int line = 0;
};

enum class FindingKind : std::int32_t {
  NotValid = 0,           // the schema refuses the document: its first error
  UnitWithoutId = 1,      // a Unit without UnitID
  MalformedUnitId = 2,    // a UnitID that names no unit key, such as U0170x0
  DuplicateUnitId = 3,    // a UnitID that an earlier Unit has
  UnitSideOnly = 4,       // a unit's LinkedInterface whose port does not link back
  PortSideOnly = 5,       // a port's LinkedUnit whose unit does not link back
  LinkToMissingPort = 6,  // a LinkedInterface naming no port
  LinkToMissingUnit = 7,  // a LinkedUnit of a port or a set naming no unit
  DriverCaseTwin = 8,     // a driver file name that an earlier one has in other letter case
  NoSuchActiveSet = 9,    // an ActiveSet naming no set
  SharedPort = 10,        // a port that links more than one unit, on either side
  NotWellFormed = 11,     // the file is no XML: the parser's first error
  UnclosedElement = 12,   // the file is no XML: an element a line scan finds open
};

struct Finding {
  FindingKind kind;
  int line = 0;
  std::wstring text;  // one sentence naming the items
};

struct DocumentContent {
  bool read = false;        // the file could be read whole
  bool wellFormed = false;  // it is XML: the lists below are filled
  bool valid = false;       // it matches the schema the library writes
  // Why the file could not be read, is not XML, or is not valid (its first error).
  std::uint32_t errorCode = 0;
  int errorLine = 0, errorColumn = 0;
  std::wstring errorReason;
  std::wstring errorKind;  // errorCode in words: "the document breaks the schema", ...

  std::vector<UnitEntry> units;
  std::vector<PortEntry> ports;
  std::vector<DriverEntry> drivers;
  bool hasSets = false;
  std::wstring activeSet;
  int activeSetLine = 0;  // of the ActiveSet element, 0 when there is none
  std::vector<SetEntry> sets;
  std::vector<Finding> findings;  // in line order
};

// Reads the file at `path` (a plain file-system path) without changing
// anything. Never throws.
KVO_DEVICE_API DocumentContent ReadDocumentContent(const std::wstring& path);
// The same for a path in the file system's bytes (see ToWide).
inline DocumentContent ReadDocumentContent(std::string_view path) { return ReadDocumentContent(ToWide(path, true)); }

// What changed between two documents, by what they say rather than by their
// text: items are matched by their names (unit ids, port numbers, driver file
// names, set names; a name there twice pairs in document order), and the
// order of links and members does not count.
struct ValueChange {
  std::wstring field;     // "setup", "driver", "model", "name", "serialNo", "comment", "activeSet"
  std::wstring from, to;  // empty: absent
};

// Names on one side only, such as the ports a unit links to.
struct ListChange {
  std::vector<std::wstring> added, removed;
  bool empty() const { return added.empty() && removed.empty(); }
};

struct UnitChange {
  UnitEntry a, b;
  std::vector<ValueChange> values;
  ListChange ports;
};

struct PortChange {
  PortEntry a, b;
  ListChange units;
};

struct SetChange {
  SetEntry a, b;
  std::optional<ValueChange> comment;
  ListChange members;
};

// Removed: in A only; added: in B only; changed: in both, different.
template <typename Entry, typename Change>
struct Changes {
  std::vector<Entry> removed, added;
  std::vector<Change> changed;
  bool empty() const { return removed.empty() && added.empty() && changed.empty(); }
};

struct DocumentChanges {
  Changes<UnitEntry, UnitChange> units;
  Changes<PortEntry, PortChange> ports;
  Changes<DriverEntry, int> drivers;  // a driver file is there or not
  Changes<SetEntry, SetChange> sets;
  std::optional<ValueChange> activeSet;
  std::optional<bool> setListAdded;  // the Sets element itself came (true) or went (false)
  // CompareDocuments: why a file could not be compared (it cannot be read,
  // or is not XML); the changes are then empty.
  std::wstring error;
  bool empty() const {
    return units.empty() && ports.empty() && drivers.empty() && sets.empty() && !activeSet && !setListAdded;
  }
};

// What changed from `a` to `b`. Never throws (empty when memory ran out).
KVO_DEVICE_API DocumentChanges CompareContent(const DocumentContent& a, const DocumentContent& b);

// The same for two document files (plain file-system paths), read as
// ReadDocumentContent reads them; a file that is XML but not valid is
// compared all the same. Changes nothing.
KVO_DEVICE_API DocumentChanges CompareDocuments(const std::wstring& a, const std::wstring& b);
inline DocumentChanges CompareDocuments(std::string_view a, std::string_view b) {
  return CompareDocuments(ToWide(a, true), ToWide(b, true));
}

}  // namespace dev
