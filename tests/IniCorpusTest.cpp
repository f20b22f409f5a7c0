// Runs every file of tests/data/ini/corpus through the profile functions and
// compares each answer with the reference answers in golden.jsonl (see the
// README there for the format, and RULES.md for what each file shows).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "host/Profile.h"
#include "tests/support/Json.h"

namespace {

using testsupport::Json;

const std::string kIniDir = KVO_TEST_DATA "/ini";
constexpr wchar_t kFill = 0xFFFF;  // the reference probe pre-filled every buffer with this

// Answers where our reader differs from the reference on purpose: every probe
// of `key` in `section` of `file` expects `value` instead (for ID also the
// case.* lookups of ID; for Tag also tag_dflt and case.tag, and `value` is then
// the length of the expected run of digits "0123456789012...").
struct Deviation {
  std::string_view file, section, key;
  int value;
  std::string_view why;
};
constexpr std::string_view kLongInt =
    "an integer is read whole; the reference reads only its first 29 characters";
constexpr Deviation kDeviations[] = {
    {"tag_long.ini", "Quoted255", "Tag", 255,
     "255 characters inside quotes fit a 256 buffer whole; the reference loses the last one"},
    {"int_forms_extra_utf8_bom.ini", "zeros_32_chars", "ID", 12, kLongInt},  // 32 characters, reference: 0
    {"int_forms_extra_utf8_bom.ini", "zeros_32_chars", "useShading", 12, kLongInt},
    {"int_forms_extra_utf8_bom.ini", "digits_29_then_7", "ID", 17, kLongInt},  // 30 characters, reference: 1
    {"int_forms_extra_utf8_bom.ini", "digits_29_then_7", "useShading", 17, kLongInt},
};

// Files whose answers are expected to be those the reference gave for another file.
struct Substitute {
  std::string_view file, answersOf, why;
};
constexpr Substitute kSubstitutes[] = {
    {"nonascii_utf8_no_bom.ini", "nonascii_utf8_bom.ini",
     "a file without BOM that is valid UTF-8 is read as UTF-8 (the reference reads code page 1252); "
     "its bytes are those of nonascii_utf8_bom.ini after the BOM, so every answer must be the same"},
};
// Kept as in the reference: lookups of the section "" find the keys before the
// first header, which is also what our reader does (Windows instead finds a
// later "[]" section; nothing in the library looks up "").

struct IntKey {
  const char* key;
  int fallback;
};
constexpr IntKey kIntKeys[] = {{"ID", 65535},          {"useShading", -1},      {"useCustomGrayscale", -1},
                               {"useAutoExposure", -1}, {"useWhitebalance", -1}, {"useBlackbalance", -1},
                               {"useAccumulation", -1}, {"useSplitting", -1},    {"useRTCTrigger", 0}};

std::vector<Json> LoadGolden() {
  std::ifstream in(kIniDir + "/golden.jsonl", std::ios::binary);
  if (!in) throw std::runtime_error("cannot open golden.jsonl");
  std::vector<Json> lines;
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(testsupport::ParseJson(line));
  return lines;
}

const std::vector<Json>& Golden() {
  static const std::vector<Json> lines = LoadGolden();
  return lines;
}

const Json& GoldenFor(std::string_view file) {
  for (const Json& line : Golden())
    if (line["file"].AsString() == std::u16string(file.begin(), file.end())) return line;
  throw std::runtime_error("no golden line for " + std::string(file));
}

std::wstring Widen(std::string_view ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// Our wchar_t is 32 bits and holds whole code points, while the reference
// answers are UTF-16: a character above U+FFFF is one unit for us and two there.
std::u16string ToUtf16(std::wstring_view text) {
  std::u16string out;
  for (const wchar_t c : text) {
    const auto cp = static_cast<char32_t>(c);
    if (cp < 0x10000) {
      out.push_back(static_cast<char16_t>(cp));
    } else {
      out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    }
  }
  return out;
}

std::wstring FromUtf16(std::u16string_view text) {
  std::wstring out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size()) cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
    out.push_back(static_cast<wchar_t>(cp));
  }
  return out;
}

// How many more units `text` takes in UTF-16 than in our wchar_t: one per character above U+FFFF.
std::int64_t ExtraUtf16Units(std::wstring_view text) {
  return std::count_if(text.begin(), text.end(), [](wchar_t c) { return static_cast<char32_t>(c) > 0xFFFF; });
}

std::string Printable(std::u16string_view text) {
  std::string out;
  for (const char16_t c : text) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\u%04x", static_cast<unsigned>(c));
    out += (c >= 0x20 && c < 0x7F) ? std::string(1, static_cast<char>(c)) : hex;
  }
  return out;
}

const Deviation* FindDeviation(std::string_view file, std::u16string_view section, std::string_view key) {
  for (const Deviation& d : kDeviations)
    if (d.file == file && d.key == key && std::u16string(d.section.begin(), d.section.end()) == section) return &d;
  return nullptr;
}

std::string Why(const Deviation* deviation) {
  return deviation != nullptr ? " (deliberate: " + std::string(deviation->why) + ")" : "";
}

std::u16string Digits(int count) {
  std::u16string out;
  for (int i = 0; i < count; ++i) out.push_back(static_cast<char16_t>(u'0' + i % 10));
  return out;
}

// Splits a name buffer (as UTF-16 units) the way the probe did: names up to an
// empty one; `end` 0 at an empty name, 1 at the end of the buffer, 2 at a unit
// the call did not write.
struct NameList {
  std::vector<std::u16string> names;
  int end = 0;
};
NameList SplitNames(const std::u16string& units) {
  NameList list;
  std::size_t p = 0;
  while (p < units.size() && units[p] != 0) {
    if (units[p] == kFill) return list.end = 2, list;
    const std::size_t q = std::min(units.find_first_of(std::u16string{u'\0', char16_t{kFill}}, p), units.size());
    list.names.push_back(units.substr(p, q - p));
    if (q == units.size()) return list.end = 1, list;
    if (units[q] == kFill) return list.end = 2, list;
    p = q + 1;
  }
  list.end = p >= units.size() ? 1 : 0;
  return list;
}

void CheckSectionNames(const std::wstring& path, const Json& g, std::uint32_t size, const std::string& tag) {
  SCOPED_TRACE("section names, buffer " + std::to_string(size));
  std::vector<wchar_t> buffer(size, kFill);
  const std::uint32_t ret = GetPrivateProfileSectionNamesW(buffer.data(), size, path.c_str());
  ASSERT_LT(ret, size);
  // The buffer as the probe saw it, and the return counted in UTF-16 units. No
  // file that runs out of room lists a character above U+FFFF, so the cut falls
  // where it fell for the probe.
  const std::u16string units = ToUtf16({buffer.data(), buffer.size()});
  EXPECT_EQ(ret + ExtraUtf16Units({buffer.data(), ret}), g["ret_" + tag].AsInt());

  const NameList list = SplitNames(units);
  std::vector<std::u16string> expected;
  for (std::size_t i = 0; i < g["names_" + tag].size(); ++i) expected.push_back(g["names_" + tag][i].AsString());
  EXPECT_EQ(list.names, expected);
  EXPECT_EQ(list.end, g.Has("names_" + tag + "_unterminated") ? 1 : g.Has("names_" + tag + "_hit_unwritten") ? 2 : 0);
  EXPECT_EQ(std::count_if(units.begin(), units.end(), [](char16_t u) { return u != kFill; }),
            g["raw_" + tag + "_written"].AsInt());
  if (tag != "256") return;
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(units[i], g["raw_256_head"][i].AsInt()) << "unit " << i;
    EXPECT_EQ(units[252 + i], g["raw_256_tail"][i].AsInt()) << "unit " << 252 + i;
  }
}

// GetPrivateProfileStringW with a 256 buffer; `ret` in UTF-16 units.
struct StringAnswer {
  std::int64_t ret;
  std::u16string text;
};
StringAnswer GetString(const std::wstring& section, const wchar_t* key, const wchar_t* fallback,
                       const std::wstring& path) {
  std::vector<wchar_t> buffer(256 + 8, kFill);
  const int ret = iniGetString(section.c_str(), key, fallback, buffer.data(), 256, path.c_str());
  EXPECT_TRUE(std::all_of(buffer.begin() + 256, buffer.end(), [](wchar_t c) { return c == kFill; })) << "overrun";
  const auto nul = std::find(buffer.begin(), buffer.begin() + 256, L'\0');
  EXPECT_NE(nul, buffer.begin() + 256) << "unterminated";
  const std::wstring_view text(buffer.data(), static_cast<std::size_t>(nul - buffer.begin()));
  EXPECT_EQ(ret, static_cast<int>(text.size()));
  return {ret + ExtraUtf16Units(text), ToUtf16(text)};  // the reference counts UTF-16 units
}

void ExpectString(const StringAnswer& got, const Json& g, const Deviation* deviation, const char* probe) {
  const StringAnswer want = deviation != nullptr ? StringAnswer{deviation->value, Digits(deviation->value)}
                                                 : StringAnswer{g["ret"].AsInt(), g["text"].AsString()};
  EXPECT_EQ(got.ret, want.ret) << probe << Why(deviation);
  EXPECT_EQ(Printable(got.text), Printable(want.text)) << probe << Why(deviation);
}

// One section probe of the reference (`name`, `int`, `str`, `tag_dflt`, `case`).
void CheckLookups(const std::wstring& path, std::string_view file, const Json& g) {
  const std::u16string& name16 = g["name"].AsString();
  SCOPED_TRACE("section \"" + Printable(name16) + "\"");
  const std::wstring name = FromUtf16(name16);
  const Deviation* id = FindDeviation(file, name16, "ID");
  const Deviation* tag = FindDeviation(file, name16, "Tag");
  const auto wantId = [&](const Json& golden) { return id != nullptr ? id->value : golden.AsInt(); };

  for (const auto& [key, fallback] : kIntKeys) {
    const Deviation* deviation = FindDeviation(file, name16, key);
    const std::int64_t want = deviation != nullptr ? deviation->value : g["int"][key].AsInt();
    EXPECT_EQ(iniGetInt(name.c_str(), Widen(key).c_str(), fallback, path.c_str()), want)
        << "int " << key << Why(deviation);
  }
  ExpectString(GetString(name, L"Tag", L"", path), g["str"]["Tag"], tag, "str Tag");
  ExpectString(GetString(name, L"Position", L"", path), g["str"]["Position"], nullptr, "str Position");
  ExpectString(GetString(name, L"Tag", L"<none>", path), g["tag_dflt"], tag, "tag_dflt");
  if (!g.Has("case")) return;

  const Json& c = g["case"];
  const auto recased = [&](const char* member) { return c.Has(member) ? FromUtf16(c[member].AsString()) : name; };
  const struct {
    const char* probe;
    std::wstring section;
    const wchar_t* key;
  } idProbes[] = {{"id", name, L"id"},
                  {"ID_padded_key", name, L" ID "},
                  {"ID_upper_section", recased("upper_section"), L"ID"},
                  {"ID_lower_section", recased("lower_section"), L"ID"},
                  {"ID_padded_section", L"  " + name + L"  ", L"ID"}};
  for (const auto& p : idProbes)
    EXPECT_EQ(iniGetInt(p.section.c_str(), p.key, 65535, path.c_str()), wantId(c[p.probe]))
        << "case." << p.probe << Why(id);
  ExpectString(GetString(name, L"tag", L"", path), c["tag"], tag, "case.tag");
}

std::vector<std::string> GoldenFiles() {
  std::vector<std::string> files;
  try {
    for (const Json& line : Golden()) {
      const std::u16string& file = line["file"].AsString();
      files.emplace_back(file.begin(), file.end());
    }
  } catch (const std::exception&) {
    // Reported by the CorpusAndGoldenMatch test.
  }
  return files;
}

class IniCorpusFile : public testing::TestWithParam<std::string> {};

TEST_P(IniCorpusFile, MatchesGolden) {
  const std::string& file = GetParam();
  const auto substitute = std::find_if(std::begin(kSubstitutes), std::end(kSubstitutes),
                                       [&](const Substitute& s) { return s.file == file; });
  const bool substituted = substitute != std::end(kSubstitutes);
  const Json& g = GoldenFor(substituted ? substitute->answersOf : file);
  SCOPED_TRACE(substituted ? file + ": " + std::string(substitute->why) : file);
  const std::wstring path = Widen(kIniDir + "/corpus/" + file);

  CheckSectionNames(path, g, 65536, "big");
  CheckSectionNames(path, g, 256, "256");
  CheckLookups(path, file, g["unnamed"]);
  ASSERT_EQ(g["sections"].size(), g["names_big"].size());
  for (std::size_t i = 0; i < g["sections"].size(); ++i) CheckLookups(path, file, g["sections"][i]);
}

INSTANTIATE_TEST_SUITE_P(IniCorpus, IniCorpusFile, testing::ValuesIn(GoldenFiles()), [](const auto& info) {
  std::string name = info.param;
  std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
  return name;
});

// Every corpus entry has a golden line and the reverse; the table entries name
// real sections whose reference answer they replace.
TEST(IniCorpusData, CorpusAndGoldenMatch) {
  std::set<std::string> onDisk, golden;
  for (const auto& entry : std::filesystem::directory_iterator(kIniDir + "/corpus"))
    if (entry.path().filename().string().front() != '.') onDisk.insert(entry.path().filename().string());
  for (const std::string& file : GoldenFiles()) golden.insert(file);
  ASSERT_EQ(golden.size(), Golden().size());
  EXPECT_TRUE(golden.erase("does_not_exist.ini"));
  EXPECT_FALSE(std::filesystem::exists(kIniDir + "/corpus/does_not_exist.ini"));
  EXPECT_TRUE(std::filesystem::is_directory(kIniDir + "/corpus/is_directory.ini"));
  EXPECT_EQ(onDisk, golden);

  for (const Deviation& d : kDeviations) {
    SCOPED_TRACE(std::string(d.file) + " [" + std::string(d.section) + "] " + std::string(d.key));
    const Json& sections = GoldenFor(d.file)["sections"];
    bool found = false;
    for (std::size_t i = 0; i < sections.size(); ++i) {
      const Json& s = sections[i];
      if (s["name"].AsString() != std::u16string(d.section.begin(), d.section.end())) continue;
      found = true;
      if (d.key != "Tag") EXPECT_NE(s["int"][d.key].AsInt(), d.value) << d.why;
      else EXPECT_NE(s["str"]["Tag"]["text"].AsString(), Digits(d.value)) << d.why;
    }
    EXPECT_TRUE(found);
  }
}

}  // namespace
