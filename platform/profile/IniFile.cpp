#include "platform/profile/IniFile.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>

#include "platform/profile/IniText.h"
#include "platform/strings.h"

namespace platform::profile {
namespace {

// Sections with more keys than this get a hash index; smaller ones are
// searched in place, which is faster at that size.
constexpr std::uint32_t kLinearKeys = 16;

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

// Eight bytes with their ASCII letters in lower case, all at once.
std::uint64_t FoldWord(std::uint64_t word) {
  constexpr std::uint64_t kBytes = 0x0101010101010101u;
  const std::uint64_t low = word & 0x7F * kBytes;  // no carry from one byte into the next below
  const std::uint64_t upper = (low + (0x80 - 'A') * kBytes) & ~(low + (0x7F - 'Z') * kBytes) & ~word & 0x80 * kBytes;
  return word | upper >> 2;
}

// A hash of a name as lookups compare it (ASCII letters folded), so that a
// name from the file and a folded argument hash alike; eight bytes a step.
std::uint32_t FoldedHash(std::string_view name) {
  constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15u;
  std::uint64_t hash = name.size();
  for (; name.size() >= 8; name.remove_prefix(8)) {
    std::uint64_t word;
    std::memcpy(&word, name.data(), 8);
    hash = (hash ^ FoldWord(word)) * kMultiplier;
    hash ^= hash >> 29;
  }
  std::uint64_t tail = 0;
  if (!name.empty()) std::memcpy(&tail, name.data(), name.size());
  hash = (hash ^ FoldWord(tail)) * kMultiplier;
  return static_cast<std::uint32_t>(hash ^ hash >> 32);
}

// The length and two letters of a name, which tell most keys of a section
// apart without a full comparison. The middle letter differs where a
// family of keys shares its first and last ("useWhitebalance", "useBlackbalance").
std::uint32_t NameSketch(std::string_view name) {
  if (name.empty()) return 0;
  const auto letter = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(FoldAscii(name[i]))); };
  return static_cast<std::uint32_t>(name.size()) << 16 ^ letter(name.size() / 2) << 8 ^ letter(name.size() - 1);
}

// The slot hash of a key name in one section.
std::uint32_t KeyHash(std::uint32_t section, std::uint32_t nameHash) {
  const std::uint32_t hash = nameHash ^ (section + 1) * 0x9E3779B9u;
  return (hash ^ hash >> 15) * 0x2C1B3C6Du;
}

// A name argument as the index holds names: trimmed, UTF-8, ASCII letters
// folded. Lookups make two per call, so the common short ASCII name is
// folded into inline storage without allocating.
class FoldedName {
 public:
  explicit FoldedName(std::wstring_view name) {
    name = TrimIniSpace(name);
    if (name.size() <= sizeof inline_) {
      std::uint32_t seen = 0;  // every character or'ed: below 0x80 means all ASCII
      for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<std::uint32_t>(name[i]);
        seen |= c;
        inline_[i] = static_cast<char>(c - 'A' < 26u ? c + ('a' - 'A') : c);
      }
      if (seen < 0x80) {
        view_ = std::string_view(inline_, name.size());
        return;
      }
    }
    for (const wchar_t c : name) AppendUtf8(heap_, static_cast<char32_t>(c));
    std::transform(heap_.begin(), heap_.end(), heap_.begin(), FoldAscii);
    view_ = heap_;
  }
  FoldedName(const FoldedName&) = delete;
  FoldedName& operator=(const FoldedName&) = delete;
  std::string_view view() const { return view_; }

 private:
  char inline_[96];
  std::string heap_;
  std::string_view view_;
};

// Equal names as lookups compare them: `b` is folded here too unless it is a
// folded argument already. Eight bytes a step, the last step overlapping the
// one before. Out of line: inlined, it crowds the registers of the loops that
// call it on a likely match only.
template <bool kFoldB>
[[gnu::noinline]] bool EqualFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  const auto word = [](std::string_view text, std::size_t at, bool fold) {
    std::uint64_t bytes;
    std::memcpy(&bytes, text.data() + at, 8);
    return fold ? FoldWord(bytes) : bytes;
  };
  if (a.size() < 8) {
    for (std::size_t i = 0; i < a.size(); ++i)
      if (FoldAscii(a[i]) != (kFoldB ? FoldAscii(b[i]) : b[i])) return false;
    return true;
  }
  for (std::size_t i = 0; i + 8 < a.size(); i += 8)
    if (word(a, i, true) != word(b, i, kFoldB)) return false;
  return word(a, a.size() - 8, true) == word(b, b.size() - 8, kFoldB);
}

// Two names from the file.
bool SameName(std::string_view a, std::string_view b) { return EqualFolded<true>(a, b); }
// A name from the file and a folded argument.
bool MatchesFolded(std::string_view name, std::string_view folded) { return EqualFolded<false>(name, folded); }

// The open-addressing tables of IniFile: a power of two of slots, at most
// half of them used, so that every probe meets an empty slot.
std::size_t TableSize(std::size_t entries) { return std::bit_ceil(std::max<std::size_t>(2 * entries, 2)); }

// The slot of the entry of `hash` that `same` accepts, else the empty slot
// where such an entry goes.
template <typename Slots, typename Same>
auto& SlotOf(Slots& slots, std::uint32_t hash, Same same) {
  const std::size_t mask = slots.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask)
    if (slots[i].entry == 0 || (slots[i].hash == hash && same(slots[i].entry - 1))) return slots[i];
}

// Number of wchar_t units the UTF-8 text decodes to.
std::size_t WideLength(std::string_view utf8) {
  return static_cast<std::size_t>(
      std::count_if(utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// Copies at most `limit` characters; returns how many were copied.
std::size_t CopyWide(std::string_view utf8, wchar_t* out, std::size_t limit) {
  std::size_t n = 0;
  for (std::size_t pos = 0; pos < utf8.size() && n < limit;) {
    const auto byte = static_cast<unsigned char>(utf8[pos]);
    out[n++] = byte < 0x80 ? (++pos, byte) : static_cast<wchar_t>(DecodeUtf8Lenient(utf8, pos));
  }
  return n;
}

}  // namespace

std::string_view StripQuotes(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

IniFile::KeyName::KeyName(std::wstring_view name)
    : folded_(FoldedName(name).view()), hash_(FoldedHash(folded_)), sketch_(NameSketch(folded_)) {}

IniFile::KeySet::KeySet(const std::vector<std::wstring_view>& names) {
  if (names.size() > 32) throw std::length_error("a key set holds at most 32 names");
  for (std::size_t i = 0; i < names.size(); ++i) {
    const KeyName& name = names_.emplace_back(names[i]);
    namesBySketch_[Bucket(name.sketch_)] |= 1u << i;
  }
}

IniFile IniFile::Parse(std::string_view bytes) { return ParseInPlace(std::string(bytes)); }

IniFile IniFile::ParseInPlace(std::string&& bytes) {
  IniFile file;
  file.readable_ = true;
  file.text_ = DecodeIniBytesInPlace(std::move(bytes));
  file.SplitLines();
  file.IndexSections();
  file.IndexLargeSections();
  return file;
}

void IniFile::SplitLines() {
  const std::string_view text = text_;
  sections_.push_back({{}, 0, 0, 0, false});
  keys_.reserve(text.size() / 16);  // a guess that spares most regrowth; lines are rarely shorter
  // U+0000 ends names and values; most files have none, and need no search for it.
  const bool hasNul = text.find('\0') != std::string_view::npos;
  const auto upToNul = [hasNul](std::string_view part) { return hasNul ? part.substr(0, part.find('\0')) : part; };
  std::size_t pos = 0;
  // The next CR and LF at or after `pos`, each found once by a vectorised search.
  std::size_t nextLf = std::min(text.find('\n'), text.size());
  std::size_t nextCr = std::min(text.find('\r'), text.size());
  while (pos < text.size()) {
    if (nextLf < pos) nextLf = std::min(text.find('\n', pos), text.size());
    if (nextCr < pos) nextCr = std::min(text.find('\r', pos), text.size());
    const std::size_t end = std::min(nextLf, nextCr);
    const std::string_view line = TrimIniSpace(text.substr(pos, end - pos));
    pos = end;
    while (pos < text.size() && (text[pos] == '\n' || text[pos] == '\r')) ++pos;
    if (line.empty()) continue;

    if (line.front() == '[') {
      if (const std::size_t close = line.rfind(']'); close != std::string_view::npos) {
        const std::string_view name = upToNul(TrimIniSpace(line.substr(1, close - 1)));
        const auto firstKey = static_cast<std::uint32_t>(keys_.size());
        sections_.push_back({SpanOf(name), firstKey, 0, 0, !name.empty()});
        continue;
      }
    }
    const std::size_t equals = line.find('=');
    Key key{};
    key.hasValue = equals != std::string_view::npos;
    const std::string_view name = upToNul(TrimIniSpace(line.substr(0, equals)));
    key.name = SpanOf(name);
    key.sketch = NameSketch(name);
    if (key.hasValue) key.value = SpanOf(upToNul(TrimIniSpace(line.substr(equals + 1))));
    keys_.push_back(key);
    ++sections_.back().keyCount;
  }
}

void IniFile::IndexSections() {
  sectionSlots_.assign(TableSize(sections_.size()), {});
  for (std::uint32_t index = 0; index < sections_.size(); ++index) {
    const std::string_view name = View(sections_[index].name);
    const std::uint32_t hash = FoldedHash(name);
    Slot& slot = SlotOf(sectionSlots_, hash, [&](std::uint32_t other) { return SameName(View(sections_[other].name), name); });
    if (slot.entry == 0) slot = {hash, index + 1};  // the first of a name wins
    sections_[index].firstOfName = slot.entry - 1;
  }
}

void IniFile::IndexLargeSections() {
  std::size_t count = 0;
  for (const Section& section : sections_)
    if (section.keyCount > kLinearKeys) count += section.keyCount;
  if (count == 0) return;
  largeSectionKeySlots_.assign(TableSize(count), {});
  for (std::uint32_t index = 0; index < sections_.size(); ++index) {
    const Section& section = sections_[index];
    if (section.keyCount <= kLinearKeys) continue;
    for (std::uint32_t k = section.firstKey; k < section.firstKey + section.keyCount; ++k) {
      const std::string_view name = View(keys_[k].name);
      const std::uint32_t hash = KeyHash(index, FoldedHash(name));
      // Keys of earlier sections may share the hash; those of this one begin at firstKey.
      Slot& slot = SlotOf(largeSectionKeySlots_, hash, [&](std::uint32_t other) {
        return other >= section.firstKey && SameName(View(keys_[other].name), name);
      });
      if (slot.entry == 0) slot = {hash, k + 1};  // the first of a name wins
    }
  }
}

std::int32_t IniFile::FindFolded(std::string_view folded) const {
  const Slot& slot = SlotOf(sectionSlots_, FoldedHash(folded),
                            [&](std::uint32_t index) { return SameName(View(sections_[index].name), folded); });
  return static_cast<std::int32_t>(slot.entry) - 1;
}

const IniFile::Key* IniFile::FindKey(std::uint32_t index, std::string_view foldedKey, std::uint32_t hash,
                                    std::uint32_t sketch) const {
  const Section& section = sections_[index];
  if (section.keyCount > kLinearKeys) return FindIndexedKey(index, foldedKey, hash);
  const Key* const first = keys_.data() + section.firstKey;
  for (const Key* key = first; key != first + section.keyCount; ++key)
    if (key->sketch == sketch && MatchesFolded(View(key->name), foldedKey)) return key;
  return nullptr;
}

// Out of line, so that the search in place, the common case, stays light.
[[gnu::noinline]] const IniFile::Key* IniFile::FindIndexedKey(std::uint32_t index, std::string_view foldedKey,
                                                             std::uint32_t hash) const {
  const Section& section = sections_[index];
  const Slot& slot = SlotOf(largeSectionKeySlots_, KeyHash(index, hash), [&](std::uint32_t k) {
    return k >= section.firstKey && k < section.firstKey + section.keyCount && MatchesFolded(View(keys_[k].name), foldedKey);
  });
  return slot.entry == 0 ? nullptr : &keys_[slot.entry - 1];
}

IniFile::Entry IniFile::Find(std::wstring_view section, std::wstring_view key) const {
  return FindKeyIn(FindSection(section), key);
}

std::int32_t IniFile::FindSection(std::wstring_view section) const {
  if (!readable_) return -1;
  return FindFolded(FoldedName(section).view());
}

std::int32_t IniFile::FindSectionNamedAs(std::uint32_t section) const {
  // A name cut at a U+0000 may end in blanks, which a lookup by it trims off.
  const std::string_view name = View(sections_[section].name), trimmed = TrimIniSpace(name);
  return trimmed.size() == name.size() ? static_cast<std::int32_t>(sections_[section].firstOfName) : FindFolded(trimmed);
}

std::wstring IniFile::SectionName(std::uint32_t section) const {
  const std::string_view name = View(sections_[section].name);
  if (std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    return std::wstring(name.begin(), name.end());
  std::wstring wide(WideLength(name), L'\0');
  CopyWide(name, wide.data(), wide.size());
  return wide;
}

IniFile::Entry IniFile::EntryOf(std::int32_t section, const Key* key) const {
  Entry entry;
  entry.sectionFound = section >= 0;
  if (key == nullptr) return entry;
  entry.keyFound = true;
  entry.hasValue = key->hasValue;
  entry.value = View(key->value);
  return entry;
}

IniFile::Entry IniFile::FindKeyIn(std::int32_t section, std::wstring_view key) const {
  if (section < 0 || static_cast<std::size_t>(section) >= sections_.size()) return {};
  const auto index = static_cast<std::uint32_t>(section);
  const FoldedName name(key);
  const std::uint32_t hash = sections_[index].keyCount > kLinearKeys ? FoldedHash(name.view()) : 0;
  return EntryOf(section, FindKey(index, name.view(), hash, NameSketch(name.view())));
}

IniFile::Entry IniFile::FindKeyIn(std::int32_t section, const KeyName& key) const {
  if (section < 0 || static_cast<std::size_t>(section) >= sections_.size()) return {};
  return EntryOf(section, FindKey(static_cast<std::uint32_t>(section), key.folded_, key.hash_, key.sketch_));
}

void IniFile::FindKeysIn(std::int32_t section, const KeySet& keys, std::span<Entry> found) const {
  std::fill(found.begin(), found.end(), Entry{});
  if (section < 0 || static_cast<std::size_t>(section) >= sections_.size()) return;
  const auto index = static_cast<std::uint32_t>(section);
  const Section& where = sections_[index];
  if (where.keyCount > kLinearKeys) {
    for (std::size_t i = 0; i < keys.size(); ++i) found[i] = FindKeyIn(section, keys.names_[i]);
    return;
  }
  for (Entry& entry : found) entry.sectionFound = true;
  // Keys in file order, each filling the names it matches that are still missing: the first of a name wins.
  std::uint32_t missing = keys.size() == 32 ? ~0u : (1u << keys.size()) - 1;
  const Key* const first = keys_.data() + where.firstKey;
  for (const Key* key = first; key != first + where.keyCount && missing != 0; ++key) {
    for (std::uint32_t candidates = keys.namesBySketch_[KeySet::Bucket(key->sketch)] & missing; candidates != 0;
         candidates &= candidates - 1) {
      const int i = std::countr_zero(candidates);
      const KeyName& name = keys.names_[static_cast<std::size_t>(i)];
      if (name.sketch_ != key->sketch || !MatchesFolded(View(key->name), name.folded_)) continue;
      found[static_cast<std::size_t>(i)] = EntryOf(section, key);
      missing &= ~(1u << i);
    }
  }
}

std::uint32_t IniFile::CopySectionNames(wchar_t* buffer, std::uint32_t size) const {
  if (!readable_ || buffer == nullptr || size == 0) return 0;
  if (size == 1) {
    buffer[0] = L'\0';
    return 0;
  }
  // `room` keeps one unit back for the list's final NUL; a name fits only when
  // it and its NUL leave at least one more unit, so an exact fit counts as too small.
  std::size_t room = size - 1;
  wchar_t* out = buffer;
  for (const Section& section : sections_) {
    if (!section.listed) continue;
    const std::string_view name = View(section.name);
    const std::size_t needed = WideLength(name) + 1;
    if (needed >= room) {
      out += CopyWide(name, out, room - 1);
      *out++ = L'\0';
      *out = L'\0';
      return size - 2;
    }
    out += CopyWide(name, out, needed - 1);
    *out++ = L'\0';
    room -= needed;
  }
  *out = L'\0';
  return static_cast<std::uint32_t>(out - buffer);
}

std::int32_t EntryInt(const IniFile::Entry& entry, std::int32_t fallback) {
  return entry.hasValue ? ProfileInt(entry.value, fallback) : fallback;
}

ProfileIntReading ReadProfileInt(std::string_view value) {
  ProfileIntReading read;
  read.text = value = StripQuotes(value);
  std::size_t pos = 0;
  while (pos < value.size() && IsIniSpace(static_cast<unsigned char>(value[pos]))) ++pos;
  bool negative = false;
  if (pos < value.size() && (value[pos] == '+' || value[pos] == '-')) negative = value[pos++] == '-';
  unsigned base = 10;
  if (pos + 1 < value.size() && value[pos] == '0') {
    const char prefix = value[pos + 1];
    base = prefix == 'x' ? 16 : prefix == 'o' ? 8 : prefix == 'b' ? 2 : 10;
    if (base != 10) pos += 2;
  }
  std::uint64_t magnitude = 0;  // wide enough to see an overflow; the answer wraps modulo 2^32 by design
  for (; pos < value.size(); ++pos) {
    const char c = value[pos];
    const unsigned digit = (c >= '0' && c <= '9')   ? static_cast<unsigned>(c - '0')
                           : (c >= 'a' && c <= 'z') ? static_cast<unsigned>(c - 'a' + 10)
                           : (c >= 'A' && c <= 'Z') ? static_cast<unsigned>(c - 'A' + 10)
                                                    : 36;
    if (digit >= base) break;
    read.digits = true;
    magnitude = magnitude * base + digit;
    if (magnitude > 0xFFFFFFFFu) read.exact = false;
    magnitude &= 0xFFFFFFFFFFu;
  }
  if (negative && magnitude != 0) read.exact = false;
  const auto wrapped = static_cast<std::uint32_t>(magnitude);
  read.value = static_cast<std::int32_t>(negative ? 0u - wrapped : wrapped);
  read.rest = value.substr(pos);
  return read;
}

std::int32_t ProfileInt(std::string_view value, std::int32_t fallback) {
  // Most values are a few plain digits, which read as themselves.
  if (!value.empty() && value.size() <= 9 &&
      std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    std::int32_t number = 0;
    for (const char c : value) number = number * 10 + (c - '0');
    return number;
  }
  const ProfileIntReading read = ReadProfileInt(value);
  return read.text.empty() ? fallback : read.value;
}

std::uint32_t CopyProfileString(std::string_view value, wchar_t* buffer, std::uint32_t size) {
  if (buffer == nullptr || size == 0) return 0;
  const std::size_t copied = CopyWide(StripQuotes(value), buffer, size - 1);
  buffer[copied] = L'\0';
  return static_cast<std::uint32_t>(copied);
}

}  // namespace platform::profile
