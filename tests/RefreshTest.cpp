// A host that holds a configuration while others change the document: it can
// tell (IsStale), take their changes in (Refresh) and learn what of its own no
// longer applies, or throw its own away (DiscardChanges).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <kvodevice/ConfigurationFile.h>
#include <kvodevice/ConfigurationWatch.h>
#include <kvodevice/Host.h>
#include <kvodevice/IDeviceEditor.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <chrono>
#include <functional>
#include <thread>

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

// Rewrites the document where it is, as an editor that saves in place does
// (ConfigDir::Write truncates and writes the file it finds).
void RewriteInPlace(const ConfigDir& dir, const std::string& bytes) { dir.Write("kvoDevice.xml", bytes); }

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
      {"kvodev adds, links and joins a set, another object removes a unit; the host changed nothing",
       [](auto&, auto&) {},
       [](const ConfigDir& dir) {
         Kvodev(dir, "units add U1202x0");
         Kvodev(dir, "link U1202x0 COM4");
         Kvodev(dir, "sets add Fluo U1202x0");
         const auto other = dir.Open();
         EXPECT_TRUE(other->RemoveUnit({303, 1}) && other->AddDriverFile(L"a.dll") && other->Save());
       },
       "+U1202x0 -U303x1 +COM4 +a.dll ~Fluo", {}, {}, {"U303x0", "U1202x0"}},
      {"an editor rewrites the file in place, without the set the host chose",
       [](dev::IDeviceManagerIO& io, dev::IDeviceEditor& e) {
         EXPECT_TRUE(io.AddUnit({5, 0}));
         EXPECT_TRUE(e.SetActiveSet(L"Fluo"));
         EXPECT_TRUE(e.SetUnitSetup({303, 0}, dev::UnitSetup::Exclude));
       },
       [](const ConfigDir& dir) {
         RewriteInPlace(dir, ConfigDir::Document(kUnits + "<Sets><ActiveSet Name=\"\"/></Sets>"));
       },
       "-Fluo ~active", {L"SetActiveSet \"Fluo\": the set \"Fluo\" is no longer there"},
       {L"AddUnit U5x0", L"SetUnitSetup U303x0 exclude"}, {"U303x0", "U303x1", "U5x0"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ConfigDir dir(ConfigDir::Document(kUnits + kSets));
    testsupport::ConfigPtr io = dir.Open();
    c.host(*io, *dev::GetDeviceEditor(io.get()));
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
    EXPECT_EQ(testsupport::UnitIds(dir.DocumentPath()), c.finalUnits);
  }
}

// Each kind of change replayed on a file that no longer has the unit, port, set
// or driver file it names changes nothing there: it is dropped with the reason,
// or, where its effect is there already, simply gone.
TEST(Refresh, AChangeOnWhatIsGoneChangesNothing) {
  // The document, and each part of it that another writer may take away.
  const auto document = [](bool unit1, bool com3, bool drivers, const std::string& sets) {
    return "<UnitList><Unit UnitID=\"U303x0\"><Model>Stage</Model>" +
           std::string(com3 ? "<LinkedInterface ItemID=\"COM3\"/>" : "") + "</Unit>" +
           (unit1 ? "<Unit UnitID=\"U303x1\"/>" : "") + "</UnitList>" +
           (com3 ? "<Interfaces><Serial><ComPort PortNo=\"COM3\"><LinkedUnit ItemID=\"U303x0\"/></ComPort></Serial>"
                   "</Interfaces>" : "") +
           (drivers ? "<DriverList><File>a.dll</File></DriverList>" : "") + sets;
  };
  const std::string noSets = "<Sets><ActiveSet Name=\"\"/></Sets>";
  const std::string full = document(true, true, true, kSets), noUnit = document(false, true, true, kSets);
  const std::string noPort = document(true, false, true, noSets), noSet = document(true, true, true, noSets);
  const std::string noDriver = document(true, true, false, kSets);
  const std::string newSet = document(true, true, true, "<Sets><ActiveSet Name=\"\"/><Set Name=\"New\"><Comment/></Set></Sets>");
  const struct {
    std::function<bool(dev::IDeviceManagerIO&, dev::IDeviceEditor&)> change;
    const std::string* other;
    std::wstring dropped;  // empty: nothing to say
  } cases[] = {
      {[](auto&, auto& e) { return e.SetUnitText({303, 1}, dev::UnitText::Model, L"m"); }, &noUnit,
       L"SetUnitText U303x1 Model: U303x1 is no longer listed"},
      {[](auto&, auto& e) { return e.SetUnitSetup({303, 1}, dev::UnitSetup::Exclude); }, &noUnit,
       L"SetUnitSetup U303x1: U303x1 is no longer listed"},
      {[](auto&, auto& e) { return e.LinkUnitPort({303, 1}, {dev::PortSerial, 4}); }, &noUnit,
       L"LinkUnitPort U303x1 COM4: U303x1 is no longer listed"},
      {[](auto&, auto& e) { return e.AddSetMember(L"Fluo", {303, 1}); }, &noUnit,
       L"AddSetMember \"Fluo\" U303x1: U303x1 is no longer listed"},
      {[](auto&, auto& e) { return e.AddSetMember(L"Fluo", {303, 1}); }, &noSet,
       L"AddSetMember \"Fluo\" U303x1: the set \"Fluo\" is no longer there"},
      {[](auto&, auto& e) { return e.SetSetComment(L"Fluo", L"d"); }, &noSet,
       L"SetSetComment \"Fluo\": the set \"Fluo\" is no longer there"},
      {[](auto&, auto& e) { return e.SetActiveSet(L"Fluo"); }, &noSet,
       L"SetActiveSet \"Fluo\": the set \"Fluo\" is no longer there"},
      {[](auto&, auto& e) { return e.CreateSet(L"New", L"mine"); }, &newSet,
       L"CreateSet \"New\": another writer made a set \"New\""},
      {[](auto&, auto& e) { return e.RemoveSetMember(L"Fluo", {303, 0}); }, &noSet, L""},
      {[](auto& io, auto&) { return io.RemoveUnit({303, 1}); }, &noUnit, L""},
      {[](auto& io, auto&) { return io.UnlinkUnitPort({303, 0}, {dev::PortSerial, 3}); }, &noPort, L""},
      {[](auto&, auto& e) { return e.RemovePort({dev::PortSerial, 3}); }, &noPort, L""},
      {[](auto&, auto& e) { return e.RemoveDriverFile(L"A.DLL"); }, &noDriver, L""},
  };
  for (const auto& c : cases) {
    ConfigDir dir(ConfigDir::Document(full));
    testsupport::ConfigPtr io = dir.Open();
    ASSERT_TRUE(c.change(*io, *dev::GetDeviceEditor(io.get())));
    const Lines pending = dev::PendingChanges(io.get());
    SCOPED_TRACE(testsupport::Narrow(pending.back()));
    RewriteInPlace(dir, ConfigDir::Document(*c.other));
    const std::string theirs = dir.Read("kvoDevice.xml");
    ASSERT_TRUE(dev::Refresh(io.get(), nullptr));
    EXPECT_EQ(dev::GetLastSaveReport(io.get()).dropped, c.dropped.empty() ? Lines{} : Lines{c.dropped});
    EXPECT_EQ(dev::PendingChanges(io.get()), Lines{}) << "it changed the document";
    io.reset();
    EXPECT_EQ(dir.Read("kvoDevice.xml"), theirs) << "the release wrote";
  }
}

// A damaged file met by a refresh is reported and left as it is; the host
// keeps its document and its changes, and its save later keeps the damaged
// file as the backup, as an opening would. Discarded changes are never
// written: the file keeps its bytes, its inode and its time stamps.
TEST(Refresh, ADamagedFileIsLeftAloneAndDiscardedChangesAreNeverWritten) {
  ConfigDir dir(ConfigDir::Document(kUnits + kSets));
  testsupport::ConfigPtr io = dir.Open();
  EXPECT_TRUE(io->AddUnit({5, 0}));
  RewriteInPlace(dir, "<Devices><UnitList>");
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
  EXPECT_EQ(testsupport::UnitIds(dir.DocumentPath()), (std::vector<std::string>{"U303x0", "U303x1", "U5x0"}));

  const std::string before = dir.Read("kvoDevice.xml");
  const struct stat was = testsupport::LinkStat(dir.DocumentPath());
  EXPECT_TRUE(io->AddUnit({7, 0}) && io->RemoveUnit({303, 1}) && dev::GetDeviceEditor(io.get())->CreateSet(L"New", L"n"));
  EXPECT_EQ(dev::PendingChanges(io.get()), (Lines{L"AddUnit U7x0", L"RemoveUnit U303x1", L"CreateSet \"New\" \"n\""}));
  EXPECT_TRUE(dev::DiscardChanges(io.get()));
  EXPECT_TRUE(dev::PendingChanges(io.get()).empty());
  EXPECT_TRUE(!io->ExistsUnit({7, 0}) && io->ExistsUnit({303, 1}));
  io.reset();
  const struct stat now = testsupport::LinkStat(dir.DocumentPath());
  EXPECT_EQ(dir.Read("kvoDevice.xml"), before);
  EXPECT_EQ(std::tie(now.st_ino, now.st_mtim.tv_sec, now.st_mtim.tv_nsec), std::tie(was.st_ino, was.st_mtim.tv_sec, was.st_mtim.tv_nsec));
}

struct WatchReleaser {
  void operator()(dev::IConfigurationWatch* watch) const { watch->Release(); }
};
using WatchPtr = std::unique_ptr<dev::IConfigurationWatch, WatchReleaser>;

bool ReadableWithin(int fd, std::chrono::milliseconds wait) {
  pollfd ready{fd, POLLIN, 0};
  return ::poll(&ready, 1, static_cast<int>(wait.count())) == 1;
}

void SaveUnit(const ConfigDir& dir, dev::UnitKey key) {
  const testsupport::ConfigPtr io = dir.Open();
  EXPECT_TRUE(io->AddUnit(key) && io->Save());
}

// Each way the document changes wakes the host once, within a second; what
// only touches the files beside it never does; a directory that cannot be
// watched is asked instead.
TEST(Watch, EveryChangeOfTheDocumentWakesTheHostOnce) {
  ConfigDir dir(ConfigDir::Document(kUnits));
  dir.Open().reset();  // the schema and the lock are there before the watch starts
  const WatchPtr watch(dev::WatchConfiguration());
  ASSERT_NE(watch, nullptr);
  ASSERT_EQ(std::pair(watch->Descriptor() >= 0, watch->SystemError()), std::pair(true, 0));
  const struct {
    const char* name;
    std::function<void(const ConfigDir&)> change;
    bool wakes;
    bool readable = wakes;  // a temporary that goes may wake the loop in vain
  } cases[] = {
      {"an object that opens and changes nothing", [](const ConfigDir& d) { d.Open().reset(); }, false},
      {"the lock file and the history",
       [](const ConfigDir& d) {
         d.Write("kvoDevice.lock", ""), fs::create_directories(d.Path("kvoDevice.history"));
         d.Write("kvoDevice.history/1.xml", "<Devices/>");
       },
       false},
      {"a temporary made and removed",
       [](const ConfigDir& d) { d.Write("kvoDevice.xml.tmp", "<Devices/>"), fs::remove(d.Path("kvoDevice.xml.tmp")); },
       false, true},
      {"a save", [](const ConfigDir& d) { SaveUnit(d, {1, 0}); }, true},
      {"kvodev", [](const ConfigDir& d) { Kvodev(d, "units add U2x0"); }, true},
      {"an editor that rewrites in place", [](const ConfigDir& d) { RewriteInPlace(d, ConfigDir::Document(kUnits)); }, true},
      {"a rename over the document",
       [](const ConfigDir& d) { d.Write("new.xml", ConfigDir::Document(kSets)), fs::rename(d.Path("new.xml"), d.DocumentPath()); },
       true},
      {"a removal", [](const ConfigDir& d) { fs::remove(d.DocumentPath()); }, true},
      {"a file made where there was none", [](const ConfigDir& d) { d.Write("kvoDevice.xml", ConfigDir::Document(kSets)); }, true},
      {"an editor that rewrites the new file in place",
       [](const ConfigDir& d) { RewriteInPlace(d, ConfigDir::Document(kUnits)); }, true},
      {"a restore",
       [](const ConfigDir& d) {
         d.Write("copy.xml", ConfigDir::Document(kUnits));
         EXPECT_TRUE(dev::RestoreXMLFile(d.Path("copy.xml").wstring(), nullptr));
       },
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.change(dir);
    EXPECT_EQ(ReadableWithin(watch->Descriptor(), std::chrono::milliseconds(c.readable ? 1000 : 100)), c.readable);
    EXPECT_EQ(watch->Changed(), c.wakes);
    EXPECT_FALSE(watch->Changed()) << "drained";
    EXPECT_FALSE(ReadableWithin(watch->Descriptor(), std::chrono::milliseconds(0)));
  }

  // A burst: however the host drains, the last save is never missed.
  for (int i = 0; i < 10; ++i) SaveUnit(dir, {10, static_cast<std::uint16_t>(i)});
  EXPECT_TRUE(ReadableWithin(watch->Descriptor(), std::chrono::seconds(1)));
  EXPECT_TRUE(watch->Changed());
  EXPECT_FALSE(watch->Changed());
  std::thread writer([&dir] {
    for (int i = 0; i < 10; ++i) SaveUnit(dir, {11, static_cast<std::uint16_t>(i)});
  });
  int wakes = 0;
  std::uint16_t seen = 0;
  while (seen < 10 && ReadableWithin(watch->Descriptor(), std::chrono::seconds(5)))
    if (watch->Changed()) {
      ++wakes;
      const testsupport::ConfigPtr io = dir.Open();
      while (seen < 10 && io->ExistsUnit({11, seen})) ++seen;
    }
  writer.join();
  EXPECT_EQ(seen, 10) << "the host woke " << wakes << " times and saw every save";

  // A linked document is replaced where its target is, while a reader holds
  // the old file open (so that it is not deleted yet).
  fs::create_directory(dir.Path("elsewhere"));
  dir.Write("elsewhere/config.xml", ConfigDir::Document(kUnits));
  fs::remove(dir.DocumentPath());
  fs::create_symlink(dir.Path("elsewhere/config.xml"), dir.DocumentPath());
  const WatchPtr linked(dev::WatchConfiguration());
  const int reader = ::open(dir.Path("elsewhere/config.xml").c_str(), O_RDONLY);
  dir.Write("elsewhere/new.xml", ConfigDir::Document(""));
  fs::rename(dir.Path("elsewhere/new.xml"), dir.Path("elsewhere/config.xml"));
  EXPECT_TRUE(ReadableWithin(linked->Descriptor(), std::chrono::seconds(1)));
  EXPECT_TRUE(linked->Changed());
  ::close(reader);

  // Where the directory cannot be watched, the host asks now and then instead.
  ssnSetDataDir(dir.Path("later").wstring().c_str());
  const WatchPtr asking(dev::WatchConfiguration());
  ASSERT_NE(asking, nullptr);
  EXPECT_EQ(std::pair(asking->Descriptor(), asking->SystemError()), std::pair(-1, ENOENT));
  EXPECT_FALSE(asking->Changed());
  fs::create_directories(dir.Path("later"));
  dir.Write("later/kvoDevice.xml", ConfigDir::Document(kUnits));
  EXPECT_TRUE(asking->Changed());
  EXPECT_FALSE(asking->Changed());
}

// kvodev watch prints what another writer changed and ends cleanly on SIGTERM.
TEST(Watch, KvodevWatchPrintsEachChangeUntilStopped) {
  ConfigDir dir(ConfigDir::Document(kUnits));
  const std::string out = dir.Path("watch.out").string(), data = dir.Path(".").string();
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const char* argv[] = {KVODEV, "--data-dir", data.c_str(), "watch", nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, KVODEV, &files, nullptr, const_cast<char**>(argv), environ), 0);
  posix_spawn_file_actions_destroy(&files);
  // The watch may start after the first changes, which it then takes as they are.
  for (std::uint16_t i = 0; i < 50 && dir.Read("watch.out").find("+ unit U1202x") == std::string::npos; ++i) {
    Kvodev(dir, "units add U1202x" + std::to_string(i));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_EQ(::kill(pid, SIGTERM), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  const std::string printed = dir.Read("watch.out");
  EXPECT_EQ(printed.rfind("== ", 0), 0u) << printed;
  const std::size_t unit = printed.find("+ unit U1202x");
  ASSERT_NE(unit, std::string::npos) << printed;
  EXPECT_EQ(printed.find(" (line ", unit), printed.find_first_of(" ", unit + 13)) << printed;
}

}  // namespace
