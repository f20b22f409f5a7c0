// The extensions of the configuration service, for hosts that hold only its interface.
#include <kvodevice/ConfigurationFile.h>

#include "devicefile/XMLFile.h"

namespace dev {

IDeviceManagerIO* OpenXMLFileReadOnly() { return new CXMLFile(CXMLFile::Access::ReadOnly); }

OpenReport DryRunOpen() { return CXMLFile(CXMLFile::Access::ReadOnly).openReport(); }

int RepairLinks(IDeviceManagerIO* io) {
  auto* file = dynamic_cast<CXMLFile*>(io);
  return file != nullptr ? file->RepairLinks() : -1;
}

std::vector<HistoryVersion> ListHistory() { return CXMLFile::ListHistory(); }

IDeviceEditor* GetDeviceEditor(IDeviceManagerIO* io) {
  auto* file = dynamic_cast<CXMLFile*>(io);
  return file != nullptr ? file->Editor() : nullptr;
}

bool RestoreXMLFile(const std::wstring& version, SaveReport* report) {
  SaveReport ignored;
  return CXMLFile::Restore(version, report != nullptr ? *report : ignored);
}

std::wstring RestoreExposure(const std::wstring& version) { return CXMLFile::RestoreExposure(version); }

OpenReport GetOpenReport(const IDeviceManagerIO* io) {
  const auto* file = dynamic_cast<const CXMLFile*>(io);
  return file != nullptr ? file->openReport() : OpenReport{};
}

SaveReport GetLastSaveReport(const IDeviceManagerIO* io) {
  const auto* file = dynamic_cast<const CXMLFile*>(io);
  return file != nullptr ? file->saveReport() : SaveReport{};
}

}  // namespace dev
