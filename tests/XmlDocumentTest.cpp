// The DOM and the host's document class over it: parse error records,
// refusal of text XML cannot hold, node handles, and saving.
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/XMLDOMDocument.h"
#include "tests/support/TempDir.h"
#include "tests/support/XmlListing.h"

namespace {

using platform::xml::Node;
using testsupport::Listing;
using testsupport::ReadFile;

std::vector<std::string> FilesIn(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// The host document class with its DOM in reach, as derived classes have it.
struct Document : utl::CXMLDOMDocument {
  using CXMLDOMDocument::CXMLDOMDocument;
  platform::xml::Document& dom() { return m_dom; }
  Node Root() { return m_dom.DocumentElement(); }
};

TEST(XmlDocument, ParseErrorRecordIsLibxml2sOwn) {
  testsupport::TempDir dir;
  const std::string cut = "<?xml version=\"1.0\"?>\n<Devices>\n  <UnitList>\n    <Unit UnitID=\"U3";
  const std::string mismatched = "<Devices>\n<UnitList></Unit>\n</Devices>\n";
  for (const std::string& text : {cut, mismatched, std::string(), std::string("\xFF\xFE<junk")}) {
    const std::wstring path = dir.Write("broken.xml", text);
    Document document(path);
    EXPECT_FALSE(document.load(false));
    EXPECT_FALSE(document.isDOMReady());
    const platform::xml::ParseError& ours = document.dom().LastParseError();

    xmlParserCtxtPtr reference = xmlNewParserCtxt();
    xmlCtxtUseOptions(reference, XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    EXPECT_EQ(xmlCtxtReadFile(reference, (dir.path() / "broken.xml").c_str(), nullptr, XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
              nullptr);
    EXPECT_EQ(ours.errorCode, static_cast<std::uint32_t>(reference->lastError.code));
    EXPECT_EQ(ours.line, reference->lastError.line);
    EXPECT_EQ(ours.linepos, reference->lastError.int2);
    EXPECT_EQ(testsupport::Narrow(ours.reason), reference->lastError.message);
    EXPECT_NE(ours.errorCode, 0u);
    xmlFreeParserCtxt(reference);
  }
  Document missing(dir.Wide("missing.xml"));
  EXPECT_FALSE(missing.load(false));
  EXPECT_NE(missing.dom().LastParseError().errorCode, 0u);
}

TEST(XmlDocument, BuildsTreesAndRefusesTextXmlCannotHold) {
  testsupport::TempDir dir;
  Document document(dir.Wide("d.xml"));
  EXPECT_FALSE(document.isDOMReady());
  EXPECT_FALSE(document.newNode(CString(L"Orphan"), Node(), nullptr, nullptr));
  EXPECT_FALSE(document.addComment(L"nowhere to go", Node()));

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
  EXPECT_TRUE(document.setString(file, L"a&b <c> \"d\" 'e' \u00E4\U0001F600"));
  CString text;
  EXPECT_TRUE(document.getString(file, text));
  EXPECT_EQ(text, L"a&b <c> \"d\" 'e' \u00E4\U0001F600");

  // Control characters, U+FFFE, surrogates and values above U+10FFFF are refused; nothing changes.
  const std::string before = Listing(document.dom());
  for (const wchar_t* bad : {L"a\x01z", L"\x1F", L"\uFFFE", L"\xD800", L"\x110000"}) {
    EXPECT_FALSE(document.setString(file, bad));
    const CString badValue = bad;
    EXPECT_FALSE(document.setAttribute(unit, &id, &badValue));
    EXPECT_FALSE(document.newNode(CString(bad), list, nullptr, nullptr));
  }
  for (const wchar_t* badName : {L"", L"1st", L"a b", L"a:b:c", L"<x>"}) {
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
            "Devices\n"
            "  UnitList\n"
            "    Unit UnitID=U3x1\n"
            "  DriverList\n"
            "    File\n"
            "      #text a&b <c> \"d\" 'e' \xC3\xA4\xF0\x9F\x98\x80\n"
            "  #comment a- -b- - -c- \n"
            "#comment bell\xEF\xBF\xBD and - ->\n");
}

TEST(XmlDocument, HandlesOutliveRemovalAndListsAreSnapshots) {
  platform::xml::Document dom = platform::xml::Document::Create();
  ASSERT_TRUE(dom.LoadXML(L"<Devices><UnitList><Unit UnitID='a'/><Unit UnitID='b'/><Unit UnitID='c'/></UnitList></Devices>"));
  const platform::xml::NodeList units = dom.DocumentElement().SelectNodes(L"UnitList/Unit");
  ASSERT_EQ(units.length(), 3);
  const Node list = units.item(0).Parent();
  EXPECT_EQ(list.RemoveChild(units.item(0)), units.item(0));
  EXPECT_FALSE(list.RemoveChild(units.item(0)));  // no longer a child
  EXPECT_EQ(*units.item(1).GetAttribute(L"UnitID"), L"b");
  EXPECT_EQ(*units.item(0).GetAttribute(L"UnitID"), L"a");  // removed, still readable
  EXPECT_FALSE(units.item(3));
  EXPECT_FALSE(units.item(-1));
  list.AppendChild(units.item(0));  // and it can come back
  EXPECT_EQ(Listing(list), "UnitList\n  Unit UnitID=b\n  Unit UnitID=c\n  Unit UnitID=a\n");

  // The document outlives its own handle while nodes refer to it.
  const Node kept = units.item(2);
  dom = platform::xml::Document::Create();
  EXPECT_EQ(*kept.GetAttribute(L"UnitID"), L"c");
  EXPECT_THROW(platform::xml::Document().DocumentElement(), platform::com::_com_error);
}

TEST(XmlDocument, SavesTheSameBytesAndNeverATornFile) {
  testsupport::TempDir dir;
  const std::wstring path = dir.Write("d.xml", "<Devices><UnitList><Unit UnitID=\"U1x1\"/></UnitList></Devices>");
  Document document(path);
  ASSERT_TRUE(document.load(false));
  document.newLine();
  document.newLine();
  ASSERT_TRUE(document.save());
  const std::string first = ReadFile(dir.path() / "d.xml");
  EXPECT_EQ(first,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Devices>\n  <UnitList>\n    <Unit UnitID=\"U1x1\"/>\n"
            "  </UnitList>\n</Devices>\n");
  ASSERT_TRUE(document.save());
  EXPECT_EQ(ReadFile(dir.path() / "d.xml"), first);
  EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"d.xml"});

  // A DOM without a document element never replaces a file.
  Document empty(path);
  EXPECT_FALSE(empty.save());
  EXPECT_EQ(ReadFile(dir.path() / "d.xml"), first);

  // A write that fails part-way (the file size limit here) leaves the old file.
  document.newNode(CString(L"DriverList"), document.Root(), nullptr, nullptr);
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 16;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool saved = document.save();
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(saved);
  EXPECT_EQ(ReadFile(dir.path() / "d.xml"), first);
  EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"d.xml"});

  // A directory where the file should be, and a folder that is gone.
  std::filesystem::create_directory(dir.path() / "sub");
  std::filesystem::create_directory(dir.path() / "sub" / "d.xml");
  Document blocked(dir.Wide("sub/d.xml"));
  ASSERT_TRUE(blocked.dom().LoadXML(L"<Devices/>"));
  EXPECT_FALSE(blocked.save());
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "sub" / "d.xml"));
  EXPECT_EQ(FilesIn(dir.path() / "sub"), std::vector<std::string>{"d.xml"});
  std::filesystem::remove_all(dir.path() / "sub");
  EXPECT_FALSE(blocked.save());
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "sub"));
}

}  // namespace
