#include "host/XMLDOMDocument.h"

namespace utl {
namespace {

using platform::com::_com_error;
using Node = CXMLDOMDocument::Node;

// Runs `body`; a failed DOM call becomes the empty result of its type.
// Running out of memory is no answer, and goes on to the entry point.
template <typename Body>
auto EmptyOnDomFailure(Body body) -> decltype(body()) {
  try {
    return body();
  } catch (const _com_error&) {
    return {};
  }
}

Node AppendElement(const platform::xml::Document& dom, std::wstring_view name, const Node& parent,
                   const wchar_t* attributeName, const wchar_t* attributeValue) {
  if (!parent) return Node();
  const Node element = dom.CreateElement(name);
  if (attributeName != nullptr && attributeValue != nullptr) element.SetAttribute(attributeName, attributeValue);
  return parent.AppendChild(element);
}

}  // namespace

CXMLDOMDocument::CXMLDOMDocument(const CString& path) : m_path(path), m_dom(platform::xml::Document::Create()) {}

CXMLDOMDocument::~CXMLDOMDocument() = default;

bool CXMLDOMDocument::load(bool /*retry*/) {
  return EmptyOnDomFailure([&] { return m_dom.Load(m_path.str()); });
}

bool CXMLDOMDocument::save() {
  m_saveError = {};
  return EmptyOnDomFailure([&] {
    if (!isDOMReady()) return false;
    m_dom.Save(m_path.str(), m_writeOptions, &m_saveError);
    return true;
  });
}

bool CXMLDOMDocument::isDOMReady() const {
  return EmptyOnDomFailure([&] { return static_cast<bool>(m_dom.DocumentElement()); });
}

bool CXMLDOMDocument::newProcessingInstruction() {
  // The declaration is no node of the tree here: the saver writes it at the
  // head of every file. The call only checks that there is a document.
  return static_cast<bool>(m_dom);
}

Node CXMLDOMDocument::addComment(const CString& text, const Node& parent) {
  return EmptyOnDomFailure([&] {
    const Node target = parent ? parent : m_dom.DocumentElement();
    return target ? target.AppendChild(m_dom.CreateComment(text.str())) : Node();
  });
}

bool CXMLDOMDocument::newLine() {
  return EmptyOnDomFailure([&] {
    const Node root = m_dom.DocumentElement();
    return root && root.AppendChild(m_dom.CreateTextNode(L"\n"));
  });
}

Node CXMLDOMDocument::newNode(const _bstr_t& name, const Node& parent, const _bstr_t* attributeName,
                              const _bstr_t* attributeValue) {
  return EmptyOnDomFailure([&] {
    return AppendElement(m_dom, name.view(), parent, attributeName != nullptr ? *attributeName : nullptr,
                         attributeValue != nullptr ? *attributeValue : nullptr);
  });
}

Node CXMLDOMDocument::newNode(const CString& name, const Node& parent, const CString* attributeName,
                              const CString* attributeValue) {
  return EmptyOnDomFailure([&] {
    return AppendElement(m_dom, name.str(), parent, attributeName != nullptr ? attributeName->GetString() : nullptr,
                         attributeValue != nullptr ? attributeValue->GetString() : nullptr);
  });
}

Node CXMLDOMDocument::getChildNode(const CString& name, const Node& parent, bool create) {
  return EmptyOnDomFailure([&] {
    if (!parent) return Node();
    if (const Node child = parent.ChildElement(name.str())) return child;
    return create ? parent.AppendChild(m_dom.CreateElement(name.str())) : Node();
  });
}

bool CXMLDOMDocument::getString(const Node& node, CString& text) const {
  return EmptyOnDomFailure([&] {
    if (!node.IsElement()) return false;
    text = CString(node.Text());
    return true;
  });
}

bool CXMLDOMDocument::setString(const Node& node, const CString& text) {
  return EmptyOnDomFailure([&] {
    node.SetText(text.str());
    return true;
  });
}

bool CXMLDOMDocument::setAttribute(const Node& node, const CString* name, const CString* value) {
  return EmptyOnDomFailure([&] {
    if (name == nullptr || value == nullptr) return false;
    node.SetAttribute(name->str(), value->str());
    return true;
  });
}

bool CXMLDOMDocument::removeNode(const Node& node) {
  return EmptyOnDomFailure([&] {
    if (!node) return false;
    const Node parent = node.Parent();
    return parent && static_cast<bool>(parent.RemoveChild(node));
  });
}

bool CXMLDOMDocument::existsNode(const CXPATHString& path) const {
  return static_cast<bool>(path.selectSingleNode(m_dom));
}

}  // namespace utl
