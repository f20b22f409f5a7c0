// What a configuration document holds, read from any file (the document, a
// version from the history, a backup), with the line of each item and what is
// wrong in it: for the people who repair a configuration and their tools.
// Hosts work with IDeviceManagerIO.
#pragma once

#include <kvodevice/Export.h>

#include <cstdint>
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
  std::vector<SetEntry> sets;
  std::vector<Finding> findings;  // in line order
};

// Reads the file at `path` (a plain file-system path) without changing
// anything. Never throws.
KVO_DEVICE_API DocumentContent ReadDocumentContent(const std::wstring& path);

}  // namespace dev
