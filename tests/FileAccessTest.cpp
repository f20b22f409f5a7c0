// What the files go through besides damage: documents and schemas that cannot
// be read, permissions and owners that saves and backups keep, and linked
// documents.
#include <gtest/gtest.h>
#include <kvodevice/ConfigurationFile.h>
#include <kvodevice/IDeviceEditor.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <optional>

#include "tests/support/ConfigDir.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/XmlListing.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ConfigDir;
using testsupport::FaultyFileSystem;
using testsupport::LinkStat;
using testsupport::Mode;

const std::string kValid = ConfigDir::Document("<UnitList><Unit UnitID=\"U1x0\"/></UnitList>");

// Every query and change of an object whose opening gave up answers false, and empties what it fills.
void ExpectNothingLoaded(dev::IDeviceManagerIO& io) {
  std::vector<dev::UnitKey> units{{1, 2}};
  std::set<std::wstring> files{L"x"};
  std::vector<dev::PortAddress> ports{{2, 2}};
  EXPECT_FALSE(io.GetUnitList(units, false) || io.GetDriverFiles(files) || io.GetUnitPorts({1, 0}, ports));
  EXPECT_TRUE(units.empty() && files.empty());
  EXPECT_EQ(ports.size(), 1u);
  for (const bool answer : {io.ExistsUnit({1, 0}), io.AddUnit({2, 2}), io.RemoveUnit({1, 0}),
                            io.UnlinkUnitPort({1, 0}, {dev::PortSerial, 1}), io.AddDriverFile(L"a.dll"), io.ClearDriverFiles(),
                            dev::GetDeviceEditor(&io)->CreateSet(L"s", L"")})
    EXPECT_FALSE(answer);
  EXPECT_EQ(dev::LastFailureKind(&io), dev::Failure::NoDocument);
  EXPECT_EQ(dev::LastFailure(&io), L"no document is loaded: " + dev::GetOpenReport(&io).reason);
  std::vector<dev::LinkRepair> repairs(1);
  EXPECT_FALSE(io.Save() || dev::RepairLinks(&io, false, repairs));
  EXPECT_TRUE(repairs.empty() && dev::LastFailureKind(&io) == dev::Failure::NoDocument);
}

// A schema is the library's own file: one that is damaged or cannot be read is
// written anew and read again; when it still cannot be read, or cannot be
// written, the document is not known to be damaged: nothing is loaded, every
// operation answers false, and the document is left as it was. (Documents that
// cannot be read: FaultTest.)
TEST(FileAccess, SchemaThatCannotBeRead) {
  const std::string schema = [] {
    const ConfigDir fresh;
    fresh.Open().reset();
    return fresh.Read("kvoDevice.xsd");
  }();
  const struct {
    const char* call;  // "": none fails
    int times;         // how many of these calls fail; -1: all
    bool loads;
  } cases[] = {{"", 0, true}, {"Open", 1, true}, {"Read", 1, true}, {"Read", -1, false}, {"Rename", -1, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.call) + " x" + std::to_string(c.times));
    ConfigDir dir(kValid);
    dir.Write("kvoDevice.xsd", "<xs:schema");
    {
      FaultyFileSystem faults(c.call, "kvoDevice.xsd", EIO, c.times);
      const testsupport::ConfigPtr io = dir.Open();
      const dev::OpenReport report = dev::GetOpenReport(io.get());
      EXPECT_EQ(report.outcome, c.loads ? dev::OpenOutcome::Loaded : dev::OpenOutcome::GaveUp);
      EXPECT_TRUE(!c.loads || report.schemaWritten);
      EXPECT_EQ(io->AddUnit({2, 0}), c.loads);
      if (!c.loads) ExpectNothingLoaded(*io);
    }
    EXPECT_FALSE(fs::exists(dir.Path("kvoDevice.xml.bak")));
    EXPECT_EQ(dir.Read("kvoDevice.xml") == kValid, !c.loads);
    EXPECT_TRUE(!c.loads || dir.Read("kvoDevice.xsd") == schema);
  }
}

// Opening removes the temporary files of killed saves, recognised by their
// whole name, and nothing else.
TEST(FileAccess, OpeningRemovesOnlyAbandonedTemporaries) {
  const struct {
    const char* name;
    bool removed;
  } cases[] = {{".kvoDevice.xml.tmp-Ab3xYz", true},  {".kvoDevice.xsd.tmp-000000", true},
               {".kvoDevice.xml.bak.tmp-zzzzzz", true}, {".kvoDevice.xml.tmp-Ab3xY", false},
               {".kvoDevice.xml.tmp-Ab3xYz0", false}, {".kvoDevice.xml.tmq-Ab3xYz", false},
               {"_kvoDevice.xml.tmp-Ab3xYz", false}};
  ConfigDir dir(kValid);
  for (const auto& c : cases) dir.Write(c.name, "x");
  dir.Open().reset();
  for (const auto& c : cases) EXPECT_NE(fs::exists(dir.Path(c.name)), c.removed) << c.name;
}

// A replaced file keeps its mode, owner and group; a backup is never more
// readable than the document; new files get 0666 less the umask; a save that
// cannot examine the old file fails rather than give the new one other permissions.
TEST(FileAccess, PermissionsAndOwnersAreKept) {
  const bool root = ::geteuid() == 0;
  ConfigDir dir(kValid);
  const fs::path document = dir.DocumentPath();
  ::chmod(document.c_str(), 0640);
  ASSERT_TRUE(!root || ::chown(document.c_str(), 65534, 65534) == 0);
  dir.Open()->AddUnit({2, 0});
  EXPECT_EQ(Mode(document), 0640u);
  EXPECT_TRUE(!root || (LinkStat(document).st_uid == 65534u && LinkStat(document).st_gid == 65534u));

  {
    const testsupport::ConfigPtr io = dir.Open();
    FaultyFileSystem faults("Lstat", "kvoDevice.xml", EIO);
    io->AddUnit({3, 0});
    EXPECT_FALSE(io->Save());
    EXPECT_EQ(dev::GetLastSaveReport(io.get()).systemError, EIO);
    EXPECT_TRUE(dev::LastFailureKind(io.get()) == dev::Failure::SaveFailed &&
                dev::LastFailure(io.get()) == dev::GetLastSaveReport(io.get()).reason);
    EXPECT_FALSE(io->AddUnit({3, 0}));
    EXPECT_EQ(dev::LastFailure(io.get()), L"U3x0 is listed already") << "a later failure is not the save's";
    faults.Stop();
  }
  EXPECT_EQ(Mode(document), 0640u);

  dir.Write("kvoDevice.xml", "<Devices");
  ::chmod(document.c_str(), 0600);
  dir.Open().reset();
  EXPECT_EQ(Mode(dir.Path("kvoDevice.xml.bak")), 0600u);

  ConfigDir fresh;
  const mode_t old = ::umask(077);
  fresh.Open().reset();
  ::umask(old);
  for (const char* name : {"kvoDevice.xml", "kvoDevice.xsd", "kvoDevice.lock"})
    EXPECT_EQ(Mode(fresh.Path(name)), 0600u) << name;
}

// Times as a file system that stamps in coarse steps gives them: every file
// keeps the same times, set ahead of the clock, so a rewrite within one step
// looks like the file it replaced but for its content.
class CoarseTimes : public platform::FileSystem {
 public:
  CoarseTimes() : real_(platform::SetFileSystem(this)) {}
  ~CoarseTimes() override { platform::SetFileSystem(real_); }
  int Stat(const char* p, struct stat* s) override { return Pinned(real_->Stat(p, s), s); }
  int Fstat(int fd, struct stat* s) override { return Pinned(real_->Fstat(fd, s), s); }
  int Fstatat(int d, const char* n, struct stat* s, int f) override { return Pinned(real_->Fstatat(d, n, s, f), s); }

 private:
  static int Pinned(int result, struct stat* s) {
    s->st_mtim = s->st_ctim = {std::time(nullptr) / 3600 * 3600 + 7200, 0};
    return result;
  }
  platform::FileSystem* real_;
};

// Another writer rewrites the file in place with as many bytes, at once: the
// host sees it, after saves of its own too, and merges rather than writes over
// it; on a file system whose times move in coarse steps too.
TEST(FileAccess, ARewriteThatKeepsTheFilesSizeAndTimesIsSeen) {
  for (const auto& [refresh, coarseTimes] : {std::pair{false, false}, {true, false}, {false, true}, {true, true}}) {
    SCOPED_TRACE(std::string(refresh ? "refresh" : "save") + (coarseTimes ? ", coarse times" : ""));
    ConfigDir dir(ConfigDir::Document("<UnitList><Unit UnitID=\"U1x0\"><Model>Stage</Model></Unit><Unit UnitID=\"U1x1\"/></UnitList>"));
    std::optional<CoarseTimes> coarse;
    if (coarseTimes) coarse.emplace();
    testsupport::ConfigPtr io = dir.Open();
    dev::IDeviceEditor& editor = *dev::GetDeviceEditor(io.get());
    for (const wchar_t* model : {L"a", L"b"}) {
      ASSERT_TRUE(editor.SetUnitText({1, 1}, dev::UnitText::Model, model) && io->Save());
      EXPECT_FALSE(dev::IsStale(io.get()));
    }
    std::string theirs = dir.Read("kvoDevice.xml");
    theirs.replace(theirs.find("Stage"), 5, "Stagf");
    dir.Write("kvoDevice.xml", theirs);  // in place: the same file
    EXPECT_TRUE(dev::IsStale(io.get()));
    ASSERT_TRUE(refresh ? dev::Refresh(io.get(), nullptr) : editor.SetUnitSetup({1, 1}, dev::UnitSetup::Exclude) && io->Save());
    dev::UnitDetails stage;
    ASSERT_TRUE(editor.GetUnit({1, 0}, stage));
    EXPECT_EQ(stage.textOf(dev::UnitText::Model), L"Stagf");
    EXPECT_NE(dir.Read("kvoDevice.xml").find("Stagf"), std::string::npos);
  }
}

}  // namespace
