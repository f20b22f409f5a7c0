// The schema writer: its primitives, the schema of the configuration document,
// and what that schema accepts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "schema/XMLDeviceSchema.h"
#include "tests/support/TempDir.h"
#include "tests/support/XmlListing.h"

namespace {

using platform::xml::Node;
using testsupport::Listing;
using testsupport::ReadFile;

TEST(DeviceSchema, MatchesTheListingAndIsWrittenTheSameEveryTime) {
  testsupport::TempDir dir;
  const std::wstring path = dir.Write("kvoDevice.xsd", "an older, damaged schema file");
  ASSERT_TRUE(dev::CXMLDeviceSchema(path).Generate());
  const std::string first = ReadFile(dir.path() / "kvoDevice.xsd");
  EXPECT_TRUE(first.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!--schema file")) << first;

  platform::xml::Document written = platform::xml::Document::Create();
  written.SetValidateOnParse(false);
  ASSERT_TRUE(written.Load(path));
  EXPECT_EQ(Listing(written), testsupport::ListingFile(KVO_TEST_DATA "/schema/kvoDevice.listing"));

  ASSERT_TRUE(dev::CXMLDeviceSchema(path).Generate());
  EXPECT_EQ(ReadFile(dir.path() / "kvoDevice.xsd"), first);
}

// Without a DOM document nothing can be written, and the file stays as it was.
TEST(DeviceSchema, GenerateWithoutDocumentFailsAndWritesNothing) {
  struct NoDocument : dev::CXMLDeviceSchema {
    using CXMLDeviceSchema::CXMLDeviceSchema;
    void Drop() { m_dom = platform::xml::Document(); }
  };
  testsupport::TempDir dir;
  NoDocument schema(dir.Wide("kvoDevice.xsd"));
  schema.Drop();
  EXPECT_FALSE(schema.Generate());
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "kvoDevice.xsd"));
}

// Documents against the generated schema: one that uses every element, and
// one that breaks each rule of the schema.
TEST(DeviceSchema, AcceptsValidDocumentsAndRejectsEachBrokenRule) {
  testsupport::TempDir dir;
  ASSERT_TRUE(dev::CXMLDeviceSchema(dir.Wide("kvoDevice.xsd")).Generate());
  const std::string head =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<Devices xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xsi:noNamespaceSchemaLocation=\"kvoDevice.xsd\">\n";
  const std::string unit = "<UnitList><Unit UnitID=\"U3x1\"/></UnitList>\n";
  const struct {
    const char* rule;
    std::string body;
    bool accepted;
  } cases[] = {
      {"every element",
       "<Sets><ActiveSet Name=\"main\"/><Set Name=\"main\"><Comment>c</Comment><LinkedUnit ItemID=\"U3x1\"/></Set></Sets>\n"
       "<DriverList><File>a.dll</File><File>b.dll</File></DriverList>\n"
       "<UnitList><Unit UnitID=\"U3x1\" setup=\"exclude\"><Driver>d</Driver><Model>m</Model><UnitName>n</UnitName>"
       "<SerialNo>s</SerialNo><LinkedInterface ItemID=\"COM3\"/></Unit><Unit UnitID=\"U3x2\" setup=\"include\"/></UnitList>\n"
       "<Interfaces><Serial><ComPort PortNo=\"COM3\"><LinkedUnit ItemID=\"U3x1\"/></ComPort><ComPort PortNo=\"COM4\"/>"
       "</Serial></Interfaces>\n",
       true},
      {"no children at all", "", true},
      // libxml2 does not check that an IDREF names an ID, and loading relies on that.
      {"a link to no unit", "<Sets><ActiveSet Name=\"\"/><Set Name=\"s\"><Comment/><LinkedUnit ItemID=\"U9x9\"/></Set></Sets>\n", true},
      {"UnitList twice", unit + unit, false},
      {"an unknown child", "<Extra/>\n", false},
      {"UnitID repeated", "<UnitList><Unit UnitID=\"U3x1\"/><Unit UnitID=\"U3x1\"/></UnitList>\n", false},
      {"UnitID and PortNo share one ID space",
       "<UnitList><Unit UnitID=\"X1\"/></UnitList><Interfaces><Serial><ComPort PortNo=\"X1\"/></Serial></Interfaces>\n", false},
      {"UnitID starting with a digit", "<UnitList><Unit UnitID=\"3x1\"/></UnitList>\n", false},
      {"setup neither include nor exclude", "<UnitList><Unit UnitID=\"U3x1\" setup=\"Exclude\"/></UnitList>\n", false},
      {"Unit children out of order", "<UnitList><Unit UnitID=\"U3x1\"><Model/><Driver/></Unit></UnitList>\n", false},
      {"Sets without ActiveSet", "<Sets><Set Name=\"s\"><Comment/></Set></Sets>\n", false},
      {"two ActiveSets", "<Sets><ActiveSet Name=\"a\"/><ActiveSet Name=\"b\"/></Sets>\n", false},
      {"ActiveSet after a Set", "<Sets><Set Name=\"s\"><Comment/></Set><ActiveSet Name=\"s\"/></Sets>\n", false},
      {"Set without Comment", "<Sets><ActiveSet Name=\"s\"/><Set Name=\"s\"/></Sets>\n", false},
  };
  for (const auto& c : cases) {
    const std::wstring path = dir.Write("kvoDevice.xml", head + c.body + "</Devices>\n");
    platform::xml::Document document = platform::xml::Document::Create();
    EXPECT_EQ(document.Load(path), c.accepted) << c.rule;
    if (!c.accepted) {
      const platform::xml::ParseError& error = document.LastParseError();
      EXPECT_NE(error.errorCode, 0u) << c.rule;
      EXPECT_GE(error.line, 2) << c.rule;
      EXPECT_FALSE(error.reason.empty()) << c.rule;
      EXPECT_FALSE(document.DocumentElement()) << c.rule;
    }
  }
  const std::wstring wrongRoot = dir.Write("kvoDevice.xml",
      "<Other xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xsi:noNamespaceSchemaLocation=\"kvoDevice.xsd\"/>");
  platform::xml::Document document = platform::xml::Document::Create();
  EXPECT_FALSE(document.Load(wrongRoot));
  EXPECT_EQ(document.LastParseError().line, 1);
}

// The primitives, through a writer that exposes them.
class Primitives : public dev::CXMLSchema {
 public:
  explicit Primitives(const CString& path) : CXMLSchema(path) {
    BeginSchema(L"header");
    declaration_ = newNode(Vocabulary(kElement), m_dom.DocumentElement(), nullptr, nullptr);
  }
  // The attributes a call left on a new declaration, and its result.
  template <typename Call>
  std::string Run(Call call) {
    declaration_ = newNode(Vocabulary(kElement), m_dom.DocumentElement(), nullptr, nullptr);
    const bool result = call(*this, declaration_);
    std::string attributes = result ? "true:" : "false:";
    for (const auto& [name, value] : declaration_.Attributes())
      attributes += ' ' + testsupport::Narrow(name) + '=' + testsupport::Narrow(value);
    return attributes;
  }
  using CXMLSchema::AddAll;
  using CXMLSchema::AddSequence;
  using CXMLSchema::SetMaxOccurs;
  using CXMLSchema::SetMinOccurs;
  using CXMLSchema::SetOccurs;
  using CXMLSchema::SetType;
  using CXMLSchema::SetTypeAndOccurs;
  const platform::xml::Document& dom() const { return m_dom; }

 private:
  Node declaration_;
};

TEST(SchemaPrimitives, OccurrencesTypesAndRefusals) {
  testsupport::TempDir dir;
  Primitives schema(dir.Wide("p.xsd"));
  using P = Primitives;
  const struct {
    const char* call;
    std::function<bool(P&, const Node&)> run;
    const char* attributes;
  } cases[] = {
      {"SetMaxOccurs(-1)", [](P& p, const Node& d) { return p.SetMaxOccurs(d, -1); }, "true: maxOccurs=unbounded"},
      {"SetMinOccurs(-1)", [](P& p, const Node& d) { return p.SetMinOccurs(d, -1); }, "false:"},
      {"SetMinOccurs(-2)", [](P& p, const Node& d) { return p.SetMinOccurs(d, -2); }, "false:"},
      {"SetMaxOccurs(-2)", [](P& p, const Node& d) { return p.SetMaxOccurs(d, -2); }, "false:"},
      {"SetMaxOccurs(1)", [](P& p, const Node& d) { return p.SetMaxOccurs(d, 1); }, "true: maxOccurs=1"},
      {"SetMinOccurs(2147483647)", [](P& p, const Node& d) { return p.SetMinOccurs(d, 2147483647); },
       "true: minOccurs=2147483647"},
      {"SetOccurs(0, -1)", [](P& p, const Node& d) { return p.SetOccurs(d, 0, -1); },
       "true: minOccurs=0 maxOccurs=unbounded"},
      {"SetOccurs(3, 2)", [](P& p, const Node& d) { return p.SetOccurs(d, 3, 2); }, "false:"},
      {"SetOccurs(2, 2)", [](P& p, const Node& d) { return p.SetOccurs(d, 2, 2); }, "true: minOccurs=2 maxOccurs=2"},
      {"SetOccurs(-1, -1)", [](P& p, const Node& d) { return p.SetOccurs(d, -1, -1); }, "false:"},
      {"SetOccurs(-1, 5)", [](P& p, const Node& d) { return p.SetOccurs(d, -1, 5); }, "false:"},
      {"SetOccurs(1, -2)", [](P& p, const Node& d) { return p.SetOccurs(d, 1, -2); }, "false:"},
      {"SetOccurs(0, -2)", [](P& p, const Node& d) { return p.SetOccurs(d, 0, -2); }, "false:"},
      {"SetTypeAndOccurs(xs:string, 3, 2)", [](P& p, const Node& d) { return p.SetTypeAndOccurs(d, L"xs:string", 3, 2); },
       "true: type=xs:string minOccurs=3 maxOccurs=2"},
      {"SetTypeAndOccurs(t, -1, 1)", [](P& p, const Node& d) { return p.SetTypeAndOccurs(d, L"t", -1, 1); },
       "false: type=t"},
      {"SetType(empty)", [](P& p, const Node& d) { return p.SetType(d, L""); }, "true: type="},
      {"SetType twice", [](P& p, const Node& d) { return p.SetType(d, L"a") && p.SetType(d, L"b"); }, "true: type=b"},
  };
  for (const auto& c : cases) EXPECT_EQ(schema.Run(c.run), c.attributes) << c.call;

  // A null declaration is refused by every operation; a null parent gives no compositor.
  const Node none;
  EXPECT_FALSE(schema.SetType(none, L"t"));
  EXPECT_FALSE(schema.SetMinOccurs(none, 0));
  EXPECT_FALSE(schema.SetMaxOccurs(none, 0));
  EXPECT_FALSE(schema.SetOccurs(none, 0, 1));
  EXPECT_FALSE(schema.SetTypeAndOccurs(none, L"t", 0, 1));
  EXPECT_FALSE(schema.AddSequence(none));
  EXPECT_FALSE(schema.AddAll(none));

  // BeginSchema wrote the declaration's comment and the root with its two attributes.
  const std::string listing = testsupport::Listing(schema.dom());
  EXPECT_TRUE(listing.starts_with("#comment header\nxs:schema xmlns:xs=http://www.w3.org/2001/XMLSchema "
                                  "elementFormDefault=qualified\n"))
      << listing;
}

}  // namespace
