// The feature list from the environment, which the host library reads once,
// on first use: this program sets it before main, and runs alone.
#include <gtest/gtest.h>
#include <kvodevice/Host.h>

#include <cstdlib>

namespace {

const bool kFeaturesSet = ::setenv("KVO_FEATURES", " ACQ_ENABLE_HDRI , ,dev_no_service_update,,\tThird Name\t,", 1) == 0;

TEST(Environment, FeatureListIsSplitTrimmedAndEmptyItemsSkipped) {
  ASSERT_TRUE(kFeaturesSet);
  EXPECT_TRUE(pkg::isFeatureEnabled(L"ACQ_ENABLE_HDRI"));
  EXPECT_TRUE(pkg::isFeatureEnabled(L"DEV_NO_SERVICE_UPDATE"));
  EXPECT_TRUE(pkg::isFeatureEnabled(L"third name"));
  EXPECT_FALSE(pkg::isFeatureEnabled(L"Third"));
  EXPECT_FALSE(pkg::isFeatureEnabled(L" ACQ_ENABLE_HDRI "));

  pkg::setFeatureEnabled(L"acq_enable_hdri", false);  // overrides the environment
  EXPECT_FALSE(pkg::isFeatureEnabled(L"ACQ_ENABLE_HDRI"));
  EXPECT_TRUE(pkg::isFeatureEnabled(L"DEV_NO_SERVICE_UPDATE"));
}

}  // namespace
