#include "devicefile/History.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <vector>

#include "platform/clock.h"

namespace dev {
namespace {

constexpr std::size_t kDefaultKeep = 20;
// "YYYYMMDDTHHMMSS.nnnnnnnnnZ-"
constexpr std::size_t kTimeLength = 27;

const wchar_t* Why(History::Reason reason) {
  switch (reason) {
    case History::Reason::Save: return L"save";
    case History::Reason::Recovery: return L"recovery";
    case History::Reason::Restore: return L"restore";
  }
  return L"save";
}

// A name this history gave: its own files only are ever dropped.
bool IsVersionName(const std::wstring& name) {
  return name.size() > kTimeLength + 4 && name[8] == L'T' && name[kTimeLength - 1] == L'-' &&
         name.ends_with(L".xml") && std::all_of(name.begin(), name.begin() + 8, [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

}  // namespace

History::History(std::wstring dataDirectory, std::size_t keep)
    : folder_(std::move(dataDirectory) + L"/kvoDevice.history"), keep_(keep) {}

std::size_t History::KeepFromEnvironment() {
  const char* text = std::getenv("KVO_HISTORY");
  if (text == nullptr) return kDefaultKeep;
  std::size_t keep = 0;
  const char* end = text + std::char_traits<char>::length(text);
  const auto [last, error] = std::from_chars(text, end, keep);
  return error == std::errc() && last == end && last != text ? keep : kDefaultKeep;
}

bool History::Keep(const std::wstring& document, const platform::FileStamp& stamp, Reason reason,
                   platform::FileError& error) {
  if (keep_ == 0 || stamp.kind != platform::FileStamp::Kind::File) return true;
  const std::string time = platform::UtcTimestamp(platform::RealTimeNs());
  const std::wstring base = folder_ + L"/" + std::wstring(time.begin(), time.end()) + L"-" + Why(reason);
  std::wstring version = base + L".xml";
  bool kept = platform::LinkFile(document, version, error);
  // The first version makes the folder; two versions in the same nanosecond get a number.
  if (!kept && error.code == ENOENT && platform::MakeDirectory(folder_, error))
    kept = platform::LinkFile(document, version, error);
  for (int n = 2; !kept && error.code == EEXIST && n < 100; ++n) {
    version = base + L"-" + std::to_wstring(n) + L".xml";
    kept = platform::LinkFile(document, version, error);
  }
  if (!kept) {
    // A file system without hard links, or the document on another one: a copy.
    const platform::FileContent content = platform::ReadWholeFile(document);
    platform::WriteOptions options;
    options.permissions = platform::Permissions::Like;
    options.like = stamp;
    if (!content.readable) {
      error = content.error;
      return false;
    }
    if (!platform::MakeDirectory(folder_, error) ||
        !platform::ReplaceFileAtomically(version, content.bytes, options, &error))
      return false;
  }
  DropOldest();
  return true;
}

std::vector<std::wstring> History::Names() const {
  std::vector<std::wstring> names;
  platform::FileError ignored;
  if (!platform::ListDirectory(folder_, names, ignored)) return {};
  std::erase_if(names, [](const std::wstring& name) { return !IsVersionName(name); });
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<HistoryVersion> History::List() const {
  std::vector<HistoryVersion> versions;
  for (const std::wstring& name : Names()) {
    HistoryVersion& version = versions.emplace_back();
    version.path = folder_ + L"/" + name;
    version.time = name.substr(0, kTimeLength - 1);
    const std::size_t end = name.find_first_of(L"-.", kTimeLength);
    version.reason = name.substr(kTimeLength, end - kTimeLength);
    version.size = platform::StatPath(version.path).size;
  }
  return versions;
}

void History::DropOldest() {
  const std::vector<std::wstring> names = Names();
  platform::FileError ignored;
  for (std::size_t i = 0; i + keep_ < names.size(); ++i) platform::RemoveFile(folder_ + L"/" + names[i], ignored);
}

}  // namespace dev
