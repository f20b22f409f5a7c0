// Host feature switches.
#include <gtest/gtest.h>
#include <kvodevice/Host.h>

#include <string>

namespace {

TEST(Features, SetOverridesAndNamesIgnoreAsciiCase) {
  pkg::setFeatureEnabled(L"Test_Switch_AZ", true);
  const struct {
    const wchar_t* name;
    bool enabled;
  } cases[] = {
      {L"TEST_SWITCH_AZ", true}, {L"test_switch_az", true}, {L"TEST_SWITCH_A", false}, {L"TEST_SWITCH_AZZ", false},
      {L"XEST_SWITCH_AZ", false}, {L"TEST_SWITCH_\u00C4Z", false}, {L"", false}, {nullptr, false},
  };
  for (const auto& c : cases) EXPECT_EQ(pkg::isFeatureEnabled(c.name), c.enabled) << (c.name ? c.name : L"null");
  pkg::setFeatureEnabled(L"TEST_SWITCH_AZ", false);
  EXPECT_FALSE(pkg::isFeatureEnabled(L"test_switch_az"));
  pkg::setFeatureEnabled(nullptr, true);
  pkg::setFeatureEnabled(L"", true);
  EXPECT_FALSE(pkg::isFeatureEnabled(L""));

  for (int i = 0; i < 100; ++i) pkg::setFeatureEnabled((L"MANY_" + std::to_wstring(i)).c_str(), i % 3 == 0);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(pkg::isFeatureEnabled((L"many_" + std::to_wstring(i)).c_str()), i % 3 == 0) << i;
}

}  // namespace
