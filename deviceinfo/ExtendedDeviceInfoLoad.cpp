// Reading INI files into the store.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cwchar>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "deviceinfo/ExtendedDeviceInfo.h"
#include "deviceinfo/ProcessingKeys.h"
#include "platform/Boundary.h"
#include "platform/files.h"
#include "platform/profile/IniFile.h"
#include "platform/strings.h"

namespace dev::dynInfo {
namespace {

using platform::profile::IniFile;

// The text buffer of "Tag" and "Position" reads.
constexpr int kTextSize = 256;

template <typename T>
bool Contains(const std::vector<T>& list, const T& value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

// The keys of a section, in the order of their entries in SectionValues.
enum KeyIndex : std::size_t { kId, kTag, kPosition, kRtcTrigger, kFirstProcessing };
constexpr std::size_t kKeyCount = kFirstProcessing + kProcessingKeys.size();

const IniFile::KeySet& SectionKeys() {
  static const IniFile::KeySet keys = [] {
    std::vector<std::wstring_view> names = {kIdKey, kTagKey, kPositionKey, kRtcTriggerKey};
    for (const ProcessingKey& key : kProcessingKeys) names.push_back(key.key);
    return IniFile::KeySet(names);
  }();
  return keys;
}

// A section's values, all looked up at once, and read as iniGetInt and
// iniGetString read them.
class SectionValues {
 public:
  SectionValues(const IniFile& ini, std::int32_t section) { ini.FindKeysIn(section, SectionKeys(), entries_); }

  int Int(std::size_t key, int fallback) const { return platform::profile::EntryInt(entries_[key], fallback); }
  // The text in `buffer`, cut to its size less one, "" for a missing key; returns its length.
  int Text(std::size_t key, wchar_t (&buffer)[kTextSize]) const {
    const IniFile::Entry& entry = entries_[key];
    buffer[0] = L'\0';
    return entry.hasValue ? static_cast<int>(platform::profile::CopyProfileString(entry.value, buffer, kTextSize)) : 0;
  }

 private:
  std::array<IniFile::Entry, kKeyCount> entries_;
};

}  // namespace

bool CExtendedDeviceInfo::Load(const wchar_t* iniFilePath) {
  if (iniFilePath == nullptr) return true;
  // False when memory ran out: the sections read before stay.
  return platform::NoThrow(false, [&] { return LoadFile(iniFilePath); });
}

bool CExtendedDeviceInfo::LoadFile(const wchar_t* iniFilePath) {
  // Read and decoded once, here: the host's INI functions would look the
  // file and the section up again for every key.
  platform::FileContent content = platform::ReadWholeFile(iniFilePath);
  if (!content.readable) return true;
  const IniFile ini = IniFile::ParseInPlace(std::move(content.bytes));
  for (std::uint32_t section = 0; section < ini.SectionCount(); ++section)
    if (ini.IsListed(section)) LoadSection(ini, section);
  return true;
}

// `listed` names the section as the section list does; its keys are those of
// the first section of that name, as a lookup by the name finds them.
void CExtendedDeviceInfo::LoadSection(const IniFile& ini, std::uint32_t listed) {
  const SectionValues values(ini, ini.FindSectionNamedAs(listed));
  const auto device = static_cast<dev::id>(static_cast<std::uint16_t>(values.Int(kId, 65535)));
  if (device == dev::NoDevice) return;

  // A device seen for the first time is in no list yet, so the duplicate
  // checks below can be skipped for it.
  std::wstring name = ini.SectionName(listed);  // before the record, so that running out of memory adds none
  bool firstSight = false;
  Device& described = AddDevice(device, firstSight);
  described.sectionName = std::move(name);  // the last section of an id names it

  wchar_t text[kTextSize];
  if (const int length = values.Text(kTag, text); length > 0) {
    const std::wstring_view tag(text, static_cast<std::size_t>(length));
    std::vector<dev::id>& tagged = TagList(tag);
    if (firstSight || !Contains(tagged, device)) tagged.push_back(device);
  }

  if (const int length = values.Text(kPosition, text); length > 0) {
    const auto pieces = static_cast<std::size_t>(1 + std::count(text, text + length, L','));
    std::vector<PositionEntry>& own = described.positions;
    for (wchar_t* piece = text; piece != nullptr;) {
      wchar_t* const comma = std::wcschr(piece, L',');
      if (comma != nullptr) *comma = L'\0';
      const std::int32_t position = platform::Wtoi(piece);
      piece = comma != nullptr ? comma + 1 : nullptr;
      // A code that would not fit in 32 bits is no position a device can have.
      if (position <= 0 || position > INT32_MAX - 1000) continue;
      const PositionEntry entry{position + 1000, 0};
      if (Contains(own, entry)) continue;
      if (own.size() == own.capacity()) own.reserve(own.size() + pieces);  // room for all at once
      own.push_back(entry);
      std::vector<dev::id>& there = devicesAtPosition_[entry.code];
      if (firstSight || !Contains(there, device)) there.push_back(device);
    }
  }

  // Slot s is kProcessingKeys[s]; a reader sees all of a section's settings at once.
  unsigned set = 0, on = 0;
  for (std::size_t slot = 0; slot < kProcessingKeys.size(); ++slot) {
    const int setting = values.Int(kFirstProcessing + slot, -1);
    if (setting == 0 || setting == 1) set |= 1u << slot;
    if (setting == 1) on |= 1u << slot;
  }
  if (set != 0) StoreProcessing(device, set, on);

  if (values.Int(kRtcTrigger, 0) == 1) rtcTriggerDevices_.set(device);
}

std::vector<dev::id>& CExtendedDeviceInfo::TagList(std::wstring_view tag) {
  if (const auto cached = tagLists_.find(tag); cached != tagLists_.end()) return *cached->second;
  auto tagged = devicesByTag_.find(tag);
  if (tagged == devicesByTag_.end()) tagged = devicesByTag_.emplace(tag, std::vector<dev::id>{}).first;
  tagLists_.emplace(tagged->first, &tagged->second);
  return tagged->second;
}

CExtendedDeviceInfo::Device& CExtendedDeviceInfo::AddDevice(dev::id device, bool& added) {
  if (deviceIndex_.empty()) deviceIndex_.assign(65536, 0);
  std::uint16_t& index = deviceIndex_[device];
  added = index == 0;
  if (added) {
    devices_.emplace_back();
    index = static_cast<std::uint16_t>(devices_.size());
  }
  return devices_[index - 1u];
}

void CExtendedDeviceInfo::StoreProcessing(dev::id device, unsigned set, unsigned on) {
  if (processingWords_ == nullptr) {
    processingWords_ = std::make_unique<std::atomic<std::uint16_t>[]>(65536);
    processingFlat_.store(processingWords_.get(), std::memory_order_release);
  }
  std::atomic<std::uint16_t>& word = processingWords_[device];  // only Load writes it
  const unsigned kept = word.load(std::memory_order_relaxed) & ~(set << 8);
  word.store(static_cast<std::uint16_t>(kept | set | on << 8), std::memory_order_relaxed);
}

std::vector<IniKey> IniKeys() {
  return platform::NoThrow(std::vector<IniKey>(), [] {
    std::vector<IniKey> keys{{kIdKey, true}, {kTagKey, false}, {kPositionKey, false}, {kRtcTriggerKey, true}};
    for (const ProcessingKey& key : kProcessingKeys) keys.push_back({key.key, true});
    return keys;
  });
}

}  // namespace dev::dynInfo
