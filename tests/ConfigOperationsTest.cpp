// The operations of the configuration service and its editor, on real files.
#include <gtest/gtest.h>
#include <kvodevice/ConfigurationContent.h>
#include <kvodevice/ConfigurationFile.h>
#include <kvodevice/IDeviceEditor.h>
#include <kvodevice/Text.h>

#include <functional>
#include <tuple>

#include "tests/support/ConfigDir.h"
#include "tests/support/XmlListing.h"

namespace {

using dev::PortAddress;
using dev::UnitKey;
using testsupport::ConfigDir;
using Units = std::vector<UnitKey>;

class Operations : public ::testing::Test {
 protected:
  // Opens a document that holds `body` below Devices.
  dev::IDeviceEditor& Editor() { return *dev::GetDeviceEditor(io_.get()); }
  dev::IDeviceManagerIO& Open(const std::string& body) {
    io_.reset();
    dir_.WriteDocument(body);
    io_ = dir_.Open();
    return *io_;
  }
  // What is below Devices once the document is saved.
  std::string Tree() {
    EXPECT_TRUE(io_->Save());
    const std::string listing = dir_.Listing();
    return listing.substr(listing.find('\n') + 1);
  }

  ConfigDir dir_;
  testsupport::ConfigPtr io_;
};

// Device 65535 is no device: {65535, 0} is what a malformed id lists as, so
// no unit of it is ever added; one a document holds still loads.
TEST_F(Operations, UnitListSkipsOnlyExcludedStopsAtAUnitWithoutIdAndAddsNoDevice65535) {
  auto& io = Open("<UnitList><Unit UnitID=\"U1x0\"/><Unit UnitID=\"U2x0\" setup=\"exclude\"/>"
                  "<Unit setup=\"exclude\"/><Unit UnitID=\"U3x0\" setup=\"include\"/><Unit/><Unit UnitID=\"U5x0\"/></UnitList>");
  Units units{{9, 9}};  // whatever the caller had is discarded
  EXPECT_FALSE(io.GetUnitList(units, true));
  EXPECT_EQ(units, (Units{{1, 0}, {3, 0}}));
  // The bulk read lists the same, each entry with its own details only, whatever the caller's held.
  std::vector<dev::UnitDetails> details(3);
  details[1].has[2] = true;
  details[1].text[2] = L"stale";
  details[1].ports = {{dev::PortSerial, 1}};
  EXPECT_FALSE(Editor().GetUnits(details, true));
  ASSERT_EQ(details.size(), 2u);
  EXPECT_TRUE(details[0].key == (UnitKey{1, 0}) && details[1].key == (UnitKey{3, 0}));
  EXPECT_TRUE(details[1].setup == dev::UnitSetup::Include && !details[1].has[2] && details[1].text[2].empty() &&
              details[1].ports.empty());

  auto& odd = Open("<UnitList><Unit UnitID=\"U65535x0\"/><Unit UnitID=\"U0332x0\"/></UnitList>");
  for (const UnitKey key : {UnitKey{65535, 0}, UnitKey{65535, 7}}) EXPECT_FALSE(odd.AddUnit(key));
  EXPECT_TRUE(odd.AddUnit({65534, 0}));
  EXPECT_TRUE(odd.GetUnitList(units, false));
  EXPECT_EQ(units, (Units{{65535, 0}, {65535, 0}, {65534, 0}}));
}

TEST_F(Operations, RemoveUnitWithItsMemberships) {
  // Without Sets, the first removal creates one and saves the file at once.
  auto& io = Open("<UnitList><Unit UnitID=\"U3x1\"/></UnitList>");
  EXPECT_FALSE(io.RemoveUnit({4, 4}));
  EXPECT_NE(dir_.Listing().find("  Sets\n    ActiveSet Name=\n"), std::string::npos) << dir_.Listing();

  // The unit leaves the first set of each name once; what that leaves goes after.
  auto& sets = Open(
      "<UnitList><Unit UnitID=\"U3x1\"/><Unit UnitID=\"U3x10\"/></UnitList><Sets><ActiveSet Name=\"a\"/>"
      "<Set Name=\"a\"><Comment/><LinkedUnit ItemID=\"U3x1\"/><LinkedUnit ItemID=\"U3x10\"/><LinkedUnit ItemID=\"U3x1\"/>"
      "<LinkedUnit ItemID=\"U3x2\"/><LinkedUnit ItemID=\"U3x2\"/><LinkedUnit ItemID=\"U3x2\"/></Set>"
      "<Set Name=\"b\"><Comment/><LinkedUnit ItemID=\"U3x1\"/><LinkedUnit ItemID=\"U3x2\"/><LinkedUnit ItemID=\"U3x2\"/></Set>"
      "<Set Name=\"a\"><Comment/><LinkedUnit ItemID=\"U3x1\"/></Set></Sets>");
  // Not listed: what went before the lookup stays gone, once per set of the name.
  EXPECT_FALSE(sets.RemoveUnit({3, 2}));
  EXPECT_TRUE(sets.RemoveUnit({3, 1}));
  EXPECT_EQ(Tree(), "  UnitList\n    Unit UnitID=U3x10\n  Sets\n    ActiveSet Name=a\n"
                    "    Set Name=a\n      Comment\n      LinkedUnit ItemID=U3x10\n      LinkedUnit ItemID=U3x2\n"
                    "    Set Name=b\n      Comment\n      LinkedUnit ItemID=U3x2\n    Set Name=a\n      Comment\n");

  // A Set without a Name stops the removal before anything changes.
  auto& broken = Open("<UnitList><Unit UnitID=\"U1x1\"/></UnitList>"
                      "<Sets><ActiveSet Name=\"\"/><Set><Comment/><LinkedUnit ItemID=\"U1x1\"/></Set></Sets>");
  const std::string before = Tree();
  EXPECT_FALSE(broken.RemoveUnit({1, 1}));
  EXPECT_EQ(Tree(), before);
}

TEST_F(Operations, UnitPortsAndPortNames) {
  auto& io = Open(
      "<UnitList><Unit UnitID=\"U1x1\"><LinkedInterface ItemID=\"com12\"/><LinkedInterface ItemID=\"COM\"/>"
      "<LinkedInterface ItemID=\"LPT1\"/><LinkedInterface ItemID=\"COM99999999999\"/>"
      "<LinkedInterface ItemID=\"COM-99999999999\"/><LinkedInterface ItemID=\"COM-0\"/>"
      "<LinkedInterface ItemID=\"COM\u00e9\"/></Unit></UnitList><Interfaces><Serial>"
      "<ComPort PortNo=\"com12\"><LinkedUnit ItemID=\"U1x1\"/></ComPort>"
      "<ComPort PortNo=\"COM\"><LinkedUnit ItemID=\"U1x1\"/></ComPort>"
      "<ComPort PortNo=\"LPT1\"><LinkedUnit ItemID=\"U1x1\"/></ComPort>"
      "<ComPort PortNo=\"COM99999999999\"><LinkedUnit ItemID=\"U1x1\"/></ComPort>"
      "<ComPort PortNo=\"COM-99999999999\"><LinkedUnit ItemID=\"U1x1\"/></ComPort>"
      "<ComPort><LinkedUnit ItemID=\"U1x1\"/></ComPort>"
      "<ComPort PortNo=\"COM7\"><LinkedUnit ItemID=\"U1x1\"/></ComPort>"
      "</Serial></Interfaces>");
  std::vector<PortAddress> ports;
  EXPECT_TRUE(io.GetUnitPorts({3, 3}, ports));
  EXPECT_TRUE(ports.empty());
  // Appended to what the caller had; a port without PortNo ends the query, what came before it stays.
  ports = {{7, 7}};
  EXPECT_FALSE(io.GetUnitPorts({1, 1}, ports));
  std::vector<std::pair<int, int>> pairs;
  for (const PortAddress& port : ports) pairs.emplace_back(port.portType, port.portNumber);
  EXPECT_EQ(pairs, (std::vector<std::pair<int, int>>{{7, 7}, {2, 12}, {1, 0}, {1, 0}, {2, 2147483647}, {2, -2147483647 - 1}}));
  // The unit's side reads its ids the same way.
  dev::UnitDetails details;
  ASSERT_TRUE(Editor().GetUnit({1, 1}, details));
  pairs.clear();
  for (const PortAddress& port : details.ports) pairs.emplace_back(port.portType, port.portNumber);
  EXPECT_EQ(pairs, (std::vector<std::pair<int, int>>{{2, 12}, {1, 0}, {1, 0}, {2, 2147483647}, {2, -2147483647 - 1}, {2, 0}, {2, 0}}));

  // What a person types is read strictly, in the form FormatPort writes (-1: refused).
  const std::pair<const wchar_t*, long long> typed[] = {
      {L"COM3", 3}, {L"COM0", 0}, {L"COM-5", -5}, {L"COM2147483647", 2147483647}, {L"COM-2147483648", -2147483648LL},
      {L"COM2147483648", -1}, {L"COM01", -1}, {L"COM-0", -1}, {L"com3", -1}, {L"COM", -1}, {L"COM3 ", -1},
      {L"COM+3", -1}, {L"COM--3", -1}, {L"COM3-", -1}};
  for (const auto& [text, number] : typed) {
    const std::optional<PortAddress> port = dev::ParsePort(text);
    EXPECT_EQ(port ? port->portNumber : -1, number) << text;
    if (port) {
      EXPECT_EQ(dev::FormatPort(*port), text);
    }
  }
  EXPECT_EQ(dev::FormatPort({dev::PortOther, 3}), L"");
  // Paths carry any byte; text refuses what is no character.
  EXPECT_EQ(dev::ToWide("a\xff\xc3\xa9", true), L"a\xdcff\xe9");
  EXPECT_EQ(dev::ToUtf8(L"a\xdcff\xe9", true), "a\xff\xc3\xa9");
  EXPECT_EQ(dev::ToWide("a\xff"), L"a\xfffd");
  EXPECT_EQ(dev::ToUtf8(L"\xd800"), std::nullopt);
}

TEST_F(Operations, UnlinkUnitPortOnBothSides) {
  auto& io = Open(
      "<UnitList><Unit UnitID=\"U5x0\"><LinkedInterface ItemID=\"COM3\"/><LinkedInterface ItemID=\"COM3\"/>"
      "<LinkedInterface ItemID=\"COM8\"/><LinkedInterface ItemID=\"COM-5\"/></Unit></UnitList><Interfaces><Serial>"
      "<ComPort PortNo=\"COM3\"><LinkedUnit ItemID=\"U5x0\"/></ComPort>"
      "<ComPort PortNo=\"COM9\"><LinkedUnit ItemID=\"U5x0\"/></ComPort>"
      "<ComPort PortNo=\"COM-5\"><LinkedUnit ItemID=\"U5x0\"/></ComPort></Serial></Interfaces>");
  const std::string untouched = Tree();
  EXPECT_FALSE(io.UnlinkUnitPort({5, 0}, {dev::PortOther, 3}));
  EXPECT_FALSE(io.UnlinkUnitPort({5, 0}, {dev::PortSerial, 9}));  // port side only: nothing removed
  EXPECT_EQ(Tree(), untouched);
  EXPECT_TRUE(io.UnlinkUnitPort({5, 0}, {dev::PortSerial, 3}));
  EXPECT_FALSE(io.UnlinkUnitPort({5, 0}, {dev::PortSerial, 8}));  // unit side only: removed all the same
  EXPECT_TRUE(io.UnlinkUnitPort({5, 0}, {dev::PortSerial, -5}));
  EXPECT_EQ(Tree(), "  UnitList\n    Unit UnitID=U5x0\n      LinkedInterface ItemID=COM3\n"
                    "  Interfaces\n    Serial\n      ComPort PortNo=COM3\n"
                    "      ComPort PortNo=COM9\n        LinkedUnit ItemID=U5x0\n      ComPort PortNo=COM-5\n");
}

// Every name XML can hold comes back from the file as given, once in any
// letter case; empty entries go; a missing list is not made to be cleared.
TEST_F(Operations, DriverFiles) {
  auto& io = Open("<DriverList><File>B.dll</File><File/><File>a.dll</File><File>B.dll</File></DriverList>");
  std::set<std::wstring> files{L"stale"};
  EXPECT_TRUE(io.GetDriverFiles(files));
  EXPECT_EQ(files, (std::set<std::wstring>{L"B.dll", L"a.dll"}));
  EXPECT_EQ(Tree(), "  DriverList\n    File\n      #text B.dll\n    File\n      #text a.dll\n    File\n      #text B.dll\n");

  const std::wstring huge(1 << 20, L'x');
  const struct {
    std::wstring name;
    bool added;
  } cases[] = {{L"b.DLL", false}, {L"it's \"x\"", true}, {L"IT'S \"X\"", false}, {L"]]>--<a>&amp;", true},
               {huge, true},      {L"", false},         {L"bell\x07", false},   {L"\xD800", false}};
  for (const auto& c : cases) EXPECT_EQ(io.AddDriverFile(CString(c.name)), c.added) << testsupport::Narrow(c.name);
  io_.reset();
  files.clear();
  EXPECT_TRUE(dir_.Open()->GetDriverFiles(files));
  EXPECT_TRUE(files == (std::set<std::wstring>{L"B.dll", L"a.dll", L"it's \"x\"", L"]]>--<a>&amp;", huge}));

  auto& cleared = Open("");
  EXPECT_TRUE(cleared.ClearDriverFiles());
  EXPECT_EQ(Tree(), "");
  EXPECT_TRUE(cleared.AddDriverFile(L"a.dll"));
  EXPECT_TRUE(cleared.ClearDriverFiles());
  EXPECT_EQ(Tree(), "");
}

// Each edit is saved to a document that still validates; one that does not
// apply answers false; an edit not yet saved is made again on another
// writer's newer file. (The edits kvodev makes: KvodevTest.)
TEST_F(Operations, EditsAreSavedValidAndMerged) {
  Open("<UnitList><Unit UnitID=\"U1x0\"><SerialNo>7</SerialNo></Unit><Unit UnitID=\"U2x0\"/></UnitList>");
  dev::IDeviceEditor& edit = *dev::GetDeviceEditor(io_.get());
  const PortAddress com4{dev::PortSerial, 4};
  // `why`: what LastFailure says of a false answer (null: the answer is true).
  const struct {
    const char* what;
    std::function<bool()> change;
    const wchar_t* why;
  } steps[] = {
      {"link", [&] { return edit.LinkUnitPort({1, 0}, {dev::PortSerial, 3}); }, nullptr},
      {"link again", [&] { return edit.LinkUnitPort({1, 0}, {dev::PortSerial, 3}); }, L"U1x0 is linked to COM3 already"},
      {"link to a port that is not serial", [&] { return edit.LinkUnitPort({2, 0}, {dev::PortOther, 1}); },
       L"port type 1 is no serial port: only serial ports are linked"},
      {"link a unit that is not listed", [&] { return edit.LinkUnitPort({9, 0}, com4); }, L"U9x0 is not listed"},
      {"unlink what is not linked", [&] { return io_->UnlinkUnitPort({2, 0}, com4); }, L"U2x0 is not linked to COM4"},
      {"model, before the serial number", [&] { return edit.SetUnitText({1, 0}, dev::UnitText::Model, "M 1"); }, nullptr},
      {"driver, first", [&] { return edit.SetUnitText({1, 0}, dev::UnitText::Driver, L"cam.so"); }, nullptr},
      {"text XML cannot hold", [&] { return edit.SetUnitText({1, 0}, dev::UnitText::Model, L"bell\x07"); },
       L"the text holds characters XML cannot hold"},
      {"a text that units do not have", [&] { return edit.SetUnitText({1, 0}, dev::UnitText{4}, L"x"); },
       L"no text of a unit has the number 4"},
      {"add a listed unit", [&] { return io_->AddUnit({2, 0}); }, L"U2x0 is listed already"},
      {"add device 65535", [&] { return io_->AddUnit({65535, 0}); }, L"U65535x0 is no unit: device 65535 stands for no device"},
      {"ask for a unit that is not listed", [&] { return io_->ExistsUnit({7, 7}); }, L"U7x7 is not listed"},
      {"add an empty driver file", [&] { return io_->AddDriverFile(L""); }, L"a driver file needs a name"},
      {"add a driver file", [&] { return io_->AddDriverFile(L"a.so"); }, nullptr},
      {"add it in other letters", [&] { return io_->AddDriverFile(L"A.SO"); },
       L"the driver file \"A.SO\" is listed already (letter case aside)"},
      {"remove one that is not listed", [&] { return edit.RemoveDriverFile("b.so"); }, L"no driver file \"b.so\" is listed"},
      {"create a set", [&] { return edit.CreateSet(L"day 'one'", L"first"); }, nullptr},
      {"create it again", [&] { return edit.CreateSet("day 'one'", ""); }, L"the set \"day 'one'\" exists already"},
      {"create a set without a name", [&] { return edit.CreateSet(L"", L""); }, L"a set needs a name"},
      {"a member", [&] { return edit.AddSetMember(L"day 'one'", {2, 0}); }, nullptr},
      {"the member again", [&] { return edit.AddSetMember(L"day 'one'", {2, 0}); }, L"U2x0 is a member of \"day 'one'\" already"},
      {"remove a unit that is no member", [&] { return edit.RemoveSetMember(L"day 'one'", {1, 0}); },
       L"U1x0 is no member of \"day 'one'\""},
      {"remove the member", [&] { return edit.RemoveSetMember("day 'one'", {2, 0}); }, nullptr},
      {"choose a set that is not there", [&] { return edit.SetActiveSet(L"night"); }, L"there is no set \"night\""},
      {"link the second unit", [&] { return edit.LinkUnitPort({2, 0}, com4); }, nullptr},
      {"remove its port", [&] { return edit.RemovePort(com4); }, nullptr},
      {"remove it again", [&] { return edit.RemovePort(com4); }, L"there is no port COM4"},
      {"remove a port that is not serial", [&] { return edit.RemovePort({dev::PortOther, 3}); },
       L"port type 1 is no serial port: only serial ports are linked"},
      {"rename the set", [&] { return edit.RenameSet(L"day 'one'", L"day one"); }, nullptr},
      {"rename a set onto itself", [&] { return edit.RenameSet(L"day one", L"day one"); },
       L"the set \"day one\" exists already"},
      {"rename a unit", [&] { return edit.RenameUnit(L"U2x0", {3, 0}); }, nullptr},
      {"rename onto a listed unit", [&] { return edit.RenameUnit(L"U3x0", {1, 0}); }, L"U1x0 is listed already"},
      {"rename a unit that is not there", [&] { return edit.RenameUnit("U2x0", {4, 0}); }, L"no unit has the id \"U2x0\""},
      {"rename to device 65535", [&] { return edit.RenameUnit(L"U3x0", {65535, 1}); },
       L"U65535x1 is no unit: device 65535 stands for no device"},
      {"delete a set that is not there", [&] { return edit.DeleteSet(L"day 'one'"); }, L"there is no set \"day 'one'\""},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.what);
    EXPECT_EQ(step.change(), step.why == nullptr);
    EXPECT_EQ(dev::LastFailure(io_.get()), step.why != nullptr ? step.why : L"");
    ASSERT_TRUE(io_->Save());
    EXPECT_TRUE(dev::ReadDocumentContent(dir_.DocumentPath().wstring()).valid);
  }
  ASSERT_TRUE(edit.SetSetComment(L"day one", L"changed"));
  ASSERT_TRUE(edit.SetActiveSet(L"day one"));
  ASSERT_TRUE(edit.RenameSet(L"day one", L"day 1"));
  {  // saved first, on release: the rename then meets the member and the new set
    const testsupport::ConfigPtr other = dir_.Open();
    EXPECT_TRUE(dev::GetDeviceEditor(other.get())->CreateSet(L"night", L""));
    EXPECT_TRUE(dev::GetDeviceEditor(other.get())->AddSetMember(L"day one", {1, 0}));
  }
  ASSERT_TRUE(io_->Save());
  EXPECT_TRUE(dev::GetLastSaveReport(io_.get()).dropped.empty());

  dev::UnitDetails unit;
  ASSERT_TRUE(edit.GetUnit({1, 0}, unit));
  EXPECT_TRUE((std::tuple(unit.driver(), unit.model(), unit.name(), unit.serial(), unit.ports.size()) ==
               std::tuple(L"cam.so", L"M 1", std::nullopt, L"7", 1u)));
  ASSERT_TRUE(edit.GetUnit({3, 0}, unit));
  EXPECT_TRUE(unit.ports.empty()) << "removing the port removes the unit's link to it";
  const dev::DocumentContent content = dev::ReadDocumentContent(dir_.DocumentPath().wstring());
  EXPECT_TRUE(content.valid);
  ASSERT_EQ(content.sets.size(), 2u);
  EXPECT_EQ(std::tie(content.sets[0].name, content.sets[0].comment, content.sets[0].members, content.activeSet),
            std::tuple(L"day 1", L"changed", std::vector<std::wstring>{L"U1x0"}, L"day 1"));
  EXPECT_EQ(content.sets[1].name, L"night");
  std::wstring active;
  ASSERT_TRUE(edit.DeleteSet(L"night") && edit.GetActiveSet(active));
  EXPECT_EQ(active, L"day 1") << "deleting another set keeps the active one";
  ASSERT_TRUE(edit.DeleteSet(L"day 1"));
  EXPECT_EQ(Tree().find("day 1"), std::string::npos);
}

}  // namespace
