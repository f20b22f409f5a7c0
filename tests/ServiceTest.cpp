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

// With the feature DEV_NO_SERVICE_UPDATE on there is no service, and only the
// built-in table answers; switched off again, the same service answers with
// what it read. (How INI settings and the table combine: kvodev's caps tests.)
TEST(Service, SwitchedOffOnlyTheTableAnswers) {
  testsupport::TempDir dir;
  const std::wstring file = dir.Write("override.ini", "[On for 332]\nID=332\nuseShading=1\n");
  IExtendedDeviceInfo* service = GetExtendedDeviceInfo();
  ASSERT_TRUE(service->Load(file.c_str()));
  pkg::setFeatureEnabled(L"DEV_NO_SERVICE_UPDATE", true);
  EXPECT_EQ(GetExtendedDeviceInfo(), nullptr);
  EXPECT_FALSE(IsCamAdapterEnabled(Id(332), tro::cam::Shading));
  pkg::setFeatureEnabled(L"DEV_NO_SERVICE_UPDATE", false);
  EXPECT_EQ(GetExtendedDeviceInfo(), service);
  EXPECT_TRUE(IsCamAdapterEnabled(Id(332), tro::cam::Shading));
}

}  // namespace
