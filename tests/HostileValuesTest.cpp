// Hostile text wherever outside text enters: INI files, configuration
// documents, driver file names, unit and port texts, the data directory.
// Each gets a defined result, nothing crashes, and nothing stored is lost.
#include <gtest/gtest.h>
#include <kvodevice/Host.h>
#include <kvodevice/IExtendedDeviceInfo.h>

#include <filesystem>

#include "platform/strings.h"
#include "tests/support/ConfigDir.h"
#include "tests/support/XmlListing.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ConfigDir;

struct Hostile {
  const char* name;
  std::string bytes;  // as it stands in a file
};

const std::vector<Hostile>& HostileBytes() {
  static const std::vector<Hostile> values = {
      {"apostrophe", "it's"},
      {"quote", "say \"x\""},
      {"both quotes", "'\"'"},
      {"CDATA end", "]]>"},
      {"comment dashes", "a--b-"},
      {"comment end", "-->"},
      {"markup", "<a>&amp;&"},
      {"control characters", "\x01\x02\x1f\x7f"},
      {"NUL in the middle", std::string("ab\0cd", 5)},
      {"invalid UTF-8", "\xff\xfe\xc3(\xed\xa0\x80"},
      {"1 MiB", std::string(1 << 20, 'x')},
  };
  return values;
}


TEST(HostileValues, IniFiles) {
  ConfigDir dir;
  auto* info = dev::dynInfo::GetExtendedDeviceInfo();
  dir.Write("good.ini", "[Kept]\nID=4000\nTag=kept\nuseShading=1\n");
  ASSERT_TRUE(info->Load(dir.Path("good.ini").wstring().c_str()));
  int device = 4001;
  for (const Hostile& value : HostileBytes()) {
    const std::string file = "[" + value.bytes + "]\nID=" + std::to_string(device) + "\nTag=" + value.bytes +
                             "\nPosition=" + value.bytes + ",2\nuseShading=" + value.bytes + "\n" + value.bytes + "\n";
    dir.Write("hostile.ini", file);
    EXPECT_TRUE(info->Load(dir.Path("hostile.ini").wstring().c_str())) << value.name;
    const std::wstring name = info->GetSectionName(static_cast<dev::id>(device));
    EXPECT_LE(name.size(), value.bytes.size()) << value.name;  // the name, cut at a NUL, or nothing
    EXPECT_EQ(info->GetPositions(static_cast<dev::id>(device)).size() <= 1, true) << value.name;
    ++device;
  }
  // What was read before is all still there.
  EXPECT_EQ(info->GetSectionName(static_cast<dev::id>(4000)), L"Kept");
  EXPECT_EQ(info->GetDevicesByTag(L"kept").size(), 1u);
  bool shading = false;
  EXPECT_TRUE(info->GetProcessingEnabled(static_cast<dev::id>(4000), tro::cam::Shading, shading));
  EXPECT_TRUE(shading);
}

// Hostile text as the content of a Model element, raw: the document loads,
// or the backup keeps it byte for byte and a new document starts.
TEST(HostileValues, DocumentContents) {
  for (const Hostile& value : HostileBytes()) {
    ConfigDir dir;
    const std::string document = ConfigDir::Document("<UnitList><Unit UnitID=\"U1x1\"><Model>" + value.bytes +
                                                     "</Model></Unit></UnitList>");
    dir.Write("kvoDevice.xml", document);
    std::vector<dev::UnitKey> units;
    {
      const auto io = dir.Open();
      EXPECT_TRUE(io->GetUnitList(units, false)) << value.name;
    }
    if (fs::exists(dir.Path("kvoDevice.xml.bak"))) {
      EXPECT_EQ(dir.Read("kvoDevice.xml.bak"), document) << value.name;
      EXPECT_TRUE(units.empty()) << value.name;
    } else {
      EXPECT_EQ(units, (std::vector<dev::UnitKey>{{1, 1}})) << value.name;
    }
    EXPECT_NE(dir.Listing(), "<not well-formed>") << value.name;
  }
}

// Unit and port texts that no id can hold make the document invalid: it is
// set aside whole. Odd but valid ids read as their rules say.
TEST(HostileValues, UnitAndPortTexts) {
  const struct {
    const char* attribute;  // as written in the file
    const char* value;      // as read
  } invalid[] = {{"U1x1'", "U1x1'"}, {"U1x1&quot;", "U1x1\""}, {"U1x1 ", "U1x1 "}, {"1x1", "1x1"}, {"U1x1]]&gt;", "U1x1]]>"}};
  for (const auto& id : invalid) {
    ConfigDir dir;
    dir.WriteDocument(std::string("<UnitList><Unit UnitID=\"U1x1\"/><Unit UnitID=\"") + id.attribute + "\"/></UnitList>");
    dir.Open().reset();
    EXPECT_NE(dir.Listing("kvoDevice.xml.bak").find(std::string("Unit UnitID=") + id.value + "\n"), std::string::npos)
        << id.value;
  }
  ConfigDir dir;
  dir.WriteDocument(
      "<UnitList><Unit UnitID=\"U1x1\"/><Unit UnitID=\"U1x1.0\"/><Unit UnitID=\"U1x1--\"/></UnitList>"
      "<Interfaces><Serial><ComPort PortNo=\"COM3.5\"><LinkedUnit ItemID=\"U1x1\"/></ComPort>"
      "<ComPort PortNo=\"COM_3\"><LinkedUnit ItemID=\"U1x1\"/></ComPort>"
      "<ComPort PortNo=\"COM-2147483649\"><LinkedUnit ItemID=\"U1x1\"/></ComPort></Serial></Interfaces>");
  const auto io = dir.Open();
  std::vector<dev::UnitKey> units;
  EXPECT_TRUE(io->GetUnitList(units, false));
  EXPECT_EQ(units, (std::vector<dev::UnitKey>{{1, 1}, {65535, 0}, {65535, 0}}));
  std::vector<dev::PortAddress> ports;
  EXPECT_TRUE(io->GetUnitPorts({1, 1}, ports));
  ASSERT_EQ(ports.size(), 3u);
  EXPECT_EQ(ports[0].portNumber, 3);
  EXPECT_EQ(ports[1].portNumber, 0);
  EXPECT_EQ(ports[2].portNumber, INT32_MIN);
}

TEST(HostileValues, DriverFileNames) {
  ConfigDir dir;
  {
    const auto io = dir.Open();
    ASSERT_TRUE(io->AddDriverFile(L"kept.dll"));
    const std::wstring wide[] = {L"it's", L"say \"x\"", L"'\"'", L"]]>", L"a--b-", L"-->", L"<a>&amp;&",
                                 L"\x01\x1f", std::wstring(L"ab\0cd", 5), std::wstring(1 << 20, L'x'),
                                 L"\xD800", L"\x110000", std::wstring(1, static_cast<wchar_t>(-1)), L"\uFFFE"};
    for (const std::wstring& name : wide) {
      const bool added = io->AddDriverFile(CString(name));
      std::set<std::wstring> files;
      EXPECT_TRUE(io->GetDriverFiles(files));
      EXPECT_TRUE(files.contains(L"kept.dll"));
      EXPECT_EQ(files.contains(name.c_str()), added) << testsupport::Narrow(name.substr(0, 20));
    }
  }
  // Everything that was accepted comes back from the file as it was given.
  const auto io = dir.Open();
  std::set<std::wstring> files;
  EXPECT_TRUE(io->GetDriverFiles(files));
  const std::set<std::wstring> expected{L"kept.dll", L"it's",     L"say \"x\"", L"'\"'", L"]]>",
                                        L"a--b-",    L"-->",      L"<a>&amp;&", std::wstring(1 << 20, L'x')};
  EXPECT_TRUE(files == expected) << files.size() << " names, " << expected.size() << " expected";
  EXPECT_FALSE(fs::exists(dir.Path("kvoDevice.xml.bak")));
}

TEST(HostileValues, DataDirectories) {
  ConfigDir base;
  const std::wstring root = base.Path("").wstring();
  const struct {
    const char* name;
    std::wstring dir;
    bool usable;
  } cases[] = {
      {"quotes and blanks", root + L"it's \"here\"", true},
      {"markup", root + L"]]>--<a>&", true},
      {"bytes that are not UTF-8", root + L"\xDCFF\xDCC3(", true},
      {"a lone surrogate", root + L"\xD800", true},
      {"backslashes", root + L"sub\\dir", true},
      {"a name too long", root + std::wstring(300, L'n'), false},
      {"a path of 1 Mi characters", root + std::wstring(1 << 20, L'p'), false},
  };
  for (const auto& c : cases) {
    if (c.usable) fs::create_directories(platform::NativePath(c.dir));
    ssnSetDataDir(c.dir.c_str());
    {
      const auto io = base.Open();
      EXPECT_EQ(io->AddUnit({1, 1}), c.usable) << c.name;
    }
    EXPECT_EQ(base.Open()->ExistsUnit({1, 1}), c.usable) << c.name;
  }
}

}  // namespace
