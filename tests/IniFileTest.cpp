// The INI reader beyond what the reference corpus shows: tiny name buffers,
// large sections and integer forms.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/profile/IniFile.h"

namespace {

using platform::profile::IniFile;

// The buffer after a call, as text with '|' for each NUL; '#' marks units left as they were.
std::wstring Names(const IniFile& file, std::uint32_t size, std::uint32_t* result) {
  std::vector<wchar_t> buffer(size + 1, L'#');
  *result = file.CopySectionNames(buffer.data(), size);
  EXPECT_EQ(buffer[size], L'#') << "wrote past the buffer";
  std::wstring text(buffer.begin(), buffer.end() - 1);
  for (wchar_t& c : text)
    if (c == L'\0') c = L'|';
  return text;
}

TEST(IniFile, SectionNamesFollowTheBufferContractAtEverySize) {
  const IniFile file = IniFile::Parse("[ab]\n[c]\n");  // the list needs "ab|c||": 6 units
  const struct {
    std::uint32_t size;
    std::uint32_t result;
    const wchar_t* buffer;
  } cases[] = {
      {1, 0, L"|"},        {2, 0, L"||"},        {3, 1, L"a||"},      {4, 2, L"ab||"},
      {5, 3, L"ab|||"},    {6, 4, L"ab|c||"},    {7, 5, L"ab|c||#"},  {100, 5, nullptr},
  };
  for (const auto& c : cases) {
    std::uint32_t result = 0;
    const std::wstring text = Names(file, c.size, &result);
    EXPECT_EQ(result, c.result) << c.size;
    if (c.buffer != nullptr) {
      EXPECT_EQ(text, c.buffer) << c.size;
    }
  }
  wchar_t untouched = L'#';
  EXPECT_EQ(file.CopySectionNames(&untouched, 0), 0u);
  EXPECT_EQ(untouched, L'#');
  EXPECT_EQ(file.CopySectionNames(nullptr, 10), 0u);

  std::uint32_t result = 1;
  EXPECT_EQ(Names(IniFile(), 4, &result), L"####");  // unreadable: nothing written
  EXPECT_EQ(result, 0u);
  EXPECT_EQ(Names(IniFile::Parse(""), 4, &result), L"|###");
}

TEST(IniFile, LargeSectionsKeepTheFirstOfDuplicateKeys) {
  std::string text = "[Big]\n";
  for (int i = 0; i < 200; ++i) text += "Key" + std::to_string(i) + "=" + std::to_string(i) + "\n";
  text += "key7=shadowed\nHidden\nhidden=shadowed too\n[Next]\nKey7=next\n";
  const IniFile file = IniFile::Parse(text);
  EXPECT_EQ(file.Find(L"big", L"KEY7").value, "7");
  EXPECT_EQ(file.Find(L" BIG ", L"key199").value, "199");
  const IniFile::Entry hidden = file.Find(L"Big", L"HIDDEN");
  EXPECT_TRUE(hidden.keyFound);
  EXPECT_FALSE(hidden.hasValue);
  EXPECT_FALSE(file.Find(L"Big", L"Key200").keyFound);
  EXPECT_TRUE(file.Find(L"Big", L"Key200").sectionFound);
  EXPECT_EQ(file.Find(L"Next", L"key7").value, "next");
  EXPECT_FALSE(file.Find(L"Nowhere", L"Key7").sectionFound);
}

// Integer forms the reference corpus does not show.
TEST(IniFile, IntegersBeyondTheCorpus) {
  const struct {
    const char* value;
    std::int32_t expected;
  } cases[] = {{"\" \"", 0}, {"0o8", 0}, {"-0b11", -3}, {"'-2147483649'", 2147483647}, {"\"5", 0}};
  for (const auto& c : cases) EXPECT_EQ(platform::profile::ProfileInt(c.value, -7), c.expected) << c.value;
}

TEST(IniFile, StringsAreCutToTheBuffer) {
  wchar_t buffer[4] = {L'#', L'#', L'#', L'#'};
  EXPECT_EQ(platform::profile::CopyProfileString("'abcdef'", buffer, 4), 3u);
  EXPECT_EQ(std::wstring(buffer), L"abc");
  EXPECT_EQ(platform::profile::CopyProfileString("\xC3\xA4\xF0\x9F\x98\x80", buffer, 4), 2u);
  EXPECT_EQ(std::wstring(buffer), L"\u00E4\U0001F600");
  EXPECT_EQ(platform::profile::CopyProfileString("x", buffer, 1), 0u);
  EXPECT_EQ(buffer[0], L'\0');
}

}  // namespace
