// The fixed capability table, checked against a second, independent
// transcription written the way the table is published: ranges as text.
#include <gtest/gtest.h>
#include <kvodevice/CapabilityTable.h>
#include <kvodevice/Host.h>

#include <set>
#include <sstream>
#include <string>

#include "deviceinfo/CapabilityTable.h"

namespace {

struct PublishedRow {
  int type;
  bool byDefault;
  const char* opposite;  // "a, b-c, ..." (both ends included)
};

// Types not listed answer true for every device; type 16 follows a host feature.
const PublishedRow kPublished[] = {
    {2, true, "100, 168-169, 196, 201, 203-208, 255-258, 275, 280, 303, 322, 332-335, 338, 342-349, 360, 370"},
    {4, true,
     "170, 194, 196-200, 203, 204, 250-258, 301, 303-308, 320-323, 338, 342, 343, 346, 347, 350-355, 360, 370"},
    {7, true, "251-258, 342, 343, 360, 370"},
    {9, true,
     "170, 194-201, 204, 250-258, 280, 301, 303-308, 320-323, 335, 338, 342, 343, 346, 347, 350-355, 360, 370"},
    {10, false, ""},
    {11, false, "201, 251-258, 275, 280, 306, 332, 334, 344-347"},
    {15, false, "301, 304, 307"},
    {24, false, "170, 196, 301, 303, 305, 308, 320-323, 352, 353, 355"},
    {26, false, "301, 307, 335, 338"},
    {28, false, "201, 280, 301, 307, 335, 338"},
    {30, false, "280, 301, 305, 307, 338"},
    {31, false, "257, 258"},
};

std::set<unsigned> Devices(const std::string& ranges) {
  std::set<unsigned> devices;
  std::istringstream in(ranges);
  for (std::string item; std::getline(in, item, ',');) {
    const auto dash = item.find('-');
    const unsigned first = std::stoul(item.substr(0, dash));
    const unsigned last = dash == std::string::npos ? first : std::stoul(item.substr(dash + 1));
    for (unsigned d = first; d <= last; ++d) devices.insert(d);
  }
  return devices;
}

// Every range end, its neighbours on both sides, and the extremes.
std::set<unsigned> ProbeDevices() {
  std::set<unsigned> probes = {0, 1, 99, 511, 512, 513, 1000, 65534, 65535};
  for (const PublishedRow& row : kPublished)
    for (const unsigned d : Devices(row.opposite)) probes.insert({d - 1, d, d + 1});
  return probes;
}

bool Expected(int type, unsigned device, bool hdri) {
  if (type == 16) return hdri;
  for (const PublishedRow& row : kPublished)
    if (type == row.type) return row.byDefault != Devices(row.opposite).contains(device);
  return true;
}

TEST(CapabilityTable, EveryTypeAtEveryRangeEndAndPastIt) {
  const std::set<unsigned> probes = ProbeDevices();
  for (const bool hdri : {false, true}) {
    pkg::setFeatureEnabled(L"ACQ_ENABLE_HDRI", hdri);
    for (int type = -1; type <= 40; ++type)
      for (const unsigned device : probes)
        EXPECT_EQ(dev::dynInfo::CapabilityTableAnswer(static_cast<dev::id>(device),
                                                      static_cast<tro::cam::eCamProcessingType>(type)),
                  Expected(type, device, hdri))
            << "type " << type << " device " << device << " hdri " << hdri;
  }
  // A device is in the table when some row names it.
  for (const unsigned device : probes) {
    bool named = false;
    for (const PublishedRow& row : kPublished) named = named || Devices(row.opposite).contains(device);
    EXPECT_EQ(dev::dynInfo::IsDeviceInCapabilityTable(static_cast<dev::id>(device)), named) << device;
  }
  pkg::setFeatureEnabled(L"ACQ_ENABLE_HDRI", false);
}

}  // namespace
