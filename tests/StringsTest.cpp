// Conversions at the platform boundary.
#include <gtest/gtest.h>

#include "platform/strings.h"

namespace {

TEST(Strings, Utf8FromWideRefusesWhatIsNoScalarValueAndPathsKeepAnyBytes) {
  EXPECT_EQ(platform::Utf8FromWide(L"a\u00E4\u07FF\u0800\u20AC\U0001F600"),
            "a\xC3\xA4\xDF\xBF\xE0\xA0\x80\xE2\x82\xAC\xF0\x9F\x98\x80");
  for (const wchar_t bad : {wchar_t(0xD800), wchar_t(0xDFFF), wchar_t(0x110000), wchar_t(-1)})
    EXPECT_FALSE(platform::Utf8FromWide(std::wstring(L"ok") + bad)) << static_cast<long>(bad);
  // Paths: any bytes round-trip.
  const std::string native = "/tmp/\xFF\xC3\xA4/x\x80y";
  EXPECT_EQ(platform::WidePath(native), L"/tmp/\xDCFF\u00E4/x\xDC80y");
  EXPECT_EQ(platform::NativePath(platform::WidePath(native)), native);
  EXPECT_EQ(platform::NativePath(L"a\\b/kvoDevice.xml"), "a\\b/kvoDevice.xml");
}

TEST(Strings, WideFromUtf8ReplacesEachIllFormedByte) {
  const struct {
    const char* bytes;
    const wchar_t* wide;
  } cases[] = {
      {"plain", L"plain"},
      {"\xC3\xA4\xDF\xBF", L"\u00E4\u07FF"},
      {"\xC0\xAF", L"\uFFFD\uFFFD"},          // overlong
      {"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},  // encoded surrogate
      {"\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
      {"a\xE2\x82", L"a\uFFFD\uFFFD"},        // cut short
      {"\xE0\xA0\x80\xE0\xBF\xBF", L"\u0800\u0FFF"},
      {"\xE0\x9F\xBF", L"\uFFFD\uFFFD\uFFFD"},          // overlong
      {"\xF0\x8F\xBF\xBF", L"\uFFFD\uFFFD\uFFFD\uFFFD"},  // overlong
      {"\x80x\xBF", L"\uFFFDx\uFFFD"},                // stray continuation bytes
      {"\xF5\x80\x80\x80\xFF", L"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},  // no lead byte
  };
  for (const auto& c : cases) {
    const std::wstring wide = platform::WideFromUtf8(c.bytes);
    EXPECT_EQ(wide, c.wide) << c.bytes;
    EXPECT_EQ(platform::IsValidUtf8(c.bytes), wide.find(L'\uFFFD') == std::wstring::npos) << c.bytes;
  }
  EXPECT_TRUE(platform::IsValidUtf8("0123456789abcdef\xC3\xA4 and more ASCII after it"));
  EXPECT_FALSE(platform::IsValidUtf8("0123456789abcdef\xC3 broken"));
  // A bad byte after any length of ASCII, at the end or before more ASCII.
  for (std::size_t ascii = 0; ascii < 18; ++ascii) {
    const std::string head(ascii, 'a');
    EXPECT_TRUE(platform::IsValidUtf8(head + "\xC3\xA4" + head)) << ascii;
    EXPECT_FALSE(platform::IsValidUtf8(head + "\x80")) << ascii;
    EXPECT_FALSE(platform::IsValidUtf8(head + "\xC3" + head)) << ascii;
  }
}

TEST(Strings, WtoiReadsTheLeadingDecimal) {
  const struct {
    const wchar_t* text;
    std::int32_t value;
  } cases[] = {
      {L"3", 3},           {L" 5", 5},         {L"\t+7x", 7},       {L"-2", -2},     {L"x", 0},
      {L"", 0},            {L"- 5", 0},        {L"0x10", 0},        {L"1e3", 1},     {L"2147483647", 2147483647},
      {L"105", 105},       {L"-100", -100},
      {L"2147483648", 2147483647},             {L"99999999999999999999", 2147483647},
      {L"-2147483648", INT32_MIN},             {L"-99999999999999999999", INT32_MIN},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::Wtoi(c.text), c.value) << '"' << c.text << '"';
  EXPECT_EQ(platform::Wtoi(nullptr), 0);
}

}  // namespace
