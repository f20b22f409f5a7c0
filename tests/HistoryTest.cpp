// Every replaced version of the document is kept in kvoDevice.history: the
// most recent N, never more readable than the document, at no cost to a save
// when it cannot be kept; a restore puts one back.
#include <gtest/gtest.h>
#include <kvodevice/ConfigurationContent.h>
#include <kvodevice/ConfigurationFile.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/support/ConfigDir.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/XmlListing.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ConfigDir;

std::vector<std::wstring> Reasons() {
  std::vector<std::wstring> reasons;
  for (const dev::HistoryVersion& version : dev::ListHistory()) reasons.push_back(version.reason);
  return reasons;
}

std::vector<std::wstring> UnitIds(const std::wstring& path) {
  std::vector<std::wstring> ids;
  for (const dev::UnitEntry& unit : dev::ReadDocumentContent(path).units) ids.push_back(unit.id);
  return ids;
}

TEST(History, KeepsTheMostRecentVersionsWithTheirReasons) {
  for (const int keep : {0, 3, 20}) {
    SCOPED_TRACE(keep);
    ::setenv("KVO_HISTORY", std::to_string(keep).c_str(), 1);
    ConfigDir dir;
    dir.Write("kvoDevice.xml", "<Devices");  // damaged: the recovery keeps it
    dir.Open().reset();
    EXPECT_EQ(Reasons(), keep == 0 ? std::vector<std::wstring>{} : std::vector<std::wstring>{L"recovery"});
    if (keep > 0) {
      EXPECT_EQ(testsupport::ReadFile(dev::ListHistory().front().path), "<Devices");
    }
    for (std::uint16_t i = 0; i < keep + 3; ++i) dir.Open()->AddUnit({1, i});
    const std::vector<dev::HistoryVersion> versions = dev::ListHistory();
    ASSERT_EQ(versions.size(), static_cast<std::size_t>(keep));
    if (keep == 0) continue;
    // The newest holds the units of the last save but one; the oldest kept follow on.
    EXPECT_EQ(UnitIds(versions.back().path).size(), static_cast<std::size_t>(keep + 2));
    EXPECT_TRUE(std::is_sorted(versions.begin(), versions.end(),
                               [](const auto& a, const auto& b) { return a.time < b.time; }));
  }
  ::unsetenv("KVO_HISTORY");
}

// A hard link where it can be, else a copy with the document's permissions;
// a history that cannot be kept costs the save nothing.
TEST(History, FailuresCostTheSaveNothing) {
  for (const char* call : {"", "Link", "Mkdir", "ListDirectory", "Unlink", "Rename"}) {
    SCOPED_TRACE(call);
    ConfigDir dir;
    dir.Open().reset();
    ::chmod(dir.DocumentPath().c_str(), 0600);
    struct stat before {};
    ::stat(dir.DocumentPath().c_str(), &before);
    {
      const testsupport::FaultyFileSystem faults(call, std::string(call) == "Rename" ? ".xml" : "", EIO);
      const testsupport::ConfigPtr io = dir.Open();
      io->AddUnit({1, 1});
      const bool historyOnly = std::string(call) != "Rename";
      EXPECT_EQ(io->Save(), historyOnly || std::string(call).empty());
    }
    const std::vector<dev::HistoryVersion> versions = dev::ListHistory();
    if (std::string(call) == "Mkdir" || std::string(call) == "Rename") continue;
    ASSERT_FALSE(versions.empty());
    struct stat kept {};
    ::stat(fs::path(versions.front().path).c_str(), &kept);
    EXPECT_EQ(kept.st_mode & 07777, 0600u);
    EXPECT_EQ(kept.st_ino == before.st_ino, std::string(call) != "Link") << "a link where it can be, else a copy";
  }
}

TEST(History, RestorePutsAVersionBackAndKeepsTheCurrentOne) {
  ConfigDir dir;
  dir.Open()->AddUnit({1, 0});
  dir.Open()->AddUnit({2, 0});
  const std::wstring version = dev::ListHistory().back().path;  // the document with U1x0 only
  dev::SaveReport report;
  ASSERT_TRUE(dev::RestoreXMLFile(version, &report)) << testsupport::Narrow(report.reason);
  EXPECT_EQ(testsupport::ReadFile(dir.DocumentPath()), testsupport::ReadFile(fs::path(version)));
  EXPECT_EQ(Reasons(), (std::vector<std::wstring>{L"save", L"save", L"restore"}));
  EXPECT_EQ(UnitIds(dev::ListHistory().back().path), (std::vector<std::wstring>{L"U1x0", L"U2x0"}));

  // A version that is not valid is refused, and nothing changes.
  dir.Write("bad.xml", ConfigDir::Document("<UnitList><Unit UnitID=\"U1x0\" setup=\"Exclude\"/></UnitList>"));
  const std::string current = dir.Read("kvoDevice.xml");
  EXPECT_FALSE(dev::RestoreXMLFile(dir.Path("bad.xml").wstring(), &report));
  EXPECT_TRUE(report.failed);
  EXPECT_EQ(dir.Read("kvoDevice.xml"), current);
  EXPECT_EQ(dev::ListHistory().size(), 3u);
}

}  // namespace
