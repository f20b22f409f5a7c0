// The last operation an object answered, kept so that LastFailure can say why
// it answered false: its name and arguments, copied only when it did.
#pragma once

#include <kvodevice/ConfigurationFile.h>
#include <kvodevice/IDeviceEditor.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace dev {

struct Call {
  enum class Op : std::uint8_t {
    Save, GetUnitList, ExistsUnit, AddUnit, RemoveUnit, GetUnitPorts, UnlinkUnitPort,
    GetDriverFiles, AddDriverFile, ClearDriverFiles,
    LinkUnitPort, RemovePort, GetUnit, SetUnitText, SetUnitSetup, GetSets, GetSet, GetActiveSet,
    CreateSet, SetSetComment, AddSetMember, RemoveSetMember, SetActiveSet, RemoveDriverFile,
    RenameUnit, RenameSet, DeleteSet, Refresh, DiscardChanges, RepairLinks, GetUnits,
  };
  Op op;
  UnitKey unit{};
  PortAddress port{};
  std::wstring_view name{}, text{};  // the set, driver file or UnitID; the text it sets (empty: cleared)
  UnitText which = UnitText::Driver;
};

// A call that answered false, with its own copies of the texts.
struct FailedCall {
  Call::Op op = Call::Op::Save;
  UnitKey unit{};
  PortAddress port{};
  std::wstring name, text;
  UnitText which = UnitText::Driver;
  // Set when the call threw: memory ran out, or the document model failed.
  Failure threw = Failure::None;
};

}  // namespace dev
