#include "schema/XMLSchema.h"

namespace dev {
namespace {

using platform::com::_bstr_t;
using platform::com::_com_error;

// A declaration handle: the node as an element, or null.
bool IsDeclaration(const utl::CXMLDOMDocument::Node& node) { return node.IsElement(); }

}  // namespace

CXMLSchema::CXMLSchema(const CString& path)
    : CXMLDOMDocument(path),
      m_vocabulary{L"xs:schema",     L"xmlns:xs",      L"http://www.w3.org/2001/XMLSchema",
                   L"elementFormDefault", L"qualified", L"xs:simpleType",
                   L"xs:complexType", L"xs:element",   L"xs:attribute",
                   L"xs:all",        L"xs:choice",     L"xs:sequence",
                   L"maxOccurs",     L"minOccurs",     L"xs:ID",
                   L"xs:IDREF",      L"type",          L"xs:string",
                   L"xs:decimal",    L"xs:integer",    L"xs:restriction",
                   L"base",          L"xs:pattern",    L"value",
                   L"use",           L"optional"} {}

CXMLSchema::~CXMLSchema() = default;

bool CXMLSchema::BeginSchema(const CString& headerComment) {
  newProcessingInstruction();
  Node documentNode;
  try {
    documentNode = m_dom.AsNode();
  } catch (const _com_error& error) {
    if (error.Error() != platform::com::E_NOINTERFACE) throw;
  }
  addComment(headerComment, documentNode);
  const Node schema = m_dom.CreateElement(Vocabulary(kSchema).view());
  if (!schema) return false;
  schema.SetAttribute(Vocabulary(kXmlnsXs).view(), Vocabulary(kXsNamespace).view());
  schema.SetAttribute(Vocabulary(kElementFormDefault).view(), Vocabulary(kQualified).view());
  m_dom.AsNode().AppendChild(schema);
  return true;
}

CXMLSchema::Node CXMLSchema::AddSequence(const Node& parent) {
  return newNode(Vocabulary(kSequence), parent, nullptr, nullptr);
}

CXMLSchema::Node CXMLSchema::AddAll(const Node& parent) { return newNode(Vocabulary(kAll), parent, nullptr, nullptr); }

bool CXMLSchema::SetType(const Node& declaration, const CString& typeName) {
  if (!IsDeclaration(declaration)) return false;
  declaration.SetAttribute(Vocabulary(kType).view(), typeName.str());
  return true;
}

bool CXMLSchema::SetMinOccurs(const Node& declaration, int count) {
  return SetOccursAttribute(declaration, Vocabulary(kMinOccurs), count);
}

bool CXMLSchema::SetMaxOccurs(const Node& declaration, int count) {
  return SetOccursAttribute(declaration, Vocabulary(kMaxOccurs), count);
}

bool CXMLSchema::SetOccurs(const Node& declaration, int minCount, int maxCount) {
  if (minCount > maxCount && maxCount != kUnbounded) return false;
  return SetMinOccurs(declaration, minCount) && SetMaxOccurs(declaration, maxCount);
}

bool CXMLSchema::SetTypeAndOccurs(const Node& declaration, const CString& typeName, int minCount, int maxCount) {
  return SetType(declaration, typeName) && SetMinOccurs(declaration, minCount) && SetMaxOccurs(declaration, maxCount);
}

bool CXMLSchema::SetOccursAttribute(const Node& declaration, const _bstr_t& attributeName, int count) {
  if (count < kUnbounded || !IsDeclaration(declaration)) return false;
  std::wstring text;
  if (count >= 0) {
    text = std::to_wstring(count);
  } else {
    if (attributeName == Vocabulary(kMinOccurs)) return false;  // a lower bound cannot be unbounded
    text = L"unbounded";
  }
  declaration.SetAttribute(attributeName.view(), text);
  return true;
}

}  // namespace dev
