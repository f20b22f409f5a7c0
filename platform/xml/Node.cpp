#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include "platform/strings.h"
#include "platform/xml/DocumentData.h"

namespace platform::xml {
namespace {

using com::_com_error;

std::string QualifiedName(const xmlNs* ns, const xmlChar* name) {
  std::string qualified;
  if (ns != nullptr && ns->prefix != nullptr) (qualified = reinterpret_cast<const char*>(ns->prefix)) += ':';
  return qualified += reinterpret_cast<const char*>(name);
}

std::string NamespaceDeclarationName(const xmlNs* ns) {
  return ns->prefix == nullptr ? "xmlns" : "xmlns:" + std::string(reinterpret_cast<const char*>(ns->prefix));
}

// Compared up to the first difference, without measuring the names first.
bool SameName(const xmlChar* name, std::string_view wanted) noexcept {
  for (const char c : wanted)
    if (c == 0 || *name++ != static_cast<xmlChar>(c)) return false;
  return *name == 0;
}

// Links `child` as the last child of `parent`. Unlike xmlAddChild, it never
// merges text nodes (which would free the one a handle refers to).
void LinkLast(xmlNodePtr parent, xmlNodePtr child) {
  xmlUnlinkNode(child);
  child->parent = parent;
  child->prev = parent->last;
  child->next = nullptr;
  if (parent->last != nullptr)
    parent->last->next = child;
  else
    parent->children = child;
  parent->last = child;
}

bool IsAncestorOrSelf(xmlNodePtr candidate, xmlNodePtr node) {
  for (; node != nullptr; node = node->parent)
    if (node == candidate) return true;
  return false;
}

void IgnoreXPathError(void*, xmlErrorPtr) {}

void SetAttributeValue(xmlNodePtr node, const std::string& qualified, const xmlChar* xmlName, const xmlChar* xmlValue) {
  for (xmlNsPtr ns = node->nsDef; ns != nullptr; ns = ns->next) {
    if (NamespaceDeclarationName(ns) != qualified) continue;
    xmlChar* href = Allocated(xmlStrdup(xmlValue));
    xmlFree(const_cast<xmlChar*>(ns->href));
    ns->href = href;
    return;
  }
  for (xmlAttrPtr attribute = node->properties; attribute != nullptr; attribute = attribute->next) {
    if (QualifiedName(attribute->ns, attribute->name) == qualified) {
      Allocated(xmlSetNsProp(node, attribute->ns, attribute->name, xmlValue));
      return;
    }
  }
  Allocated(xmlNewProp(node, xmlName, xmlValue));  // appended after the others
}

}  // namespace

xmlNodePtr Node::Checked() const {
  if (node_ == nullptr) throw _com_error(com::E_POINTER);
  return node_;
}

bool Node::IsElement() const { return node_ != nullptr && node_->type == XML_ELEMENT_NODE; }
bool Node::IsComment() const { return node_ != nullptr && node_->type == XML_COMMENT_NODE; }
bool Node::IsText() const { return node_ != nullptr && node_->type == XML_TEXT_NODE; }
bool Node::IsDocument() const { return node_ != nullptr && node_->type == XML_DOCUMENT_NODE; }

bool Node::Is(std::string_view utf8) const noexcept {
  if (node_ == nullptr || node_->type != XML_ELEMENT_NODE) return false;
  if (node_->ns != nullptr && node_->ns->prefix != nullptr) {
    const std::string_view prefix(reinterpret_cast<const char*>(node_->ns->prefix));
    if (utf8.size() <= prefix.size() || !utf8.starts_with(prefix) || utf8[prefix.size()] != ':') return false;
    utf8.remove_prefix(prefix.size() + 1);
  }
  return SameName(node_->name, utf8);
}

std::size_t Node::Among(std::span<const std::string> names) const noexcept {
  std::size_t i = 0;
  if (node_ == nullptr || node_->type != XML_ELEMENT_NODE) return names.size();
  while (i < names.size() && !Is(names[i])) ++i;
  return i;
}

std::wstring Node::Name() const {
  const xmlNodePtr node = Checked();
  switch (node->type) {
    case XML_ELEMENT_NODE:
      return FromUtf8(reinterpret_cast<const xmlChar*>(QualifiedName(node->ns, node->name).c_str()));
    case XML_COMMENT_NODE:
      return L"#comment";
    case XML_TEXT_NODE:
      return L"#text";
    case XML_CDATA_SECTION_NODE:
      return L"#cdata-section";
    case XML_DOCUMENT_NODE:
      return L"#document";
    default:
      return FromUtf8(node->name);
  }
}

int Node::Line() const {
  const long line = xmlGetLineNo(Checked());
  return line > 0 ? static_cast<int>(line) : 0;
}

Node Node::Parent() const { return document_->Wrap(Checked()->parent); }
Node Node::FirstChild() const { return document_->Wrap(Checked()->children); }
Node Node::NextSibling() const { return document_->Wrap(Checked()->next); }
void Node::ToNextSibling() noexcept {
  if (node_ != nullptr) node_ = node_->next;
}
void Node::ToFirstChild() noexcept {
  if (node_ != nullptr) node_ = node_->children;
}

Node Node::ChildElement(std::wstring_view name) const {
  const std::string wanted = ToUtf8(name);
  for (xmlNodePtr child = Checked()->children; child != nullptr; child = child->next)
    if (child->type == XML_ELEMENT_NODE && QualifiedName(child->ns, child->name) == wanted) return document_->Wrap(child);
  return Node();
}

Node Node::AppendChild(const Node& child) const {
  const xmlNodePtr parent = Checked();
  const xmlNodePtr node = child.Checked();
  if (child.document_ != document_ || IsAncestorOrSelf(node, parent)) throw _com_error(com::E_INVALIDARG);
  if (parent->type == XML_DOCUMENT_NODE) {
    // The document holds one element and no text.
    const xmlNodePtr root = xmlDocGetRootElement(document_->doc());
    if ((node->type == XML_ELEMENT_NODE && root != nullptr && root != node) || node->type == XML_TEXT_NODE)
      throw _com_error(com::E_FAIL);
  } else if (parent->type != XML_ELEMENT_NODE) {
    throw _com_error(com::E_FAIL);
  }
  document_->Changed();
  if (node->parent != nullptr) document_->Tell<&TreeWatcher::Leaving>(node);
  LinkLast(parent, node);
  document_->NoteLinked(node);
  document_->Tell<&TreeWatcher::Joined>(node);
  return child;
}

Node Node::InsertBefore(const Node& child, const Node& before) const {
  if (!before) return AppendChild(child);
  const xmlNodePtr parent = Checked();
  const xmlNodePtr node = child.Checked();
  const xmlNodePtr next = before.Checked();
  if (child.document_ != document_ || IsAncestorOrSelf(node, parent) || next->parent != parent || node == next ||
      parent->type != XML_ELEMENT_NODE)
    throw _com_error(com::E_INVALIDARG);
  document_->Changed();
  if (node->parent != nullptr) document_->Tell<&TreeWatcher::Leaving>(node);
  xmlUnlinkNode(node);  // linked by hand: xmlAddPrevSibling would merge text nodes
  node->parent = parent;
  node->next = next;
  node->prev = next->prev;
  if (next->prev != nullptr)
    next->prev->next = node;
  else
    parent->children = node;
  next->prev = node;
  document_->NoteLinked(node);
  document_->Tell<&TreeWatcher::Joined>(node);
  return child;
}

Node Node::RemoveChild(const Node& child) const {
  const xmlNodePtr parent = Checked();
  if (!child || child.node_->parent != parent) return Node();
  document_->Changed();
  document_->NoteLeaving(child.node_);
  document_->Detach(child.node_);
  return child;
}

std::wstring Node::Text() const {
  std::wstring text;
  TextInto(text);
  return text;
}

void Node::TextInto(std::wstring& text) const {
  const xmlNodePtr node = Checked();
  const auto assign = [&text](const xmlChar* utf8) {
    AssignWideFromUtf8(text, utf8 != nullptr ? reinterpret_cast<const char*>(utf8) : "");
  };
  // The usual element holds one text node: read in place, without a copy.
  if (const xmlNodePtr child = node->children;
      node->type == XML_ELEMENT_NODE && child != nullptr && child->next == nullptr && child->type == XML_TEXT_NODE)
    return assign(child->content);
  const XmlString content(xmlNodeGetContent(node));
  assign(content.get());
}

void Node::SetText(std::wstring_view text) const {
  const xmlNodePtr node = Checked();
  if (node->type != XML_ELEMENT_NODE) throw _com_error(com::E_FAIL);
  if (!IsXmlText(text)) throw _com_error(com::E_INVALIDARG);
  const std::string utf8 = ToUtf8(text);
  Owned<xmlNode, xmlFreeNode> replacement(
      utf8.empty() ? nullptr
                   : Allocated(xmlNewDocTextLen(document_->doc(), reinterpret_cast<const xmlChar*>(utf8.data()),
                                                static_cast<int>(utf8.size()))));
  document_->Changed();
  document_->Tell<&TreeWatcher::Changing>(node);
  while (node->children != nullptr) document_->Detach(node->children);
  if (replacement != nullptr) LinkLast(node, replacement.release());
  document_->Tell<&TreeWatcher::Changed>(node);
}

std::optional<std::wstring> Node::GetAttribute(std::wstring_view name) const {
  if (!IsElement()) return std::nullopt;
  const std::string wanted = ToUtf8(name);
  for (const xmlNs* ns = node_->nsDef; ns != nullptr; ns = ns->next)
    if (NamespaceDeclarationName(ns) == wanted) return FromUtf8(ns->href);
  for (xmlAttrPtr attribute = node_->properties; attribute != nullptr; attribute = attribute->next) {
    if (QualifiedName(attribute->ns, attribute->name) != wanted) continue;
    const XmlString value(xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(attribute)));
    return FromUtf8(value.get());
  }
  return std::nullopt;
}

std::optional<std::string_view> Node::Attribute(std::string_view utf8, std::string& spare) const {
  if (!IsElement()) return std::nullopt;
  for (xmlAttrPtr attribute = node_->properties; attribute != nullptr; attribute = attribute->next) {
    if ((attribute->ns != nullptr && attribute->ns->prefix != nullptr) || !SameName(attribute->name, utf8)) continue;
    const xmlNode* value = attribute->children;
    if (value == nullptr) return std::string_view();
    if (value->next == nullptr && value->type == XML_TEXT_NODE && value->content != nullptr)
      return std::string_view(reinterpret_cast<const char*>(value->content));  // the usual case, read in place
    const XmlString content(xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(attribute)));
    spare.assign(content != nullptr ? reinterpret_cast<const char*>(content.get()) : "");
    return std::string_view(spare);
  }
  return std::nullopt;
}

std::optional<std::string> Node::Attribute(std::string_view utf8) const {
  std::string spare;
  const std::optional<std::string_view> value = Attribute(utf8, spare);
  return value ? std::optional<std::string>(*value) : std::nullopt;
}

std::string Node::TextBytes() const {
  const XmlString content(xmlNodeGetContent(Checked()));
  return content != nullptr ? std::string(reinterpret_cast<const char*>(content.get())) : std::string();
}

void Node::SetAttribute(std::wstring_view name, std::wstring_view value) const {
  const xmlNodePtr node = Checked();
  if (node->type != XML_ELEMENT_NODE) throw _com_error(com::E_FAIL);
  const std::string qualified = ToUtf8(name);
  const std::string text = ToUtf8(value);
  const auto* xmlName = reinterpret_cast<const xmlChar*>(qualified.c_str());
  const auto* xmlValue = reinterpret_cast<const xmlChar*>(text.c_str());
  if (!IsXmlName(name, xmlName) || !IsXmlText(value)) throw _com_error(com::E_INVALIDARG);
  document_->Changed();
  document_->Tell<&TreeWatcher::Changing>(node);
  SetAttributeValue(node, qualified, xmlName, xmlValue);
  document_->Tell<&TreeWatcher::Changed>(node);
}

void Node::RemoveAttribute(std::wstring_view name) const {
  const xmlNodePtr node = Checked();
  if (node->type != XML_ELEMENT_NODE) throw _com_error(com::E_FAIL);
  const std::string wanted = ToUtf8(name);
  for (xmlAttrPtr attribute = node->properties; attribute != nullptr; attribute = attribute->next)
    if (QualifiedName(attribute->ns, attribute->name) == wanted) {
      document_->Changed();
      document_->Tell<&TreeWatcher::Changing>(node);
      xmlRemoveProp(attribute);
      document_->Tell<&TreeWatcher::Changed>(node);
      return;
    }
}

std::vector<std::pair<std::wstring, std::wstring>> Node::Attributes() const {
  std::vector<std::pair<std::wstring, std::wstring>> attributes;
  if (!IsElement()) return attributes;
  for (const xmlNs* ns = node_->nsDef; ns != nullptr; ns = ns->next)
    attributes.emplace_back(FromUtf8(reinterpret_cast<const xmlChar*>(NamespaceDeclarationName(ns).c_str())),
                            FromUtf8(ns->href));
  for (xmlAttrPtr attribute = node_->properties; attribute != nullptr; attribute = attribute->next) {
    const XmlString value(xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(attribute)));
    attributes.emplace_back(
        FromUtf8(reinterpret_cast<const xmlChar*>(QualifiedName(attribute->ns, attribute->name).c_str())),
        FromUtf8(value.get()));
  }
  return attributes;
}

NodeList Node::SelectNodes(std::wstring_view xpath) const {
  const xmlNodePtr node = Checked();
  const std::string expression = ToUtf8(xpath);
  const Owned<xmlXPathContext, xmlXPathFreeContext> context(Allocated(xmlXPathNewContext(document_->doc())));
  context->node = node;
  context->error = IgnoreXPathError;  // errors stay in this context, nothing is printed
  const Owned<xmlXPathObject, xmlXPathFreeObject> result(
      xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(expression.c_str()), context.get()));
  if (context->lastError.code == XML_ERR_NO_MEMORY) throw std::bad_alloc();  // a node set may be cut short
  if (result == nullptr) throw _com_error(com::E_FAIL);
  if (result->type != XPATH_NODESET) throw _com_error(com::E_FAIL);
  std::vector<Node> nodes;
  if (const xmlNodeSetPtr set = result->nodesetval) {
    nodes.reserve(static_cast<std::size_t>(set->nodeNr));
    for (int i = 0; i < set->nodeNr; ++i)
      if (set->nodeTab[i]->type != XML_NAMESPACE_DECL) nodes.push_back(document_->Wrap(set->nodeTab[i]));
  }
  return NodeList(std::move(nodes));
}

Node Node::SelectSingleNode(std::wstring_view xpath) const {
  const NodeList nodes = SelectNodes(xpath);
  return nodes.item(0);
}

Node NodeList::item(long index) const {
  return index >= 0 && index < length() ? nodes_[static_cast<std::size_t>(index)] : Node();
}

}  // namespace platform::xml
