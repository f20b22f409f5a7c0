// The configuration document's machinery: the DOM and the host's document class
// over it, the path builder, the schema writer and its schema, and unit id texts.
#include <gtest/gtest.h>
#include <kvodevice/Text.h>
#include <libxml/parser.h>

#include "devicefile/UnitId.h"
#include "host/XMLDOMDocument.h"
#include "host/XPATHString.h"
#include "platform/xml/DocumentData.h"
#include "platform/xml/SchemaDocument.h"
#include "schema/XMLDeviceSchema.h"
#include "tests/support/TempDir.h"
#include "tests/support/XmlListing.h"

namespace {

using platform::xml::Node;
using testsupport::Listing;
using testsupport::ReadFile;
using utl::CXPATHString;

// The host document class with its DOM in reach, as derived classes have it.
struct Document : utl::CXMLDOMDocument {
  using CXMLDOMDocument::CXMLDOMDocument;
  platform::xml::Document& dom() { return m_dom; }
  Node Root() { return m_dom.DocumentElement(); }
};

TEST(XmlDocument, BuildsTreesAndRefusesTextXmlCannotHold) {
  testsupport::TempDir dir;
  Document document(dir.Wide("d.xml"));
  EXPECT_FALSE(document.isDOMReady() || document.newNode(CString(L"Orphan"), Node(), nullptr, nullptr) ||
               document.addComment(L"nowhere to go", Node()));

  ASSERT_TRUE(document.dom().AsNode().AppendChild(document.dom().CreateElement(L"Devices")));
  EXPECT_TRUE(document.isDOMReady());
  EXPECT_THROW(document.dom().AsNode().AppendChild(document.dom().CreateElement(L"Second")),
               platform::com::_com_error);  // a document holds one element
  const CString id = L"UnitID", value = L"U3x1";
  const Node list = document.getChildNode(L"UnitList", document.Root(), true);
  EXPECT_EQ(document.getChildNode(L"UnitList", document.Root(), true), list);
  EXPECT_FALSE(document.getChildNode(L"DriverList", document.Root(), false));
  const Node unit = document.newNode(CString(L"Unit"), list, &id, &value);
  const Node file = document.newNode(CString(L"File"), document.getChildNode(L"DriverList", document.Root(), true),
                                     nullptr, nullptr);
  for (const wchar_t* good : {L"\t\n\r", L"\uD7FF\uE000\uFFFD", L"\U00010000\U0010FFFF"}) {
    EXPECT_TRUE(document.setString(file, good));
    CString back;
    EXPECT_TRUE(document.getString(file, back) && back == good);
  }
  EXPECT_TRUE(document.setString(file, L"a&b <c> \"d\" 'e' \u00E4\U0001F600"));

  // Control characters, U+FFFE/U+FFFF, surrogates and values above U+10FFFF are refused; nothing changes.
  const std::string before = Listing(document.dom());
  for (const wchar_t* bad : {L"a\x01z", L"\x1F", L"\x08", L"\uFFFE", L"\uFFFF", L"\xD800", L"\xDFFF", L"\x110000"}) {
    EXPECT_FALSE(document.setString(file, bad));
    const CString badValue = bad;
    EXPECT_FALSE(document.setAttribute(unit, &id, &badValue));
    EXPECT_FALSE(document.newNode(CString(bad), list, nullptr, nullptr));
  }
  for (const wchar_t* badName : {L"", L"1st", L"a:b:c"}) {
    const CString name = badName;
    EXPECT_FALSE(document.newNode(name, list, nullptr, nullptr));
    EXPECT_FALSE(document.setAttribute(unit, &name, &value));
  }
  EXPECT_FALSE(document.setAttribute(unit, nullptr, &value));
  EXPECT_EQ(Listing(document.dom()), before);

  // Comments stay well-formed whatever they hold.
  EXPECT_TRUE(document.addComment(L"a--b---c-", Node()));
  EXPECT_TRUE(document.addComment(L"bell\x07 and -->", document.dom().AsNode()));
  ASSERT_TRUE(document.save());
  Document reloaded(dir.Wide("d.xml"));
  ASSERT_TRUE(reloaded.load(false));
  EXPECT_EQ(Listing(reloaded.dom()),
            "Devices\n  UnitList\n    Unit UnitID=U3x1\n  DriverList\n    File\n"
            "      #text a&b <c> \"d\" 'e' \xC3\xA4\xF0\x9F\x98\x80\n  #comment a- -b- - -c- \n"
            "#comment bell\xEF\xBF\xBD and - ->\n");
}

TEST(XmlDocument, HandlesOutliveRemovalListsAreSnapshotsAndSavesRepeatTheirBytes) {
  platform::xml::Document dom = platform::xml::Document::Create();
  ASSERT_TRUE(dom.LoadXML(L"<Devices xmlns:x='u' a='v'><UnitList><Unit UnitID='a'/><Unit UnitID='b'/><Unit UnitID='c'/></UnitList></Devices>"));
  EXPECT_TRUE(dom.DocumentElement().GetAttribute(L"a") == L"v" && dom.DocumentElement().GetAttribute(L"xmlns:x") == L"u");
  const platform::xml::NodeList units = dom.DocumentElement().SelectNodes(L"UnitList/Unit");
  ASSERT_EQ(units.length(), 3);
  const Node list = units.item(0).Parent();
  EXPECT_EQ(list.RemoveChild(units.item(0)), units.item(0));
  EXPECT_FALSE(list.RemoveChild(units.item(0)));  // no longer a child
  EXPECT_EQ(*units.item(0).GetAttribute(L"UnitID"), L"a");  // removed, still readable
  for (const long outside : {-1L, 3L}) EXPECT_FALSE(units.item(outside));
  list.AppendChild(units.item(0));  // and it can come back
  // Nodes of another document, the parent itself and its ancestors are refused.
  platform::xml::Document other = platform::xml::Document::Create();
  ASSERT_TRUE(other.LoadXML(L"<Other/>"));
  for (const Node& refused : {other.DocumentElement(), units.item(1), list, dom.DocumentElement(), dom.AsNode()})
    ASSERT_THROW(units.item(1).AppendChild(refused), platform::com::_com_error);
  EXPECT_EQ(Listing(list), "UnitList\n  Unit UnitID=b\n  Unit UnitID=c\n  Unit UnitID=a\n");

  // The document outlives its own handle while nodes refer to it.
  const Node kept = units.item(2);
  dom = platform::xml::Document::Create();
  EXPECT_EQ(*kept.GetAttribute(L"UnitID"), L"c");

  // A save writes the same bytes each time, and nothing without a document element.
  testsupport::TempDir dir;
  const std::wstring path = dir.Write("d.xml", "<Devices><UnitList><Unit UnitID=\"U1x1\"/></UnitList></Devices>");
  Document document(path);
  ASSERT_TRUE(document.load(false));
  document.newLine(), document.newLine();
  ASSERT_TRUE(document.save());
  const std::string first = ReadFile(dir.path() / "d.xml");
  EXPECT_EQ(first,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Devices>\n  <UnitList>\n    <Unit UnitID=\"U1x1\"/>\n"
            "  </UnitList>\n</Devices>\n");
  ASSERT_TRUE(document.save());
  EXPECT_EQ(ReadFile(dir.path() / "d.xml"), first);
  EXPECT_FALSE(Document(path).save()) << "a DOM without a document element replaced the file";
  EXPECT_EQ(ReadFile(dir.path() / "d.xml"), first);
}

// Whitespace among elements is left out of a save however it came to be
// there, also after an earlier save found none.
TEST(XmlDocument, SavesLeaveOutWhitespaceThatChangesPutAmongElements) {
  using Change = void (*)(const platform::xml::Document&, const Node& root);
  const struct {
    const wchar_t* xml;
    Change change;
    const char* saved;
  } cases[] = {
      {L"<D><A/><B/></D>", [](const auto& dom, const Node& d) { d.InsertBefore(dom.CreateTextNode(L"\n "), d.ChildElement(L"B")); },
       "<D>\n  <A/>\n  <B/>\n</D>\n"},
      {L"<D><B> </B></D>", [](const auto& dom, const Node& d) { d.ChildElement(L"B").AppendChild(dom.CreateElement(L"E")); },
       "<D>\n  <B>\n    <E/>\n  </B>\n</D>\n"},
      {L"<D><C><G/> <H/>x</C></D>", [](const auto&, const Node& d) { d.ChildElement(L"C").RemoveChild(d.ChildElement(L"C").ChildElement(L"H").NextSibling()); },
       "<D>\n  <C>\n    <G/>\n    <H/>\n  </C>\n</D>\n"},
  };
  for (const auto& [xml, change, saved] : cases) {
    platform::xml::Document dom = platform::xml::Document::Create();
    ASSERT_TRUE(dom.LoadXML(xml));
    dom.Serialize();
    change(dom, dom.DocumentElement());
    EXPECT_EQ(dom.Serialize().substr(dom.Serialize().find('\n') + 1), saved) << dev::ToUtf8(xml).value_or("");
  }
}

const wchar_t* const kSample = LR"(<Devices>
  <UnitList>
    <Unit UnitID="U3x1"><LinkedInterface ItemID="COM3"/><LinkedInterface ItemID="COM4"/></Unit>
    <Unit UnitID="U3x2"/>
  </UnitList>
  <Sets>
    <Set Name="it's"/>
    <Set Name='say "hi"'/>
    <Set Name="both ' and &quot;"/>
  </Sets>
</Devices>)";

// The listing of each match of a path.
std::string Matches(const CXPATHString& path, const platform::xml::Document& document) {
  const auto nodes = path.selectNodes(document);
  if (!nodes) return "<no list>";
  std::string out;
  for (const Node& node : *nodes) out += Listing(node);
  return out;
}

TEST(XPathString, EveryPathFormSelectsWhatItShould) {
  platform::xml::Document document = platform::xml::Document::Create();
  ASSERT_TRUE(document.LoadXML(kSample));
  const CXPATHString set = CXPATHString(L"Sets").setChild(L"Set");
  const struct {
    const char* form;
    CXPATHString path;
    std::string expected;
  } cases[] = {
      {"one attachment of a unit",
       CXPATHString(L"UnitList").setAnyChild().setAttribute(L"UnitID", L"U3x1").setChild(L"LinkedInterface")
           .setAttribute(L"ItemID", L"COM4"),
       "LinkedInterface ItemID=COM4\n"},
      // Values with quotes of either kind, or both, select their own node.
      {"name with an apostrophe", CXPATHString(set).setAttribute(L"Name", L"it's"), "Set Name=it's\n"},
      {"name with quotes", CXPATHString(set).setAttribute(L"Name", L"say \"hi\""), "Set Name=say \"hi\"\n"},
      {"name with both", CXPATHString(set).setAttribute(L"Name", L"both ' and \""), "Set Name=both ' and \"\n"},
      {"a text that is no XPath", CXPATHString(L"UnitList/[@"), "<no list>"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Matches(c.path, document), c.expected) << c.form << ": " << testsupport::Narrow(c.path.text());

  EXPECT_FALSE(CXPATHString(L"UnitList/Unit").selectNodes(platform::xml::Document::Create()));  // no document element
  EXPECT_FALSE(CXPATHString(L"UnitList/Unit").selectSingleNode(platform::xml::Document()));
}

// The type attributes below `node`, in document order.
std::string TypesBelow(xmlNodePtr node) {
  std::string types;
  for (xmlNodePtr child = xmlFirstElementChild(node); child != nullptr; child = xmlNextElementSibling(child)) {
    const platform::xml::XmlString type(xmlGetProp(child, BAD_CAST "type"));
    if (type) types.append(" ").append(reinterpret_cast<const char*>(type.get()));
    types += TypesBelow(child);
  }
  return types;
}

// Only attribute declarations that name the built-in IDREF, however its
// namespace is bound, are retyped, and keep their prefix.
TEST(SchemaDocument, RetypesTheAttributesThatNameTheBuiltInIdref) {
  const std::string xs = "xmlns:xs='http://www.w3.org/2001/XMLSchema'";
  const struct {
    std::string bindings;
    const char* declarations;
    const char* typesAfter;
    bool retyped;
  } cases[] = {
      {xs, "<xs:attribute name='a' type='xs:IDREF'/>", " xs:NCName", true},
      {"xmlns='http://www.w3.org/2001/XMLSchema'", "<attribute name='a' type='IDREF'/>", " NCName", true},
      {xs, "<xs:complexType><xs:attribute name='a' type='xs:string'/><xs:attribute name='b' type='xs:IDREF'/></xs:complexType>",
       " xs:string xs:NCName", true},
      // Not the built-in type, or not an attribute's.
      {xs + " xmlns:t='urn:t'", "<xs:attribute name='a' type='t:IDREF'/>", " t:IDREF", false},
      {xs, "<xs:attribute name='a' type='IDREF'/>", " IDREF", false},
      {xs, "<xs:element name='e' type='xs:IDREF'/>", " xs:IDREF", false},
      {xs, "<xs:attribute name='a' type='xs:IDREFS'/><xs:attribute name='b' type='xs:ID'/>", " xs:IDREFS xs:ID", false},
  };
  for (const auto& c : cases) {
    const std::string text = "<schema " + c.bindings + ">" + c.declarations + "</schema>";
    const platform::xml::Owned<xmlDoc, xmlFreeDoc> schema(
        xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr, 0));
    ASSERT_NE(schema, nullptr) << text;
    EXPECT_EQ(platform::xml::RetypeReferences(schema.get()), c.retyped) << text;
    EXPECT_EQ(TypesBelow(xmlDocGetRootElement(schema.get())), c.typesAfter) << text;
  }
}

TEST(DeviceSchema, MatchesTheListingIsWrittenTheSameEveryTimeAndChecksEachRule) {
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

  // Without a DOM document nothing can be written, and the file stays as it was.
  struct NoDocument : dev::CXMLDeviceSchema {
    explicit NoDocument(const std::wstring& path) : CXMLDeviceSchema(path) { m_dom = platform::xml::Document(); }
  };
  EXPECT_FALSE(NoDocument(path).Generate());
  EXPECT_EQ(ReadFile(dir.path() / "kvoDevice.xsd"), first);

  // Documents against that schema, one for each rule (a document with every
  // element is in the configuration file tests).
  const std::string head =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<Devices xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xsi:noNamespaceSchemaLocation=\"kvoDevice.xsd\">\n";
  const std::string unit = "<UnitList><Unit UnitID=\"U3x1\"/></UnitList>\n";
  const struct {
    const char* rule;
    std::string body;
    bool accepted;
    const char* says = "";  // part of libxml2's account of the fault
  } cases[] = {
      {"no children at all", "", true},
      // libxml2 does not check that an IDREF names an ID, and loading relies on that.
      {"a link to no unit", "<Sets><ActiveSet Name=\"\"/><Set Name=\"s\"><Comment/><LinkedUnit ItemID=\"U9x9\"/></Set></Sets>\n", true},
      {"a link that is no name", "<Sets><ActiveSet Name=\"\"/><Set Name=\"s\"><Comment/><LinkedUnit ItemID=\"9 x\"/></Set></Sets>\n",
       false, "'9 x' is not a valid value of the atomic type 'xs:IDREF'"},
      {"UnitList twice", unit + unit, false},
      {"an unknown child", "<Extra/>\n", false},
      {"UnitID repeated", "<UnitList><Unit UnitID=\"U3x1\"/><Unit UnitID=\"U3x1\"/></UnitList>\n", false,
       "'U3x1' is not a valid value of the atomic type 'xs:ID'"},
      {"setup neither include nor exclude", "<UnitList><Unit UnitID=\"U3x1\" setup=\"Exclude\"/></UnitList>\n", false},
      {"Unit children out of order", "<UnitList><Unit UnitID=\"U3x1\"><Model/><Driver/></Unit></UnitList>\n", false},
      {"Sets without ActiveSet", "<Sets><Set Name=\"s\"><Comment/></Set></Sets>\n", false},
  };
  for (const auto& c : cases) {
    const std::wstring path = dir.Write("kvoDevice.xml", head + c.body + "</Devices>\n");
    platform::xml::Document document = platform::xml::Document::Create();
    EXPECT_EQ(document.Load(path), c.accepted) << c.rule;
    const platform::xml::ParseError& error = document.LastParseError();
    EXPECT_EQ(error.errorCode != 0 && error.line >= 2 && !error.reason.empty(), !c.accepted) << c.rule;
    EXPECT_NE(testsupport::Narrow(error.reason).find(c.says), std::string::npos) << c.rule;
    EXPECT_EQ(static_cast<bool>(document.DocumentElement()), c.accepted) << c.rule;
  }
  // Only the file name of the location counts: the schema beside the document.
  for (const char* location : {"elsewhere/kvoDevice.xsd", "..\\kvoDevice.xsd", "/no/such/kvoDevice.xsd"}) {
    std::string named = head;
    named.replace(named.find("kvoDevice.xsd"), 13, location);
    platform::xml::Document document = platform::xml::Document::Create();
    EXPECT_TRUE(document.Load(dir.Write("kvoDevice.xml", named + unit + "</Devices>\n"))) << location;
    EXPECT_FALSE(document.Load(dir.Write("kvoDevice.xml", named + "<Extra/>\n</Devices>\n"))) << location;
  }
}

// The primitives, through a writer that exposes them.
class Primitives : public dev::CXMLSchema {
 public:
  explicit Primitives(const CString& path) : CXMLSchema(path) { BeginSchema(L"header"); }
  // The call's result and the attributes it left on a new declaration.
  std::string Run(const wchar_t* type, int min, int max) {
    const Node declaration = newNode(Vocabulary(kElement), m_dom.DocumentElement(), nullptr, nullptr);
    const bool result = type ? SetTypeAndOccurs(declaration, type, min, max) : SetOccurs(declaration, min, max);
    std::string attributes = result ? "true:" : "false:";
    for (const auto& [name, value] : declaration.Attributes())
      attributes += ' ' + testsupport::Narrow(name) + '=' + testsupport::Narrow(value);
    return attributes;
  }
  using CXMLSchema::SetMaxOccurs;
  using CXMLSchema::SetType;
};

TEST(SchemaPrimitives, OccurrencesTypesAndRefusals) {
  testsupport::TempDir dir;
  Primitives schema(dir.Wide("p.xsd"));
  const struct {
    const wchar_t* type;  // null: SetOccurs, else SetTypeAndOccurs
    int min, max;         // -1: unbounded
    const char* attributes;
  } cases[] = {
      {nullptr, 0, -1, "true: minOccurs=0 maxOccurs=unbounded"},
      {nullptr, 2, 2, "true: minOccurs=2 maxOccurs=2"},
      {nullptr, 3, 2, "false:"},
      {nullptr, -1, -1, "false:"},  // a lower bound cannot be unbounded
      {nullptr, 1, -2, "false:"},
      {L"xs:string", 3, 2, "true: type=xs:string minOccurs=3 maxOccurs=2"},  // no order check here
      {L"t", -1, 1, "false: type=t"},
      {L"t", 1, -2, "false: type=t minOccurs=1"},
  };
  for (const auto& c : cases) EXPECT_EQ(schema.Run(c.type, c.min, c.max), c.attributes) << c.min << " " << c.max;
  // A null declaration is refused.
  EXPECT_FALSE(schema.SetType(Node(), L"t"));
  EXPECT_FALSE(schema.SetMaxOccurs(Node(), 0));
}

TEST(UnitId, ParseAcceptsOnlyWhatFormatWrites) {
  // The invalid key {65535, 0} is written, and read back, like any other.
  const std::pair<dev::UnitKey, const wchar_t*> written[] = {
      {{3, 1}, L"U3x1"}, {{0, 0}, L"U0x0"}, {{65535, 65535}, L"U65535x65535"}, {{65535, 0}, L"U65535x0"}};
  for (const auto& [key, text] : written) {
    EXPECT_EQ(dev::FormatUnitID(key), text);
    EXPECT_EQ(dev::ParseUnitID(text), key) << testsupport::Narrow(text);
    EXPECT_EQ(dev::ParseUnitID(std::string_view(testsupport::Narrow(text))), key);  // as the document holds it
  }
  for (const wchar_t* text : {L"U03x1", L"u3x1", L"U3y1", L"U3x1 ", L"U+1x2", L"U65536x0", L"U4294967299x1", L"U123",
                              L"U3", L"U\xff13x1", static_cast<const wchar_t*>(nullptr)}) {
    EXPECT_EQ(dev::ParseUnitID(text), (dev::UnitKey{65535, 0})) << (text ? testsupport::Narrow(text) : "null");
    if (text) {
      EXPECT_EQ(dev::ParseUnitID(std::string_view(testsupport::Narrow(text))), (dev::UnitKey{65535, 0}));
    }
  }
  // The lenient reading: what a malformed id meant, and still nothing that is no id.
  for (const wchar_t* text : {L"U0332x0", L"u332X0", L"U332x000"}) EXPECT_EQ(dev::ReadUnitIdLeniently(text), (dev::UnitKey{332, 0}));
  for (const wchar_t* text : {L"5332x0", L"U332y0", L"U65536x0", L"Ux0", L"U332x"}) EXPECT_FALSE(dev::ReadUnitIdLeniently(text));
}

}  // namespace
