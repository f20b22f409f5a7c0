// The path builder: every path form the library builds, on a sample document.
#include <gtest/gtest.h>

#include "host/XPATHString.h"
#include "tests/support/XmlListing.h"

namespace {

using utl::CXPATHString;

const char* const kSample = R"(<Devices>
  <UnitList>
    <Unit UnitID="U3x1"><Model>m</Model><LinkedInterface ItemID="COM3"/><LinkedInterface ItemID="COM4"/></Unit>
    <Unit UnitID="U3x2" setup="exclude"/>
  </UnitList>
  <Interfaces><Serial>
    <ComPort PortNo="COM3"><LinkedUnit ItemID="U3x1"/></ComPort>
    <ComPort PortNo="COM4"><LinkedUnit ItemID="U3x1"/><LinkedUnit ItemID="U3x2"/></ComPort>
  </Serial></Interfaces>
  <DriverList><File>Alpha.DLL</File><File>it's.dll</File></DriverList>
  <Sets>
    <ActiveSet Name="main"/>
    <Set Name="main"><Comment/><LinkedUnit ItemID="U3x1"/></Set>
    <Set Name="it's"><Comment/><LinkedUnit ItemID="U3x2"/></Set>
    <Set Name='say "hi"'><Comment/><LinkedUnit ItemID="U3x1"/></Set>
    <Set Name="both ' and &quot;"><Comment/><LinkedUnit ItemID="U3x1"/><LinkedUnit ItemID="U3x2"/></Set>
  </Sets>
</Devices>)";

platform::xml::Document Sample() {
  platform::xml::Document document = platform::xml::Document::Create();
  std::string text = kSample;
  EXPECT_TRUE(document.LoadXML(std::wstring(text.begin(), text.end())));
  return document;
}

// Each match as "name attribute-values", joined by " | ".
std::string Matches(const CXPATHString& path, const platform::xml::Document& document) {
  const auto nodes = path.selectNodes(document);
  if (!nodes) return "<no list>";
  std::string out;
  for (const platform::xml::Node& node : *nodes) {
    if (!out.empty()) out += " | ";
    out += testsupport::Narrow(node.Name());
    for (const auto& [name, value] : node.Attributes()) out += ' ' + testsupport::Narrow(value);
  }
  return out;
}

TEST(XPathString, EveryPathFormSelectsWhatItShould) {
  const platform::xml::Document document = Sample();
  const auto unitWithPort = [] {
    return CXPATHString(L"UnitList").setAnyChild().setAttribute(L"UnitID", L"U3x1").setChild(L"LinkedInterface")
        .setAttribute(L"ItemID", L"COM4");
  };
  CXPATHString setMembership(L"Sets");
  setMembership.setChild(L"Set").setAttribute(L"Name", L"main");
  const std::string setOnly = Matches(setMembership, document);
  setMembership.setChild(L"LinkedUnit").setAttribute(L"ItemID", L"U3x1");  // extends the same path
  CXPATHString startedEmpty;
  startedEmpty.setChild(L"Interfaces").setAnyChild().setAnyChild().setChild(L"LinkedUnit").setAttribute(L"ItemID",
                                                                                                       L"U3x1");
  const struct {
    const char* form;
    CXPATHString path;
    std::string expected;
  } cases[] = {
      {"all units", CXPATHString(L"UnitList").setChild(L"Unit"), "Unit U3x1 | Unit U3x2 exclude"},
      {"one unit, from a path text", CXPATHString(L"UnitList/Unit[@UnitID='U3x2']"), "Unit U3x2 exclude"},
      {"one unit, built", CXPATHString(L"UnitList").setChild(L"Unit").setAttribute(L"UnitID", L"U3x1"), "Unit U3x1"},
      {"no such unit", CXPATHString(L"UnitList").setChild(L"Unit").setAttribute(L"UnitID", L"U3x9"), ""},
      {"one attachment of a unit", unitWithPort(), "LinkedInterface COM4"},
      {"every port link of a unit", startedEmpty, "LinkedUnit U3x1 | LinkedUnit U3x1"},
      {"one port link of a unit",
       CXPATHString(L"Interfaces").setChild(L"Serial").setAnyChild().setAttribute(L"PortNo", L"COM4")
           .setChild(L"LinkedUnit").setAttribute(L"ItemID", L"U3x2"),
       "LinkedUnit U3x2"},
      {"do sets exist", CXPATHString(L"Sets"), "Sets"},
      {"all sets", CXPATHString(L"Sets").setChild(L"Set"),
       "Set main | Set it's | Set say \"hi\" | Set both ' and \""},
      {"one membership", setMembership, "LinkedUnit U3x1"},
      {"every membership of a unit", CXPATHString(L"Sets").setAnyChild().setChild(L"LinkedUnit").setAttribute(
           L"ItemID", L"U3x2"), "LinkedUnit U3x2 | LinkedUnit U3x2"},
      {"all driver files", CXPATHString(L"DriverList").setChild(L"File"), "File | File"},
      {"a driver file in any letter case",
       CXPATHString(L"DriverList/File[translate(., 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz') "
                    L"='alpha.dll']"),
       "File"},
      // Values with quotes of either kind, or both, select their own node.
      {"name with an apostrophe", CXPATHString(L"Sets").setChild(L"Set").setAttribute(L"Name", L"it's"), "Set it's"},
      {"name with quotes", CXPATHString(L"Sets").setChild(L"Set").setAttribute(L"Name", L"say \"hi\""),
       "Set say \"hi\""},
      {"name with both", CXPATHString(L"Sets").setChild(L"Set").setAttribute(L"Name", L"both ' and \""),
       "Set both ' and \""},
      {"value that closes the quote", CXPATHString(L"Sets").setChild(L"Set").setAttribute(L"Name", L"x' or '1'='1"), ""},
      {"empty value", CXPATHString(L"Sets").setChild(L"ActiveSet").setAttribute(L"Name", L""), ""},
      {"a text that is no XPath", CXPATHString(L"UnitList/[@"), "<no list>"},
  };
  EXPECT_EQ(setOnly, "Set main");
  for (const auto& c : cases) EXPECT_EQ(Matches(c.path, document), c.expected) << c.form << ": "
                                                                               << testsupport::Narrow(c.path.text());

  EXPECT_FALSE(CXPATHString(L"UnitList/Unit").selectNodes(platform::xml::Document::Create()));  // no document element
  EXPECT_FALSE(CXPATHString(L"UnitList/Unit").selectSingleNode(platform::xml::Document()));
  EXPECT_EQ(testsupport::Narrow(CXPATHString(L"UnitList").selectSingleNode(document).Name()), "UnitList");
}

}  // namespace
