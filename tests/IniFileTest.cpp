// The INI reader and the host's INI functions beyond what the reference corpus
// shows: tiny buffers, large sections, integer forms, what a lookup found, and
// the cache that reads a file once and notices when it changes (missing and
// unreadable files are in the corpus).
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <cwchar>
#include <string>
#include <thread>
#include <tuple>

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
