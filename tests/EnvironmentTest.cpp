// The host services' environment: ctest starts this program with
// KVO_FEATURES=" ACQ_ENABLE_HDRI , ,dev_no_service_update,,\tThird Name\t,".
#include <gtest/gtest.h>
#include <kvodevice/Host.h>

#include <cstdlib>

namespace {

TEST(Environment, FeatureListIsSplitTrimmedAndEmptyItemsSkipped) {
  ASSERT_NE(std::getenv("KVO_FEATURES"), nullptr) << "run through ctest, which sets KVO_FEATURES";
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
