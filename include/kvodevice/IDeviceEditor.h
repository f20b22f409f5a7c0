// Editing the configuration beyond IDeviceManagerIO, whose slots stay fixed:
// port links on both sides, a unit's details, sets, single driver files.
// Reached from the configuration object (GetDeviceEditor). The rules of the
// other operations hold: changes stay in memory until Save or Release writes
// them (merged with other writers like any change); text that XML cannot
// hold, or a change that would make the document invalid, is refused with
// false and nothing changed; every operation answers false when the object
// holds no document.
#pragma once

#include <kvodevice/Export.h>
#include <kvodevice/IDeviceManagerIO.h>
#include <kvodevice/Text.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dev {

enum class UnitText : std::int32_t { Driver = 0, Model = 1, UnitName = 2, SerialNo = 3 };
enum class UnitSetup : std::int32_t { Unset = 0, Include = 1, Exclude = 2 };

struct UnitDetails {
  UnitKey key{};
  UnitSetup setup = UnitSetup::Unset;  // Unset counts as included
  // Driver, Model, UnitName, SerialNo (by UnitText); `has` tells an empty text from none.
  std::wstring text[4];
  bool has[4] = {false, false, false, false};
  std::vector<PortAddress> ports;  // the ports the unit links to, on its side, in document order

  // One text by name; nullopt when the unit has none.
  std::optional<std::wstring> textOf(UnitText which) const {
    const auto i = static_cast<std::size_t>(which);
    return i < 4 && has[i] ? std::optional<std::wstring>(text[i]) : std::nullopt;
  }
  std::optional<std::wstring> driver() const { return textOf(UnitText::Driver); }
  std::optional<std::wstring> model() const { return textOf(UnitText::Model); }
  std::optional<std::wstring> name() const { return textOf(UnitText::UnitName); }
  std::optional<std::wstring> serial() const { return textOf(UnitText::SerialNo); }
};

struct SetDetails {
  std::wstring name, comment;
  std::vector<UnitKey> members;  // in document order (the invalid key for a malformed id)
};

class IDeviceEditor {
 public:
  // Links the unit to the serial port on both sides; the port (and Interfaces,
  // Serial) is made when missing. False when the unit is not listed, the port
  // is not serial, or the link is there on both sides already.
  virtual bool LinkUnitPort(const UnitKey& unit, const PortAddress& port) = 0;
  // Removes the serial port with every link to it on the units' side.
  virtual bool RemovePort(const PortAddress& port) = 0;

  virtual bool GetUnit(const UnitKey& unit, UnitDetails& details) = 0;
  // Sets one text of the unit (in its place among the others); null clears it.
  virtual bool SetUnitText(const UnitKey& unit, UnitText which, const wchar_t* text) = 0;
  virtual bool SetUnitSetup(const UnitKey& unit, UnitSetup setup) = 0;

  // The names of the sets, in document order.
  virtual bool GetSets(std::vector<std::wstring>& names) = 0;
  virtual bool GetSet(const std::wstring& name, SetDetails& details) = 0;
  // The active set's name; empty when none is chosen.
  virtual bool GetActiveSet(std::wstring& name) = 0;
  // A new, empty set; false when one of that name exists or the name is empty.
  virtual bool CreateSet(const std::wstring& name, const std::wstring& comment) = 0;
  virtual bool SetSetComment(const std::wstring& name, const std::wstring& comment) = 0;
  // A listed unit joins the set once; false when it is no listed unit or a member already.
  virtual bool AddSetMember(const std::wstring& name, const UnitKey& unit) = 0;
  virtual bool RemoveSetMember(const std::wstring& name, const UnitKey& unit) = 0;
  // Chooses an existing set, or none with an empty name.
  virtual bool SetActiveSet(const std::wstring& name) = 0;

  // Removes the driver file of that name (letters A to Z in any case, as
  // AddDriverFile compares); false when none is listed.
  virtual bool RemoveDriverFile(const std::wstring& file) = 0;

  // Gives the unit whose UnitID is exactly `from` (a malformed one such as
  // "U0332x0" too) the id `to`, in its place; every link and set membership
  // naming `from` follows, and when `from` is malformed also those naming
  // another spelling of it (ReadUnitIdLeniently) that no unit has. False when
  // no unit has the id `from`, or `to` is listed or is of device 65535.
  virtual bool RenameUnit(const std::wstring& from, const UnitKey& to) = 0;
  // Renames a set; its members, its comment and the active set follow. False
  // when `from` is not there, or `to` is empty, text XML cannot hold, or a set.
  virtual bool RenameSet(const std::wstring& from, const std::wstring& to) = 0;
  // Removes the set; when it was the active set, no set is active.
  virtual bool DeleteSet(const std::wstring& name) = 0;
  // Every unit with its details, in document order, as GetUnit gives them,
  // in one pass (the units set to "exclude" left out when `skipExcluded`); a
  // malformed id gives the invalid key, with the unit's details. False, with
  // the units before it, at a Unit without an id. The object keeps a copy of
  // what it read, given out again until the document changes.
  virtual bool GetUnits(std::vector<UnitDetails>& units, bool skipExcluded) = 0;

  // The operations with text in UTF-8, for hosts that hold it; each converts
  // with ToWide and answers as the wide one does.
  bool SetUnitText(const UnitKey& unit, UnitText which, std::string_view text) {
    return SetUnitText(unit, which, ToWide(text).c_str());
  }
  bool GetSet(std::string_view name, SetDetails& details) { return GetSet(ToWide(name), details); }
  bool CreateSet(std::string_view name, std::string_view comment) { return CreateSet(ToWide(name), ToWide(comment)); }
  bool SetSetComment(std::string_view name, std::string_view comment) {
    return SetSetComment(ToWide(name), ToWide(comment));
  }
  bool AddSetMember(std::string_view name, const UnitKey& unit) { return AddSetMember(ToWide(name), unit); }
  bool RemoveSetMember(std::string_view name, const UnitKey& unit) { return RemoveSetMember(ToWide(name), unit); }
  bool SetActiveSet(std::string_view name) { return SetActiveSet(ToWide(name)); }
  bool RemoveDriverFile(std::string_view file) { return RemoveDriverFile(ToWide(file)); }
  bool RenameUnit(std::string_view from, const UnitKey& to) { return RenameUnit(ToWide(from), to); }
  bool RenameSet(std::string_view from, std::string_view to) { return RenameSet(ToWide(from), ToWide(to)); }
  bool DeleteSet(std::string_view name) { return DeleteSet(ToWide(name)); }

 protected:
  ~IDeviceEditor() = default;  // owned by the configuration object
};

// The editor of `io`, valid as long as `io` is; null for an object that
// CreateXMLFile or OpenXMLFileReadOnly did not make.
KVO_DEVICE_API IDeviceEditor* GetDeviceEditor(IDeviceManagerIO* io);

}  // namespace dev
