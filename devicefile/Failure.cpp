// Why the last operation answered false. An operation that answers false
// changes nothing, so the document still shows why: the reason is found when
// it is asked for, from the call and the document, in the order the
// operation itself checks.
#include <kvodevice/Text.h>

#include <utility>

#include "devicefile/DocumentLinks.h"
#include "devicefile/UnitId.h"
#include "devicefile/XMLFile.h"
#include "names/XMLNames.h"

namespace dev {
namespace {

using Op = Call::Op;
using Reason = std::pair<Failure, std::wstring>;

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

}  // namespace

void CXMLFile::Failed(const Call& call, Failure threw) noexcept {
  failed_ = true;
  lastCall_.op = call.op;
  lastCall_.unit = call.unit;
  lastCall_.port = call.port;
  lastCall_.which = call.which;
  lastCall_.threw = threw;
  try {
    lastCall_.name = call.name;
    lastCall_.text = call.text;
  } catch (...) {
    lastCall_.threw = Failure::OutOfMemory;
  }
}

std::wstring CXMLFile::LastFailure() const { return failed_ ? Diagnose().second : std::wstring(); }
Failure CXMLFile::LastFailureKind() const { return failed_ ? Diagnose().first : Failure::None; }

CXMLFile::Reason CXMLFile::Diagnose() const {
  const FailedCall& call = lastCall_;
  if (call.threw == Failure::OutOfMemory) return {Failure::OutOfMemory, L"out of memory"};
  if (call.threw != Failure::None)
    return {Failure::Damaged, L"stopped on an unexpected failure of the document model"};
  if (call.op == Op::Save && access_ == Access::ReadOnly) return {Failure::ReadOnly, saveReport_.reason};
  if (!isDOMReady())
    return {Failure::NoDocument, openReport_.reason.empty() ? L"no document is loaded"
                                                            : L"no document is loaded: " + openReport_.reason};
  const bool fileWork = call.op == Op::Save || call.op == Op::Refresh || call.op == Op::DiscardChanges;
  if (fileWork && !saveReport_.reason.empty()) return {Failure::SaveFailed, saveReport_.reason};

  const std::wstring unit = FormatUnitId(call.unit), port = FormatPort(call.port);
  const Reason notListed{Failure::NotListed, unit + L" is not listed"};
  const Reason notSerial{Failure::NotSerial, L"port type " + std::to_wstring(call.port.portType) +
                                                 L" is no serial port: only serial ports are linked"};
  const Reason badText{Failure::InvalidText, L"the text holds characters XML cannot hold"};
  const Reason noSet{Failure::NotListed, L"there is no set " + Quoted(call.name)};
  const bool textOk = platform::xml::IsXmlText(call.text), nameOk = platform::xml::IsXmlText(call.name);
  const Node portNode = port.empty() ? Node() : FirstNamed(Indexed::Port, port);
  const Node unitNode = FindUnit(call.unit);
  const Node set = FindSet(call.name);

  switch (call.op) {
    case Op::AddUnit:
      if (call.unit.device == kInvalidUnitKey.device)
        return {Failure::InvalidId, unit + L" is no unit: device 65535 stands for no device"};
      return {Failure::Listed, unit + L" is listed already"};
    case Op::ExistsUnit:
    case Op::RemoveUnit:
    case Op::GetUnit:
    case Op::SetUnitSetup:
      if (!unitNode) return notListed;
      break;
    case Op::GetUnitList:
    case Op::GetUnits:
    case Op::GetUnitPorts:
      return {Failure::Damaged, L"the unit list or the port list is not as the schema has it"};
    case Op::UnlinkUnitPort:
      if (port.empty()) return notSerial;
      return {Failure::NotListed, unit + L" is not linked to " + port};
    case Op::LinkUnitPort:
      if (!unitNode) return notListed;
      if (port.empty()) return notSerial;
      return {Failure::Listed, unit + L" is linked to " + port + L" already"};
    case Op::RemovePort:
      if (port.empty()) return notSerial;
      if (!portNode) return {Failure::NotListed, L"there is no port " + port};
      break;
    case Op::SetUnitText:
      if (static_cast<std::size_t>(call.which) >= 4)
        return {Failure::InvalidText, L"no text of a unit has the number " +
                                          std::to_wstring(static_cast<int>(call.which))};
      if (!textOk) return badText;  // a text cleared is empty, which XML holds
      if (!unitNode) return notListed;
      break;
    case Op::GetDriverFiles:
      return {Failure::Damaged, L"an empty driver file entry could not be deleted"};
    case Op::AddDriverFile:
      if (call.name.empty()) return {Failure::InvalidText, L"a driver file needs a name"};
      if (!nameOk) return badText;
      return {Failure::Listed, L"the driver file " + Quoted(call.name) + L" is listed already (letter case aside)"};
    case Op::ClearDriverFiles:
      return {Failure::NotListed, L"there is no driver file list"};
    case Op::RemoveDriverFile:
      return {Failure::NotListed, L"no driver file " + Quoted(call.name) + L" is listed"};
    case Op::CreateSet:
      if (call.name.empty()) return {Failure::InvalidText, L"a set needs a name"};
      if (!nameOk || !textOk) return badText;
      if (set) return {Failure::Listed, L"the set " + Quoted(call.name) + L" exists already"};
      break;
    case Op::SetSetComment:
      if (!textOk) return badText;
      [[fallthrough]];
    case Op::GetSet:
    case Op::DeleteSet:
      if (!set) return noSet;
      break;
    case Op::SetActiveSet:
      if (!call.name.empty() && !set) return noSet;
      break;
    case Op::AddSetMember:
      if (!set) return noSet;
      if (!unitNode) return notListed;
      if (LinkIn(set, Indexed::SetLink, unit)) return {Failure::Listed, unit + L" is a member of " + Quoted(call.name) + L" already"};
      break;
    case Op::RemoveSetMember:
      if (!set) return noSet;
      return {Failure::NotListed, unit + L" is no member of " + Quoted(call.name)};
    case Op::RenameUnit:
      if (call.unit.device == kInvalidUnitKey.device)
        return {Failure::InvalidId, unit + L" is no unit: device 65535 stands for no device"};
      if (!FirstNamed(Indexed::Unit, call.name))
        return {Failure::NotListed, L"no unit has the id " + Quoted(call.name)};
      if (unitNode) return {Failure::Listed, unit + L" is listed already"};
      break;
    case Op::RenameSet:
      if (call.text.empty()) return {Failure::InvalidText, L"a set needs a name"};
      if (!textOk) return badText;
      if (!set) return noSet;
      if (FindSet(call.text)) return {Failure::Listed, L"the set " + Quoted(call.text) + L" exists already"};
      break;
    default:
      break;
  }
  return {Failure::Damaged, L"the document is not as the operation needs it"};
}

}  // namespace dev
