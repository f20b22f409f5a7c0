// watch: every change of the configuration, by anyone, as it happens.
#include <kvodevice/ConfigurationWatch.h>

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <iostream>
#include <memory>

#include "commands/Registry.h"
#include "shared/Configuration.h"
#include "shared/DiffOutput.h"
#include "shared/Utf8.h"

namespace kvodev {
namespace {

struct WatchReleaser {
  void operator()(dev::IConfigurationWatch* watch) const { watch->Release(); }
};

// SIGINT and SIGTERM as a descriptor, so that the wait ends cleanly on them.
class StopSignals {
 public:
  StopSignals() {
    sigemptyset(&mask_);
    sigaddset(&mask_, SIGINT);
    sigaddset(&mask_, SIGTERM);
    sigprocmask(SIG_BLOCK, &mask_, &old_);
    fd_ = signalfd(-1, &mask_, SFD_CLOEXEC | SFD_NONBLOCK);
  }
  // The signals that ended the wait are taken, or unblocking them would kill
  // the process after all.
  ~StopSignals() {
    signalfd_siginfo taken{};
    if (fd_ >= 0)
      while (read(fd_, &taken, sizeof taken) == sizeof taken) {
      }
    if (fd_ >= 0) close(fd_);
    sigprocmask(SIG_SETMASK, &old_, nullptr);
  }
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;
  int fd() const { return fd_; }

 private:
  sigset_t mask_{}, old_{};
  int fd_ = -1;
};

// Now, as people read it (local time) and as JSON carries it (UTC).
std::string Now(bool utc) {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm parts{};
  utc ? gmtime_r(&now, &parts) : localtime_r(&now, &parts);
  char text[32];
  std::strftime(text, sizeof text, utc ? "%Y-%m-%dT%H:%M:%SZ" : "%Y-%m-%d %H:%M:%S", &parts);
  return text;
}

// One change as one block of text, or one line of JSON.
void Show(const dev::DocumentChanges& changes, bool json) {
  if (json) {
    Json line{{"time", Now(true)}};
    AddChangesJson(changes, line);
    std::cout << line.dump(-1, ' ', true, Json::error_handler_t::replace) << '\n';
  } else {
    Json data = Json::object();
    AddChangesJson(changes, data);
    std::cout << "== " << Now(false) << '\n';
    PrintChanges(data, std::cout);
  }
  std::cout.flush();
}

// A change that cannot be shown: the file cannot be loaded now (an editor
// halfway, a damaged file); the next change may mend it.
void ShowTrouble(const dev::SaveReport& report, bool json) {
  if (json) {
    Json line{{"time", Now(true)}, {"error", EncodeUtf8(report.reason)}};
    std::cout << line.dump(-1, ' ', true, Json::error_handler_t::replace) << '\n';
    std::cout.flush();
  } else {
    Complain(Now(false) + ": " + EncodeUtf8(report.reason));
  }
}

Report RunWatch(Context& ctx) {
  StopSignals stop;
  if (stop.fd() < 0) return Report::Failure(False, std::string("cannot wait for signals: ") + std::strerror(errno));
  Configuration config(ctx.dataDir, Configuration::Access::ReadOnly, false);
  if (!config.loaded()) return config.Unloadable();
  const std::unique_ptr<dev::IConfigurationWatch, WatchReleaser> watch(dev::WatchConfiguration());
  if (watch == nullptr) return Report::Failure(False, "cannot watch the configuration: out of memory");
  if (watch->Descriptor() < 0)
    Complain("note: the data directory cannot be watched (" + std::string(std::strerror(watch->SystemError())) +
             "); looking once a second");
  const bool json = ctx.args.json;
  pollfd waits[2] = {{stop.fd(), POLLIN, 0}, {watch->Descriptor(), POLLIN, 0}};
  for (;;) {
    const int ready = poll(waits, 2, watch->Descriptor() < 0 ? 1000 : -1);
    if (ready < 0 && errno != EINTR) return Report::Failure(False, std::string("cannot wait: ") + std::strerror(errno));
    if (waits[0].revents != 0) break;
    if (!watch->Changed()) continue;
    dev::DocumentChanges changes;
    if (!dev::Refresh(config.io(), &changes))
      ShowTrouble(dev::GetLastSaveReport(config.io()), json);
    else if (!changes.empty())
      Show(changes, json);
  }
  return Report();
}

const Command kWatch{"watch", {}, {}, true, RunWatch,
    "print every change of the configuration as it happens",
    "Waits, until interrupted, for the document to change, whoever changes it\n"
    "(a host, another kvodev, an editor, a restore), and prints each change by\n"
    "what it means, as diff does, after a line with the time; --json prints one\n"
    "object per line instead. A document that cannot be loaded at a change is\n"
    "said on standard error and watched on. Writes nothing.\n\n"
    "Exit status 0 on SIGINT or SIGTERM; 5 when the configuration cannot be loaded\n"
    "at the start.\n\n"
    "example:\n  kvodev --json watch | jq .units\n"};

}  // namespace

std::vector<Command> WatchCommands() { return {kWatch}; }

}  // namespace kvodev
