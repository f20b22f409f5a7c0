// What the functions of ConfigurationFile.h and GetDeviceEditor ask of a
// configuration object beyond IDeviceManagerIO. The library's objects
// implement it; so may a host's own object (a test double): derive from
// IDeviceManagerIO and from this, and the free functions reach it as they
// reach the library's. The free functions catch what these throw.
#pragma once

#include <kvodevice/ConfigurationFile.h>
#include <kvodevice/IDeviceEditor.h>

#include <string>
#include <vector>

namespace dev {

class IConfigurationExtensions {
 public:
  // GetDeviceEditor: the object's editor, or null when it has none.
  virtual IDeviceEditor* Editor() = 0;
  // GetOpenReport, GetLastSaveReport, OpenedDocumentContent, PendingChanges.
  virtual OpenReport GetOpenReport() const = 0;
  virtual SaveReport GetLastSaveReport() const = 0;
  virtual DocumentContent OpenedContent() const = 0;
  virtual std::vector<std::wstring> PendingChanges() const = 0;
  // IsStale, Refresh (`changes` may be null), DiscardChanges, RepairLinks.
  virtual bool IsStale() = 0;
  virtual bool Refresh(DocumentChanges* changes) = 0;
  virtual bool DiscardChanges() = 0;
  virtual bool RepairLinks(bool apply, std::vector<LinkRepair>& repairs) = 0;
  // LastFailure and LastFailureKind.
  virtual std::wstring LastFailure() const = 0;
  virtual Failure LastFailureKind() const = 0;

 protected:
  ~IConfigurationExtensions() = default;  // owned with the configuration object
};

}  // namespace dev
