// The feature list from the environment, which the host library reads once,
// on first use: this program sets it before main, and runs alone.
#include <gtest/gtest.h>
#include <kvodevice/Host.h>

#include <cstdlib>

namespace {

const bool kFeaturesSet = ::setenv("KVO_FEATURES", " ACQ_ENABLE_HDRI , ,dev_no_service_update,,\tThird Name\t,", 1) == 0;

TEST(Environment, FeatureListIsSplitTrimmedAndEmptyItemsSkipped) {
  ASSERT_TRUE(kFeaturesSet);
  for (const auto& [name, on] : {std::pair{L"ACQ_ENABLE_HDRI", true}, {L"DEV_NO_SERVICE_UPDATE", true}, {L"third name", true},
                                 {L"Third", false}, {L" ACQ_ENABLE_HDRI ", false}})
    EXPECT_EQ(pkg::isFeatureEnabled(name), on) << testing::PrintToString(name);

  pkg::setFeatureEnabled(L"acq_enable_hdri", false);  // overrides the environment
  EXPECT_FALSE(pkg::isFeatureEnabled(L"ACQ_ENABLE_HDRI"));
  EXPECT_TRUE(pkg::isFeatureEnabled(L"DEV_NO_SERVICE_UPDATE"));
}

}  // namespace
