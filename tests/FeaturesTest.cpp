// Host feature switches.
#include <gtest/gtest.h>
#include <kvodevice/Host.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

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

TEST(Features, ReadersSeeTogglesFromAnotherThread) {
  std::atomic<bool> stop{false};
  std::vector<std::thread> readers;
  std::atomic<long> seenOn{0};
  for (int t = 0; t < 4; ++t)
    readers.emplace_back([&] {
      while (!stop.load()) seenOn += pkg::isFeatureEnabled(L"TOGGLED") ? 1 : 0;
    });
  for (int i = 0; i < 20000; ++i) {
    pkg::setFeatureEnabled(L"TOGGLED", i % 2 == 0);
    pkg::setFeatureEnabled((L"TOGGLED_" + std::to_wstring(i % 40)).c_str(), true);
  }
  pkg::setFeatureEnabled(L"TOGGLED", true);
  while (seenOn.load() == 0) std::this_thread::yield();
  stop = true;
  for (std::thread& reader : readers) reader.join();
  EXPECT_TRUE(pkg::isFeatureEnabled(L"TOGGLED_39"));
}

}  // namespace
