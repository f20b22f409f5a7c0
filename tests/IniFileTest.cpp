// The INI reader and the host's INI functions beyond what the reference corpus
// shows: tiny buffers, large sections, integer forms, what a lookup found, and
// the cache that reads a file once and notices when it changes (missing and
// unreadable files are in the corpus).
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cwchar>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "host/Files.h"
#include "host/Profile.h"
#include "platform/profile/IniFile.h"
#include "tests/support/TempDir.h"

namespace {

using platform::profile::IniFile;

TEST(IniFile, SectionNamesAndStringsInTinyBuffersAndIntegersBeyondTheCorpus) {
  const IniFile file = IniFile::Parse("[\xE2\x82\xAC]\n[c]\n");  // the list needs "\u20AC|c||": 5 units
  const struct {
    std::uint32_t size, result;
    std::wstring_view buffer;  // '#': left as it was
  } cases[] = {{0, 0, L"####"}, {1, 0, {L"\0###", 4}}, {2, 0, {L"\0\0##", 4}}, {3, 1, {L"\u20AC\0\0#", 4}},
               {4, 2, {L"\u20AC\0\0\0", 4}}};
  for (const auto& c : cases) {
    wchar_t buffer[4] = {L'#', L'#', L'#', L'#'};
    EXPECT_EQ(file.CopySectionNames(buffer, c.size), c.result) << c.size;
    EXPECT_EQ(std::wstring_view(buffer, 4), c.buffer) << c.size;
  }
  EXPECT_EQ(file.CopySectionNames(nullptr, 10), 0u);

  // Integers beyond the corpus.
  for (const auto& [value, expected] : {std::pair{"\" \"", 0}, {"0o8", 0}, {"-0b11", -3}, {"'-2147483649'", 2147483647}, {"\"5", 0}})
    EXPECT_EQ(platform::profile::ProfileInt(value, -7), expected) << value;

  // Cut to the buffer, which always ends in a NUL: {value, buffer size, text}.
  for (const auto& [value, size, text] : {std::tuple{"'abcdef'", 4u, L"abc"}, {"\xDF\xBF\xF0\x9F\x98\x80", 4u, L"\u07FF\U0001F600"},
                                          {"x", 1u, L""}}) {
    wchar_t buffer[4] = {L'#', L'#', L'#', L'#'};
    EXPECT_EQ(platform::profile::CopyProfileString(value, buffer, size), std::wcslen(text)) << value;
    EXPECT_EQ(std::wstring(buffer), text) << value;
  }
}

TEST(IniFile, LargeSectionsKeepTheFirstOfDuplicateKeys) {
  std::string text = "[Big]\n";
  for (int i = 0; i < 200; ++i) text += "Key" + std::to_string(i) + "=" + std::to_string(i) + "\n";
  text += "key7=shadowed\nHidden\nhidden=shadowed too\n[Next]\nKey7=\x80\x8D\x9D\n";  // code page 1252
  const IniFile file = IniFile::Parse(text);
  EXPECT_EQ(file.Find(L"big", L"KEY7").value, "7");
  EXPECT_EQ(file.Find(L" BIG ", L"key199").value, "199");
  const IniFile::Entry hidden = file.Find(L"Big", L"HIDDEN"), missing = file.Find(L"Big", L"Key200");
  EXPECT_EQ(std::tuple(hidden.keyFound, hidden.hasValue, missing.keyFound, missing.sectionFound), std::tuple(true, false, false, true));
  EXPECT_EQ(file.Find(L"Next", L"key7").value, "\u20AC\u008D\u009D");  // unassigned bytes: C1 controls
}

// The rules read plainly, line by line, for ASCII text: sections by their
// name, each with its keys in file order (a key without '=' has no value).
struct PlainSection {
  std::string name;
  std::vector<std::pair<std::string, std::optional<std::string>>> keys;
};

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return (c >= '\t' && c <= '\r') || c == '\x1A' || c == ' '; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

std::vector<PlainSection> ReadPlainly(std::string_view text) {
  const auto name = [](std::string_view field) { return std::string(field.substr(0, field.find('\0'))); };
  std::vector<PlainSection> sections(1);
  for (std::size_t pos = 0; pos <= text.size();) {
    const std::size_t end = std::min(text.find_first_of("\r\n", pos), text.size());
    const std::string_view line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    const std::size_t close = line.rfind(']'), equals = line.find('=');
    if (line.empty()) continue;
    if (line.front() == '[' && close != std::string_view::npos)
      sections.push_back({name(Trim(line.substr(1, close - 1))), {}});
    else if (equals == std::string_view::npos)
      sections.back().keys.emplace_back(name(line), std::nullopt);
    else
      sections.back().keys.emplace_back(name(Trim(line.substr(0, equals))), name(Trim(line.substr(equals + 1))));
  }
  return sections;
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The first section of the name, and in it the first key of the name.
IniFile::Entry FindPlainly(const std::vector<PlainSection>& sections, std::string_view section, std::string_view key) {
  for (const PlainSection& s : sections) {
    if (Lower(s.name) != Lower(Trim(section))) continue;
    for (const auto& [name, value] : s.keys)
      if (Lower(name) == Lower(Trim(key))) return {true, true, value.has_value(), value ? std::string_view(*value) : ""};
    return {true, false, false, {}};
  }
  return {};
}

std::wstring Wide(std::string_view text) { return std::wstring(text.begin(), text.end()); }

// Every name of the file, in other cases and padded, and names it lacks,
// looked up one by one and as one key set, as the plain reading finds them.
TEST(IniFile, LookupsFindWhatAPlainReadingFinds) {
  using namespace std::string_literals;
  std::string large = "[Big]\n", twin = "[Twin]\n";
  for (int i = 0; i < 40; ++i) large.append("Key").append(std::to_string(i % 30)).append(i >= 30 ? "=again" : "=first").append("\n");
  for (int i = 0; i < 20; ++i) twin.append("KEY").append(std::to_string(i)).append("=twin\n");  // the same names, another large section
  const std::string texts[] = {
      "[Cam]\nID=1\n[CAM]\nID=2\nTag=x\n[ cam ]\nid=3\n[cam]]\nID=4\n",
      "[S]\nKey=1\nKEY=2\n key = 3 \nNoEquals\nnoequals=4\n=empty name\n[Open\nT=[x]\n",
      large + twin,
      // Names of one length alike in their middle and last letters, and long names differing in one word only.
      "[S]\nuseAutoExposure=1\nuseWhitebalance=2\nusewhiteBALANCE=3\naXcdefgh=4\naYcdefgh=5\n"
      "XbcdefghIjklmnopq=6\nYbcdefghIjklmnopq=7\nxbcdefghijklmnopq=8\n",
      "[ab \0x]\nID=1\n[ab]\nID=2\n[Be\0ta]\nK\0ey=v\0w\n\r\n[]\nHidden=1\n"s,
  };
  for (const std::string& text : texts) {
    const IniFile file = IniFile::Parse(text);
    const std::vector<PlainSection> plain = ReadPlainly(text);
    std::vector<std::string> sections = {"", "absent"}, keys = {"", "absent", "key3"};
    for (const PlainSection& section : plain) {
      sections.insert(sections.end(), {section.name, Lower(section.name), std::string(" ").append(section.name).append(" ")});
      for (const auto& key : section.keys) keys.insert(keys.end(), {key.first, Lower(key.first)});
    }
    keys.resize(std::min<std::size_t>(keys.size(), 32));  // the most a key set holds
    std::vector<std::wstring> wideKeys;
    for (const std::string& key : keys) wideKeys.push_back(Wide(key));
    const IniFile::KeySet keySet(std::vector<std::wstring_view>(wideKeys.begin(), wideKeys.end()));
    for (const std::string& section : sections) {
      std::vector<IniFile::Entry> together(keys.size());
      file.FindKeysIn(file.FindSection(Wide(section)), keySet, together);
      for (std::size_t k = 0; k < keys.size(); ++k) {
        const IniFile::Entry want = FindPlainly(plain, section, keys[k]);
        for (const IniFile::Entry& got : {file.Find(Wide(section), Wide(keys[k])), together[k]})
          EXPECT_EQ(std::tuple(got.sectionFound, got.keyFound, got.hasValue, got.value),
                    std::tuple(want.sectionFound, want.keyFound, want.hasValue, want.value))
              << testing::PrintToString(text) << " [" << section << "] " << keys[k];
      }
    }
  }
}

TEST(ProfileCache, LookupsReportWhatTheyFoundAndFilesAreParsedOnceUntilTheyChange) {
  testsupport::TempDir dir;
  const std::wstring file = dir.Write("b.ini", "[S]\nA=1\nC\n");
  const struct {
    const wchar_t *section, *key;
    int value;
    bool keyFound, sectionFound;
  } cases[] = {{L"S", L"A", 1, true, true}, {L"S", L"C", 9, true, true}, {L"S", L"Z", 9, false, true},
               {L"X", L"A", 9, false, false}};
  for (const auto& c : cases) {
    bool key = !c.keyFound, section = !c.sectionFound;
    EXPECT_EQ(iniGetInt(c.section, c.key, 9, file.c_str(), &key, &section), c.value) << c.key;
    EXPECT_EQ(key, c.keyFound) << c.key;
    EXPECT_EQ(section, c.sectionFound) << c.key;
  }
  wchar_t small[3];
  EXPECT_EQ(iniGetString(L"S", L"Missing", L"default", small, 3, file.c_str()), 2);
  EXPECT_EQ(std::wstring(small), L"de");
  EXPECT_EQ(iniGetString(L"S", L"A", L"", small, 0, file.c_str()), 0);
  EXPECT_EQ(iniGetInt(nullptr, L"A", 4, file.c_str()), 4);
  EXPECT_EQ(iniGetInt(L"S", L"A", 4, nullptr), 4);
  EXPECT_TRUE(osExistsFile(file.c_str()));
  for (const std::wstring& no : {dir.Wide(""), file + L"x"}) EXPECT_FALSE(osExistsFile(no.c_str())) << no;

  // A file is parsed once while its size and time stay; lookups alternate
  // between files without mixing them up, and notice an edit once the file has
  // not been looked at for a second.
  const std::wstring a = dir.Write("a.ini", "[S]\nID=1\n"), b = dir.Write("c.ini", "[S]\nID=2\n");
  struct stat st {};
  ASSERT_EQ(::stat((dir.path() / "a.ini").c_str(), &st), 0);
  const struct timespec before[2] = {st.st_mtim, st.st_mtim};
  wchar_t names[64];
  for (const auto& [path, id] : {std::pair{a, 1}, {b, 2}, {a, 1}, {b, 2}}) {
    EXPECT_EQ(GetPrivateProfileSectionNamesW(names, 64, path.c_str()), 2u);
    EXPECT_EQ(iniGetInt(L"S", L"ID", 0, path.c_str()), id);
  }

  // Same size and the old modification time: the cached parse is still used,
  // which proves that lookups do not read the file again.
  dir.Write("a.ini", "[S]\nID=3\n");
  ASSERT_EQ(::utimensat(AT_FDCWD, (dir.path() / "a.ini").c_str(), before, 0), 0);
  EXPECT_EQ(GetPrivateProfileSectionNamesW(names, 64, a.c_str()), 2u);
  EXPECT_EQ(iniGetInt(L"S", L"ID", 0, a.c_str()), 1);
  dir.Write("a.ini", "[S]\nID=33\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  EXPECT_EQ(iniGetInt(L"S", L"ID", 0, a.c_str()), 33);
  EXPECT_EQ(iniGetInt(L"S", L"ID", 0, b.c_str()), 2);
}

}  // namespace
