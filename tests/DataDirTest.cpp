// The host's data directory.
#include <gtest/gtest.h>
#include <kvodevice/Host.h>

#include <cstdlib>
#include <utility>

namespace {

TEST(DataDir, FromTheEnvironmentUntilSet) {
  const struct {
    const char* kvoDataDir;
    const char* xdgDataHome;
    const char* home;
    const wchar_t* expected;
  } cases[] = {
      {"/srv/kvo///", "/x", "/home/u", L"/srv/kvo"},
      {"", "/data/", "/home/u", L"/data/kvoRQ"},
      {nullptr, "", "/home/u", L"/home/u/.local/share/kvoRQ"},
      {"/", nullptr, nullptr, L"/"},
      {"/d\xFF\xC3", nullptr, nullptr, L"/d\xDCFF\xDCC3"},  // bytes that are not UTF-8 survive
  };
  ssnSetDataDir(nullptr);
  for (const auto& c : cases) {
    for (const auto& [name, value] : {std::pair{"KVO_DATA_DIR", c.kvoDataDir}, {"XDG_DATA_HOME", c.xdgDataHome}, {"HOME", c.home}})
      value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
    EXPECT_EQ(ssnGetDataDir(1), c.expected) << (c.kvoDataDir ? c.kvoDataDir : "-");
  }

  ::setenv("KVO_DATA_DIR", "/from/env", 1);
  ssnSetDataDir(L"/a\\b\\/");  // a backslash is a character of a name
  EXPECT_EQ(ssnGetDataDir(1), L"/a\\b\\");
  EXPECT_EQ(ssnGetDataDir(2), L"");
  ssnSetDataDir(L"");
  EXPECT_EQ(ssnGetDataDir(1), L"/from/env");
  ssnSetDataDir(L"/again");
  ssnSetDataDir(nullptr);
  EXPECT_EQ(ssnGetDataDir(1), L"/from/env");
}

}  // namespace
