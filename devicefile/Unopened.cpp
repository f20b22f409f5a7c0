// The object an opening answers when memory ran out before it could make one.
#include "devicefile/XMLFile.h"

namespace dev {
namespace {

// An object without a document, as an opening that gave up: every operation
// answers false and changes nothing, and its reports say that memory ran
// out. One for the whole process, never freed.
class Unopened final : public IDeviceManagerIO, public IConfigurationExtensions {
 public:
  void Release() override {}
  bool Save() override { return false; }
  bool GetUnitList(std::vector<UnitKey>& units, bool) override {
    units.clear();
    return false;
  }
  bool ExistsUnit(const UnitKey&) override { return false; }
  bool AddUnit(const UnitKey&) override { return false; }
  bool RemoveUnit(const UnitKey&) override { return false; }
  bool GetUnitPorts(const UnitKey&, std::vector<PortAddress>&) override { return false; }
  bool UnlinkUnitPort(const UnitKey&, const PortAddress&) override { return false; }
  bool GetDriverFiles(std::set<std::wstring>& files) override {
    files.clear();
    return false;
  }
  bool AddDriverFile(const CString&) override { return false; }
  bool ClearDriverFiles() override { return false; }

  IDeviceEditor* Editor() override { return nullptr; }
  OpenReport GetOpenReport() const override {
    OpenReport report;
    SayOutOfMemory(report);
    return report;
  }
  SaveReport GetLastSaveReport() const override { return {}; }
  DocumentContent OpenedContent() const override { return {}; }
  std::vector<std::wstring> PendingChanges() const override { return {}; }
  bool IsStale() override { return false; }
  bool Refresh(DocumentChanges*) override { return false; }
  bool DiscardChanges() override { return false; }
  bool RepairLinks(bool, std::vector<LinkRepair>&) override { return false; }
  std::wstring LastFailure() const override { return L"out of memory"; }
  Failure LastFailureKind() const override { return Failure::OutOfMemory; }
};

}  // namespace

IDeviceManagerIO* UnopenedFile() noexcept {
  static Unopened unopened;
  return &unopened;
}

}  // namespace dev
