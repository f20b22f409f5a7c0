// Host feature switches.
#include <gtest/gtest.h>
#include <kvodevice/Host.h>

#include <string>

namespace {

TEST(Features, SetOverridesAndNamesIgnoreAsciiCase) {
  EXPECT_FALSE(pkg::isFeatureEnabled(L"TEST_SWITCH_A"));
  pkg::setFeatureEnabled(L"Test_Switch_A", true);
  EXPECT_TRUE(pkg::isFeatureEnabled(L"TEST_SWITCH_A"));
  EXPECT_TRUE(pkg::isFeatureEnabled(L"test_switch_a"));
  EXPECT_FALSE(pkg::isFeatureEnabled(L"TEST_SWITCH_"));
  EXPECT_FALSE(pkg::isFeatureEnabled(L"TEST_SWITCH_AB"));
  EXPECT_FALSE(pkg::isFeatureEnabled(L"TEST_SWITCH_\u00C4"));
  pkg::setFeatureEnabled(L"TEST_SWITCH_A", false);
  EXPECT_FALSE(pkg::isFeatureEnabled(L"test_switch_a"));
  pkg::setFeatureEnabled(L"TEST_SWITCH_A", true);
  EXPECT_TRUE(pkg::isFeatureEnabled(L"TEST_SWITCH_A"));

  pkg::setFeatureEnabled(nullptr, true);
  pkg::setFeatureEnabled(L"", true);
  EXPECT_FALSE(pkg::isFeatureEnabled(nullptr));
  EXPECT_FALSE(pkg::isFeatureEnabled(L""));
}

TEST(Features, ManyNamesStayDistinct) {
  for (int i = 0; i < 100; ++i) pkg::setFeatureEnabled((L"MANY_" + std::to_wstring(i)).c_str(), i % 3 == 0);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(pkg::isFeatureEnabled((L"many_" + std::to_wstring(i)).c_str()), i % 3 == 0) << i;
}

}  // namespace
