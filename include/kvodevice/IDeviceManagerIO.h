// The device configuration service: the record of the units installed in the
// host's system, kept in the XML document "kvoDevice.xml" of the data directory.
#pragma once

#include <kvodevice/CString.h>
#include <kvodevice/Export.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace dev {

// The numeric key of an installed unit; its text form is "U<device>x<index>".
// The invalid key is {65535, 0}.
struct UnitKey {
  std::uint16_t device;
  std::uint16_t index;
  friend bool operator==(const UnitKey&, const UnitKey&) = default;
};

enum ePortType : std::int32_t { PortOther = 1, PortSerial = 2 };

// One interface port; a serial port "COM3" is {PortSerial, 3}.
struct PortAddress {
  std::int32_t portType;
  std::int32_t portNumber;
};

// The device configuration service. Hosts call the virtual operations by
// position: their order is fixed. Operations change the document in memory
// only (except RemoveUnit's first use on a document without sets); Save and
// Release write it. One object is used by one thread at a time.
class IDeviceManagerIO {
 public:
  virtual ~IDeviceManagerIO() = default;
  // Deletes the object, which first writes the document file once more (but
  // never replaces a file it could not load by an empty document).
  virtual void Release() { delete this; }
  // Writes the document to "kvoDevice.xml", replacing the file atomically.
  // Waits at most KVO_LOCK_TIMEOUT seconds (default 10) for another writer's
  // lock, then answers false (GetLastSaveReport says who holds it).
  virtual bool Save() = 0;

  // Empties `units`, then lists every unit in document order (the invalid key
  // for a malformed id), leaving out units whose setup is "exclude" when
  // `skipExcluded`. False on a damaged tree, with the units read so far.
  virtual bool GetUnitList(std::vector<UnitKey>& units, bool skipExcluded) = 0;
  virtual bool ExistsUnit(const UnitKey& key) = 0;
  // Appends a unit; false, with nothing changed, when the key is there already
  // or its device is 65535 (no device: {65535, 0} is what a malformed id lists as).
  virtual bool AddUnit(const UnitKey& key) = 0;
  // Removes the unit and its set memberships (not its port links). A document
  // without sets gets an empty one, and is saved, first.
  virtual bool RemoveUnit(const UnitKey& unit) = 0;
  // Appends one record per port that links the unit, in document order.
  virtual bool GetUnitPorts(const UnitKey& unit, std::vector<PortAddress>& ports) = 0;
  // Removes the link between a unit and a serial port on both sides.
  virtual bool UnlinkUnitPort(const UnitKey& unit, const PortAddress& port) = 0;

  // Empties `files`, then fills it with every driver file name; empty entries
  // are deleted from the document.
  virtual bool GetDriverFiles(std::set<std::wstring>& files) = 0;
  // Adds a driver file unless one of that name in any letter case (A to Z) is
  // listed; false, with nothing changed, for an empty name or one that XML
  // cannot hold.
  virtual bool AddDriverFile(const CString& file) = 0;
  // Removes the whole driver file list.
  virtual bool ClearDriverFiles() = 0;
};

// Opens the configuration in the host's data directory (see ssnGetDataDir),
// made absolute now, so that a later chdir of the host moves nothing:
// writes the schema "kvoDevice.xsd" when it is missing, loads "kvoDevice.xml",
// and when that file cannot be loaded keeps it as "kvoDevice.xml.bak" and
// starts a new default document. Waits at most KVO_LOCK_TIMEOUT seconds
// (default 10) for another writer's lock, then gives up (see GetOpenReport).
// Always returns an object; a failed open shows in the results of later
// operations. Call Release when done.
// No function or operation of this library throws: running out of memory
// answers false (or an empty result), with the document on disk as it was
// or as saved, and what was half done in the object undone at its next save.
KVO_DEVICE_API IDeviceManagerIO* CreateXMLFile();

}  // namespace dev
