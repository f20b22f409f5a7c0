// Every file call of an opening, a recovery and a save failing in turn, with
// EIO, ENOSPC and EACCES: the document and its backup are never lost, a save
// that answers true is on disk, nothing is left behind, and the library
// writes nothing to standard error.
#include <gtest/gtest.h>
#include <kvodevice/ConfigurationFile.h>

#include <filesystem>
#include <functional>
#include <set>

#include "tests/support/ConfigDir.h"
#include "platform/xml/Dom.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/XmlListing.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ConfigDir;
using testsupport::ConfigPtr;
using Units = std::set<std::string>;

const std::string kValid = ConfigDir::Document("<UnitList><Unit UnitID=\"U1x0\"/></UnitList>");
const std::string kDamaged = kValid.substr(0, 150);

// The units of the document on disk, validated; nullopt when it does not load.
std::optional<Units> UnitsOnDisk(const ConfigDir& dir) {
  platform::xml::Document document = platform::xml::Document::Create();
  if (!document.Load(dir.DocumentPath().wstring())) return std::nullopt;
  Units units;
  for (const platform::xml::Node& unit : document.DocumentElement().SelectNodes(L"UnitList/Unit"))
    units.insert(testsupport::Narrow(*unit.GetAttribute(L"UnitID")));
  return units;
}

bool LeftTemporaries(const ConfigDir& dir) {
  for (const auto& entry : fs::directory_iterator(dir.Path(".")))
    if (entry.path().filename().string().find(".tmp-") != std::string::npos) return true;
  return false;
}

// Runs `scenario` once for every file call it makes, failing that call, for
// each errno; `scenario` checks what must hold whatever failed.
void ForEveryFault(const std::function<void(ConfigDir&, testsupport::FaultyFileSystem&)>& scenario) {
  ::testing::internal::CaptureStderr();  // the library's messages must not reach the host's
  for (const int error : {EIO, ENOSPC, EACCES}) {
    for (int failAt = 1;; ++failAt) {
      SCOPED_TRACE("call " + std::to_string(failAt) + " fails with errno " + std::to_string(error));
      ConfigDir dir;
      testsupport::FaultyFileSystem files(failAt, error);
      scenario(dir, files);
      if (!files.failed()) break;  // every call of the scenario has failed once
      if (::testing::Test::HasFailure()) break;
    }
  }
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST(FileFaults, SaveAfterAChange) {
  ForEveryFault([](ConfigDir& dir, testsupport::FaultyFileSystem& files) {
    files.Stop();
    dir.Write("kvoDevice.xml", kValid);
    dir.Open().reset();  // writes the schema
    files.Start();
    ConfigPtr io = dir.Open();
    const bool gaveUp = dev::GetOpenReport(io.get()).outcome == dev::OpenOutcome::GaveUp;
    const bool added = io->AddUnit({2, 0});
    const bool failedBefore = files.failed();
    const bool saved = io->Save();
    files.Stop();
    // A step the new file depends on failed: the save must say so.
    const std::set<std::string> essential{"Write", "Rename", "Fchmod", "Flock"};
    if (!failedBefore && essential.contains(files.failedCall())) {
      EXPECT_FALSE(saved) << files.failedCall();
    }
    EXPECT_NE(gaveUp, added);
    const std::optional<Units> units = UnitsOnDisk(dir);
    ASSERT_TRUE(units) << "the document was lost";
    EXPECT_EQ(*units, (saved ? Units{"U1x0", "U2x0"} : Units{"U1x0"}));
    EXPECT_EQ(dev::GetLastSaveReport(io.get()).failed, !saved);
    io.reset();  // the release writes what the failed save could not
    if (gaveUp) {
      EXPECT_EQ(dir.Read("kvoDevice.xml"), kValid) << "an opening that gave up changed the file";
    }
    EXPECT_EQ(*UnitsOnDisk(dir), (gaveUp ? Units{"U1x0"} : Units{"U1x0", "U2x0"}));
    EXPECT_FALSE(fs::exists(dir.Path("kvoDevice.xml.bak"))) << "a file that could not be read was taken as damaged";
    EXPECT_FALSE(LeftTemporaries(dir));
  });
}

TEST(FileFaults, SaveMergingAnotherWritersChange) {
  ForEveryFault([](ConfigDir& dir, testsupport::FaultyFileSystem& files) {
    files.Stop();
    dir.Write("kvoDevice.xml", kValid);
    ConfigPtr first = dir.Open();
    first->AddUnit({2, 0});
    dir.Open()->AddUnit({3, 0});  // another writer saves first
    files.Start();
    const bool saved = first->Save();
    files.Stop();
    EXPECT_EQ(*UnitsOnDisk(dir), (saved ? Units{"U1x0", "U2x0", "U3x0"} : Units{"U1x0", "U3x0"}));
    first.reset();  // the release merges and writes what the failed save could not
    EXPECT_EQ(*UnitsOnDisk(dir), (Units{"U1x0", "U2x0", "U3x0"}));
    EXPECT_FALSE(fs::exists(dir.Path("kvoDevice.xml.bak")));
    EXPECT_FALSE(LeftTemporaries(dir));
  });
}

// An opening that replaces a damaged document, or writes the first one.
TEST(FileFaults, OpeningThatWrites) {
  for (const std::optional<std::string>& initial : {std::optional<std::string>(kDamaged), std::optional<std::string>()}) {
    ForEveryFault([&](ConfigDir& dir, testsupport::FaultyFileSystem& files) {
      if (initial) dir.Write("kvoDevice.xml", *initial);
      dir.Open().reset();
      files.Stop();
      const bool backedUp = fs::exists(dir.Path("kvoDevice.xml.bak"));
      EXPECT_TRUE(!backedUp || (initial && dir.Read("kvoDevice.xml.bak") == *initial)) << "a wrong backup";
      if (fs::exists(dir.DocumentPath()) && dir.Read("kvoDevice.xml") != initial.value_or("")) {
        EXPECT_EQ(backedUp, initial.has_value()) << "the damaged file was replaced without a backup";
        EXPECT_EQ(UnitsOnDisk(dir), Units{}) << "the default document is not whole";
      }
      EXPECT_FALSE(LeftTemporaries(dir));
    });
  }
}

}  // namespace
