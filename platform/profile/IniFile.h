// An INI file read by the Windows profile-file rules (docs/INI.md states them,
// with the corpus files that show each one). General INI libraries follow
// other rules, hence this reader.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform::profile {

class IniFile {
 public:
  // A file that could not be opened (a directory, a read error): it lists
  // nothing, writes nothing into a name buffer, and every lookup misses.
  IniFile() = default;

  // Parses a file's bytes, whatever their encoding (see DecodeIniBytes).
  static IniFile Parse(std::string_view bytes);
  // The same for bytes it may keep: a file that is UTF-8 already is not copied.
  static IniFile ParseInPlace(std::string&& bytes);

  // What one lookup found. `value` is the trimmed text after the first '=',
  // up to any U+0000, still in its quotes; empty when !hasValue.
  struct Entry {
    bool sectionFound = false;
    bool keyFound = false;
    bool hasValue = false;  // false for a key line without '='
    std::string_view value;
  };

  // A key name as lookups compare it, made once by callers that read the
  // same keys in many sections.
  class KeyName {
   public:
    explicit KeyName(std::wstring_view name);

   private:
    friend class IniFile;
    std::string folded_;
    std::uint32_t hash_, sketch_;
  };

  // Names read together from many sections, each section's keys passed over
  // once for all of them (at most 32 names).
  class KeySet {
   public:
    explicit KeySet(const std::vector<std::wstring_view>& names);
    std::size_t size() const { return names_.size(); }

   private:
    friend class IniFile;
    static std::size_t Bucket(std::uint32_t sketch) { return (sketch * 0x9E3779B1u) >> 26; }
    std::vector<KeyName> names_;
    std::array<std::uint32_t, 64> namesBySketch_{};  // per bucket: bit i for names_[i]
  };

  // Looks `key` up in the first section named `section`. Both names (C
  // strings: any U+0000 ends them) are trimmed and compared without regard to ASCII case; the first of duplicate
  // keys wins, and a key line without '=' hides any later one of that name.
  Entry Find(std::wstring_view section, std::wstring_view key) const;

  // The same lookup in two steps, for callers that read many keys of one
  // section: the index of the first section named `section` (-1: none), then
  // the key in that section.
  std::int32_t FindSection(std::wstring_view section) const;
  Entry FindKeyIn(std::int32_t section, std::wstring_view key) const;
  Entry FindKeyIn(std::int32_t section, const KeyName& key) const;
  // Every name of `keys` in the section: found[i] for the i-th, as FindKeyIn finds it.
  void FindKeysIn(std::int32_t section, const KeySet& keys, std::span<Entry> found) const;

  // The sections in file order, for callers that read each listed one in
  // turn without a name buffer: its name as CopySectionNames lists it, and
  // the section that FindSection finds by that name.
  std::uint32_t SectionCount() const { return static_cast<std::uint32_t>(sections_.size()); }
  bool IsListed(std::uint32_t section) const { return sections_[section].listed; }
  std::wstring SectionName(std::uint32_t section) const;
  std::int32_t FindSectionNamedAs(std::uint32_t section) const;

  // GetPrivateProfileSectionNamesW's buffer contract: each listed name and a
  // NUL, then one more NUL; returns the count without that last NUL. When the
  // list needs `size` units or more, the name that does not fit is cut, the
  // buffer ends in two NULs and the result is size - 2. Writes nothing for an
  // unreadable file, only buffer[0] for a file without listed sections.
  std::uint32_t CopySectionNames(wchar_t* buffer, std::uint32_t size) const;

  bool readable() const { return readable_; }

 private:
  // Offsets into text_, which a file read here never makes larger than 4 GiB.
  struct Span {
    std::uint32_t begin = 0, size = 0;
  };
  struct Key {
    Span name, value;
    std::uint32_t sketch;  // NameSketch of the name: sections searched in place compare it first
    bool hasValue;
  };
  struct Section {
    Span name;
    std::uint32_t firstKey, keyCount;
    std::uint32_t firstOfName;  // the section that lookups of this name find
    bool listed;
  };
  // A slot of an open-addressing table: a folded name's hash and the index
  // of its entry plus one (0: empty).
  struct Slot {
    std::uint32_t hash = 0, entry = 0;
  };

  std::string_view View(Span s) const { return {text_.data() + s.begin, s.size}; }
  Span SpanOf(std::string_view part) const {
    return {static_cast<std::uint32_t>(part.data() - text_.data()), static_cast<std::uint32_t>(part.size())};
  }
  void SplitLines();
  void IndexSections();
  void IndexLargeSections();
  std::int32_t FindFolded(std::string_view folded) const;
  const Key* FindKey(std::uint32_t section, std::string_view folded, std::uint32_t hash, std::uint32_t sketch) const;
  const Key* FindIndexedKey(std::uint32_t section, std::string_view folded, std::uint32_t hash) const;
  Entry EntryOf(std::int32_t section, const Key* key) const;

  bool readable_ = false;
  std::string text_;  // UTF-8; every Span points into it
  std::vector<Section> sections_;  // [0] holds the keys before the first header
  std::vector<Key> keys_;
  // The first section of each folded name, and the first key of each folded
  // name in each section too large to be searched in place.
  std::vector<Slot> sectionSlots_;
  std::vector<Slot> largeSectionKeySlots_;
};

// What iniGetInt reads from a lookup: ProfileInt of the value, `fallback`
// for a missing key or one without '='.
std::int32_t EntryInt(const IniFile::Entry& entry, std::int32_t fallback);

// One pair of matching quotes around a value of two or more characters dropped,
// as both readings below do.
std::string_view StripQuotes(std::string_view value);

// GetPrivateProfileIntW's reading of a value: quotes dropped as for strings;
// an empty result gives `fallback`; else blanks, one sign, a lower-case 0x/0o/0b
// prefix and the digits of that base, ignoring what follows; no digits give 0;
// the value wraps modulo 2^32.
std::int32_t ProfileInt(std::string_view value, std::int32_t fallback);

// That reading in full, for tools that explain it.
struct ProfileIntReading {
  std::string_view text;   // the value without its quotes; empty: the fallback is answered
  std::int32_t value = 0;  // the answer otherwise
  bool digits = false;     // a digit was read
  bool exact = true;       // the number written is the answer (no wrap, no minus)
  std::string_view rest;   // what follows the digits, ignored
};
ProfileIntReading ReadProfileInt(std::string_view value);

// GetPrivateProfileStringW's copy of a value: one pair of matching quotes
// around a value of two or more characters dropped, then at most size - 1
// characters and a NUL copied. Returns the characters copied.
std::uint32_t CopyProfileString(std::string_view value, wchar_t* buffer, std::uint32_t size);

}  // namespace platform::profile
