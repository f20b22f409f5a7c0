// The two exported functions of the extended device information, through the
// shared library and its public headers, as a host uses them.
#include <gtest/gtest.h>
#include <kvodevice/Host.h>
#include <kvodevice/IExtendedDeviceInfo.h>

#include "tests/support/TempDir.h"

namespace {

using dev::dynInfo::GetExtendedDeviceInfo;
using dev::dynInfo::IExtendedDeviceInfo;
using dev::dynInfo::IsCamAdapterEnabled;

dev::id Id(unsigned value) { return static_cast<dev::id>(value); }
tro::cam::eCamProcessingType Type(int value) { return static_cast<tro::cam::eCamProcessingType>(value); }

TEST(Service, IniSettingsOverrideTheTableInBothDirections) {
  testsupport::TempDir dir;
  const std::wstring file = dir.Write("override.ini",
                                      "[On for 332]\nID=332\nuseShading=1\n"
                                      "[Off for 170]\nID=170\nuseShading=0\n"
                                      "[Blackbalance for 171]\nID=171\nuseBlackbalance=1\n");
  ASSERT_TRUE(GetExtendedDeviceInfo()->Load(file.c_str()));

  // A setting wins for its device and type only; every other answer is the table's.
  const struct {
    unsigned device;
    int type;
    bool expected;
  } cases[] = {{332, 2, true}, {333, 2, false}, {170, 2, false}, {171, 6, true}, {171, 10, true}, {65535, 2, true}};
  for (const auto& c : cases)
    EXPECT_EQ(IsCamAdapterEnabled(Id(c.device), Type(c.type)), c.expected) << c.device << " " << c.type;

  // With the service switched off, only the table answers; switched on
  // again, the same service with what it read is back.
  IExtendedDeviceInfo* service = GetExtendedDeviceInfo();
  pkg::setFeatureEnabled(L"DEV_NO_SERVICE_UPDATE", true);
  EXPECT_EQ(GetExtendedDeviceInfo(), nullptr);
  EXPECT_FALSE(IsCamAdapterEnabled(Id(332), tro::cam::Shading));
  EXPECT_TRUE(IsCamAdapterEnabled(Id(170), tro::cam::Shading));
  pkg::setFeatureEnabled(L"DEV_NO_SERVICE_UPDATE", false);
  EXPECT_EQ(GetExtendedDeviceInfo(), service);
  EXPECT_TRUE(IsCamAdapterEnabled(Id(332), tro::cam::Shading));
}

}  // namespace
