// Reading INI files into the store.
#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <string_view>
#include <vector>

#include "deviceinfo/ExtendedDeviceInfo.h"
#include "deviceinfo/ProcessingKeys.h"
#include "host/Profile.h"
#include "platform/Boundary.h"
#include "platform/strings.h"

namespace dev::dynInfo {
namespace {

// The text buffer of "Tag" and "Position" reads.
constexpr int kTextSize = 256;

template <typename T>
bool Contains(const std::vector<T>& list, const T& value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

}  // namespace

bool CExtendedDeviceInfo::Load(const wchar_t* iniFilePath) {
  if (iniFilePath == nullptr) return true;
  // False when memory ran out: the sections read before stay.
  return platform::NoThrow(false, [&] { return LoadFile(iniFilePath); });
}

bool CExtendedDeviceInfo::LoadFile(const wchar_t* iniFilePath) {
  // A result of size - 2 may mean "cut": grow and ask again. Growing by doubling
  // reads the same names as growing by 256, in linear instead of quadratic time.
  std::vector<wchar_t> names(256, L'\0');
  while (GetPrivateProfileSectionNamesW(names.data(), static_cast<std::uint32_t>(names.size()), iniFilePath) ==
             names.size() - 2 &&
         names.size() <= UINT32_MAX / 2)
    names.resize(names.size() * 2);  // the new half zero-filled; the call rewrites the rest

  // Each name ends in a NUL; an empty name ends the list, and a name whose
  // NUL is not inside the buffer is not read.
  const wchar_t* const end = names.data() + names.size();
  for (const wchar_t* name = names.data(); name < end;) {
    const wchar_t* const nul = std::find(name, end, L'\0');
    if (nul == end || nul == name) break;
    LoadSection(name, iniFilePath);
    name = nul + 1;
  }
  return true;
}

void CExtendedDeviceInfo::LoadSection(const wchar_t* section, const wchar_t* iniFilePath) {
  const auto device = static_cast<dev::id>(static_cast<std::uint16_t>(iniGetInt(section, kIdKey, 65535, iniFilePath)));
  if (device == dev::NoDevice) return;

  // A device seen for the first time is in no list yet, so the duplicate
  // checks below can be skipped for it.
  auto [named, firstSight] = sectionNames_.try_emplace(device, section);
  if (!firstSight) named->second = section;  // the last section of an id names it

  wchar_t text[kTextSize] = {};
  if (const int length = iniGetString(section, kTagKey, L"", text, kTextSize, iniFilePath); length > 0) {
    const std::wstring_view tag(text, static_cast<std::size_t>(length));
    auto tagged = devicesByTag_.find(tag);
    if (tagged == devicesByTag_.end()) tagged = devicesByTag_.emplace(tag, std::vector<dev::id>{}).first;
    if (firstSight || !Contains(tagged->second, device)) tagged->second.push_back(device);
  }

  if (iniGetString(section, kPositionKey, L"", text, kTextSize, iniFilePath) > 0) {
    std::vector<PositionEntry>* own = nullptr;
    for (wchar_t* piece = text; piece != nullptr;) {
      wchar_t* const comma = std::wcschr(piece, L',');
      if (comma != nullptr) *comma = L'\0';
      const std::int32_t position = platform::Wtoi(piece);
      piece = comma != nullptr ? comma + 1 : nullptr;
      // A code that would not fit in 32 bits is no position a device can have.
      if (position <= 0 || position > INT32_MAX - 1000) continue;
      const PositionEntry entry{position + 1000, 0};
      if (own == nullptr) own = &positions_[device];
      if (Contains(*own, entry)) continue;
      own->push_back(entry);
      std::vector<dev::id>& there = devicesAtPosition_[entry.code];
      if (firstSight || !Contains(there, device)) there.push_back(device);
    }
  }

  for (const ProcessingKey& key : kProcessingKeys) {
    const int setting = iniGetInt(section, key.key, -1, iniFilePath);
    if (setting == 0 || setting == 1) SetFlatProcessing(device, key.type, setting == 1);
  }

  if (iniGetInt(section, kRtcTriggerKey, 0, iniFilePath) == 1) rtcTriggerDevices_.insert(device);
}

void CExtendedDeviceInfo::SetFlatProcessing(dev::id device, tro::cam::eCamProcessingType type, bool enabled) {
  const int slot = ProcessingSlot(type);
  if (processingFlat_.empty()) processingFlat_.assign(65536, 0);
  std::uint16_t& flags = processingFlat_[device];
  flags = static_cast<std::uint16_t>((flags | 1u << slot) & ~(1u << (8 + slot)));
  if (enabled) flags = static_cast<std::uint16_t>(flags | 1u << (8 + slot));
}

std::vector<IniKey> IniKeys() {
  return platform::NoThrow(std::vector<IniKey>(), [] {
    std::vector<IniKey> keys{{kIdKey, true}, {kTagKey, false}, {kPositionKey, false}, {kRtcTriggerKey, true}};
    for (const ProcessingKey& key : kProcessingKeys) keys.push_back({key.key, true});
    return keys;
  });
}

}  // namespace dev::dynInfo
