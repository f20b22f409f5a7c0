// Every operation of the configuration service, on real files.
#include <gtest/gtest.h>

#include <filesystem>

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
  dev::IDeviceManagerIO& Open(const std::string& body) {
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
  Units List(bool skipExcluded) {
    Units units{{9, 9}};  // whatever the caller had is discarded
    EXPECT_TRUE(io_->GetUnitList(units, skipExcluded));
    return units;
  }

  ConfigDir dir_;
  testsupport::ConfigPtr io_;
};

TEST_F(Operations, UnitListExistsAndAdd) {
  auto& io = Open("");
  EXPECT_EQ(List(false), Units{});
  EXPECT_FALSE(io.ExistsUnit({0, 0}));
  EXPECT_TRUE(io.AddUnit({0, 0}));
  EXPECT_TRUE(io.ExistsUnit({0, 0}));
  EXPECT_FALSE(io.ExistsUnit({0, 1}));
  EXPECT_EQ(List(false), (Units{{0, 0}}));
  // Adding a key twice would make the file invalid: the second add is refused.
  EXPECT_FALSE(io.AddUnit({0, 0}));
  EXPECT_TRUE(io.AddUnit({65535, 65535}));
  EXPECT_EQ(Tree(), "  UnitList\n    Unit UnitID=U0x0\n    Unit UnitID=U65535x65535\n");

  Open("<UnitList><Unit UnitID=\"U1x0\"/><Unit UnitID=\"U2x0\" setup=\"exclude\"/><Unit UnitID=\"U3x0\" setup=\"include\"/>"
       "<Unit UnitID=\"U01x0\"/></UnitList>");
  EXPECT_EQ(List(false), (Units{{1, 0}, {2, 0}, {3, 0}, {65535, 0}}));
  EXPECT_EQ(List(true), (Units{{1, 0}, {3, 0}, {65535, 0}}));

  // "exclude" counts only exactly; a Unit without UnitID ends the list with false.
  auto& partial = Open("<UnitList><Unit UnitID=\"U1x0\"/><Unit UnitID=\"U4x0\"/><Unit/><Unit UnitID=\"U5x0\"/></UnitList>");
  Units units{{9, 9}};
  EXPECT_FALSE(partial.GetUnitList(units, true));
  EXPECT_EQ(units, (Units{{1, 0}, {4, 0}}));
}

TEST_F(Operations, RemoveUnitWithItsMemberships) {
  // Without Sets, the first removal creates one and saves the file at once.
  auto& io = Open("<UnitList><Unit UnitID=\"U3x1\"/><Unit UnitID=\"U3x10\"/></UnitList>");
  EXPECT_FALSE(io.RemoveUnit({4, 4}));
  EXPECT_NE(dir_.Listing().find("  Sets\n    ActiveSet Name=\n"), std::string::npos) << dir_.Listing();
  EXPECT_TRUE(io.RemoveUnit({3, 1}));
  EXPECT_EQ(Tree(), "  UnitList\n    Unit UnitID=U3x10\n  Sets\n    ActiveSet Name=\n");

  auto& sets = Open(
      "<UnitList><Unit UnitID=\"U3x1\"><LinkedInterface ItemID=\"COM1\"/></Unit><Unit UnitID=\"U3x10\"/></UnitList>"
      "<Interfaces><Serial><ComPort PortNo=\"COM1\"><LinkedUnit ItemID=\"U3x1\"/></ComPort></Serial></Interfaces>"
      "<Sets><ActiveSet Name=\"a\"/>"
      "<Set Name=\"a\"><Comment/><LinkedUnit ItemID=\"U3x1\"/><LinkedUnit ItemID=\"U3x10\"/><LinkedUnit ItemID=\"U3x1\"/></Set>"
      "<Set Name=\"it's &quot;b&quot;\"><Comment/><LinkedUnit ItemID=\"U3x1\"/></Set>"
      "<Set Name=\"a\"><Comment/><LinkedUnit ItemID=\"U3x1\"/></Set></Sets>");
  EXPECT_TRUE(sets.RemoveUnit({3, 1}));
  const std::string after =
      "  UnitList\n    Unit UnitID=U3x10\n"
      "  Interfaces\n    Serial\n      ComPort PortNo=COM1\n        LinkedUnit ItemID=U3x1\n"
      "  Sets\n    ActiveSet Name=a\n"
      "    Set Name=a\n      Comment\n      LinkedUnit ItemID=U3x10\n"
      "    Set Name=it's \"b\"\n      Comment\n"
      "    Set Name=a\n      Comment\n";
  EXPECT_EQ(Tree(), after);
  // The port still names the unit, and a second removal finds nothing.
  std::vector<PortAddress> ports;
  EXPECT_TRUE(sets.GetUnitPorts({3, 1}, ports));
  EXPECT_EQ(ports.size(), 1u);
  EXPECT_FALSE(sets.RemoveUnit({3, 1}));
  EXPECT_EQ(Tree(), after);

  // A Set without a Name stops the removal before anything changes.
  const std::string unnamed = "<UnitList><Unit UnitID=\"U1x1\"/></UnitList>"
                              "<Sets><ActiveSet Name=\"\"/><Set><Comment/><LinkedUnit ItemID=\"U1x1\"/></Set></Sets>";
  auto& broken = Open(unnamed);
  const std::string before = Tree();
  EXPECT_FALSE(broken.RemoveUnit({1, 1}));
  EXPECT_EQ(Tree(), before);
}

TEST_F(Operations, UnitPortsAndPortNames) {
  auto& io = Open(
      "<UnitList><Unit UnitID=\"U1x1\"/><Unit UnitID=\"U2x2\"/></UnitList><Interfaces><Serial>"
      "<ComPort PortNo=\"COM1\"><LinkedUnit ItemID=\"U1x1\"/></ComPort>"
      "<ComPort PortNo=\"com12\"><LinkedUnit ItemID=\"U2x2\"/></ComPort>"
      "<ComPort PortNo=\"COM4\"><LinkedUnit ItemID=\"U1x1\"/><LinkedUnit ItemID=\"U1x1\"/></ComPort>"
      "<ComPort PortNo=\"COM1A\"><LinkedUnit ItemID=\"U2x2\"/></ComPort>"
      "<ComPort PortNo=\"COMX\"><LinkedUnit ItemID=\"U2x2\"/></ComPort>"
      "<ComPort PortNo=\"COM\"><LinkedUnit ItemID=\"U2x2\"/></ComPort>"
      "<ComPort PortNo=\"LPT1\"><LinkedUnit ItemID=\"U2x2\"/></ComPort>"
      "<ComPort PortNo=\"USB\"><LinkedUnit ItemID=\"U2x2\"/></ComPort>"
      "<ComPort PortNo=\"COM99999999999\"><LinkedUnit ItemID=\"U2x2\"/></ComPort>"
      "<ComPort PortNo=\"COM-5\"><LinkedUnit ItemID=\"U2x2\"/></ComPort>"
      "<ComPort><LinkedUnit ItemID=\"U2x2\"/></ComPort>"
      "<ComPort PortNo=\"COM7\"><LinkedUnit ItemID=\"U2x2\"/></ComPort>"
      "</Serial></Interfaces>");
  const auto pairs = [](const std::vector<PortAddress>& ports) {
    std::vector<std::pair<int, int>> out;
    for (const PortAddress& port : ports) out.emplace_back(port.portType, port.portNumber);
    return out;
  };
  std::vector<PortAddress> ports{{7, 7}};
  EXPECT_TRUE(io.GetUnitPorts({1, 1}, ports));
  EXPECT_EQ(pairs(ports), (std::vector<std::pair<int, int>>{{7, 7}, {2, 1}, {2, 4}, {2, 4}}));
  ports.clear();
  EXPECT_TRUE(io.GetUnitPorts({3, 3}, ports));
  EXPECT_TRUE(ports.empty());
  // A port without PortNo ends the query; what came before it stays.
  EXPECT_FALSE(io.GetUnitPorts({2, 2}, ports));
  EXPECT_EQ(pairs(ports), (std::vector<std::pair<int, int>>{
                              {2, 12}, {2, 1}, {2, 0}, {1, 0}, {1, 0}, {1, 0}, {2, 2147483647}, {2, -5}}));
}

TEST_F(Operations, UnlinkUnitPortOnBothSides) {
  const std::string body =
      "<UnitList><Unit UnitID=\"U5x0\"><LinkedInterface ItemID=\"COM3\"/><LinkedInterface ItemID=\"COM3\"/>"
      "<LinkedInterface ItemID=\"COM12\"/><LinkedInterface ItemID=\"COM8\"/><LinkedInterface ItemID=\"COM2147483647\"/>"
      "<LinkedInterface ItemID=\"COM-5\"/></Unit></UnitList>"
      "<Interfaces><Serial>"
      "<ComPort PortNo=\"COM3\"><LinkedUnit ItemID=\"U5x0\"/></ComPort>"
      "<ComPort PortNo=\"com12\"><LinkedUnit ItemID=\"U5x0\"/></ComPort>"
      "<ComPort PortNo=\"COM9\"><LinkedUnit ItemID=\"U5x0\"/></ComPort>"
      "<ComPort PortNo=\"COM2147483647\"><LinkedUnit ItemID=\"U5x0\"/></ComPort>"
      "<ComPort PortNo=\"COM-5\"><LinkedUnit ItemID=\"U5x0\"/></ComPort>"
      "</Serial></Interfaces>";
  auto& io = Open(body);
  const std::string untouched = Tree();
  EXPECT_FALSE(io.UnlinkUnitPort({5, 0}, {dev::PortOther, 3}));
  EXPECT_FALSE(io.UnlinkUnitPort({5, 0}, {dev::PortSerial, 9}));  // port side only: nothing removed
  EXPECT_EQ(Tree(), untouched);

  EXPECT_TRUE(io.UnlinkUnitPort({5, 0}, {dev::PortSerial, 3}));
  EXPECT_FALSE(io.UnlinkUnitPort({5, 0}, {dev::PortSerial, 12}));  // com12 is not COM12: unit side removed only
  EXPECT_FALSE(io.UnlinkUnitPort({5, 0}, {dev::PortSerial, 8}));   // unit side only
  EXPECT_TRUE(io.UnlinkUnitPort({5, 0}, {dev::PortSerial, 2147483647}));
  EXPECT_TRUE(io.UnlinkUnitPort({5, 0}, {dev::PortSerial, -5}));
  EXPECT_EQ(Tree(),
            "  UnitList\n    Unit UnitID=U5x0\n      LinkedInterface ItemID=COM3\n"
            "  Interfaces\n    Serial\n      ComPort PortNo=COM3\n"
            "      ComPort PortNo=com12\n        LinkedUnit ItemID=U5x0\n"
            "      ComPort PortNo=COM9\n        LinkedUnit ItemID=U5x0\n"
            "      ComPort PortNo=COM2147483647\n      ComPort PortNo=COM-5\n");
}

TEST_F(Operations, DriverFiles) {
  auto& io = Open("");
  std::set<std::wstring> files{L"stale"};
  EXPECT_TRUE(io.GetDriverFiles(files));
  EXPECT_TRUE(files.empty());
  EXPECT_TRUE(io.ClearDriverFiles());
  EXPECT_EQ(Tree(), "");

  EXPECT_TRUE(io.AddDriverFile(L"C:\\Drv\\X.DLL"));
  EXPECT_FALSE(io.AddDriverFile(L"c:\\drv\\x.dll"));
  // Names with quotes of either kind, or both, are found and added once.
  for (const wchar_t* name : {L"it's.dll", L"say \"x\".dll", L"both ' and \".dll"}) {
    EXPECT_TRUE(io.AddDriverFile(name)) << testsupport::Narrow(name);
    CString other = name;
    EXPECT_FALSE(io.AddDriverFile(other.MakeUpper())) << testsupport::Narrow(name);
  }
  // Names XML cannot hold, and the empty name, are refused and change nothing.
  const std::string before = Tree();
  for (const wchar_t* bad : {L"", L"bell\x07.dll", L"\uFFFF.dll", L"\xD800.dll"})
    EXPECT_FALSE(io.AddDriverFile(bad));
  EXPECT_EQ(Tree(), before);
  EXPECT_TRUE(io.GetDriverFiles(files));
  EXPECT_EQ(files, (std::set<std::wstring>{L"C:\\Drv\\X.DLL", L"both ' and \".dll", L"it's.dll", L"say \"x\".dll"}));

  EXPECT_TRUE(io.ClearDriverFiles());
  EXPECT_EQ(Tree(), "");

  auto& listed = Open("<DriverList><File>B.dll</File><File/><File>a.dll</File><File>B.dll</File></DriverList>");
  EXPECT_TRUE(listed.GetDriverFiles(files));
  EXPECT_EQ(files, (std::set<std::wstring>{L"B.dll", L"a.dll"}));
  EXPECT_EQ(Tree(), "  DriverList\n    File\n      #text B.dll\n    File\n      #text a.dll\n    File\n      #text B.dll\n");
}

TEST_F(Operations, EveryOperationFailsWithoutADocument) {
  dir_.WriteDocument("");
  std::filesystem::create_directory(dir_.Path("kvoDevice.xsd"));  // the schema cannot be written: nothing loads
  io_ = dir_.Open();
  Units units{{1, 1}};
  std::set<std::wstring> files{L"x"};
  std::vector<PortAddress> ports{{2, 2}};
  EXPECT_FALSE(io_->GetUnitList(units, false));
  EXPECT_TRUE(units.empty());
  EXPECT_FALSE(io_->GetDriverFiles(files));
  EXPECT_TRUE(files.empty());
  EXPECT_FALSE(io_->GetUnitPorts({1, 1}, ports));
  EXPECT_EQ(ports.size(), 1u);
  EXPECT_FALSE(io_->ExistsUnit({1, 1}));
  EXPECT_FALSE(io_->AddUnit({1, 1}));
  EXPECT_FALSE(io_->RemoveUnit({1, 1}));
  EXPECT_FALSE(io_->UnlinkUnitPort({1, 1}, {dev::PortSerial, 1}));
  EXPECT_FALSE(io_->AddDriverFile(L"a.dll"));
  EXPECT_FALSE(io_->ClearDriverFiles());
  EXPECT_FALSE(io_->Save());
}

}  // namespace
