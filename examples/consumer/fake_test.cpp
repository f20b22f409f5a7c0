// fake_test INI_FILE: how a host tests its own code without the library's
// files. The host's code below asks the library's free functions about a
// configuration object; the test hands it a fake that implements the
// extension interface. The program also brings a porting layer's own
// GetPrivateProfileSectionNamesW, which must not change what the library
// reads from INI files.
#include <kvodevice/ConfigurationFile.h>
#include <kvodevice/IConfigurationExtensions.h>
#include <kvodevice/IDeviceManagerIO.h>
#include <kvodevice/IExtendedDeviceInfo.h>
#include <kvodevice/Text.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// A porting layer's function of the Windows name: it finds no sections.
std::uint32_t GetPrivateProfileSectionNamesW(wchar_t* buffer, std::uint32_t size, const wchar_t*) {
  if (size > 1) buffer[0] = buffer[1] = L'\0';
  return 0;
}

namespace {

// The host's code under test: what it shows after a failed change.
std::wstring Explain(dev::IDeviceManagerIO* io, const dev::UnitKey& unit) {
  if (io->AddUnit(unit)) return L"added " + dev::FormatUnitId(unit);
  if (dev::GetOpenReport(io).outcome == dev::OpenOutcome::GaveUp) return L"no configuration";
  return L"not added: " + dev::LastFailure(io);
}

// A configuration that holds one unit, U303x0, and writes nothing.
class FakeConfiguration : public dev::IDeviceManagerIO, public dev::IConfigurationExtensions {
 public:
  void Release() override {}
  bool Save() override { return true; }
  bool GetUnitList(std::vector<dev::UnitKey>& units, bool) override { return units = {{303, 0}}, true; }
  bool ExistsUnit(const dev::UnitKey& key) override { return key == dev::UnitKey{303, 0}; }
  bool AddUnit(const dev::UnitKey& key) override { return failed_ = ExistsUnit(key), !failed_; }
  bool RemoveUnit(const dev::UnitKey&) override { return false; }
  bool GetUnitPorts(const dev::UnitKey&, std::vector<dev::PortAddress>&) override { return false; }
  bool UnlinkUnitPort(const dev::UnitKey&, const dev::PortAddress&) override { return false; }
  bool GetDriverFiles(std::set<std::wstring>& files) override { return files.clear(), true; }
  bool AddDriverFile(const CString&) override { return false; }
  bool ClearDriverFiles() override { return false; }

  dev::IDeviceEditor* Editor() override { return nullptr; }
  dev::OpenReport GetOpenReport() const override {
    dev::OpenReport report;
    report.outcome = dev::OpenOutcome::Loaded;
    return report;
  }
  dev::SaveReport GetLastSaveReport() const override { return {}; }
  dev::DocumentContent OpenedContent() const override { return {}; }
  std::vector<std::wstring> PendingChanges() const override { return {}; }
  bool IsStale() override { return false; }
  bool Refresh(dev::DocumentChanges*) override { return true; }
  bool DiscardChanges() override { return true; }
  bool RepairLinks(bool, std::vector<dev::LinkRepair>& repairs) override { return repairs.clear(), true; }
  std::wstring LastFailure() const override { return failed_ ? L"U303x0 is listed already" : L""; }
  dev::Failure LastFailureKind() const override { return failed_ ? dev::Failure::Listed : dev::Failure::None; }

 private:
  bool failed_ = false;
};

int failures = 0;

void Expect(bool holds, const char* what) {
  if (!holds) ++failures, std::fprintf(stderr, "FAILED: %s\n", what);
}

}  // namespace

int main(int argc, char** argv) {
  FakeConfiguration fake;
  Expect(Explain(&fake, {303, 1}) == L"added U303x1", "a unit the fake does not hold is added");
  Expect(Explain(&fake, {303, 0}) == L"not added: U303x0 is listed already", "the fake's reason reaches the host");
  Expect(dev::LastFailureKind(&fake) == dev::Failure::Listed, "the fake's failure kind");
  Expect(dev::RepairLinks(&fake) == 0, "RepairLinks reaches the fake");
  Expect(dev::Refresh(&fake, nullptr) && !dev::IsStale(&fake), "Refresh and IsStale reach the fake");

  // The library reads the INI file with its own section reader.
  dev::dynInfo::IExtendedDeviceInfo* info = dev::dynInfo::GetExtendedDeviceInfo();
  Expect(argc > 1 && info != nullptr && info->Load(std::wstring(argv[1], argv[1] + std::string(argv[1]).size()).c_str()),
         "the INI file loads");
  Expect(info != nullptr && !info->GetDeviceIDs().empty(), "the library finds the INI file's devices");
  std::printf("fake test: %d failed\n", failures);
  return failures == 0 ? 0 : 1;
}
