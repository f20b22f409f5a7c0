// Watching the document with inotify: the host's event loop waits on the
// descriptor; no thread of the library's own.
#include <kvodevice/ConfigurationWatch.h>
#include <kvodevice/Host.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>

#include "devicefile/FileNames.h"
#include "platform/Boundary.h"
#include "platform/files.h"
#include "platform/strings.h"

namespace dev {
namespace {

// The directory says when the name is given to another file or taken away
// (and, while it stands for nothing, when a file of that name is made); the
// file itself says when it is rewritten in place. The lock file and the
// history reach neither.
constexpr std::uint32_t kDirectoryEvents =
    IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
constexpr std::uint32_t kFileEvents = IN_CLOSE_WRITE;

class ConfigurationWatch final : public IConfigurationWatch {
 public:
  explicit ConfigurationWatch(const std::wstring& dataDirectory)
      : document_(dataDirectory + L"/" + kDocumentName), last_(platform::StatPath(document_)) {
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) {
      error_ = errno;
      return;
    }
    if (!Add(platform::NativePath(dataDirectory), platform::NativePath(kDocumentName))) return;
    // A linked document is replaced where its final target is.
    char target[PATH_MAX];
    if (::realpath(platform::NativePath(document_).c_str(), target) != nullptr) {
      const std::string resolved = target;
      const std::size_t slash = resolved.rfind('/');
      if (resolved != platform::NativePath(document_) && slash != std::string::npos)
        Add(slash == 0 ? "/" : resolved.substr(0, slash), resolved.substr(slash + 1));
    }
    WatchFile();
  }
  ~ConfigurationWatch() {
    if (fd_ >= 0) ::close(fd_);
  }
  ConfigurationWatch(const ConfigurationWatch&) = delete;
  ConfigurationWatch& operator=(const ConfigurationWatch&) = delete;

  int Descriptor() const override { return error_ == 0 ? fd_ : -1; }
  int SystemError() const override { return error_; }
  void Release() override { delete this; }

  bool Changed() override {
    if (error_ != 0) {  // no descriptor: whether the file is another one now
      const platform::FileStamp now = platform::StatPath(document_);
      const bool changed = now != last_;
      last_ = now;
      return changed;
    }
    bool changed = false;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t n; (n = ::read(fd_, buffer, sizeof buffer)) > 0;)
      for (ssize_t at = 0; at < n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        if (event->wd == file_) {
          changed = changed || (event->mask & (kFileEvents | IN_IGNORED)) != 0;
        } else if ((event->mask & (IN_Q_OVERFLOW | IN_DELETE_SELF | IN_MOVE_SELF)) != 0) {
          changed = true;
        } else {
          for (const Watched& watched : watched_)
            if (watched.wd == event->wd && event->len > 0 && watched.name == event->name) changed = true;
        }
      }
    // The name may stand for another file now; an event of the file that
    // follows is then queued, and any before it is read by the caller.
    if (changed) WatchFile();
    return changed;
  }

 private:
  struct Watched {
    int wd;
    std::string directory;
    std::string name;  // the one entry of the directory that counts
  };
  bool Add(const std::string& directory, const std::string& name) {
    const int wd = inotify_add_watch(fd_, directory.c_str(), kDirectoryEvents | IN_CREATE);
    if (wd < 0) {
      if (watched_.empty()) error_ = errno;
      return false;
    }
    watched_.push_back({wd, directory, name});
    return true;
  }
  void WatchCreation(bool on) {
    if (on == creation_) return;
    for (const Watched& watched : watched_)
      inotify_add_watch(fd_, watched.directory.c_str(), kDirectoryEvents | (on ? IN_CREATE : 0));
    creation_ = on;
  }
  // The document's file, through a link to its final target. Creation is
  // watched from before the look, so that a file made meanwhile is not missed.
  void WatchFile() {
    WatchCreation(true);
    const int wd = inotify_add_watch(fd_, platform::NativePath(document_).c_str(), kFileEvents);
    if (file_ >= 0 && wd != file_) inotify_rm_watch(fd_, file_);
    file_ = wd;
    WatchCreation(file_ < 0);
  }

  const std::wstring document_;
  platform::FileStamp last_;
  std::vector<Watched> watched_;
  int fd_ = -1;
  int file_ = -1;
  bool creation_ = true;  // as Add sets it
  int error_ = 0;
};

}  // namespace

IConfigurationWatch* WatchConfiguration() {
  return platform::NoThrow<IConfigurationWatch*>(nullptr, []() -> IConfigurationWatch* {
    std::wstring directory = ssnGetDataDir(1);
    if (directory.empty()) throw std::bad_alloc();
    return new ConfigurationWatch(platform::AbsolutePath(directory));
  });
}

}  // namespace dev
