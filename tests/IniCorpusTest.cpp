// Runs every file of tests/data/ini/corpus through the profile functions and
// compares each answer with the reference answers in golden.jsonl (see the
// README there for the format, and docs/INI.md for the rules they show).
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <tuple>
#include <utility>
#include <vector>

#include "host/Profile.h"
#include "platform/strings.h"

namespace {

using Json = nlohmann::json;

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
constexpr std::string_view kLongInt = "an integer is read whole; the reference reads only its first 29 characters";
constexpr Deviation kDeviations[] = {
    {"tag_long.ini", "Quoted255", "Tag", 255,
     "255 characters inside quotes fit a 256 buffer whole; the reference loses the last one"},
    {"int_forms_extra_utf8_bom.ini", "zeros_32_chars", "ID", 12, kLongInt},  // 32 characters, reference: 0
    {"int_forms_extra_utf8_bom.ini", "zeros_32_chars", "useShading", 12, kLongInt},
    {"int_forms_extra_utf8_bom.ini", "digits_29_then_7", "ID", 17, kLongInt},  // 30 characters, reference: 1
    {"int_forms_extra_utf8_bom.ini", "digits_29_then_7", "useShading", 17, kLongInt},
};

// A file whose answers are expected to be those the reference gave for another
// file: without BOM but valid UTF-8, it is read as UTF-8 (the reference reads
// code page 1252); its bytes are those of the other after the BOM, so every
// answer must be the same.
constexpr std::string_view kSubstitute = "nonascii_utf8_no_bom.ini", kSubstituteAnswersOf = "nonascii_utf8_bom.ini";
// Kept as in the reference: lookups of the section "" find the keys before the
// first header, which is also what our reader does (Windows instead finds a
// later "[]" section; nothing in the library looks up "").

// The integer keys and their fallbacks.
constexpr std::pair<std::string_view, int> kIntKeys[] = {
    {"ID", 65535},          {"useShading", -1},      {"useCustomGrayscale", -1},
    {"useAutoExposure", -1}, {"useWhitebalance", -1}, {"useBlackbalance", -1},
    {"useAccumulation", -1}, {"useSplitting", -1},    {"useRTCTrigger", 0}};

// golden.jsonl by file name.
const std::map<std::string, Json>& Golden() {
  static const std::map<std::string, Json> byFile = [] {
    std::ifstream in(kIniDir + "/golden.jsonl", std::ios::binary);
    std::map<std::string, Json> lines;
    for (std::string line; std::getline(in, line);) {
      const Json json = Json::parse(line);
      const std::string file = json["file"];
      if (!lines.emplace(file, json).second) throw std::runtime_error("two golden lines for " + file);
    }
    return lines;
  }();
  return byFile;
}

// Our wchar_t is 32 bits and holds whole code points, while the reference
// answers are UTF-16: a character above U+FFFF is one unit for us and two
// there, so counts are compared as the length of the text in UTF-16.
std::u16string ToUtf16(std::wstring_view text) {
  std::u16string out;
  for (const char32_t c : text) {
    if (c <= 0xFFFF) out += static_cast<char16_t>(c);
    else out += {static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)), static_cast<char16_t>(0xDC00 + (c & 0x3FF))};
  }
  return out;
}

// A golden string (UTF-8 in the file) as the UTF-16 the reference answered in.
std::u16string U16(const Json& text) { return ToUtf16(platform::WideFromUtf8(text.get<std::string>())); }

std::wstring FromUtf16(std::u16string_view text) {
  std::wstring out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    out += static_cast<wchar_t>(c);
  }
  return out;
}

std::u16string Digits(int count) {  // "0123456789012..."
  std::u16string out;
  for (int i = 0; i < count; ++i) out += static_cast<char16_t>(u'0' + i % 10);
  return out;
}

void CheckSectionNames(const std::wstring& path, const Json& g, std::uint32_t size, const std::string& tag) {
  SCOPED_TRACE("section names, buffer " + std::to_string(size));
  std::vector<wchar_t> buffer(size, kFill);
  const std::uint32_t ret = GetPrivateProfileSectionNamesW(buffer.data(), size, path.c_str());
  ASSERT_LT(ret, size);
  // The buffer as the probe saw it. No file that runs out of room lists a
  // character above U+FFFF, so the cut falls where it fell for the probe.
  const std::u16string units = ToUtf16({buffer.data(), buffer.size()});
  EXPECT_EQ(std::ssize(ToUtf16({buffer.data(), ret})), g["ret_" + tag].get<std::int64_t>());
  EXPECT_EQ(std::ssize(units) - std::count(units.begin(), units.end(), kFill), g["raw_" + tag + "_written"].get<std::int64_t>());
  for (std::size_t i = 0; tag == "256" && i < 4; ++i) {
    EXPECT_EQ(units[i], g["raw_256_head"][i].get<std::int64_t>()) << "unit " << i;
    EXPECT_EQ(units[252 + i], g["raw_256_tail"][i].get<std::int64_t>()) << "unit " << 252 + i;
  }
  // Split as the probe did: names up to an empty one (`end` 0), the end of the
  // buffer (1) or a unit the call did not write (2).
  std::vector<std::u16string> names, expected;
  std::size_t p = 0;
  while (p < units.size() && units[p] != 0 && units[p] != kFill) {
    const std::size_t q = std::min(units.find_first_of(std::u16string_view(u"\0\uFFFF", 2), p), units.size());
    names.push_back(units.substr(p, q - p));
    p = q + (q < units.size() && units[q] == 0);
  }
  for (const Json& name : g["names_" + tag]) expected.push_back(U16(name));
  EXPECT_EQ(names, expected);
  const int end = p == units.size() ? 1 : units[p] == kFill ? 2 : 0;
  EXPECT_EQ(end, g.contains("names_" + tag + "_unterminated") ? 1 : g.contains("names_" + tag + "_hit_unwritten") ? 2 : 0);
}

// One section probe of the reference (`name`, `int`, `str`, `tag_dflt`, `case`).
void CheckLookups(const std::wstring& path, std::string_view file, const Json& g) {
  const std::u16string& name16 = U16(g["name"]);
  SCOPED_TRACE("section " + testing::PrintToString(name16));
  const std::wstring name = FromUtf16(name16);
  const auto deviation = [&](std::string_view key) -> const Deviation* {
    for (const Deviation& d : kDeviations)
      if (d.file == file && d.key == key && std::u16string(d.section.begin(), d.section.end()) == name16) return &d;
    return nullptr;
  };
  const auto why = [](const Deviation* d) { return d ? " (deliberate: " + std::string(d->why) + ")" : std::string(); };

  const auto expectInt = [&](const std::string& probe, const std::wstring& section, const std::wstring& key,
                             int fallback, const Json& want, const Deviation* d) {
    EXPECT_EQ(iniGetInt(section.c_str(), key.c_str(), fallback, path.c_str()), d ? d->value : want.get<std::int64_t>())
        << probe << why(d);
  };
  // With a 256 buffer; `want` holds `ret` (in UTF-16 units) and `text`.
  const auto expectString = [&](const std::string& probe, const wchar_t* key, const wchar_t* fallback,
                                const Json& want, const Deviation* d) {
    std::vector<wchar_t> buffer(256 + 8, kFill);
    const int ret = iniGetString(name.c_str(), key, fallback, buffer.data(), 256, path.c_str());
    EXPECT_EQ(std::count(buffer.begin() + 256, buffer.end(), kFill), 8) << probe << ": overrun";
    const auto nul = std::find(buffer.begin(), buffer.begin() + 256, L'\0');
    const std::wstring_view text(buffer.data(), static_cast<std::size_t>(nul - buffer.begin()));
    EXPECT_LT(text.size(), 256u) << probe << ": unterminated";
    EXPECT_EQ(ret, std::ssize(text)) << probe;
    const std::u16string text16 = ToUtf16(text);
    EXPECT_EQ(ret + std::ssize(text16) - std::ssize(text), d ? d->value : want["ret"].get<std::int64_t>()) << probe << why(d);
    EXPECT_EQ(text16, d ? Digits(d->value) : U16(want["text"])) << probe << why(d);
  };

  for (const auto& [key, fallback] : kIntKeys)
    expectInt("int " + std::string(key), name, std::wstring(key.begin(), key.end()), fallback, g["int"][key],
              deviation(key));
  expectString("str Tag", L"Tag", L"", g["str"]["Tag"], deviation("Tag"));
  expectString("str Position", L"Position", L"", g["str"]["Position"], nullptr);
  expectString("tag_dflt", L"Tag", L"<none>", g["tag_dflt"], deviation("Tag"));
  if (!g.contains("case")) return;
  const Json* c = &g["case"];
  const auto recased = [&](const char* member) { return c->contains(member) ? platform::WideFromUtf8((*c)[member].get<std::string>()) : name; };
  const std::tuple<const char*, std::wstring, const wchar_t*> idProbes[] = {
      {"id", name, L"id"},
      {"ID_padded_key", name, L" ID "},
      {"ID_upper_section", recased("upper_section"), L"ID"},
      {"ID_lower_section", recased("lower_section"), L"ID"},
      {"ID_padded_section", L"  " + name + L"  ", L"ID"}};
  for (const auto& [probe, section, key] : idProbes)
    expectInt(std::string("case.") + probe, section, key, 65535, (*c)[probe], deviation("ID"));
  expectString("case.tag", L"tag", L"", (*c)["tag"], deviation("Tag"));
}

// The corpus files, and the missing path the reference was also asked about.
std::vector<std::string> CorpusFiles() {
  std::vector<std::string> files = {"does_not_exist.ini"};
  std::error_code missing;  // reported by the CorpusAndGoldenMatch test
  for (const auto& entry : std::filesystem::directory_iterator(kIniDir + "/corpus", missing))
    if (entry.path().filename().string().front() != '.') files.push_back(entry.path().filename().string());
  std::sort(files.begin(), files.end());
  return files;
}

class IniCorpusFile : public testing::TestWithParam<std::string> {};

TEST_P(IniCorpusFile, MatchesGolden) {
  const std::string& file = GetParam();
  const std::string_view answersOf = file == kSubstitute ? kSubstituteAnswersOf : file;
  const Json& g = Golden().at(std::string(answersOf));
  SCOPED_TRACE(file + (answersOf == file ? "" : " with the answers of " + std::string(answersOf)));
  const std::wstring path = (std::filesystem::path(kIniDir) / "corpus" / file).wstring();

  CheckSectionNames(path, g, 65536, "big");
  CheckSectionNames(path, g, 256, "256");
  CheckLookups(path, file, g["unnamed"]);
  ASSERT_EQ(g["sections"].size(), g["names_big"].size());
  for (const Json& section : g["sections"]) CheckLookups(path, file, section);
}

INSTANTIATE_TEST_SUITE_P(IniCorpus, IniCorpusFile, testing::ValuesIn(CorpusFiles()), [](const auto& info) {
  std::string name = info.param;
  std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
  return name;
});

// Every corpus entry has a golden line and the reverse, so that no file goes unchecked.
TEST(IniCorpusData, CorpusAndGoldenMatch) {
  std::vector<std::string> golden;
  for (const auto& [file, line] : Golden()) golden.push_back(file);
  EXPECT_EQ(CorpusFiles(), golden);
}

}  // namespace
