// The object an opening answers when memory ran out before it could make one.
#include "devicefile/XMLFile.h"

namespace dev {
namespace {

// An object without a document, as an opening that gave up: every operation
// answers false and changes nothing. One for the whole process, never freed.
class Unopened final : public IDeviceManagerIO {
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
};

}  // namespace

IDeviceManagerIO* UnopenedFile() noexcept {
  static Unopened unopened;
  return &unopened;
}

}  // namespace dev
