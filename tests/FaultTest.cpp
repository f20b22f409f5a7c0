// Every entry point with memory running out at each of its allocations in
// turn, then with each of its file calls failing (EIO, ENOSPC, EACCES):
// nothing is thrown at the caller, nothing is printed, no temporary file is
// left, the files on disk are always the ones before or the ones after, and
// a save that answers true is on disk. Only operator new fails: libxml2 2.9
// itself crashes when its allocator fails inside a schema parse (xmlSchemaFree).
#include <gtest/gtest.h>
#include <kvodevice/ConfigurationContent.h>
#include <kvodevice/ConfigurationFile.h>
#include <kvodevice/Host.h>
#include <kvodevice/IDeviceEditor.h>
#include <kvodevice/IExtendedDeviceInfo.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <new>

#include "tests/support/ConfigDir.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TempDir.h"
#include "tests/support/XmlListing.h"

namespace {

// How many allocations succeed before one fails; negative: none fails.
std::atomic<long> allocationsLeft{-1};

bool AllocationFails() {
  const long left = allocationsLeft.load(std::memory_order_relaxed);
  if (left < 0) return false;
  allocationsLeft.store(left - 1, std::memory_order_relaxed);  // after the one failure, none fails
  return left == 0;
}

void* Malloc(std::size_t size) { return AllocationFails() ? nullptr : std::malloc(size != 0 ? size : 1); }

}  // namespace

// The replacements below pair malloc with free on purpose; the compiler sees
// only the pairing, not that both sides are replaced. Never inlined, so that a
// memory checker that replaces them replaces every call.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#define REPLACED __attribute__((noinline))

REPLACED void* operator new(std::size_t size) {
  if (void* block = Malloc(size)) return block;
  throw std::bad_alloc();
}
REPLACED void* operator new[](std::size_t size) { return operator new(size); }
REPLACED void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Malloc(size); }
REPLACED void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Malloc(size); }
REPLACED void operator delete(void* block) noexcept { std::free(block); }
REPLACED void operator delete[](void* block) noexcept { std::free(block); }
REPLACED void operator delete(void* block, std::size_t) noexcept { std::free(block); }
REPLACED void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

namespace {

namespace fs = std::filesystem;
using testsupport::ConfigDir;

const std::string kBody =
    "<UnitList><Unit UnitID=\"U1x0\"><Model>M</Model><LinkedInterface ItemID=\"COM1\"/></Unit>"
    "<Unit UnitID=\"U2x0\"/></UnitList>"
    "<Interfaces><Serial><ComPort PortNo=\"COM1\"><LinkedUnit ItemID=\"U1x0\"/><LinkedUnit ItemID=\"U9x0\"/>"
    "</ComPort></Serial>"
    "</Interfaces><Sets><ActiveSet Name=\"a\"/><Set Name=\"a\"><Comment/><LinkedUnit ItemID=\"U1x0\"/></Set></Sets>"
    "<DriverList><File>one.so</File></DriverList>";

struct Case {
  const char* name;
  // Runs with allocations failing; `io` is open (and its opening not
  // counted), then saved and released, unless the case opens by itself.
  // Answers what the operation answered.
  std::function<bool(dev::IDeviceManagerIO* io)> run;
  bool opensItself = false;
  // What the data directory holds before, beside kBody as the document; run
  // once `io` is open.
  std::function<void(ConfigDir&)> prepare = [](ConfigDir&) {};
};

dev::IDeviceEditor& Editor(dev::IDeviceManagerIO* io) { return *dev::GetDeviceEditor(io); }

// An opening answers an object whatever happens, and says why it gave up.
bool Close(dev::IDeviceManagerIO* io) {
  EXPECT_NE(io, nullptr);
  if (io == nullptr) return false;
  const dev::OpenReport report = dev::GetOpenReport(io);
  EXPECT_TRUE(report.outcome != dev::OpenOutcome::GaveUp || report.systemError != 0 || !report.reason.empty());
  io->Release();
  return report.outcome != dev::OpenOutcome::GaveUp;
}

std::wstring documentPath;  // made before allocations fail
std::vector<dev::UnitKey> units;
std::vector<dev::PortAddress> ports;
std::set<std::wstring> files;
std::vector<std::wstring> names;
std::wstring text;
dev::UnitDetails unit;
dev::SetDetails set;
// Arguments, made before allocations fail.
const CString two(L"two.so");
std::wstring iniPath;
const wchar_t* const feature = L"DEV_SOME_FEATURE";
const std::wstring colour(L"colour"), a(L"a"), b(L"b"), first(L"first"), second(L"second"), one(L"one.so"), none;

const Case kCases[] = {
    {"open", [](auto*) { return Close(dev::CreateXMLFile()); }, true},
    {"open a missing document", [](auto*) { return Close(dev::CreateXMLFile()); }, true,
     [](ConfigDir& dir) { fs::remove(dir.DocumentPath()); }},
    {"open a damaged document", [](auto*) { return Close(dev::CreateXMLFile()); }, true,
     [](ConfigDir& dir) { dir.Write("kvoDevice.xml", "<Devices><UnitList>"); }},
    {"read-only openings",
     [](auto*) { return Close(dev::OpenXMLFileReadOnly()), dev::DryRunOpen(), dev::ReadDocumentContent(documentPath).read; },
     true},
    {"history and restore",
     [](auto*) {
       for (const dev::HistoryVersion& version : dev::ListHistory()) {
         dev::RestoreExposure(version.path);
         dev::SaveReport report;
         dev::RestoreXMLFile(version.path, &report);
       }
       return true;
     },
     true, [](ConfigDir& dir) { dir.Open()->AddUnit({5, 0}); }},
    {"queries",
     [](auto* io) {
       io->GetUnitList(units, true), io->ExistsUnit({1, 0}), io->GetUnitPorts({1, 0}, ports), io->GetDriverFiles(files);
       dev::IDeviceEditor& editor = Editor(io);
       editor.GetUnit({1, 0}, unit), editor.GetSets(names), editor.GetSet(a, set), editor.GetActiveSet(text);
       return dev::GetOpenReport(io), dev::GetLastSaveReport(io), true;
     }},
    {"AddUnit", [](auto* io) { return io->AddUnit({3, 0}); }},
    {"RemoveUnit", [](auto* io) { return io->RemoveUnit({1, 0}); }},
    {"UnlinkUnitPort", [](auto* io) { return io->UnlinkUnitPort({1, 0}, {dev::PortSerial, 1}); }},
    {"AddDriverFile", [](auto* io) { return io->AddDriverFile(two); }},
    {"ClearDriverFiles", [](auto* io) { return io->ClearDriverFiles(); }},
    {"LinkUnitPort", [](auto* io) { return Editor(io).LinkUnitPort({2, 0}, {dev::PortSerial, 2}); }},
    {"RemovePort", [](auto* io) { return Editor(io).RemovePort({dev::PortSerial, 1}); }},
    {"SetUnitText", [](auto* io) { return Editor(io).SetUnitText({2, 0}, dev::UnitText::Model, L"Stage 2"); }},
    {"SetUnitSetup", [](auto* io) { return Editor(io).SetUnitSetup({2, 0}, dev::UnitSetup::Exclude); }},
    {"CreateSet", [](auto* io) { return Editor(io).CreateSet(b, second); }},
    {"SetSetComment", [](auto* io) { return Editor(io).SetSetComment(a, first); }},
    {"AddSetMember", [](auto* io) { return Editor(io).AddSetMember(a, {2, 0}); }},
    {"RemoveSetMember", [](auto* io) { return Editor(io).RemoveSetMember(a, {1, 0}); }},
    {"SetActiveSet", [](auto* io) { return Editor(io).SetActiveSet(none); }},
    {"RemoveDriverFile", [](auto* io) { return Editor(io).RemoveDriverFile(one); }},
    {"RepairLinks", [](auto* io) { return dev::RepairLinks(io) >= 0; }},
    {"device information",
     [](auto*) {
       dev::dynInfo::IExtendedDeviceInfo* info = dev::dynInfo::GetExtendedDeviceInfo();
       if (info == nullptr) return false;
       info->Load(iniPath.c_str());
       std::uint32_t code = 0;
       bool on = false;
       info->GetDeviceIDs(), info->GetSectionName(dev::id{1201}), info->GetAuxiliaryText(dev::id{1201}, 0, code, text);
       info->GetTags(), info->GetDevicesByTag(colour), info->GetPositions(dev::id{1201}), info->GetDevicesAtPosition(2);
       info->GetRTCTrigger(dev::id{1201}, on), info->GetProcessingEnabled(dev::id{1201}, tro::cam::Shading, on);
       return dev::dynInfo::IsCamAdapterEnabled(dev::id{1201}, tro::cam::Whitebalance);
     },
     true,
     [](ConfigDir& dir) {
       dir.Write("cameras.ini", "[Colour camera]\nID=1201\nTag=colour\nPosition=1,2\nuseShading=1\n");
       iniPath = dir.Path("cameras.ini").wstring();
     }},
    {"data directory and switches",
     [](auto*) {
       ssnSetDataDir(ssnGetDataDir(1).c_str());
       pkg::setFeatureEnabled(feature, pkg::isFeatureEnabled(feature));
       return true;
     },
     true},
    {"merge with another writer's save", [](auto* io) { return io->AddUnit({3, 0}); }, false,
     [](ConfigDir& dir) { dir.Open()->AddUnit({4, 0}); }},
};

void PrintTo(const Case& test, std::ostream* out) { *out << test.name; }

class Faults : public ::testing::TestWithParam<Case> {};

// The files a run may change, and the document as the run's own save left it.
struct Files {
  std::string document, backup, schema;
  std::size_t versions = 0;
  std::optional<std::string> saved;  // when the operation and that save answered true
};

Files Read(const ConfigDir& dir) {
  const fs::path history = dir.Path("kvoDevice.history");
  return {dir.Read("kvoDevice.xml"), dir.Read("kvoDevice.xml.bak"), dir.Read("kvoDevice.xsd"),
          fs::exists(history) ? static_cast<std::size_t>(testsupport::EntryCount(history)) : 0,
          std::nullopt};
}

// What fails: the `n`-th allocation (`error` 0) or the `n`-th file call with
// `error`; `n` -1: nothing, -2: nothing, and `run` is left out.
struct Fault {
  int error;
  long n;
};

// The files after `run` with `fault`, and a change of the object's own saved
// after it, so that whatever `run` left in the object is written; `reached`
// tells whether the failing call was made.
Files RunOnce(const Case& test, Fault fault, bool& reached) {
  ConfigDir dir(ConfigDir::Document(kBody));
  Close(dev::CreateXMLFile());  // the library's own form, and a schema
  documentPath = dir.DocumentPath().wstring();
  dev::IDeviceManagerIO* io = test.opensItself ? nullptr : dev::CreateXMLFile();
  test.prepare(dir);
  ::testing::internal::CaptureStderr();  // libxml2 says on standard error where memory ran out
  std::optional<testsupport::FaultyFileSystem> files;
  if (fault.error != 0 && fault.n >= 0) files.emplace(fault.n + 1, fault.error);
  allocationsLeft = fault.error == 0 ? fault.n : -1;
  bool answered = true, saved = false;
  try {
    if (fault.n != -2) answered = test.run(io);
    if (io != nullptr) saved = io->Save();
  } catch (...) {
    allocationsLeft = -1;
    ADD_FAILURE() << "an exception left the library";
  }
  reached = files ? files->failed() : allocationsLeft < 0;
  allocationsLeft = -1;
  files.reset();
  const std::string printed = ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(fault.error == 0 || printed.empty()) << "the library wrote to the host's standard error";
  Files result = Read(dir);
  if (io != nullptr) {
    if (answered && saved) result.saved = result.document;
    EXPECT_EQ(dev::GetLastSaveReport(io).failed, !saved);
    EXPECT_TRUE(io->AddUnit({7, 0}) && io->Save()) << "the object is left unusable";
    io->Release();
  }
  EXPECT_EQ(dir.Temporaries(), std::vector<std::string>{}) << "a temporary file was left";
  const std::optional<std::string> savedByRun = result.saved;
  result = Read(dir);
  result.saved = savedByRun;
  return result;
}

// Every allocation, then every file call with each errno, failing in turn.
TEST_P(Faults, NothingEscapesNothingIsLost) {
  const Case& test = GetParam();
  bool reached = false;
  const Files before = RunOnce(test, {0, -2}, reached), after = RunOnce(test, {0, -1}, reached);
  const auto either = [](const auto& result, const auto& one, const auto& other) {
    return result == one || result == other;
  };
  allocationsLeft = 0;
  const bool injected = [] {
    try {
      ::operator delete(::operator new(16));
      return false;
    } catch (const std::bad_alloc&) {
      return true;
    }
  }();
  allocationsLeft = -1;
  if (!injected) std::printf("a memory checker replaced operator new: allocations do not fail here\n");
  for (const int error : {0, EIO, ENOSPC, EACCES}) {
    reached = error != 0 || injected;
    for (long n = 0; reached; ++n) {
      SCOPED_TRACE(std::string(test.name) + (error == 0 ? ", allocation " : ", file call ") + std::to_string(n) +
                   " failing with errno " + std::to_string(error));
      const Files result = RunOnce(test, {error, n}, reached);
      EXPECT_PRED3(either, result.document, before.document, after.document);
      EXPECT_PRED3(either, result.backup, before.backup, after.backup);
      EXPECT_EQ(result.schema, before.schema);
      EXPECT_PRED3(either, result.versions, before.versions, after.versions);
      EXPECT_TRUE(!result.saved || result.saved == after.saved) << "a change and its save answered true, not on disk";
      if (::testing::Test::HasFailure()) return;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryEntryPoint, Faults, ::testing::ValuesIn(kCases),
                         [](const auto& info) {
                           std::string name = info.param.name;
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

}  // namespace
