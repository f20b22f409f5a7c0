// Writers that share one data directory never lose each other's changes: each
// configuration object makes its own operations again on the document as it
// is on disk when it saves, so the last release no longer wins.
#include <gtest/gtest.h>
#include <kvodevice/ConfigurationContent.h>
#include <kvodevice/ConfigurationFile.h>
#include <kvodevice/Host.h>
#include <kvodevice/IDeviceEditor.h>
#include <kvodevice/IDeviceManagerIO.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "tests/support/ConfigDir.h"
#include "tests/support/XmlListing.h"

namespace {

namespace fs = std::filesystem;
using Names = std::set<std::string>;

constexpr int kProcesses = 4, kSessions = 100;
constexpr unsigned kSeed = 20261206;
// Units every process changes: U200x0..3.
constexpr std::uint16_t kShared = 200, kSharedUnits = 4;
const std::string kSharedPrefix = "U" + std::to_string(kShared) + "x";

// Unit ids and driver file names of the saved document, which must validate;
// the shared units are left out.
std::optional<Names> NamesOnDisk(const fs::path& path) {
  const dev::DocumentContent content = dev::ReadDocumentContent(path.wstring());
  if (!content.valid) return std::nullopt;
  Names names;
  for (const auto& unit : content.units)
    if (const std::string id = testsupport::Narrow(unit.id); !id.starts_with(kSharedPrefix)) names.insert(id);
  for (const auto& driver : content.drivers) names.insert(testsupport::Narrow(driver.file));
  return names;
}

// Each process works on names of its own (units U10<p>x0..15, driver files
// p<p>-...), so its own sessions decide everything it sees there. A session
// goes to the parent as "<op><name><answer>..." before its save, and "D" once
// its release returned: a confirmed session is on disk. Lines are short single
// writes, and a whole log fits in the pipe, so no child ever waits.
// Half the sessions also set the model of a shared unit, or remove or add
// it again, while others may remove it. Such a session always saves, and its
// "D" is followed by "t" when the save dropped the model, and by "!" for any
// other drop or when what the save wrote contradicts what it said.
[[noreturn]] void RunSessions(int process, int out) {
  std::mt19937 random(kSeed + process);
  for (int session = 0; session < kSessions; ++session) {
    dev::IDeviceManagerIO* io = dev::CreateXMLFile();
    std::string line;
    for (int op = 1 + static_cast<int>(random() % 3); op > 0; --op) {
      const dev::UnitKey key{static_cast<std::uint16_t>(100 + process), static_cast<std::uint16_t>(random() % 16)};
      const std::string unit = std::string("U").append(std::to_string(key.device)).append("x").append(std::to_string(key.index));
      const std::wstring driver = L"p" + std::to_wstring(process) + L"-" + std::to_wstring(session) + L"-" + std::to_wstring(op);
      // Appended piece by piece: g++ 12 warns falsely (-Wrestrict) on "a" + text.
      switch (random() % 3) {
        case 0: line.append(" a").append(unit).append(io->AddUnit(key) ? "+" : "-"); break;
        case 1: line.append(" r").append(unit).append(io->RemoveUnit(key) ? "+" : "-"); break;
        default: line.append(" a").append(driver.begin(), driver.end()).append(io->AddDriverFile(driver) ? "+" : "-");
      }
    }
    const bool shares = random() % 2 == 0;
    std::optional<std::pair<dev::UnitKey, std::wstring>> modelSet;
    if (shares) {
      const dev::UnitKey key{kShared, static_cast<std::uint16_t>(random() % kSharedUnits)};
      const std::wstring model = L"p" + std::to_wstring(process) + L"s" + std::to_wstring(session);
      if (random() % 3 == 0)
        static_cast<void>(io->ExistsUnit(key) ? io->RemoveUnit(key) : io->AddUnit(key));
      else if (dev::GetDeviceEditor(io)->SetUnitText(key, dev::UnitText::Model, model.c_str()))
        modelSet.emplace(key, model);
      std::this_thread::sleep_for(std::chrono::milliseconds(random() % 5));  // room for another writer
    }
    line += "\n";
    if (::write(out, line.data(), line.size()) < 0) ::_exit(3);
    std::string confirmed = "F";
    if (!shares && random() % 2 != 0) {  // half the other sessions only release
      confirmed = "D";
    } else if (io->Save()) {
      confirmed = "D";
      for (const std::wstring& dropped : dev::GetLastSaveReport(io).dropped)
        confirmed += dropped.starts_with(L"SetUnitText " + std::wstring(kSharedPrefix.begin(), kSharedPrefix.end()))
                         ? 't' : '!';
      // What the save wrote holds the model unless the save said it dropped it.
      if (modelSet) {
        constexpr auto kModel = static_cast<std::size_t>(dev::UnitText::Model);
        dev::UnitDetails details;
        const bool written = dev::GetDeviceEditor(io)->GetUnit(modelSet->first, details) && details.has[kModel] &&
                             details.text[kModel] == modelSet->second;
        if (written == (confirmed.find('t') != std::string::npos)) confirmed += '!';
      }
    }
    io->Release();
    confirmed += "\n";
    if (::write(out, confirmed.data(), confirmed.size()) < 0) ::_exit(3);
  }
  ::_exit(0);  // no destructors: the parent's directory must stay
}

// Applies one session's operations on its own names to `model`; false when an
// answer the process got contradicts it.
bool Apply(const std::string& session, Names& model) {
  std::istringstream ops(session);
  bool agrees = true;
  for (std::string op; ops >> op;) {
    if (op[0] != 'a' && op[0] != 'r') continue;
    const std::string name = op.substr(1, op.size() - 2);
    const bool answer = op[0] == 'a' ? model.insert(name).second : model.erase(name) == 1;
    agrees = agrees && answer == (op.back() == '+');
  }
  return agrees;
}

TEST(Concurrency, ProcessesKilledAtRandomLoseNoChanges) {
  testsupport::ConfigDir dir;
  std::string shared = "<UnitList>";
  for (int i = 0; i < kSharedUnits; ++i)
    shared += "<Unit UnitID=\"" + kSharedPrefix + std::to_string(i) + "\"/>";
  dir.WriteDocument(shared + "</UnitList><Sets><ActiveSet Name=\"\"/></Sets>");  // sets: no removal saves at once
  dir.Open().reset();
  std::mt19937 random(kSeed);
  pid_t pids[kProcesses];
  int pipes[kProcesses];
  for (int p = 0; p < kProcesses; ++p) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ASSERT_GE(pids[p] = ::fork(), 0);
    if (pids[p] == 0) RunSessions(p, ends[1]);
    ::close(ends[1]);
    pipes[p] = ends[0];
  }
  // One or two processes are killed at a random moment of their run.
  for (int victim = 1 + static_cast<int>(random() % 2); victim > 0; --victim) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20 + random() % 200));
    ::kill(pids[random() % kProcesses], SIGKILL);
  }

  // Each process's confirmed sessions, in order, make its part of the model.
  // A killed process may have died in its last session's save: that session
  // may or may not be on disk, so the model stands with and without it.
  std::vector<Names> models{{}};
  int completed = 0, kills = 0;
  for (int p = 0; p < kProcesses; ++p) {
    int status = 0;
    ::waitpid(pids[p], &status, 0);
    const bool killed = WIFSIGNALED(status);
    kills += killed ? 1 : 0;
    EXPECT_TRUE(killed || WEXITSTATUS(status) == 0);
    std::string log;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipes[p], buffer, sizeof buffer)) > 0;) log.append(buffer, static_cast<std::size_t>(n));
    ::close(pipes[p]);
    std::istringstream lines(log);
    Names own, pending;
    for (std::string session, confirmed; std::getline(lines, session);) {
      pending = own;
      EXPECT_TRUE(Apply(session, pending)) << "process " << p << " got answers its own sessions contradict";
      if (!std::getline(lines, confirmed)) break;
      EXPECT_EQ(confirmed[0], 'D') << "a save failed";
      EXPECT_EQ(confirmed.find_first_not_of("t", 1), std::string::npos)
          << "a save dropped a change of its own, or wrote other than it said";
      own = pending;
      ++completed;
    }
    EXPECT_TRUE(killed || own == pending);
    std::vector<Names> next;
    for (const Names& model : models)
      for (const Names* part : {&own, &pending}) {
        next.push_back(model);
        next.back().insert(part->begin(), part->end());
      }
    models = std::move(next);
  }

  const std::optional<Names> onDisk = NamesOnDisk(dir.DocumentPath());
  ASSERT_TRUE(onDisk) << "the document does not load or breaks the schema";
  std::size_t lost = onDisk->size() + models[0].size();  // names in one and not the other, for the nearest model
  for (const Names& model : models) {
    std::vector<std::string> difference;
    std::set_symmetric_difference(model.begin(), model.end(), onDisk->begin(), onDisk->end(),
                                  std::back_inserter(difference));
    lost = std::min(lost, difference.size());
  }
  EXPECT_EQ(lost, 0u) << completed << " sessions completed";
  EXPECT_GT(kills, 0);

  dir.Open().reset();  // the next open removes what killed saves left
  EXPECT_FALSE(fs::exists(dir.Path("kvoDevice.xml.bak")));
  EXPECT_EQ(dir.Temporaries(), std::vector<std::string>{});
}

}  // namespace

// Two data directories whose documents link to the same file serialise on the
// lock beside that file: every acknowledged change of either stays.
TEST(Concurrency, TwoDataDirectoriesOnOneDocument) {
  const testsupport::TempDir root;
  fs::create_directory(root.path() / "shared");
  root.Write("shared/config.xml", testsupport::ConfigDir::Document(""));
  constexpr int kAdds = 100;
  pid_t pids[2];
  for (int p = 0; p < 2; ++p) {
    const fs::path data = root.path() / ("data" + std::to_string(p));
    fs::create_directory(data);
    fs::create_symlink(root.path() / "shared/config.xml", data / "kvoDevice.xml");
    ASSERT_GE(pids[p] = ::fork(), 0);
    if (pids[p] == 0) {
      ssnSetDataDir(data.wstring().c_str());
      int acknowledged = 0;
      for (int i = 0; i < kAdds; ++i) {
        dev::IDeviceManagerIO* io = dev::CreateXMLFile();
        acknowledged += io->AddUnit({static_cast<std::uint16_t>(800 + p), static_cast<std::uint16_t>(i)}) && io->Save();
        io->Release();
      }
      ::_exit(acknowledged == kAdds ? 0 : 1);
    }
  }
  for (const pid_t pid : pids) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a save failed";
  }
  const std::optional<Names> units = NamesOnDisk(root.path() / "shared/config.xml");
  ASSERT_TRUE(units);
  EXPECT_EQ(units->size(), 2u * kAdds) << "acknowledged units were lost";
  EXPECT_TRUE(fs::is_symlink(root.path() / "data0/kvoDevice.xml"));
}
