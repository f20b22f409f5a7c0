// A process killed while it saves never leaves a torn document: the file is
// always a whole, valid version, the one before the interrupted save or the
// one after it, and the temporary files of killed saves do not pile up.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "platform/xml/Dom.h"
#include "tests/support/ConfigDir.h"

namespace {

namespace fs = std::filesystem;

int TemporaryFiles(const fs::path& dir) {
  int count = 0;
  for (const auto& entry : fs::directory_iterator(dir))
    count += entry.path().filename().string().starts_with(".kvoDevice.xml.tmp-") ? 1 : 0;
  return count;
}

// Adds units {1, n}, {1, n + 1}, ... and saves after each, until killed; says
// on `started` when the first save is done.
[[noreturn]] void SaveForever(int started) {
  dev::IDeviceManagerIO* io = dev::CreateXMLFile();
  std::vector<dev::UnitKey> units;
  io->GetUnitList(units, false);
  for (auto next = static_cast<std::uint16_t>(units.size());; ++next) {
    io->AddUnit({1, next});
    io->Save();
    if (started >= 0 && ::write(std::exchange(started, -1), "s", 1) < 0) ::_exit(3);
  }
}

TEST(CrashSafety, KilledSavesLeaveAWholeVersion) {
  testsupport::ConfigDir dir;
  dir.Open().reset();
  std::mt19937 random(20261206);
  std::size_t lastCount = 0;
  int kills = 0;
  for (; kills < 200; ++kills) {
    // The kill comes at a random moment after the child's first save, which
    // on a loaded machine may take longer than the saves after it.
    int started[2];
    ASSERT_EQ(::pipe(started), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) SaveForever(started[1]);
    ::close(started[1]);
    char byte;
    ASSERT_EQ(::read(started[0], &byte, 1), 1) << "the child ended before its first save";
    ::close(started[0]);
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 15000));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);

    // Whole and valid against the schema, with units {1, 0} .. {1, m - 1}.
    platform::xml::Document document = platform::xml::Document::Create();
    ASSERT_TRUE(document.Load(dir.DocumentPath().wstring())) << "after kill " << kills << ": "
                                                              << document.LastParseError().line;
    const platform::xml::NodeList units = document.DocumentElement().SelectNodes(L"UnitList/Unit");
    for (long i = 0; i < units.length(); ++i)
      ASSERT_EQ(*units.item(i).GetAttribute(L"UnitID"), L"U1x" + std::to_wstring(i)) << "after kill " << kills;
    ASSERT_GE(static_cast<std::size_t>(units.length()), lastCount) << "a saved version was lost";
    lastCount = static_cast<std::size_t>(units.length());
    ASSERT_LE(TemporaryFiles(dir.Path(".")), 1) << "temporary files pile up";
  }
  RecordProperty("versions", static_cast<int>(lastCount));
  EXPECT_EQ(kills, 200);
  EXPECT_GT(lastCount, 0u) << "no save completed: the kills came too early to test anything";
  EXPECT_FALSE(fs::exists(dir.Path("kvoDevice.xml.bak")));
  dir.Open().reset();  // the next open removes what killed saves left
  EXPECT_EQ(TemporaryFiles(dir.Path(".")), 0);
}

}  // namespace
