// An INI file read by the Windows profile-file rules (docs/INI.md states them,
// with the corpus files that show each one). General INI libraries follow
// other rules, hence this reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace platform::profile {

class IniFile {
 public:
  // A file that could not be opened (a directory, a read error): it lists
  // nothing, writes nothing into a name buffer, and every lookup misses.
  IniFile() = default;

  // Parses a file's bytes, whatever their encoding (see DecodeIniBytes).
  static IniFile Parse(std::string_view bytes);

  // What one lookup found. `value` is the trimmed text after the first '=',
  // up to any U+0000, still in its quotes; empty when !hasValue.
  struct Entry {
    bool sectionFound = false;
    bool keyFound = false;
    bool hasValue = false;  // false for a key line without '='
    std::string_view value;
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

  // GetPrivateProfileSectionNamesW's buffer contract: each listed name and a
  // NUL, then one more NUL; returns the count without that last NUL. When the
  // list needs `size` units or more, the name that does not fit is cut, the
  // buffer ends in two NULs and the result is size - 2. Writes nothing for an
  // unreadable file, only buffer[0] for a file without listed sections.
  std::uint32_t CopySectionNames(wchar_t* buffer, std::uint32_t size) const;

  bool readable() const { return readable_; }

 private:
  struct Span {
    std::size_t begin = 0, size = 0;
  };
  struct Key {
    Span name, value;
    bool hasValue;
  };
  struct Section {
    Span name;
    bool listed;
    std::uint32_t firstKey, keyCount;
  };

  std::string_view View(Span s) const { return std::string_view(text_).substr(s.begin, s.size); }
  Span SpanOf(std::string_view part) const {
    return {static_cast<std::size_t>(part.data() - text_.data()), part.size()};
  }
  void AddSection(std::string_view name, bool listed);
  void EndSection();
  const Key* FindKey(std::uint32_t section, std::string_view foldedKey) const;

  bool readable_ = false;
  std::string text_;  // UTF-8; every Span points into it
  std::vector<Section> sections_;  // [0] holds the keys before the first header
  std::vector<Key> keys_;
  // Looks names up by std::string_view without making a std::string.
  struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
  };
  using NameIndex = std::unordered_map<std::string, std::uint32_t, NameHash, std::equal_to<>>;
  // First section of each name, and the keys of large sections, by folded name.
  NameIndex sectionIndex_;
  NameIndex largeSectionKeys_;
};

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
