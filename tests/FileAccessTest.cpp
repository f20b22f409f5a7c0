// What the files go through besides damage: documents and schemas that cannot
// be read, permissions and owners that saves and backups keep, and linked
// documents.
#include <gtest/gtest.h>
#include <kvodevice/ConfigurationFile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/ConfigDir.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/XmlListing.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ConfigDir;
using testsupport::FaultyFileSystem;

const std::string kValid = ConfigDir::Document("<UnitList><Unit UnitID=\"U1x0\"/></UnitList>");

struct stat StatOf(const fs::path& path) {
  struct stat st {};
  ::lstat(path.c_str(), &st);
  return st;
}

// A schema is the library's own file: one that cannot be read is written anew
// and read again; when it still cannot be read, the document is not known to
// be damaged, and the opening gives up without touching it. (Documents that
// cannot be read: FaultTest.)
TEST(FileAccess, SchemaThatCannotBeRead) {
  const struct {
    const char* call;
    int times;  // how many of these calls fail; -1: all
    dev::OpenOutcome outcome;
  } cases[] = {{"Open", 1, dev::OpenOutcome::Loaded},
               {"Read", 1, dev::OpenOutcome::Loaded},
               {"Read", -1, dev::OpenOutcome::GaveUp},
               {"Rename", -1, dev::OpenOutcome::GaveUp}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.call) + " x" + std::to_string(c.times));
    ConfigDir dir;
    dir.Write("kvoDevice.xml", kValid);
    dir.Write("kvoDevice.xsd", "<xs:schema");
    {
      FaultyFileSystem faults(c.call, "kvoDevice.xsd", EIO, c.times);
      const testsupport::ConfigPtr io = dir.Open();
      EXPECT_EQ(dev::GetOpenReport(io.get()).outcome, c.outcome);
      EXPECT_EQ(io->AddUnit({2, 0}), c.outcome == dev::OpenOutcome::Loaded);
    }
    EXPECT_FALSE(fs::exists(dir.Path("kvoDevice.xml.bak")));
    EXPECT_EQ(dir.Read("kvoDevice.xml") == kValid, c.outcome == dev::OpenOutcome::GaveUp);
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
  ConfigDir dir;
  dir.Write("kvoDevice.xml", kValid);
  for (const auto& c : cases) dir.Write(c.name, "x");
  dir.Open().reset();
  for (const auto& c : cases) EXPECT_NE(fs::exists(dir.Path(c.name)), c.removed) << c.name;
}

// A replaced file keeps its mode, owner and group; a backup is never more
// readable than the document; new files get 0666 less the umask; a save that
// cannot examine the old file fails rather than give the new one other permissions.
TEST(FileAccess, PermissionsAndOwnersAreKept) {
  const bool root = ::geteuid() == 0;
  ConfigDir dir;
  dir.Write("kvoDevice.xml", kValid);
  const fs::path document = dir.DocumentPath();
  ::chmod(document.c_str(), 0640);
  if (root) {
    ASSERT_EQ(::chown(document.c_str(), 65534, 65534), 0);
  }
  dir.Open()->AddUnit({2, 0});
  EXPECT_EQ(StatOf(document).st_mode & 07777, 0640u);
  if (root) {
    EXPECT_EQ(StatOf(document).st_uid, 65534u);
    EXPECT_EQ(StatOf(document).st_gid, 65534u);
  }

  {
    const testsupport::ConfigPtr io = dir.Open();
    FaultyFileSystem faults("Lstat", "kvoDevice.xml", EIO);
    io->AddUnit({3, 0});
    EXPECT_FALSE(io->Save());
    EXPECT_EQ(dev::GetLastSaveReport(io.get()).systemError, EIO);
    faults.Stop();
  }
  EXPECT_EQ(StatOf(document).st_mode & 07777, 0640u);

  dir.Write("kvoDevice.xml", "<Devices");
  ::chmod(document.c_str(), 0600);
  dir.Open().reset();
  const struct stat backup = StatOf(dir.Path("kvoDevice.xml.bak"));
  EXPECT_EQ(backup.st_mode & 07777, 0600u);

  ConfigDir fresh;
  const mode_t old = ::umask(077);
  fresh.Open().reset();
  ::umask(old);
  for (const char* name : {"kvoDevice.xml", "kvoDevice.xsd", "kvoDevice.lock"})
    EXPECT_EQ(StatOf(fresh.Path(name)).st_mode & 07777, 0600u) << name;
}

// A linked document stays linked: saves replace the link's target, in the
// target's directory. (Links that another user planted: HostileFilesTest.)
TEST(FileAccess, LinkedDocuments) {
  ConfigDir dir;
  fs::create_directory(dir.Path("real"));
  dir.Write("real/kvoDevice.xml", kValid);
  fs::create_symlink("real/kvoDevice.xml", dir.DocumentPath());
  dir.Open()->AddUnit({2, 0});
  EXPECT_TRUE(fs::is_symlink(dir.DocumentPath()));
  EXPECT_NE(dir.Read("real/kvoDevice.xml").find("U2x0"), std::string::npos);
}

}  // namespace
