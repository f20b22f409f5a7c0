// The host's data directory.
#include <gtest/gtest.h>
#include <kvodevice/Host.h>

#include <cstdlib>

namespace {

struct EnvCase {
  const char* kvoDataDir;
  const char* xdgDataHome;
  const char* home;
  const wchar_t* expected;
};

TEST(DataDir, DefaultComesFromTheEnvironment) {
  const EnvCase cases[] = {
      {"/srv/kvo", "/x", "/home/u", L"/srv/kvo"},
      {"/srv/kvo///", nullptr, nullptr, L"/srv/kvo"},
      {"", "/data", "/home/u", L"/data/kvoRQ"},
      {nullptr, "/data/", "/home/u", L"/data/kvoRQ"},
      {nullptr, nullptr, "/home/u", L"/home/u/.local/share/kvoRQ"},
      {nullptr, "", "/home/u", L"/home/u/.local/share/kvoRQ"},
      {"/", nullptr, nullptr, L"/"},
      {"/d\xFF\xC3", nullptr, nullptr, L"/d\xDCFF\xDCC3"},  // bytes that are not UTF-8 survive
  };
  const auto set = [](const char* name, const char* value) {
    if (value == nullptr)
      ::unsetenv(name);
    else
      ::setenv(name, value, 1);
  };
  ssnSetDataDir(nullptr);
  for (const EnvCase& c : cases) {
    set("KVO_DATA_DIR", c.kvoDataDir);
    set("XDG_DATA_HOME", c.xdgDataHome);
    set("HOME", c.home);
    EXPECT_EQ(ssnGetDataDir(1), c.expected) << (c.kvoDataDir ? c.kvoDataDir : "-");
  }
}

TEST(DataDir, SetOverridesUntilReset) {
  ::setenv("KVO_DATA_DIR", "/from/env", 1);
  ssnSetDataDir(L"/chosen/");
  EXPECT_EQ(ssnGetDataDir(1), L"/chosen");
  EXPECT_EQ(ssnGetDataDir(0), L"");
  EXPECT_EQ(ssnGetDataDir(2), L"");
  ssnSetDataDir(L"/a\\b\\/");  // a backslash is a character of a name
  EXPECT_EQ(ssnGetDataDir(1), L"/a\\b\\");
  ssnSetDataDir(L"");
  EXPECT_EQ(ssnGetDataDir(1), L"/from/env");
  ssnSetDataDir(L"/again");
  ssnSetDataDir(nullptr);
  EXPECT_EQ(ssnGetDataDir(1), L"/from/env");
}

}  // namespace
