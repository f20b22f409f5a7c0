// The configuration file's lifecycle: first start, recovery from damaged
// files, files that cannot be written, saving, and the history of versions.
#include <gtest/gtest.h>
#include <kvodevice/ConfigurationContent.h>
#include <kvodevice/ConfigurationFile.h>
#include <kvodevice/Host.h>
#include <kvodevice/IDeviceEditor.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <tuple>

#include "platform/strings.h"
#include "tests/support/ConfigDir.h"
#include "tests/support/FaultyFileSystem.h"

namespace {

using testsupport::ConfigDir;
namespace fs = std::filesystem;

const std::string kDefaultDocument =
    "#comment Device information file for kvoRQ\n"
    "Devices xmlns:xsi=http://www.w3.org/2001/XMLSchema-instance xsi:noNamespaceSchemaLocation=kvoDevice.xsd\n";

// Kept as the backup: a document that is not XML byte for byte, one that
// breaks the schema as parsed with the message; the new document names it,
// with the parser's first error: the cause, not where the parser gave up.
TEST(ConfigFile, DamagedDocumentIsBackedUpAndReplaced) {
  const struct {
    std::string damaged;
    bool wellFormed;
    std::string names;
  } cases[] = {
      {ConfigDir::Document("<UnitList><Unit UnitID=\"U3x1\"/></UnitList>").substr(0, 150), false, ""},
      {ConfigDir::Document("<UnitList><Unit UnitID=\"U3x1\">\n<UnitName>a\n</Unit></UnitList>"), false,
       "in line: 4 col: 8\nOpening and ending tag mismatch: UnitName line 3 and Unit"},
      {ConfigDir::Document("<UnitList><Unit UnitID=\"U3x1\" setup=\"bogus\"/></UnitList>"), true, "bogus"},
  };
  for (const auto& [damaged, wellFormed, names] : cases) {
    ConfigDir dir(damaged);
    dir.Write("kvoDevice.xml.bak", "an older backup");
    dir.Open().reset();
    const std::string listing = dir.Listing();
    const std::string head = "#comment Device information file for kvoRQ\n#comment ";
    const std::string tail = "Default document created instead.\n" + kDefaultDocument.substr(kDefaultDocument.find("Devices"));
    ASSERT_TRUE(listing.starts_with(head + "\nFailed to load XML file:\nparse error: ") && listing.ends_with(tail)) << listing;
    const std::string message = listing.substr(head.size(), listing.size() - head.size() - tail.size());
    EXPECT_NE(message.find(names), std::string::npos) << message;
    if (!wellFormed) {
      EXPECT_EQ(dir.Read("kvoDevice.xml.bak"), damaged);
      continue;
    }
    EXPECT_EQ(dir.Listing("kvoDevice.xml.bak"),
              "Devices xmlns:xsi=http://www.w3.org/2001/XMLSchema-instance xsi:noNamespaceSchemaLocation=kvoDevice.xsd\n"
              "  UnitList\n    Unit UnitID=U3x1 setup=bogus\n#comment " + message + "\n");
  }
}

// A dry run tells what the opening will do, field for field, and the content
// a read-only opening read is what a reading of the file says.
TEST(ConfigFile, DryRunAgreesWithTheOpeningAndTheReadingWithTheFile) {
  const std::string schema = dev::SchemaText();
  const std::string oneSided = ConfigDir::Document(
      "<UnitList><Unit UnitID=\"U3x1\"><LinkedInterface ItemID=\"COM1\"/></Unit></UnitList>"
      "<ComPortList><ComPort PortNo=\"COM1\"/></ComPortList>");
  std::string namesAny = ConfigDir::Document("<UnitList><Unit UnitID=\"U3x1\" setup=\"bogus\"/></UnitList>");
  namesAny.replace(namesAny.find("kvoDevice.xsd"), 13, "any.xsd");
  const struct {
    const char* what;
    std::string document, schema;  // "-": no such file
    const char* schemaName = "kvoDevice.xsd";
  } cases[] = {
      {"valid, a one-sided link", oneSided, schema},
      {"no document", "-", schema},
      {"no schema", oneSided, "-"},
      {"a damaged schema", oneSided, schema.substr(0, 200)},
      {"not XML", ConfigDir::Document("<UnitList><Unit UnitID=\"U3x1\">\n<UnitName>a\n</Unit></UnitList>"), schema},
      {"not valid", ConfigDir::Document("<UnitList><Unit UnitID=\"U3x1\" setup=\"bogus\"/></UnitList>"), schema},
      {"no schema named", "<Devices><UnitList><Unit UnitID=\"U3x1\" setup=\"bogus\"/></UnitList></Devices>", schema},
      {"another schema named", namesAny,
       "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\"><xs:element name=\"Devices\"/></xs:schema>", "any.xsd"},
  };
  for (const auto& [what, document, schemaFile, schemaName] : cases) {
    SCOPED_TRACE(what);
    ConfigDir dir;
    if (document != "-") dir.Write("kvoDevice.xml", document);
    if (schemaFile != "-") dir.Write(schemaName, schemaFile);
    const std::wstring path = dir.DocumentPath().wstring();
    const dev::DocumentContent read = dev::ReadDocumentContent(path);
    const dev::OpenReport dry = dev::DryRunOpen();
    const testsupport::ConfigPtr reader(dev::OpenXMLFileReadOnly());
    const dev::DocumentContent opened = dev::OpenedDocumentContent(reader.get());
    EXPECT_TRUE(!reader->Save() && dev::LastFailureKind(reader.get()) == dev::Failure::ReadOnly);
    const auto bytes = [&dir](const char* name) { return fs::exists(dir.Path(name)) ? dir.Read(name) : "-"; };
    EXPECT_EQ(std::make_pair(bytes("kvoDevice.xml"), bytes(schemaName)), std::make_pair(document, schemaFile))
        << "nothing is written";
    const dev::OpenReport real = dev::GetOpenReport(dir.Open().get());

    EXPECT_EQ(std::tie(dry.outcome, dry.parseError, dry.line, dry.column, dry.parseErrorKind, dry.parseErrorText,
                       dry.schemaWritten),
              std::tie(real.outcome, real.parseError, real.line, real.column, real.parseErrorKind,
                       real.parseErrorText, real.schemaWritten));
    const auto summary = [](const dev::DocumentContent& c) {
      return std::make_tuple(c.read, c.wellFormed, c.valid, c.errorCode, c.errorLine, c.errorReason, c.units.size(),
                             c.ports.size());
    };
    EXPECT_EQ(summary(opened), summary(read));
    ASSERT_EQ(opened.findings.size(), read.findings.size());
    for (std::size_t i = 0; i < read.findings.size(); ++i)
      EXPECT_EQ(std::tie(opened.findings[i].kind, opened.findings[i].line, opened.findings[i].text),
                std::tie(read.findings[i].kind, read.findings[i].line, read.findings[i].text));
  }
  EXPECT_FALSE(dev::OpenedDocumentContent(ConfigDir(oneSided).Open().get()).read) << "a host's object keeps no bytes";
}

// Any data directory the file system takes works; one it refuses fails cleanly.
TEST(ConfigFile, DataDirectoriesWithHostileNamesAndRelativeOnes) {
  ConfigDir base;
  const std::wstring root = base.Path("").wstring();
  const struct {
    const char* name;
    std::wstring dir;
    bool usable;
  } cases[] = {
      {"quotes, markup, bytes that are not UTF-8", root + L"it's \"here\" ]]>--<a>&\xDCFF\xDCC3(", true},
      {"a lone surrogate", root + L"\xD800", true},
      {"a name too long", root + std::wstring(300, L'n'), false},
  };
  for (const auto& c : cases) {
    if (c.usable) fs::create_directories(platform::NativePath(c.dir));
    ssnSetDataDir(c.dir.c_str());
    EXPECT_EQ(base.Open()->AddUnit({1, 1}), c.usable) << c.name;
    EXPECT_EQ(base.Open()->ExistsUnit({1, 1}), c.usable) << c.name;
  }

  // The data directory is fixed, absolute, when the object is made: the host's
  // later chdir never moves the file its changes go to.
  const testsupport::TempDir tree;
  for (const char* dir : {"a/cfg", "b/cfg"}) fs::create_directories(tree.path() / dir);
  const fs::path home = fs::current_path();
  fs::current_path(tree.path() / "a");
  ssnSetDataDir(L"cfg");
  dev::IDeviceManagerIO* io = dev::CreateXMLFile();
  EXPECT_TRUE(io->AddUnit({3, 0}));
  fs::current_path(tree.path() / "b");
  EXPECT_TRUE(io->Save());
  EXPECT_FALSE(dev::IsStale(io)) << "the object looks at the file it wrote";
  io->Release();
  fs::current_path(home);
  EXPECT_FALSE(fs::exists(tree.path() / "b/cfg/kvoDevice.xml"));
  EXPECT_EQ(testsupport::UnitIds(tree.path() / "a/cfg/kvoDevice.xml"), std::vector<std::string>{"U3x0"});
}

using Reason = std::pair<std::wstring, dev::HistoryReason>;
std::vector<Reason> Reasons() {
  std::vector<Reason> reasons;
  for (const dev::HistoryVersion& version : dev::ListHistory()) reasons.emplace_back(version.reason, version.why);
  return reasons;
}

std::size_t UnitCount(const std::wstring& path) { return dev::ReadDocumentContent(path).units.size(); }

// The most recent versions are kept, the damaged file a recovery replaced
// among them; a restore keeps the document it replaces.
TEST(History, KeepsTheMostRecentVersionsByLinkOrCopyWithTheirReasons) {
  for (const auto& [setting, keep] : {std::pair{"0", 0}, {"3", 3}, {"3 versions", 20}}) {  // not a number: the default
    SCOPED_TRACE(setting);
    const testsupport::ScopedEnv history("KVO_HISTORY", setting);
    ConfigDir dir("<Devices");
    dir.Open().reset();
    EXPECT_EQ(Reasons(), (keep == 0 ? std::vector<Reason>{} : std::vector<Reason>{{L"recovery", dev::HistoryReason::Recovery}}));
    for (const dev::HistoryVersion& version : dev::ListHistory()) EXPECT_EQ(testsupport::ReadFile(version.path), "<Devices");
    for (std::uint16_t i = 0; i < keep + 3; ++i) dir.Open()->AddUnit({1, i});
    const std::vector<dev::HistoryVersion> versions = dev::ListHistory();
    ASSERT_EQ(versions.size(), static_cast<std::size_t>(keep));
    if (keep == 0) continue;
    // The newest holds the units of the last save but one; the oldest kept follow on.
    EXPECT_EQ(UnitCount(versions.back().path), static_cast<std::size_t>(keep + 2));
    EXPECT_TRUE(std::is_sorted(versions.begin(), versions.end(),
                               [](const auto& a, const auto& b) { return a.time < b.time; }));

    const std::string oldest = testsupport::ReadFile(fs::path(versions.front().path));
    ASSERT_TRUE(dev::RestoreXMLFile(versions.front().path, nullptr));
    EXPECT_EQ(dir.Read("kvoDevice.xml"), oldest);
    EXPECT_EQ(Reasons().back(), Reason(L"restore", dev::HistoryReason::Restore));
    EXPECT_EQ(UnitCount(dev::ListHistory().back().path), static_cast<std::size_t>(keep + 3));
  }

  // A hard link where it can be, else a copy with the document's permissions;
  // a version that cannot be kept costs the save nothing.
  for (const char* call : {"", "Link", "Mkdir"}) {
    SCOPED_TRACE(call);
    ConfigDir dir;
    dir.Open().reset();
    ::chmod(dir.DocumentPath().c_str(), 0600);
    const ino_t before = testsupport::LinkStat(dir.DocumentPath()).st_ino;
    {
      const testsupport::FaultyFileSystem faults(call, "", EIO);
      const testsupport::ConfigPtr io = dir.Open();
      io->AddUnit({1, 1});
      EXPECT_TRUE(io->Save());
    }
    const std::vector<dev::HistoryVersion> versions = dev::ListHistory();
    ASSERT_EQ(versions.size(), std::string(call) == "Mkdir" ? 0u : 1u);
    if (versions.empty()) continue;
    EXPECT_EQ(testsupport::Mode(versions.front().path), 0600u);
    EXPECT_EQ(testsupport::LinkStat(versions.front().path).st_ino == before, std::string(call).empty())
        << "a link where it can be, else a copy";
  }
}

}  // namespace
