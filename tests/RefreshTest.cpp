// A host that holds a configuration while others change the document: it can
// tell (IsStale), take their changes in (Refresh) and learn what of its own no
// longer applies, or throw its own away (DiscardChanges).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <kvodevice/ConfigurationFile.h>
#include <kvodevice/Host.h>
#include <kvodevice/IDeviceEditor.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "tests/support/ConfigDir.h"
#include "tests/support/XmlListing.h"

namespace {

using testsupport::ConfigDir;
namespace fs = std::filesystem;
using Lines = std::vector<std::wstring>;

const std::string kUnits =
    "<UnitList><Unit UnitID=\"U303x0\"><Model>Stage</Model><LinkedInterface ItemID=\"COM3\"/></Unit>"
    "<Unit UnitID=\"U303x1\"/></UnitList>"
    "<Interfaces><Serial><ComPort PortNo=\"COM3\"><LinkedUnit ItemID=\"U303x0\"/></ComPort></Serial></Interfaces>";
const std::string kSets =
    "<Sets><ActiveSet Name=\"\"/><Set Name=\"Fluo\"><Comment>c</Comment><LinkedUnit ItemID=\"U303x0\"/></Set></Sets>";

// What the host sees differently, in short: "+U1202x0 -U303x1 ~U303x0 +COM4 +a.dll ~Fluo active".
std::string Summary(const dev::DocumentChanges& c) {
  std::string text;
  const auto add = [&text](char mark, const std::wstring& name) {
    text.append(text.empty() ? "" : " ").append(1, mark).append(testsupport::Narrow(name));
  };
  for (const auto& u : c.units.added) add('+', u.id);
  for (const auto& u : c.units.removed) add('-', u.id);
  for (const auto& u : c.units.changed) add('~', u.b.id);
  for (const auto& p : c.ports.added) add('+', p.portNo);
  for (const auto& p : c.ports.removed) add('-', p.portNo);
  for (const auto& p : c.ports.changed) add('~', p.b.portNo);
  for (const auto& d : c.drivers.added) add('+', d.file);
  for (const auto& s : c.sets.added) add('+', s.name);
  for (const auto& s : c.sets.removed) add('-', s.name);
  for (const auto& s : c.sets.changed) add('~', s.b.name);
  if (c.activeSet) add('~', L"active");
  return text;
}

// Rewrites the file where it is, as an editor that saves in place does.
void RewriteInPlace(const fs::path& path, const std::string& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  ::close(fd);
}

void Kvodev(const ConfigDir& dir, const std::string& args) {
  const std::string command = "'" KVODEV "' --data-dir '" + dir.Path(".").string() + "' " + args + " >/dev/null";
  EXPECT_EQ(std::system(command.c_str()), 0) << args;
}

TEST(Refresh, TheHostSeesOtherWritersAndIsToldWhatItsChangesLost) {
  using Step = std::function<void(dev::IDeviceManagerIO&, dev::IDeviceEditor&)>;
  using Other = std::function<void(const ConfigDir&)>;
  const struct {
    const char* name;
    Step host;     // the host's own changes, made before the other writer's
    Other other;   // the other writer
    std::string changes;  // what Refresh says changed
    Lines dropped, pending;
    std::vector<std::string> finalUnits;  // on disk after the host's release
  } cases[] = {
      {"kvodev adds, links and joins a set; the host changed nothing",
       [](auto&, auto&) {},
       [](const ConfigDir& dir) {
         Kvodev(dir, "units add U1202x0");
         Kvodev(dir, "link U1202x0 COM4");
         Kvodev(dir, "sets add Fluo U1202x0");
       },
       "+U1202x0 +COM4 ~Fluo", {}, {}, {"U303x0", "U303x1", "U1202x0"}},
      {"another object removes the unit the host gave a model",
       [](auto&, dev::IDeviceEditor& e) {
         EXPECT_TRUE(e.SetUnitText({303, 1}, dev::UnitText::Model, L"Stage 2"));
         EXPECT_TRUE(e.AddSetMember(L"Fluo", {303, 1}));
       },
       [](const ConfigDir& dir) {
         const auto other = dir.Open();
         EXPECT_TRUE(other->RemoveUnit({303, 1}) && other->AddDriverFile(L"a.dll") && other->Save());
       },
       "-U303x1 +a.dll ~Fluo",
       {L"SetUnitText U303x1 Model: U303x1 is no longer listed", L"AddSetMember \"Fluo\" U303x1: U303x1 is no longer listed"},
       {}, {"U303x0"}},
      {"an editor rewrites the file in place, without the set the host chose",
       [](dev::IDeviceManagerIO& io, dev::IDeviceEditor& e) {
         EXPECT_TRUE(io.AddUnit({5, 0}));
         EXPECT_TRUE(e.SetActiveSet(L"Fluo"));
         EXPECT_TRUE(e.SetUnitSetup({303, 0}, dev::UnitSetup::Exclude));
       },
       [](const ConfigDir& dir) {
         RewriteInPlace(dir.DocumentPath(), ConfigDir::Document(kUnits + "<Sets><ActiveSet Name=\"\"/></Sets>"));
       },
       "-Fluo ~active", {L"SetActiveSet \"Fluo\": the set \"Fluo\" is no longer there"},
       {L"AddUnit U5x0", L"SetUnitSetup U303x0 exclude"}, {"U303x0", "U303x1", "U5x0"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ConfigDir dir;
    dir.WriteDocument(kUnits + kSets);
    testsupport::ConfigPtr io = dir.Open();
    dev::IDeviceEditor& editor = *dev::GetDeviceEditor(io.get());
    c.host(*io, editor);
    EXPECT_FALSE(dev::IsStale(io.get()));
    c.other(dir);
    EXPECT_TRUE(dev::IsStale(io.get()));

    const std::string onDisk = dir.Read("kvoDevice.xml");
    dev::DocumentChanges changes;
    ASSERT_TRUE(dev::Refresh(io.get(), &changes));
    EXPECT_EQ(Summary(changes), c.changes);
    EXPECT_EQ(dev::GetLastSaveReport(io.get()).dropped, c.dropped);
    EXPECT_EQ(dev::PendingChanges(io.get()), c.pending);
    EXPECT_FALSE(dev::IsStale(io.get()));
    EXPECT_EQ(dir.Read("kvoDevice.xml"), onDisk) << "a refresh writes nothing";
    EXPECT_TRUE(dev::Refresh(io.get(), &changes));
    EXPECT_EQ(Summary(changes), "") << "a second refresh sees nothing new";

    io.reset();
    const dev::DocumentContent saved = dev::ReadDocumentContent(dir.DocumentPath().wstring());
    EXPECT_TRUE(saved.valid);
    std::vector<std::string> units;
    for (const auto& unit : saved.units) units.push_back(testsupport::Narrow(unit.id));
    EXPECT_EQ(units, c.finalUnits);
  }
}

// A damaged file met by a refresh is reported and left as it is; the host
// keeps its document and its changes, and its save later keeps the damaged
// file as the backup, as an opening would.
TEST(Refresh, ADamagedFileIsReportedAndLeftAlone) {
  ConfigDir dir;
  dir.WriteDocument(kUnits);
  testsupport::ConfigPtr io = dir.Open();
  EXPECT_TRUE(io->AddUnit({5, 0}));
  RewriteInPlace(dir.DocumentPath(), "<Devices><UnitList>");
  dev::DocumentChanges changes;
  EXPECT_FALSE(dev::Refresh(io.get(), &changes));
  const dev::SaveReport report = dev::GetLastSaveReport(io.get());
  EXPECT_TRUE(report.failed);
  EXPECT_NE(report.reason.find(L"damaged"), std::wstring::npos) << testsupport::Narrow(report.reason);
  EXPECT_NE(report.reason.find(L"in line: 1"), std::wstring::npos) << testsupport::Narrow(report.reason);
  EXPECT_EQ(dir.Read("kvoDevice.xml"), "<Devices><UnitList>");
  EXPECT_FALSE(fs::exists(dir.Path("kvoDevice.xml.bak")));
  EXPECT_TRUE(io->ExistsUnit({303, 0}) && io->ExistsUnit({5, 0}));
  EXPECT_EQ(dev::PendingChanges(io.get()), Lines{L"AddUnit U5x0"});
  EXPECT_FALSE(dev::DiscardChanges(io.get()));
  EXPECT_EQ(dev::PendingChanges(io.get()), Lines{L"AddUnit U5x0"}) << "a failed discard keeps the changes";

  EXPECT_TRUE(io->Save());
  EXPECT_EQ(dir.Read("kvoDevice.xml.bak"), "<Devices><UnitList>");
  EXPECT_TRUE(dev::ReadDocumentContent(dir.DocumentPath().wstring()).valid);
}

// Discarded changes are never written: the file keeps its bytes, its inode
// and its time stamps through the release.
TEST(Refresh, DiscardThenReleaseWritesNothing) {
  ConfigDir dir;
  dir.WriteDocument(kUnits + kSets);
  dir.Open().reset();
  const std::string before = dir.Read("kvoDevice.xml");
  struct stat was {};
  ASSERT_EQ(::stat(dir.DocumentPath().c_str(), &was), 0);
  {
    testsupport::ConfigPtr io = dir.Open();
    dev::IDeviceEditor& editor = *dev::GetDeviceEditor(io.get());
    EXPECT_TRUE(io->AddUnit({7, 0}) && io->RemoveUnit({303, 1}) && editor.CreateSet(L"New", L"n"));
    EXPECT_EQ(dev::PendingChanges(io.get()),
              (Lines{L"AddUnit U7x0", L"RemoveUnit U303x1", L"CreateSet \"New\" \"n\""}));
    EXPECT_TRUE(dev::DiscardChanges(io.get()));
    EXPECT_TRUE(dev::PendingChanges(io.get()).empty());
    EXPECT_FALSE(io->ExistsUnit({7, 0}));
    EXPECT_TRUE(io->ExistsUnit({303, 1}));
  }
  struct stat now {};
  ASSERT_EQ(::stat(dir.DocumentPath().c_str(), &now), 0);
  EXPECT_EQ(dir.Read("kvoDevice.xml"), before);
  EXPECT_EQ(now.st_ino, was.st_ino);
  EXPECT_EQ(now.st_mtim.tv_nsec, was.st_mtim.tv_nsec);
  EXPECT_EQ(now.st_mtim.tv_sec, was.st_mtim.tv_sec);
}

}  // namespace
