// The extensions of the configuration service, for hosts that hold only its
// interface. None of them throws: each answers its failure instead.
#include <kvodevice/ConfigurationFile.h>

#include "devicefile/XMLFile.h"

namespace dev {
namespace {

using platform::NoThrow;

// What `body` reports, or, when it throws, a report that memory ran out.
template <typename Report, typename Body>
Report ReportOrOutOfMemory(Body body) noexcept {
  try {
    return body();
  } catch (...) {
    Report report;
    SayOutOfMemory(report);
    return report;
  }
}

// The extensions of `io`: the library's objects have them, and so may a host's.
IConfigurationExtensions* ExtensionsOf(const IDeviceManagerIO* io) {
  return dynamic_cast<IConfigurationExtensions*>(const_cast<IDeviceManagerIO*>(io));
}

}  // namespace

IDeviceManagerIO* OpenXMLFileReadOnly() {
  return NoThrow(UnopenedFile(), []() -> IDeviceManagerIO* { return new CXMLFile(CXMLFile::Access::ReadOnly); });
}

OpenReport DryRunOpen() {
  return ReportOrOutOfMemory<OpenReport>([] { return CXMLFile(CXMLFile::Access::ReadOnly).openReport(); });
}

bool RepairLinks(IDeviceManagerIO* io, bool apply, std::vector<LinkRepair>& repairs) {
  repairs.clear();
  auto* file = ExtensionsOf(io);
  return file != nullptr && NoThrow(false, [&] { return file->RepairLinks(apply, repairs); });
}

int RepairLinks(IDeviceManagerIO* io) {
  std::vector<LinkRepair> repairs;
  return RepairLinks(io, true, repairs) ? static_cast<int>(repairs.size()) : -1;
}

std::vector<HistoryVersion> ListHistory() { return NoThrow<std::vector<HistoryVersion>>({}, CXMLFile::ListHistory); }

IDeviceEditor* GetDeviceEditor(IDeviceManagerIO* io) {
  auto* file = ExtensionsOf(io);
  return file != nullptr ? NoThrow<IDeviceEditor*>(nullptr, [file] { return file->Editor(); }) : nullptr;
}

bool RestoreXMLFile(const std::wstring& version, SaveReport* report) {
  SaveReport ignored;
  SaveReport& answer = report != nullptr ? *report : ignored;
  bool restored = false;
  // Memory running out loses nothing: the document it replaces is kept first.
  answer = ReportOrOutOfMemory<SaveReport>([&] {
    SaveReport report;
    restored = CXMLFile::Restore(version, report);
    return report;
  });
  return restored;
}

std::wstring RestoreExposure(const std::wstring& version) {
  return NoThrow<std::wstring>({}, [&] { return CXMLFile::RestoreExposure(version); });
}

OpenReport GetOpenReport(const IDeviceManagerIO* io) {
  const auto* file = ExtensionsOf(io);
  return ReportOrOutOfMemory<OpenReport>([file] { return file != nullptr ? file->GetOpenReport() : OpenReport{}; });
}

DocumentContent OpenedDocumentContent(const IDeviceManagerIO* io) {
  const auto* file = ExtensionsOf(io);
  return file != nullptr ? NoThrow<DocumentContent>({}, [file] { return file->OpenedContent(); }) : DocumentContent{};
}

std::vector<std::wstring> PendingChanges(const IDeviceManagerIO* io) {
  const auto* file = ExtensionsOf(io);
  return NoThrow<std::vector<std::wstring>>({}, [file] {
    return file != nullptr ? file->PendingChanges() : std::vector<std::wstring>();
  });
}

bool IsStale(const IDeviceManagerIO* io) {
  // The identity check changes nothing the host can see.
  auto* file = ExtensionsOf(io);
  return file != nullptr && NoThrow(false, [file] { return file->IsStale(); });
}

bool Refresh(IDeviceManagerIO* io, DocumentChanges* changes) {
  if (changes != nullptr) NoThrow(false, [changes] { return *changes = {}, true; });
  auto* file = ExtensionsOf(io);
  return file != nullptr && NoThrow(false, [&] { return file->Refresh(changes); });
}

bool DiscardChanges(IDeviceManagerIO* io) {
  auto* file = ExtensionsOf(io);
  return file != nullptr && NoThrow(false, [file] { return file->DiscardChanges(); });
}

SaveReport GetLastSaveReport(const IDeviceManagerIO* io) {
  const auto* file = ExtensionsOf(io);
  return ReportOrOutOfMemory<SaveReport>([file] { return file != nullptr ? file->GetLastSaveReport() : SaveReport{}; });
}

std::wstring LastFailure(const IDeviceManagerIO* io) {
  const auto* file = ExtensionsOf(io);
  return NoThrow<std::wstring>({}, [file] { return file != nullptr ? file->LastFailure() : std::wstring(); });
}

Failure LastFailureKind(const IDeviceManagerIO* io) {
  const auto* file = ExtensionsOf(io);
  return file != nullptr ? NoThrow(Failure::OutOfMemory, [file] { return file->LastFailureKind(); }) : Failure::None;
}

}  // namespace dev
