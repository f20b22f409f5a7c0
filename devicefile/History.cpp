#include "devicefile/History.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <vector>

#include "devicefile/FileNames.h"
#include "platform/clock.h"
#include "platform/strings.h"

namespace dev {
namespace {

constexpr std::size_t kDefaultKeep = 20;
// "YYYYMMDDTHHMMSS.nnnnnnnnnZ-"
constexpr std::size_t kTimeLength = 27;

const char* Why(History::Reason reason) {
  switch (reason) {
    case History::Reason::Save: return "save";
    case History::Reason::Recovery: return "recovery";
    case History::Reason::Restore: return "restore";
  }
  return "save";
}

// A name this history gave: its own files only are ever counted or dropped.
bool IsVersionName(const std::string& name) {
  std::int64_t ns = 0;
  return name.size() > kTimeLength + 4 && name[kTimeLength - 1] == '-' && name.ends_with(".xml") &&
         platform::ParseUtcTimestamp(std::string_view(name).substr(0, kTimeLength - 1), ns);
}

// When a version is kept: now, or just after the newest when the clock says
// otherwise, so that names keep the order of keeping.
std::string TimeFor(const std::vector<std::string>& older) {
  std::int64_t now = platform::RealTimeNs(), newest = 0;
  if (!older.empty() && platform::ParseUtcTimestamp(std::string_view(older.back()).substr(0, kTimeLength - 1), newest) &&
      newest >= now)
    now = newest + 1;
  return platform::UtcTimestamp(now);
}

}  // namespace

History::History(std::wstring dataDirectory, std::size_t keep) : dataDirectory_(std::move(dataDirectory)), keep_(keep) {}

std::size_t History::KeepFromEnvironment() {
  const char* text = std::getenv("KVO_HISTORY");
  if (text == nullptr) return kDefaultKeep;
  std::size_t keep = 0;
  const char* end = text + std::char_traits<char>::length(text);
  const auto [last, error] = std::from_chars(text, end, keep);
  return error == std::errc() && last == end && last != text ? keep : kDefaultKeep;
}

platform::Directory History::OpenFolder(bool create, platform::FileError& error) const {
  const platform::Directory data = platform::Directory::Open(dataDirectory_, error);
  if (!data.valid()) return {};
  const std::string kFolder = platform::NativePath(kHistoryName);
  platform::Directory folder = data.Subdirectory(kFolder, create, error);
  if (!folder.valid()) {
    if (error.code == ELOOP || error.code == ENOTDIR)
      error.detail = data.StatEntry(kFolder).kind == platform::FileStamp::Kind::Link
                         ? "a symbolic link, which is never used as the history"
                         : "not a directory, so it is not used as the history";
    return {};
  }
  const platform::FileStamp owner = data.Stamp(&error), stamp = folder.Stamp(&error);
  if (error) return {};
  if (stamp.owner != 0 && stamp.owner != owner.owner) {
    error = {EACCES, "use the history", folder.path(), "owned by another user than the data directory's, so not used"};
    return {};
  }
  return folder;
}

std::vector<std::string> History::Names(const platform::Directory& folder) {
  std::vector<std::string> names;
  platform::FileError ignored;
  if (!folder.List(names, ignored)) return {};
  std::erase_if(names, [&](const std::string& name) {
    return !IsVersionName(name) || folder.StatEntry(name).kind != platform::FileStamp::Kind::File;
  });
  std::sort(names.begin(), names.end());
  return names;
}

bool History::Keep(const platform::WriteTarget& document, Reason reason, Pending& pending, platform::FileError& error) {
  pending = {};
  folder_ = {};
  if (keep_ == 0 || document.old.kind != platform::FileStamp::Kind::File) return true;
  folder_ = OpenFolder(true, error);
  if (!folder_.valid()) return false;
  pending.older = Names(folder_);
  // The same as the newest already kept: once is enough.
  if (!pending.older.empty()) {
    const platform::FileStamp newest = folder_.StatEntry(pending.older.back());
    if (newest.SameFile(document.old)) return true;
    if (newest.size == document.old.size) {
      const platform::FileContent kept = folder_.Read(pending.older.back()), now = document.directory.Read(document.name);
      if (kept.readable && now.readable && kept.bytes == now.bytes) return true;
    }
  }
  const std::string base = TimeFor(pending.older) + "-" + Why(reason);
  std::string version = base + ".xml";
  bool kept = folder_.LinkFrom(document.directory, document.name, version, error);
  for (int n = 2; !kept && error.code == EEXIST && n < 100; ++n) {
    version = base + "-" + std::to_string(n) + ".xml";
    kept = folder_.LinkFrom(document.directory, document.name, version, error);
  }
  if (!kept && error.code != EEXIST) {
    // A file system without hard links, or the document on another one: a copy.
    const platform::FileContent content = document.directory.Read(document.name);
    if (!content.readable) {
      error = content.error;
      return false;
    }
    platform::WriteOptions options;
    options.permissions = platform::Permissions::Like;
    options.like = content.stamp;
    error = {};
    kept = folder_.Replace(version, content.bytes, options, {}, error);
  }
  if (kept) pending.name = version;
  return kept;
}

std::wstring History::Commit(const Pending& pending) {
  if (pending.name.empty() || !folder_.valid()) return {};
  platform::FileError ignored;
  // The newest `keep_ - 1` older ones stay beside the new one.
  for (std::size_t i = 0; i + keep_ < pending.older.size() + 1; ++i) folder_.Remove(pending.older[i], ignored);
  const std::wstring kept = platform::WidePath(folder_.PathOf(pending.name));
  folder_ = {};
  return kept;
}

void History::Discard(const Pending& pending) {
  platform::FileError ignored;
  if (!pending.name.empty() && folder_.valid()) folder_.Remove(pending.name, ignored);
  folder_ = {};
}

std::wstring History::Unusable() const {
  platform::FileError error;
  if (keep_ == 0 || OpenFolder(false, error).valid() || error.code == ENOENT) return {};
  return error.Describe();
}

std::vector<HistoryVersion> History::List() const {
  std::vector<HistoryVersion> versions;
  platform::FileError ignored;
  const platform::Directory folder = OpenFolder(false, ignored);
  if (!folder.valid()) return versions;
  for (const std::string& name : Names(folder)) {
    HistoryVersion& version = versions.emplace_back();
    version.path = platform::WidePath(folder.PathOf(name));
    version.time = platform::WidePath(name.substr(0, kTimeLength - 1));
    const std::size_t end = name.find_first_of("-.", kTimeLength);
    version.reason = platform::WidePath(name.substr(kTimeLength, end - kTimeLength));
    version.size = folder.StatEntry(name).size;
    // "-2.xml" after the reason: the second one of that time.
    const std::string counter = name.substr(end, name.size() - 4 - end);
    version.id = version.time + platform::WidePath(counter);
    platform::ParseUtcTimestamp(std::string_view(name).substr(0, kTimeLength - 1), version.timeNs);
    version.why = version.reason == L"recovery" ? HistoryReason::Recovery
                  : version.reason == L"restore" ? HistoryReason::Restore
                                                 : HistoryReason::Save;
  }
  return versions;
}

platform::FileContent History::ReadVersion(const std::wstring& path, bool& inHistory) const {
  const std::string native = platform::NativePath(path);
  const std::size_t slash = native.rfind('/');
  const std::string name = slash == std::string::npos ? native : native.substr(slash + 1);
  platform::FileError error;
  const platform::Directory folder = OpenFolder(false, error);
  // An entry of the history: the folder holds the file of that name (a link there is not followed).
  const platform::FileStamp parent = platform::StatPath(platform::WidePath(slash == std::string::npos ? "." : slash == 0 ? "/" : native.substr(0, slash)));
  inHistory = folder.valid() && parent.SameFile(folder.Stamp()) && parent.kind == platform::FileStamp::Kind::Directory;
  return inHistory ? folder.Read(name) : platform::ReadWholeFile(path);
}

}  // namespace dev

namespace dev {

long FindHistoryVersion(const std::vector<HistoryVersion>& versions, const std::wstring& id) {
  long found = -1;
  for (std::size_t i = 0; i < versions.size() && !id.empty(); ++i) {
    if (versions[i].id == id) return static_cast<long>(i);
    if (versions[i].id.starts_with(id)) found = found == -1 ? static_cast<long>(i) : -2;
  }
  return found;
}

std::wstring ShortHistoryId(const std::vector<HistoryVersion>& versions, std::size_t index) {
  if (index >= versions.size()) return {};
  const std::wstring& id = versions[index].id;
  std::size_t length = std::min<std::size_t>(15, id.size());  // YYYYMMDDTHHMMSS
  for (std::size_t i = 0; i < versions.size(); ++i)
    if (i != index) {
      std::size_t same = 0;
      while (same < id.size() && same < versions[i].id.size() && id[same] == versions[i].id[same]) ++same;
      // One character past what the two share.
      length = std::max(length, std::min(id.size(), same + 1));
    }
  return id.substr(0, length);
}

}  // namespace dev
