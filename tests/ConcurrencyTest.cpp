// Writers that share one data directory never lose each other's changes: each
// configuration object replays its own operations onto the document as it is
// on disk when it saves, so the last release no longer wins.
#include <gtest/gtest.h>
#include <kvodevice/IDeviceManagerIO.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/xml/Dom.h"
#include "tests/support/ConfigDir.h"

namespace {

namespace fs = std::filesystem;
using Names = std::set<std::wstring>;

// The unit ids and driver file names of the saved document, which must load
// and validate against the schema.
struct OnDisk {
  bool valid = false;
  Names units, drivers;
};

OnDisk ReadDocument(const fs::path& path) {
  platform::xml::Document document = platform::xml::Document::Create();
  OnDisk disk;
  if (!(disk.valid = document.Load(path.wstring()))) return disk;
  for (const auto& unit : document.DocumentElement().SelectNodes(L"UnitList/Unit"))
    disk.units.insert(unit.GetAttribute(L"UnitID").value_or(L"<no id>"));
  for (const auto& file : document.DocumentElement().SelectNodes(L"DriverList/File")) disk.drivers.insert(file.Text());
  return disk;
}

// Each process works in a namespace of its own, so the operations of one
// process decide everything it sees there, whatever the others do meanwhile.
std::wstring UnitId(int process, int index) { return L"U" + std::to_wstring(100 + process) + L"x" + std::to_wstring(index); }
std::wstring Driver(int process, int session, int op) {
  return L"p" + std::to_wstring(process) + L"-s" + std::to_wstring(session) + L"-" + std::to_wstring(op) + L".so";
}

constexpr int kProcesses = 4;
constexpr int kSessions = 100;
constexpr unsigned kSeed = 20260301;

// A session is reported as "P <session> <op>..." before its save starts, each
// op being a|r|d (add unit, remove unit, add driver), a number and + or - for
// the answer, and confirmed by "D" (or "F" when Save answered false) once
// Release returned, so a confirmed session is on disk. Each line goes out in
// one write, under PIPE_BUF bytes, so a kill never tears one.
[[noreturn]] void RunSessions(int process, int out) {
  std::mt19937 random(kSeed + 1 + process);
  const auto send = [out](const std::string& line) {
    if (::write(out, line.data(), line.size()) != static_cast<ssize_t>(line.size())) ::_exit(3);
  };
  for (int session = 0; session < kSessions; ++session) {
    dev::IDeviceManagerIO* io = dev::CreateXMLFile();
    std::string line = "P " + std::to_string(session);
    for (int op = 0, ops = 1 + static_cast<int>(random() % 3); op < ops; ++op) {
      const auto index = static_cast<std::uint16_t>(random() % 16);  // small, so removals hit
      const dev::UnitKey key{static_cast<std::uint16_t>(100 + process), index};
      switch (random() % 3) {
        case 0: line += " a" + std::to_string(index) + (io->AddUnit(key) ? "+" : "-"); break;
        case 1: line += " r" + std::to_string(index) + (io->RemoveUnit(key) ? "+" : "-"); break;
        default: line += " d" + std::to_string(op) + (io->AddDriverFile(Driver(process, session, op)) ? "+" : "-");
      }
    }
    send(line + "\n");
    const bool saved = random() % 2 == 0 || io->Save();  // half the sessions only release
    io->Release();
    send(saved ? "D\n" : "F\n");
  }
  ::_exit(0);  // no destructors: the parent's ConfigDir must survive
}

// Replays one reported session onto `model` with the operations' meaning;
// counts the answers the process got that the model contradicts.
int Replay(int process, const std::string& line, Names& model) {
  std::istringstream in(line.substr(2));
  int session = 0, wrong = 0;
  in >> session;
  for (std::string op; in >> op;) {
    const int n = std::stoi(op.substr(1, op.size() - 2));
    bool answer = false;
    if (op[0] == 'a') answer = model.insert(UnitId(process, n)).second;
    if (op[0] == 'r') answer = model.erase(UnitId(process, n)) == 1;
    if (op[0] == 'd') answer = model.insert(Driver(process, session, n)).second;
    wrong += answer != (op.back() == '+') ? 1 : 0;
  }
  return wrong;
}

TEST(Concurrency, ProcessesKilledAtRandomLoseNoChanges) {
  RecordProperty("seed", static_cast<int>(kSeed));
  testsupport::ConfigDir dir;
  // A document with sets, so that no removal saves at once, and its schema.
  dir.WriteDocument("<Sets><ActiveSet Name=\"\"/></Sets>");
  dir.Open().reset();

  std::mt19937 random(kSeed);
  struct Child {
    pid_t pid = 0;
    int fd = -1;
    std::string log;
    int killAfter = kSessions + 1;  // confirmed sessions before the kill; beyond reach: never
    std::optional<std::chrono::steady_clock::time_point> killAt;
    int status = 0;
  };
  std::vector<Child> children;
  for (int p = 0; p < kProcesses; ++p) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    Child& child = children.emplace_back();
    child.fd = ends[0];
    ASSERT_GE(child.pid = ::fork(), 0);
    if (child.pid == 0) RunSessions(p, ends[1]);
    ::close(ends[1]);
  }
  // Kill one or two of them, each after a random number of confirmed sessions
  // and a random delay more, so the kill lands anywhere in a session.
  std::vector<int> order{0, 1, 2, 3};
  std::shuffle(order.begin(), order.end(), random);
  for (int v = 0, victims = 1 + static_cast<int>(random() % 2); v < victims; ++v)
    children[order[v]].killAfter = 1 + static_cast<int>(random() % (kSessions * 3 / 4));

  for (int open = kProcesses; open > 0;) {
    std::vector<pollfd> fds;
    for (const Child& child : children) fds.push_back({child.fd, POLLIN, 0});
    ::poll(fds.data(), fds.size(), 1);
    const auto now = std::chrono::steady_clock::now();
    for (std::size_t c = 0; c < children.size(); ++c) {
      Child& child = children[c];
      if (fds[c].revents != 0) {
        char buffer[4096];
        const ssize_t n = ::read(child.fd, buffer, sizeof buffer);
        if (n > 0) child.log.append(buffer, static_cast<std::size_t>(n));
        if (n <= 0) {  // the child is gone
          ::close(std::exchange(child.fd, -1));
          --open;
        }
      }
      // 'D' appears in the log in confirmations only.
      if (!child.killAt && std::count(child.log.begin(), child.log.end(), 'D') >= child.killAfter)
        child.killAt = now + std::chrono::microseconds(random() % 5000);
      if (child.killAt && now >= *child.killAt && child.killAfter <= kSessions) {
        ::kill(child.pid, SIGKILL);
        child.killAfter = kSessions + 1;
      }
    }
  }
  for (Child& child : children) ::waitpid(child.pid, &child.status, 0);

  // Each process's confirmed sessions, replayed in order, make its model. A
  // killed process may have died during its last session's save: that session
  // may or may not be on disk, so the model stands with and without it.
  std::vector<Names> models{Names{}};
  int completed = 0, kills = 0, wrongAnswers = 0;
  for (int p = 0; p < kProcesses; ++p) {
    const bool killed = WIFSIGNALED(children[p].status) && WTERMSIG(children[p].status) == SIGKILL;
    kills += killed ? 1 : 0;
    EXPECT_TRUE(killed || (WIFEXITED(children[p].status) && WEXITSTATUS(children[p].status) == 0)) << "process " << p;
    std::vector<std::string> lines;
    std::istringstream log(children[p].log);
    for (std::string line; std::getline(log, line);) lines.push_back(line);
    Names own;
    std::size_t i = 0;
    for (; i + 1 < lines.size(); i += 2, ++completed) {
      EXPECT_EQ(lines[i + 1], "D") << "process " << p << ", " << lines[i];
      wrongAnswers += Replay(p, lines[i], own);
    }
    Names pending = own;
    if (i < lines.size()) wrongAnswers += Replay(p, lines[i], pending);
    EXPECT_TRUE(killed || i == lines.size()) << "process " << p << " ended within a session";
    std::vector<Names> next;
    for (const Names& model : models)
      for (const Names* part : {&own, &pending}) {
        next.push_back(model);
        next.back().insert(part->begin(), part->end());
        if (own == pending) break;
      }
    models = std::move(next);
  }

  // The document is compared with the model nearest to it: what one lacks or
  // has more is a lost change (a removed unit that came back counts too).
  const OnDisk disk = ReadDocument(dir.DocumentPath());
  ASSERT_TRUE(disk.valid) << "the document does not load or breaks the schema";
  Names found = disk.units;
  found.insert(disk.drivers.begin(), disk.drivers.end());
  std::vector<std::wstring> best;
  for (std::size_t m = 0; m < models.size(); ++m) {
    std::vector<std::wstring> difference;
    std::set_symmetric_difference(models[m].begin(), models[m].end(), found.begin(), found.end(), std::back_inserter(difference));
    if (m == 0 || difference.size() < best.size()) best = std::move(difference);
  }
  RecordProperty("sessions_completed", completed);
  RecordProperty("kills", kills);
  RecordProperty("lost_changes", static_cast<int>(best.size()));
  EXPECT_GT(kills, 0) << "every victim ended before its kill";
  EXPECT_EQ(wrongAnswers, 0) << "answers contradict the process's own earlier sessions";
  std::string lost;  // the first few; the names are ASCII
  for (std::size_t k = 0; k < std::min<std::size_t>(best.size(), 20); ++k) lost.append(" ").append(best[k].begin(), best[k].end());
  EXPECT_TRUE(best.empty()) << best.size() << " lost changes (missing, or back though removed):" << lost;

  dir.Open().reset();  // the next open removes what killed saves left
  EXPECT_FALSE(fs::exists(dir.Path("kvoDevice.xml.bak")));
  for (const auto& entry : fs::directory_iterator(dir.Path(".")))
    EXPECT_FALSE(entry.path().filename().string().starts_with(".kvoDevice.xml.tmp-")) << entry.path();
}

// An object held open while another writer changes the document keeps that
// writer's change when released, whether it changed something itself or only
// read; the other writer is kvodev or a second object in the same process.
TEST(Concurrency, ReleaseKeepsChangesMadeWhileTheObjectWasOpen) {
  struct Case {
    const char* name;
    bool kvodev;       // the other writer: kvodev, else a second object here
    bool holderAdds;   // the held object adds U701x0, else only lists units
    Names expected;
  };
  const Case cases[] = {
      {"host adds, kvodev adds", true, true, {L"U701x0", L"U702x0"}},
      {"host reads, kvodev adds", true, false, {L"U702x0"}},
      {"object A adds, object B adds and releases first", false, true, {L"U701x0", L"U702x0"}},
      {"object A reads, object B adds and releases first", false, false, {L"U702x0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::ConfigDir dir;
    testsupport::ConfigPtr held = dir.Open();
    std::vector<dev::UnitKey> units;
    EXPECT_TRUE(c.holderAdds ? held->AddUnit({701, 0}) : held->GetUnitList(units, false));
    if (c.kvodev) {
      const std::string command =
          "env -u KVO_DATA_DIR '" KVODEV "' --data-dir '" + dir.Path(".").string() + "' units add 702 0 >/dev/null";
      EXPECT_EQ(std::system(command.c_str()), 0);
    } else {
      testsupport::ConfigPtr other = dir.Open();
      EXPECT_TRUE(other->AddUnit({702, 0}));
    }
    held.reset();
    const OnDisk disk = ReadDocument(dir.DocumentPath());
    EXPECT_TRUE(disk.valid);
    EXPECT_EQ(disk.units, c.expected);
  }
}

}  // namespace
