// Files and people that do not cooperate: planted links, FIFOs, devices and
// huge files in place of the library's files, a link whose directory is
// swapped during saves, a lock that a reader or a stuck writer holds, and a
// history under failures and a clock that went back.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <kvodevice/ConfigurationFile.h>
#include <kvodevice/Host.h>
#include <kvodevice/IExtendedDeviceInfo.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "tests/support/ConfigDir.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/XmlListing.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ConfigDir;
using testsupport::LinkStat;
using testsupport::Mode;

constexpr uid_t kOther = 65534;
const std::string kValid = ConfigDir::Document("<UnitList><Unit UnitID=\"U1x0\"/></UnitList>");
const std::string kSecret = "root-only-secret-7f3a";

std::string Narrow(const std::wstring& text) { return testsupport::Narrow(text); }

// Every file's bytes under `dir` (not through links), for looking for a secret.
std::string AllBytes(const fs::path& dir) {
  std::string all;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    if (entry.is_regular_file() && !entry.is_symlink() && entry.file_size() < (1u << 20))
      all += testsupport::ReadFile(entry.path());
  return all;
}

// What a dry run and a read-only opening say.
std::string ReadOnlyReasons() {
  const std::string dryRun = Narrow(dev::DryRunOpen().reason);
  return dryRun + Narrow(dev::GetOpenReport(testsupport::ConfigPtr(dev::OpenXMLFileReadOnly()).get()).reason);
}

// Run as root in a data directory another user owns, with one of the
// library's names planted: every reading and writing call ends at once,
// changes nothing outside the data directory, and shows no secret.
TEST(HostileFiles, PlantedPaths) {
  if (::geteuid() != 0) GTEST_SKIP() << "planting another user's files needs root";
  const testsupport::ScopedEnv timeout("KVO_LOCK_TIMEOUT", "1");
  const testsupport::TempDir outside;
  const fs::path others = outside.path() / "others", rootOnly = outside.path() / "root-only";
  outside.Write("others", "<Devices>another user's file</Devices>");
  outside.Write("root-only", "<Devices><Unit>" + kSecret + "</Unit></Devices>");
  ASSERT_EQ(::chown(others.c_str(), kOther, kOther), 0);
  ::chmod(rootOnly.c_str(), 0600);
  const struct {
    const char* plant;
    std::function<void(const fs::path&)> make;
  } plants[] = {
      {"a link to another user's file", [&](const fs::path& p) { fs::create_symlink(others, p); }},
      {"a link to a root-only file", [&](const fs::path& p) { fs::create_symlink(rootOnly, p); }},
      {"a link to a directory", [&](const fs::path& p) { fs::create_directory_symlink(outside.path(), p); }},
      {"a FIFO", [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0644), 0); }},
      {"a link to /dev/zero", [](const fs::path& p) { fs::create_symlink("/dev/zero", p); }},
      {"a 2 GiB sparse file", [](const fs::path& p) { std::ofstream(p).close(), fs::resize_file(p, 2ull << 30); }},
  };
  for (const char* name : {"kvoDevice.xml", "kvoDevice.xsd", "kvoDevice.xml.bak", "kvoDevice.lock", "kvoDevice.history"})
    for (const auto& plant : plants) {
      SCOPED_TRACE(std::string(name) + " is " + plant.plant);
      ConfigDir dir;
      const fs::path data = dir.Path(".");
      dir.Write("kvoDevice.xml", kValid);
      dir.Open().reset();
      fs::remove_all(dir.Path(name));
      plant.make(dir.Path(name));
      ::lchown(dir.Path(name).c_str(), kOther, kOther);
      ASSERT_EQ(::chown(data.c_str(), kOther, kOther), 0);
      const bool documentPlanted = std::string(name) == "kvoDevice.xml";

      const auto started = std::chrono::steady_clock::now();
      ::testing::internal::CaptureStderr();
      std::string reports;
      {
        const testsupport::ConfigPtr io = dir.Open();
        reports += Narrow(dev::GetOpenReport(io.get()).reason);
        io->AddUnit({2, 0});
        EXPECT_FALSE(io->Save() && documentPlanted) << "written through a planted document";
        reports += Narrow(dev::GetLastSaveReport(io.get()).reason);
      }
      reports += ReadOnlyReasons();
      for (const dev::HistoryVersion& version : dev::ListHistory()) {
        dev::SaveReport restored;
        dev::RestoreXMLFile(version.path, &restored);
        reports += Narrow(restored.reason);
      }
      reports += ::testing::internal::GetCapturedStderr();
      EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5)) << "something waited";

      EXPECT_EQ(reports.find(kSecret), std::string::npos) << reports;
      EXPECT_EQ(AllBytes(data).find(kSecret), std::string::npos);
      EXPECT_EQ(testsupport::ReadFile(others), "<Devices>another user's file</Devices>");
      EXPECT_EQ(LinkStat(others).st_uid, kOther);
      EXPECT_NE(testsupport::ReadFile(rootOnly).find(kSecret), std::string::npos);
      EXPECT_EQ(Mode(rootOnly), 0600u);
      for (const auto& entry : fs::directory_iterator(outside.path()))
        EXPECT_TRUE(entry.path() == others || entry.path() == rootOnly) << "written outside: " << entry.path();
      if (!documentPlanted) {
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir.DocumentPath())));
        EXPECT_NE(dir.Read("kvoDevice.xml").find("U1x0"), std::string::npos) << "the document was lost";
      }
      fs::remove_all(dir.Path(name));
    }

  // INI files too: refused without waiting or reading.
  ::mkfifo((outside.path() / "cameras.ini").c_str(), 0644);
  fs::create_symlink("/dev/zero", outside.path() / "zero.ini");
  dev::dynInfo::IExtendedDeviceInfo* info = dev::dynInfo::GetExtendedDeviceInfo();
  ASSERT_NE(info, nullptr);
  for (const char* ini : {"cameras.ini", "zero.ini"}) info->Load((outside.path() / ini).wstring().c_str());
}

// Another user swaps the directory of its link's target with a link to a
// root-owned directory while root saves: the root-owned file is never touched.
TEST(HostileFiles, SymlinkRaceNeverReachesRootsFiles) {
  if (::geteuid() != 0) GTEST_SKIP() << "the race is between root and another user";
  ConfigDir dir;
  const testsupport::TempDir attacker, protectedDir;
  const fs::path own = attacker.path() / "own", swap = attacker.path() / "swap";
  fs::create_directory(own);
  attacker.Write("own/kvoDevice.xml", kValid);
  protectedDir.Write("kvoDevice.xml", "root's file");
  fs::create_directory_symlink(protectedDir.path(), swap);
  for (const fs::path& path : {attacker.path(), own, own / "kvoDevice.xml", swap}) ::lchown(path.c_str(), kOther, kOther);
  fs::create_symlink(own / "kvoDevice.xml", dir.DocumentPath());
  ::lchown(dir.DocumentPath().c_str(), kOther, kOther);

  std::atomic<bool> stop{false};
  std::thread swapper([&] {
    while (!stop) ::renameat2(AT_FDCWD, own.c_str(), AT_FDCWD, swap.c_str(), RENAME_EXCHANGE);
  });
  int acknowledged = 0;
  for (int save = 0; save < 200; ++save) {
    const testsupport::ConfigPtr io = dir.Open();
    acknowledged += io->AddUnit({static_cast<std::uint16_t>(save + 2), 0}) && io->Save();
  }
  stop = true;
  swapper.join();
  // Nor is the other user's own file written, even through a link of root's:
  // its directory is theirs to change.
  EXPECT_EQ(acknowledged, 0);
  const fs::path theirs = (fs::is_symlink(own) ? swap : own) / "kvoDevice.xml";
  fs::remove(dir.DocumentPath());
  fs::create_symlink(theirs, dir.DocumentPath());
  const testsupport::ConfigPtr io = dir.Open();
  EXPECT_FALSE(io->AddUnit({1000, 0}) && io->Save());
  EXPECT_EQ(testsupport::ReadFile(theirs), kValid);
  const fs::path victim = protectedDir.path() / "kvoDevice.xml";
  EXPECT_EQ(testsupport::ReadFile(victim), "root's file");
  EXPECT_EQ(LinkStat(victim).st_uid, 0u);
  EXPECT_EQ(testsupport::EntryCount(protectedDir.path()), 1);
}

// Only writers can take the lock: a reader that holds what it can holds
// nothing a writer waits for; a writer that keeps it makes the others fail
// with the reason once the wait is over.
TEST(HostileFiles, Lock) {
  ConfigDir dir(kValid);
  dir.Open().reset();
  const testsupport::ScopedEnv timeout("KVO_LOCK_TIMEOUT", "0.5");
  const fs::path lock = dir.Path("kvoDevice.lock");
  EXPECT_EQ(Mode(lock), 0600u) << "a 0644 document gets a 0600 lock";

  // An old lock file readable by all, held by a reader through every kind of lock.
  ::chmod(lock.c_str(), 0644);
  const int reader = ::open(lock.c_str(), O_RDONLY);
  struct flock shared {};
  shared.l_type = F_RDLCK;
  ASSERT_EQ(::fcntl(reader, F_SETLK, &shared), 0);
  ASSERT_EQ(::flock(reader, LOCK_SH), 0);
  {
    const testsupport::ConfigPtr io = dir.Open();
    EXPECT_EQ(dev::GetOpenReport(io.get()).outcome, dev::OpenOutcome::Loaded);
    EXPECT_TRUE(io->AddUnit({2, 0}));
    EXPECT_TRUE(io->Save()) << Narrow(dev::GetLastSaveReport(io.get()).reason);
  }
  ::close(reader);
  EXPECT_EQ(Mode(lock), 0600u);

  // A writer that keeps the lock: each open description locks on its own.
  const int writer = ::open(lock.c_str(), O_RDWR);
  struct flock exclusive {};
  exclusive.l_type = F_WRLCK;
  ASSERT_EQ(::fcntl(writer, F_OFD_SETLK, &exclusive), 0);
  const auto started = std::chrono::steady_clock::now();
  {
    const testsupport::ConfigPtr io = dir.Open();
    const dev::OpenReport report = dev::GetOpenReport(io.get());
    EXPECT_EQ(report.outcome, dev::OpenOutcome::GaveUp);
    EXPECT_NE(report.reason.find(L"another writer holds the lock"), std::wstring::npos) << Narrow(report.reason);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1500));
  // A read-only opening takes no lock.
  EXPECT_EQ(dev::GetOpenReport(testsupport::ConfigPtr(dev::OpenXMLFileReadOnly()).get()).outcome, dev::OpenOutcome::Loaded);
  ::close(writer);
}

// A schema, or the document, that names other files and URLs: none of them
// is opened (inotify sees no access), no connection is made, no text of them
// appears anywhere, and a schema that would read them makes the open give up.
TEST(HostileFiles, PlantedSchemaReadsNothing) {
  const testsupport::TempDir outside;
  const fs::path secret = outside.path() / "secret.xsd", fifo = outside.path() / "fifo.xsd";
  outside.Write("secret.xsd", "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\"><xs:element name=\"" + kSecret +
                                  "\"/></xs:schema>");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
  sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
  socklen_t length = sizeof address;
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 16), 0);
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  const std::string url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/x.xsd";
  const std::string xs = "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">";
  const std::string dtd = "<!DOCTYPE xs:schema [<!ENTITY e SYSTEM \"" + secret.string() + "\">]>";
  const struct {
    const char* what;
    std::string schema;  // as evil.xsd; empty: the document itself refers
  } cases[] = {
      {"include of a local file", xs + "<xs:include schemaLocation=\"" + secret.string() + "\"/></xs:schema>"},
      {"import of a URL", xs + "<xs:import namespace=\"urn:x\" schemaLocation=\"" + url + "\"/></xs:schema>"},
      {"redefine of a FIFO", xs + "<xs:redefine schemaLocation=\"" + fifo.string() + "\"/></xs:schema>"},
      {"override in an annotation", xs + "<xs:annotation><xs:override schemaLocation=\"" + url + "\"/></xs:annotation></xs:schema>"},
      {"external entity", dtd + xs + "<xs:annotation><xs:documentation>&e;</xs:documentation></xs:annotation></xs:schema>"},
      {"external parameter entity", "<!DOCTYPE s [<!ENTITY % p SYSTEM \"" + url + "\"> %p;]>" + xs + "</xs:schema>"},
      {"the document's external entity", ""},
  };
  for (const auto& plant : cases) {
    SCOPED_TRACE(plant.what);
    ConfigDir dir;
    const bool bySchema = !plant.schema.empty();
    std::string document = ConfigDir::Document("<UnitList><Unit UnitID=\"U1x0\"/></UnitList>");
    if (bySchema) {
      dir.Write("evil.xsd", plant.schema);
      document.replace(document.find("kvoDevice.xsd"), 13, "evil.xsd");
    } else {
      document.insert(document.find("<Devices"), "<!DOCTYPE Devices [<!ENTITY e SYSTEM \"" + secret.string() + "\">]>");
      document.insert(document.find("</UnitList>"), "<Unit UnitID=\"U2x0\"><UnitName>&e;</UnitName></Unit>");
    }
    dir.Write("kvoDevice.xml", document);
    const int watch = ::inotify_init1(IN_NONBLOCK);
    for (const fs::path& file : {secret, fifo}) ::inotify_add_watch(watch, file.c_str(), IN_OPEN | IN_ACCESS);

    ::testing::internal::CaptureStderr();
    const testsupport::ConfigPtr io = dir.Open();
    const dev::OpenReport opened = dev::GetOpenReport(io.get());
    std::string reports = Narrow(opened.reason) + ReadOnlyReasons();
    reports += ::testing::internal::GetCapturedStderr();

    char events[4096];
    EXPECT_LE(::read(watch, events, sizeof events), 0) << "a planted reference was opened";
    ::close(watch);
    EXPECT_LT(::accept(listener, nullptr, nullptr), 0) << "a connection was made";
    EXPECT_EQ(reports.find(kSecret), std::string::npos) << reports;
    EXPECT_EQ(AllBytes(dir.Path(".")).find(kSecret), std::string::npos);
    if (bySchema) {
      EXPECT_EQ(opened.outcome, dev::OpenOutcome::GaveUp);
      EXPECT_NE(reports.find("cannot use the schema"), std::string::npos) << reports;
      EXPECT_EQ(dir.Read("kvoDevice.xml"), document) << "a document not known to be damaged was replaced";
      EXPECT_FALSE(fs::exists(dir.Path("kvoDevice.xml.bak")));
    }
  }
  ::close(listener);
}

std::vector<std::wstring> VersionNames() {
  std::vector<std::wstring> names;
  for (const dev::HistoryVersion& version : dev::ListHistory()) names.push_back(fs::path(version.path).filename().wstring());
  return names;
}

// A version is kept only when its save replaced the document, once, in the
// order of keeping whatever the clock says; the folder and its entries are
// never used through links; a restore never loses the document it replaces.
TEST(HostileFiles, HistoryNeverLoses) {
  ConfigDir dir(kValid);
  for (std::uint16_t unit = 2; unit < 5; ++unit) dir.Open()->AddUnit({unit, 0});
  for (const int error : {ENOSPC, EPERM, EROFS}) {
    SCOPED_TRACE(error);
    const std::vector<std::wstring> before = VersionNames();
    const testsupport::ConfigPtr io = dir.Open();
    io->AddUnit({static_cast<std::uint16_t>(10 + error), 0});
    const testsupport::FaultyFileSystem faults("Rename", "kvoDevice.xml", error);
    EXPECT_FALSE(io->Save());
    EXPECT_FALSE(io->Save());
    EXPECT_EQ(VersionNames(), before) << "a failed save changed the history";
  }
  // A document the same as the newest version is not kept twice.
  const std::size_t kept = VersionNames().size();
  dir.Write("kvoDevice.xml", testsupport::ReadFile(fs::path(dev::ListHistory().back().path)));
  dir.Open()->AddUnit({5, 0});
  EXPECT_EQ(VersionNames().size(), kept);

  // Twenty versions named by a clock that was ahead: the new one is the newest, the oldest goes.
  const testsupport::ScopedEnv history("KVO_HISTORY", "5");
  for (int i = 0; i < 5; ++i)
    dir.Write("kvoDevice.history/20991231T2359" + std::to_string(10 + i) + ".000000000Z-save.xml", kValid);
  const std::string replaced = dir.Read("kvoDevice.xml");
  dir.Open()->AddUnit({10, 0});
  const std::vector<dev::HistoryVersion> versions = dev::ListHistory();
  ASSERT_EQ(versions.size(), 5u);
  EXPECT_EQ(testsupport::ReadFile(fs::path(versions.back().path)), replaced);
  EXPECT_GT(versions.back().time, L"20991231T235914.000000000Z");

  // Entries that are not regular files are never counted, read or restored.
  ConfigDir elsewhere;
  elsewhere.Write("secret.xml", kValid);
  ::chmod(elsewhere.Path("secret.xml").c_str(), 0600);
  const fs::path planted = dir.Path("kvoDevice.history/20991231T235959.000000000Z-save.xml");
  fs::create_symlink(elsewhere.Path("secret.xml"), planted);
  ssnSetDataDir(dir.Path(".").wstring().c_str());
  EXPECT_EQ(dev::ListHistory().size(), 5u);
  dev::SaveReport report;
  EXPECT_FALSE(dev::RestoreXMLFile(planted.wstring(), &report));

  // The folder itself as a link: not used, and the save says so.
  fs::rename(dir.Path("kvoDevice.history"), dir.Path("moved"));
  fs::create_directory_symlink(dir.Path("moved"), dir.Path("kvoDevice.history"));
  {
    const testsupport::ConfigPtr io = dir.Open();
    EXPECT_TRUE(io->AddUnit({200, 0}));
    EXPECT_TRUE(io->Save());
    EXPECT_NE(dev::GetLastSaveReport(io.get()).reason.find(L"not kept in the history"), std::wstring::npos);
  }
  EXPECT_EQ(testsupport::EntryCount(dir.Path("moved")), 6);

  // History off: a restore would lose the current document, so it is refused.
  history.Set("0");
  const std::string current = dir.Read("kvoDevice.xml");
  EXPECT_FALSE(dev::RestoreXMLFile(dir.Path("moved").wstring() + L"/" + fs::path(versions.back().path).filename().wstring(), &report));
  EXPECT_NE(report.reason.find(L"history is off"), std::wstring::npos);
  EXPECT_EQ(dir.Read("kvoDevice.xml"), current);
}

}  // namespace
