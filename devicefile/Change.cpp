#include "devicefile/Change.h"

#include "devicefile/PortName.h"
#include "devicefile/UnitId.h"

namespace dev {
namespace {

using Kind = Change::Kind;

const wchar_t* KindName(Kind kind) {
  switch (kind) {
    case Kind::AddUnit: return L"AddUnit";
    case Kind::AddSets: return L"AddSets";
    case Kind::RemoveUnit: return L"RemoveUnit";
    case Kind::UnlinkUnitPort: return L"UnlinkUnitPort";
    case Kind::RemoveEmptyDriverFiles: return L"RemoveEmptyDriverFiles";
    case Kind::AddDriverFile: return L"AddDriverFile";
    case Kind::ClearDriverFiles: return L"ClearDriverFiles";
    case Kind::RemoveDriverFile: return L"RemoveDriverFile";
    case Kind::LinkUnitPort: return L"LinkUnitPort";
    case Kind::RemovePort: return L"RemovePort";
    case Kind::SetUnitText: return L"SetUnitText";
    case Kind::SetUnitSetup: return L"SetUnitSetup";
    case Kind::CreateSet: return L"CreateSet";
    case Kind::SetSetComment: return L"SetSetComment";
    case Kind::AddSetMember: return L"AddSetMember";
    case Kind::RemoveSetMember: return L"RemoveSetMember";
    case Kind::SetActiveSet: return L"SetActiveSet";
    case Kind::RepairLinks: return L"RepairLinks";
    case Kind::RenameUnit: return L"RenameUnit";
    case Kind::RenameSet: return L"RenameSet";
    case Kind::DeleteSet: return L"DeleteSet";
  }
  return L"?";
}

std::wstring Quoted(const std::wstring& text) {
  std::wstring quoted = L"\"";
  for (const wchar_t c : text) {
    if (c == L'"' || c == L'\\') quoted += L'\\';
    quoted += c;
  }
  return quoted + L'"';
}

std::wstring Port(const PortAddress& port) {
  CString interfaceName, portText;
  if (FormatPortName(port.portType, port.portNumber, interfaceName, portText)) return portText.str();
  return L"port " + std::to_wstring(port.portType) + L":" + std::to_wstring(port.portNumber);
}

const wchar_t* TextName(UnitText which) {
  switch (which) {
    case UnitText::Driver: return L"Driver";
    case UnitText::Model: return L"Model";
    case UnitText::UnitName: return L"UnitName";
    case UnitText::SerialNo: return L"SerialNo";
  }
  return L"?";
}

const wchar_t* SetupName(UnitSetup setup) {
  switch (setup) {
    case UnitSetup::Include: return L"include";
    case UnitSetup::Exclude: return L"exclude";
    case UnitSetup::Unset: break;
  }
  return L"unset";
}

// The operation and what it names; with `values`, what it sets too.
std::wstring Words(const Change& change, bool values) {
  std::wstring words = KindName(change.kind);
  const auto add = [&words](const std::wstring& part) { words += L' ' + part; };
  const std::wstring unit = FormatUnitID(change.unit).str();
  switch (change.kind) {
    case Kind::AddUnit:
    case Kind::RemoveUnit: add(unit); break;
    case Kind::UnlinkUnitPort:
    case Kind::LinkUnitPort:
      add(unit);
      add(Port(change.port));
      break;
    case Kind::RemovePort: add(Port(change.port)); break;
    case Kind::AddDriverFile:
    case Kind::RemoveDriverFile: add(Quoted(change.name)); break;
    case Kind::SetUnitText:
      add(unit);
      add(TextName(change.which));
      if (values) add(change.text ? Quoted(*change.text) : L"(none)");
      break;
    case Kind::SetUnitSetup:
      add(unit);
      if (values) add(SetupName(change.setup));
      break;
    case Kind::CreateSet:
    case Kind::SetSetComment:
      add(Quoted(change.name));
      if (values) add(Quoted(change.text.value_or(L"")));
      break;
    case Kind::AddSetMember:
    case Kind::RemoveSetMember:
      add(Quoted(change.name));
      add(unit);
      break;
    case Kind::SetActiveSet:
    case Kind::DeleteSet: add(Quoted(change.name)); break;
    case Kind::RenameUnit:
      add(Quoted(change.text.value_or(L"")));
      add(unit);
      break;
    case Kind::RenameSet:
      add(Quoted(change.name));
      add(Quoted(change.text.value_or(L"")));
      break;
    case Kind::AddSets:
    case Kind::RemoveEmptyDriverFiles:
    case Kind::ClearDriverFiles:
    case Kind::RepairLinks: break;
  }
  return words;
}

}  // namespace

std::wstring Describe(const Change& change) { return Words(change, true); }

std::wstring Name(const Change& change) { return Words(change, false); }

}  // namespace dev
