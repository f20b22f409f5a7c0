// Unit id texts and the document's names table.
#include <gtest/gtest.h>

#include "devicefile/UnitId.h"
#include "names/XMLNames.h"
#include "tests/support/XmlListing.h"

namespace {

using dev::UnitKey;

TEST(UnitId, FormatWritesDecimalWithoutFill) {
  const struct {
    UnitKey key;
    const wchar_t* text;
  } cases[] = {{{0, 0}, L"U0x0"}, {{3, 1}, L"U3x1"}, {{303, 0}, L"U303x0"}, {{65535, 65535}, L"U65535x65535"}};
  for (const auto& c : cases) EXPECT_EQ(dev::FormatUnitID(c.key), c.text);
}

TEST(UnitId, ParseAcceptsOnlyWhatFormatWrites) {
  const UnitKey invalid{65535, 0};
  const struct {
    const wchar_t* text;
    UnitKey key;
  } cases[] = {
      {L"U3x1", {3, 1}},         {L"U0x0", {0, 0}},          {L"U65535x65535", {65535, 65535}},
      {L"U65535x0", {65535, 0}},  // the invalid key's own text reads as itself
      {L"U03x1", invalid},       {L"U3x01", invalid},        {L"u3x1", invalid},
      {L"U3y1", invalid},        {L"U3x1 ", invalid},        {L" U3x1", invalid},
      {L"U-1x2", invalid},       {L"U+1x2", invalid},        {L"U3x-1", invalid},
      {L"U65536x0", invalid},    {L"U0x65536", invalid},     {L"U4294967299x1", invalid},
      {L"U99999999999999999999x1", invalid},                 {L"U123", invalid},
      {L"U3x", invalid},         {L"Ux1x", invalid},         {L"U x1", invalid},
      {L"U 3x1", invalid},       {L"U3x 1", invalid},        {L"", invalid},
      {L"U3", invalid},          {L"COM3", invalid},         {L"U3x1x2", invalid},
      {L"U\uFF13x1", invalid},   {nullptr, invalid},
  };
  for (const auto& c : cases) {
    const UnitKey key = dev::ParseUnitID(c.text);
    EXPECT_EQ(key, c.key) << (c.text ? testsupport::Narrow(c.text) : "null");
  }
}

TEST(XMLNames, EveryEntryInTableOrder) {
  const char* expected[] = {"Devices",    "UnitList",  "Unit",          "Driver",     "UnitID",   "DriverList",
                            "File",       "Interfaces", "Serial",       "ComPort",    "PortNo",   "COM",
                            "LinkedUnit", "LinkedInterface", "Sets",    "Set",        "ActiveSet", "Name",
                            "Comment",    "ItemID",    "Model",         "UnitName",   "SerialNo", "setup",
                            "include",    "exclude"};
  const auto entries = dev::XMLNames.InTableOrder();
  ASSERT_EQ(entries.size(), std::size(expected));
  for (std::size_t i = 0; i < entries.size(); ++i) EXPECT_EQ(testsupport::Narrow(entries[i]->str()), expected[i]) << i;
  EXPECT_EQ(dev::XMLNames.DocumentElementBstr.view(), L"Devices");
}

}  // namespace
