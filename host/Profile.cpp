#include "host/Profile.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/profile/IniFile.h"

namespace {

using platform::FileStamp;
using platform::profile::IniFile;
// How long a lookup trusts a file without looking at it again, in milliseconds.
constexpr std::int64_t kTrustWindowMs = 1000;
// Files kept parsed at once; the least recently used goes first.
constexpr std::size_t kMaxFiles = 64;

class IniCache {
 public:
  // A parsed file, and the section that the last lookup found in it: the
  // store reads eleven keys of a section in a row.
  struct Cached {
    IniFile file;
    std::wstring lastSection;
    std::int32_t lastSectionIndex = -1;

    IniFile::Entry Find(std::wstring_view section, std::wstring_view key) {
      if (lastSectionIndex < 0 || section != lastSection) {
        lastSectionIndex = file.FindSection(section);
        lastSection = section;
      }
      return file.FindKeyIn(lastSectionIndex, key);
    }
  };

  // Runs `use` on the parsed file at `path` under the cache's lock.
  // `revalidate` forces a look at the file first.
  template <typename Use>
  auto With(std::wstring_view path, bool revalidate, Use use) {
    std::lock_guard lock(mutex_);
    return use(Acquire(path, revalidate));
  }

 private:
  struct Entry {
    Cached cached;
    FileStamp stamp;
    std::int64_t checkedMs = 0;
    std::uint64_t lastUse = 0;
  };
  using Map = std::map<std::wstring, Entry, std::less<>>;

  Cached& Acquire(std::wstring_view path, bool revalidate) {
    const std::int64_t now = platform::CoarseMonotonicMs();
    Map::iterator it = (last_ != files_.end() && last_->first == path) ? last_ : files_.find(path);
    if (it != files_.end() && !revalidate && now - it->second.checkedMs < kTrustWindowMs) return Use(it);

    const FileStamp stamp = platform::StatPath(path);
    if (it == files_.end()) {
      Evict();
      it = files_.emplace(std::wstring(path), Entry{}).first;
    } else if (stamp.SameContent(it->second.stamp)) {
      it->second.checkedMs = now;
      return Use(it);
    }
    Entry& entry = it->second;
    entry.checkedMs = now;
    entry.cached.lastSectionIndex = -1;
    if (stamp.kind == FileStamp::Kind::Missing) {
      entry.cached.file = IniFile::Parse({});
      entry.stamp = stamp;
    } else if (platform::FileContent content = platform::ReadWholeFile(path); content.readable) {
      entry.cached.file = IniFile::ParseInPlace(std::move(content.bytes));
      entry.stamp = content.stamp;  // exactly what was parsed
    } else {
      entry.cached.file = IniFile();
      entry.stamp = stamp;
    }
    return Use(it);
  }

  Cached& Use(Map::iterator it) {
    last_ = it;
    it->second.lastUse = ++uses_;
    return it->second.cached;
  }

  void Evict() {
    if (files_.size() < kMaxFiles) return;
    const auto oldest = std::min_element(files_.begin(), files_.end(), [](const auto& a, const auto& b) {
      return a.second.lastUse < b.second.lastUse;
    });
    if (oldest == last_) last_ = files_.end();
    files_.erase(oldest);
  }

  std::mutex mutex_;
  Map files_;
  Map::iterator last_ = files_.end();
  std::uint64_t uses_ = 0;
};

IniCache& Cache() {
  static IniCache cache;
  return cache;
}

// Runs `read` on what the lookup found while the cache holds the file: the
// entry's value is a view into the cached text, which another thread may
// replace once the lock is left.
template <typename Read>
auto ReadEntry(const wchar_t* section, const wchar_t* key, const wchar_t* file, bool* keyFound,
               bool* sectionFound, Read read) {
  const auto report = [&](const IniFile::Entry& entry) {
    if (keyFound != nullptr) *keyFound = entry.keyFound;
    if (sectionFound != nullptr) *sectionFound = entry.sectionFound;
    return read(entry);
  };
  if (section == nullptr || key == nullptr || file == nullptr) return report(IniFile::Entry{});
  return Cache().With(file, false, [&](IniCache::Cached& ini) { return report(ini.Find(section, key)); });
}

}  // namespace

std::uint32_t iniGetSectionNames(wchar_t* buffer, std::uint32_t size, const wchar_t* file) {
  if (file == nullptr) return 0;
  return Cache().With(file, true, [&](const IniCache::Cached& ini) { return ini.file.CopySectionNames(buffer, size); });
}

int iniGetInt(const wchar_t* section, const wchar_t* key, int fallback, const wchar_t* file, bool* keyFound,
              bool* sectionFound) {
  return ReadEntry(section, key, file, keyFound, sectionFound, [&](const IniFile::Entry& entry) {
    return platform::profile::EntryInt(entry, fallback);
  });
}

int iniGetString(const wchar_t* section, const wchar_t* key, const wchar_t* fallback, wchar_t* buffer, int size,
                 const wchar_t* file, bool* keyFound, bool* sectionFound) {
  if (buffer == nullptr || size <= 0) return 0;
  const auto units = static_cast<std::uint32_t>(size);
  return ReadEntry(section, key, file, keyFound, sectionFound, [&](const IniFile::Entry& entry) {
    if (entry.hasValue) return static_cast<int>(platform::profile::CopyProfileString(entry.value, buffer, units));
    const std::wstring_view text = fallback != nullptr ? fallback : L"";
    const std::size_t copied = std::min<std::size_t>(text.size(), units - 1);
    std::copy_n(text.begin(), copied, buffer);
    buffer[copied] = L'\0';
    return static_cast<int>(copied);
  });
}
