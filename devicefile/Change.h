// A change an object made to its document, kept as data: the kind of
// operation and its arguments. The journal of an object is a list of these,
// which CXMLFile::Apply makes on a document, the first time and again on
// another writer's newer file.
#pragma once

#include <kvodevice/ConfigurationFile.h>
#include <kvodevice/IDeviceEditor.h>
#include <kvodevice/IDeviceManagerIO.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dev {

struct Change {
  enum class Kind : std::uint8_t {
    AddUnit,
    AddSets,  // the empty set list that RemoveUnit makes first
    RemoveUnit,
    UnlinkUnitPort,
    RemoveEmptyDriverFiles,  // what GetDriverFiles deletes
    AddDriverFile,
    ClearDriverFiles,
    RemoveDriverFile,
    LinkUnitPort,
    RemovePort,
    SetUnitText,
    SetUnitSetup,
    CreateSet,
    SetSetComment,
    AddSetMember,
    RemoveSetMember,
    SetActiveSet,
    RepairLinks,
    RenameUnit,  // text: the UnitID it had; unit: the one it gets
    RenameSet,   // name: the set; text: its new name
    DeleteSet,
  };
  Change(Kind kind, UnitKey unit = {}, PortAddress port = {}) : kind(kind), unit(unit), port(port) {}

  Kind kind;
  UnitKey unit{};
  PortAddress port{};
  std::wstring name;                 // the set, or the driver file
  std::optional<std::wstring> text;  // the unit's text (none: cleared), the set's comment
  UnitText which = UnitText::Driver;
  UnitSetup setup = UnitSetup::Unset;
};

// What a change does to a document, beside its answer.
struct Applied {
  // Why the change no longer applies: a unit, port or set it names is not
  // there (empty when it applied, or when what it asks for is so already).
  std::wstring lost;
  std::vector<LinkRepair> repairs;  // RepairLinks: what it changed
};

// The change in words, its arguments included: SetUnitText U303x1 Model "Stage 2".
std::wstring Describe(const Change& change);
// The change as a dropped one is named: the operation and what it names,
// without the values it sets: SetUnitText U303x1 Model.
std::wstring Name(const Change& change);

}  // namespace dev
