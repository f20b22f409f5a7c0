// The configuration file's lifecycle: first start, recovery from damaged
// files, files that cannot be written, and saving.
#include <gtest/gtest.h>
#include <kvodevice/Host.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/support/ConfigDir.h"

namespace {

using testsupport::ConfigDir;
namespace fs = std::filesystem;

const std::string kDefaultDocument =
    "#comment Device information file for kvoRQ\n"
    "Devices xmlns:xsi=http://www.w3.org/2001/XMLSchema-instance xsi:noNamespaceSchemaLocation=kvoDevice.xsd\n";

std::uint64_t Inode(const fs::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

std::vector<dev::UnitKey> Units(dev::IDeviceManagerIO& io) {
  std::vector<dev::UnitKey> units;
  EXPECT_TRUE(io.GetUnitList(units, false));
  return units;
}

// The next start loads the document as it is and writes the same bytes back.
void ExpectNextStartKeepsIt(const ConfigDir& dir) {
  const std::string saved = dir.Read("kvoDevice.xml");
  dir.Open().reset();
  EXPECT_EQ(dir.Read("kvoDevice.xml"), saved);
  EXPECT_FALSE(fs::exists(dir.Path("kvoDevice.xml.bak")));
}

TEST(ConfigFile, FirstStartWritesTheSchemaAndADefaultDocument) {
  ConfigDir dir;
  {
    const auto io = dir.Open();
    EXPECT_TRUE(fs::exists(dir.Path("kvoDevice.xsd")));
    EXPECT_EQ(dir.Listing(), kDefaultDocument);
    EXPECT_TRUE(Units(*io).empty());
  }
  EXPECT_FALSE(fs::exists(dir.Path("kvoDevice.xml.bak")));
  ExpectNextStartKeepsIt(dir);
}

TEST(ConfigFile, DocumentCutOffIsKeptByteForByteAndReplaced) {
  ConfigDir dir;
  const std::string cut = ConfigDir::Document("<UnitList><Unit UnitID=\"U3x1\"/></UnitList>").substr(0, 150);
  dir.Write("kvoDevice.xml", cut);
  dir.Write("kvoDevice.xml.bak", "an older backup");
  const auto io = dir.Open();
  EXPECT_EQ(dir.Read("kvoDevice.xml.bak"), cut);
  const std::string listing = dir.Listing();
  EXPECT_TRUE(listing.starts_with("#comment Device information file for kvoRQ\n#comment \nFailed to load XML file:\n"
                                  "parse error: "))
      << listing;
  EXPECT_NE(listing.find("\nin line: 2 col: "), std::string::npos) << listing;
  EXPECT_NE(listing.find("Default document created instead.\nDevices "), std::string::npos) << listing;
  EXPECT_TRUE(Units(*io).empty());
  EXPECT_TRUE(io->AddUnit({3, 1}));
}

TEST(ConfigFile, DocumentBreakingTheSchemaIsKeptWithTheMessage) {
  ConfigDir dir;
  dir.WriteDocument("<UnitList><Unit UnitID=\"U3x1\" setup=\"bogus\"/></UnitList>");
  dir.Open().reset();
  const std::string backup = dir.Listing("kvoDevice.xml.bak");
  EXPECT_TRUE(backup.starts_with("Devices xmlns:xsi=http://www.w3.org/2001/XMLSchema-instance "
                                 "xsi:noNamespaceSchemaLocation=kvoDevice.xsd\n  UnitList\n    Unit UnitID=U3x1 setup=bogus\n"
                                 "#comment \nFailed to load XML file:\nparse error: "))
      << backup;
  EXPECT_NE(backup.find("bogus"), backup.rfind("bogus")) << "the message names the value";
  const std::string message = backup.substr(backup.find("#comment ") + 9);
  EXPECT_EQ(dir.Listing(), "#comment Device information file for kvoRQ\n#comment " + message.substr(0, message.size() - 1) +
                               "Default document created instead.\n" + kDefaultDocument.substr(kDefaultDocument.find("Devices")));
}

TEST(ConfigFile, DeletedSchemaIsWrittenAgainAndTheDocumentKept) {
  ConfigDir dir;
  dir.Open()->AddUnit({7, 7});
  fs::remove(dir.Path("kvoDevice.xsd"));
  const auto io = dir.Open();
  EXPECT_TRUE(fs::exists(dir.Path("kvoDevice.xsd")));
  EXPECT_EQ(Units(*io), (std::vector<dev::UnitKey>{{7, 7}}));
  EXPECT_FALSE(fs::exists(dir.Path("kvoDevice.xml.bak")));
  // A damaged schema is written again after the first load fails.
  dir.Write("kvoDevice.xsd", "<xs:schema");
  EXPECT_EQ(Units(*dir.Open()), (std::vector<dev::UnitKey>{{7, 7}}));
  EXPECT_FALSE(fs::exists(dir.Path("kvoDevice.xml.bak")));
}

// When the schema cannot be written, nothing is loaded, nothing is backed up,
// and the document file is exactly as it was, also after release.
TEST(ConfigFile, SchemaThatCannotBeWrittenLeavesTheDocumentAlone) {
  ConfigDir dir;
  const std::string document = ConfigDir::Document("<UnitList><Unit UnitID=\"U1x1\"/></UnitList>");
  dir.Write("kvoDevice.xml", document);
  fs::create_directory(dir.Path("kvoDevice.xsd"));
  {
    const auto io = dir.Open();
    std::vector<dev::UnitKey> units{{1, 2}};
    EXPECT_FALSE(io->GetUnitList(units, false));
    EXPECT_TRUE(units.empty());
    EXPECT_FALSE(io->AddUnit({2, 2}));
    EXPECT_FALSE(io->Save());
  }
  EXPECT_EQ(dir.Read("kvoDevice.xml"), document);
  EXPECT_FALSE(fs::exists(dir.Path("kvoDevice.xml.bak")));

  // The same for a data directory below a regular file: nothing can be made there.
  ConfigDir other;
  other.Write("plain", "a file");
  ssnSetDataDir((other.Path("plain") / "data").wstring().c_str());
  const auto io = other.Open();
  EXPECT_FALSE(io->ExistsUnit({1, 1}));
  EXPECT_FALSE(io->Save());
  EXPECT_EQ(other.Read("plain"), "a file");
}

// A damaged document whose backup cannot be written is the only copy of the
// user's data: it stays as it is, and no default document replaces it.
TEST(ConfigFile, DamagedDocumentWithoutBackupIsNotReplaced) {
  for (const std::string& damaged : {std::string("<Devices><UnitList>"),
                                     ConfigDir::Document("<UnitList><Unit UnitID=\"U1x1\" setup=\"x\"/></UnitList>")}) {
    ConfigDir dir;
    dir.Write("kvoDevice.xml", damaged);
    fs::create_directory(dir.Path("kvoDevice.xml.bak"));
    {
      const auto io = dir.Open();
      EXPECT_FALSE(io->AddUnit({1, 1}));
      EXPECT_FALSE(io->Save());
    }
    EXPECT_EQ(dir.Read("kvoDevice.xml"), damaged);
    EXPECT_TRUE(fs::is_directory(dir.Path("kvoDevice.xml.bak")));
  }
}

TEST(ConfigFile, ReleaseWritesOnlyChangesAndEverythingRoundTrips) {
  ConfigDir dir;
  dir.WriteDocument(
      "<UnitList><Unit UnitID=\"U3x1\" setup=\"exclude\"><Driver>d</Driver><Model>m &amp; n</Model>"
      "<UnitName>name</UnitName><SerialNo>42</SerialNo><LinkedInterface ItemID=\"COM3\"/></Unit>"
      "<Unit UnitID=\"U3x2\" setup=\"include\"/></UnitList>"
      "<Interfaces><Serial><ComPort PortNo=\"COM3\"><LinkedUnit ItemID=\"U3x1\"/></ComPort></Serial></Interfaces>"
      "<DriverList><File>a.dll</File></DriverList>"
      "<Sets><ActiveSet Name=\"main\"/><Set Name=\"main\"><Comment>first set</Comment><LinkedUnit ItemID=\"U3x2\"/>"
      "</Set></Sets>");
  const std::string before = dir.Listing();
  const auto inode = Inode(dir.DocumentPath());
  dir.Open().reset();
  EXPECT_EQ(Inode(dir.DocumentPath()), inode) << "a release with nothing changed writes nothing";
  {
    const auto io = dir.Open();
    EXPECT_TRUE(io->AddUnit({3, 3}));
    EXPECT_TRUE(io->RemoveUnit({3, 3}));
  }
  EXPECT_NE(Inode(dir.DocumentPath()), inode) << "a release after a change writes the file";
  EXPECT_EQ(dir.Listing(), before);
  ExpectNextStartKeepsIt(dir);
}

TEST(ConfigFile, TypicalRequestFromStartToRelease) {
  ConfigDir dir;
  {
    const auto io = dir.Open();
    EXPECT_FALSE(io->ExistsUnit({303, 0}));
    EXPECT_TRUE(io->AddUnit({303, 0}));
    EXPECT_TRUE(io->Save());
    EXPECT_NE(dir.Listing().find("  UnitList\n    Unit UnitID=U303x0\n"), std::string::npos);
  }
  EXPECT_TRUE(dir.Open()->ExistsUnit({303, 0}));
}

// A port link to a unit that is gone stays in the file (removing a unit does
// not unlink its ports); the next start must still load every unit.
TEST(ConfigFile, StaleLinkDoesNotCostTheFile) {
  ConfigDir dir;
  dir.WriteDocument(
      "<UnitList><Unit UnitID=\"U1x1\"><LinkedInterface ItemID=\"COM1\"/></Unit><Unit UnitID=\"U2x2\"/></UnitList>"
      "<Interfaces><Serial><ComPort PortNo=\"COM1\"><LinkedUnit ItemID=\"U1x1\"/></ComPort></Serial></Interfaces>");
  EXPECT_TRUE(dir.Open()->RemoveUnit({1, 1}));
  const auto io = dir.Open();
  EXPECT_EQ(Units(*io), (std::vector<dev::UnitKey>{{2, 2}}));
  std::vector<dev::PortAddress> ports;
  EXPECT_TRUE(io->GetUnitPorts({1, 1}, ports));
  EXPECT_EQ(ports.size(), 1u);
  EXPECT_FALSE(fs::exists(dir.Path("kvoDevice.xml.bak")));
}

}  // namespace
