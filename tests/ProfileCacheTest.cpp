// The host's INI functions read a file once and notice when it changes.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <string>

#include "host/Profile.h"
#include "tests/support/TempDir.h"

namespace {

struct timespec ModifiedTime(const std::filesystem::path& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0);
  return st.st_mtim;
}

void SetModifiedTime(const std::filesystem::path& path, const struct timespec& when) {
  const struct timespec times[2] = {when, when};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST(ProfileCache, FileIsParsedOnceAndAgainWhenItChanges) {
  testsupport::TempDir dir;
  const std::wstring file = dir.Write("a.ini", "[S]\nID=1\n");
  const auto path = dir.path() / "a.ini";
  wchar_t names[64];
  EXPECT_EQ(GetPrivateProfileSectionNamesW(names, 64, file.c_str()), 2u);
  EXPECT_EQ(iniGetInt(L"S", L"ID", 0, file.c_str()), 1);

  // Same size and the old modification time: the cached parse is still used,
  // which proves that lookups do not read the file again.
  const struct timespec before = ModifiedTime(path);
  dir.Write("a.ini", "[S]\nID=2\n");
  SetModifiedTime(path, before);
  EXPECT_EQ(GetPrivateProfileSectionNamesW(names, 64, file.c_str()), 2u);
  EXPECT_EQ(iniGetInt(L"S", L"ID", 0, file.c_str()), 1);

  // A new size is noticed at the start of the next pass over the names.
  dir.Write("a.ini", "[T]\nID=33\n");
  SetModifiedTime(path, before);
  EXPECT_EQ(GetPrivateProfileSectionNamesW(names, 64, file.c_str()), 2u);
  EXPECT_EQ(std::wstring(names), L"T");
  EXPECT_EQ(iniGetInt(L"T", L"ID", 0, file.c_str()), 33);

  // So is a removed file, and a directory in its place.
  std::filesystem::remove(path);
  names[0] = names[1] = L'#';
  EXPECT_EQ(GetPrivateProfileSectionNamesW(names, 64, file.c_str()), 0u);
  EXPECT_EQ(names[0], L'\0');
  EXPECT_EQ(names[1], L'#');
  EXPECT_EQ(iniGetInt(L"T", L"ID", -5, file.c_str()), -5);
  std::filesystem::create_directory(path);
  names[0] = L'#';
  EXPECT_EQ(GetPrivateProfileSectionNamesW(names, 64, file.c_str()), 0u);
  EXPECT_EQ(names[0], L'#');
}

TEST(ProfileCache, LookupsReportWhatTheyFound) {
  testsupport::TempDir dir;
  const std::wstring file = dir.Write("b.ini", "[S]\nA=1\nB=\nC\nT=\"quoted\"\n");
  const struct {
    const wchar_t* section;
    const wchar_t* key;
    int intValue;
    const wchar_t* text;
    bool keyFound, sectionFound;
  } cases[] = {
      {L"S", L"A", 1, L"1", true, true},          {L"S", L"B", 9, L"", true, true},
      {L"S", L"C", 9, L"dflt", true, true},       {L"S", L"T", 0, L"quoted", true, true},
      {L"S", L"Z", 9, L"dflt", false, true},      {L"X", L"A", 9, L"dflt", false, false},
  };
  for (const auto& c : cases) {
    bool key = !c.keyFound, section = !c.sectionFound;
    EXPECT_EQ(iniGetInt(c.section, c.key, 9, file.c_str(), &key, &section), c.intValue) << c.key;
    EXPECT_EQ(key, c.keyFound) << c.key;
    EXPECT_EQ(section, c.sectionFound) << c.key;
    wchar_t text[16];
    EXPECT_EQ(iniGetString(c.section, c.key, L"dflt", text, 16, file.c_str()), static_cast<int>(wcslen(c.text)));
    EXPECT_EQ(std::wstring(text), c.text) << c.key;
  }
  wchar_t small[3];
  EXPECT_EQ(iniGetString(L"S", L"Missing", L"default", small, 3, file.c_str()), 2);
  EXPECT_EQ(std::wstring(small), L"de");
  EXPECT_EQ(iniGetString(L"S", L"A", L"", small, 0, file.c_str()), 0);
  EXPECT_EQ(iniGetInt(nullptr, L"A", 4, file.c_str()), 4);
  EXPECT_EQ(iniGetInt(L"S", L"A", 4, nullptr), 4);
}

}  // namespace
