#include "platform/profile/IniFile.h"

#include <algorithm>

#include "platform/profile/IniText.h"
#include "platform/strings.h"

namespace platform::profile {
namespace {

// Sections with more keys than this get a hash index; smaller ones are
// searched in place, which is faster at that size.
constexpr std::uint32_t kLinearKeys = 16;

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

void AppendFolded(std::string& out, std::string_view utf8) {
  for (const char c : utf8) out.push_back(FoldAscii(c));
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

bool EqualsFolded(std::string_view text, std::string_view folded) {
  return text.size() == folded.size() &&
         std::equal(text.begin(), text.end(), folded.begin(), [](char a, char b) { return FoldAscii(a) == b; });
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


IniFile IniFile::Parse(std::string_view bytes) {
  IniFile file;
  file.readable_ = true;
  file.text_ = DecodeIniBytes(bytes);
  file.AddSection({}, false);
  const std::string_view text = file.text_;
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

    const std::size_t close = line.rfind(']');
    if (line.front() == '[' && close != std::string_view::npos) {
      const std::string_view name = upToNul(TrimIniSpace(line.substr(1, close - 1)));
      file.AddSection(name, !name.empty());
      continue;
    }
    const std::size_t equals = line.find('=');
    Key key{};
    key.hasValue = equals != std::string_view::npos;
    key.name = file.SpanOf(upToNul(TrimIniSpace(line.substr(0, equals))));
    if (key.hasValue) key.value = file.SpanOf(upToNul(TrimIniSpace(line.substr(equals + 1))));
    file.keys_.push_back(key);
    ++file.sections_.back().keyCount;
  }
  file.EndSection();
  return file;
}

void IniFile::AddSection(std::string_view name, bool listed) {
  EndSection();
  const auto index = static_cast<std::uint32_t>(sections_.size());
  sections_.push_back({SpanOf(name), listed, static_cast<std::uint32_t>(keys_.size()), 0});
  std::string folded;
  AppendFolded(folded, name);
  sectionIndex_.try_emplace(std::move(folded), index);  // the first of a name wins
}

void IniFile::EndSection() {
  if (sections_.empty() || sections_.back().keyCount <= kLinearKeys) return;
  const Section& section = sections_.back();
  const auto index = static_cast<std::uint32_t>(sections_.size() - 1);
  for (std::uint32_t k = section.firstKey; k < section.firstKey + section.keyCount; ++k) {
    std::string folded(reinterpret_cast<const char*>(&index), sizeof index);
    AppendFolded(folded, View(keys_[k].name));
    largeSectionKeys_.try_emplace(std::move(folded), k);
  }
}

const IniFile::Key* IniFile::FindKey(std::uint32_t index, std::string_view foldedKey) const {
  const Section& section = sections_[index];
  if (section.keyCount > kLinearKeys) {
    std::string folded(reinterpret_cast<const char*>(&index), sizeof index);
    folded += foldedKey;
    const auto it = largeSectionKeys_.find(folded);
    return it == largeSectionKeys_.end() ? nullptr : &keys_[it->second];
  }
  const char* const text = text_.data();
  const Key* const first = keys_.data() + section.firstKey;
  for (const Key* key = first; key != first + section.keyCount; ++key)
    if (key->name.size == foldedKey.size() && EqualsFolded({text + key->name.begin, key->name.size}, foldedKey))
      return key;
  return nullptr;
}

IniFile::Entry IniFile::Find(std::wstring_view section, std::wstring_view key) const {
  return FindKeyIn(FindSection(section), key);
}

std::int32_t IniFile::FindSection(std::wstring_view section) const {
  if (!readable_) return -1;
  const auto it = sectionIndex_.find(FoldedName(section).view());
  return it == sectionIndex_.end() ? -1 : static_cast<std::int32_t>(it->second);
}

IniFile::Entry IniFile::FindKeyIn(std::int32_t section, std::wstring_view key) const {
  Entry entry;
  if (section < 0 || static_cast<std::size_t>(section) >= sections_.size()) return entry;
  entry.sectionFound = true;
  const Key* found = FindKey(static_cast<std::uint32_t>(section), FoldedName(key).view());
  if (found == nullptr) return entry;
  entry.keyFound = true;
  entry.hasValue = found->hasValue;
  entry.value = View(found->value);
  return entry;
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
