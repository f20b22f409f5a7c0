// The extensions of the configuration service, for hosts that hold only its interface.
#include <kvodevice/ConfigurationFile.h>

#include "devicefile/XMLFile.h"

namespace dev {

IDeviceManagerIO* OpenXMLFileReadOnly() { return new CXMLFile(CXMLFile::Access::ReadOnly); }

OpenReport GetOpenReport(const IDeviceManagerIO* io) {
  const auto* file = dynamic_cast<const CXMLFile*>(io);
  return file != nullptr ? file->openReport() : OpenReport{};
}

SaveReport GetLastSaveReport(const IDeviceManagerIO* io) {
  const auto* file = dynamic_cast<const CXMLFile*>(io);
  return file != nullptr ? file->saveReport() : SaveReport{};
}

}  // namespace dev
