#include "platform/xml/SchemaDocument.h"

#include <optional>
#include <string>
#include <string_view>

#include "platform/xml/DocumentData.h"

namespace platform::xml {
namespace {

const auto* const kXmlSchemaNamespace = reinterpret_cast<const xmlChar*>("http://www.w3.org/2001/XMLSchema");

bool IsSchemaElement(xmlNodePtr node, const char* name) {
  return node->type == XML_ELEMENT_NODE && node->ns != nullptr && xmlStrEqual(node->ns->href, kXmlSchemaNamespace) &&
         xmlStrEqual(node->name, BAD_CAST name);
}

// libxml2 resolves includes, imports, redefinitions and a document type's
// external entities by opening whatever they name, files and URLs alike, so
// such a schema is refused before it is parsed as one.
bool RefersToOtherSchemas(xmlNodePtr element) {
  static constexpr const char* kReferences[] = {"include", "import", "redefine", "override"};
  for (const char* reference : kReferences)
    if (IsSchemaElement(element, reference)) return true;
  // Recursion is bounded: the parser refuses documents nested deeper than 256.
  for (xmlNodePtr child = element->children; child != nullptr; child = child->next)
    if (child->type == XML_ELEMENT_NODE && RefersToOtherSchemas(child)) return true;
  return false;
}

// The prefix with which a declaration's type attribute names the built-in
// xs:IDREF, or nullopt when it names another type. Only the name as libxml2
// reads it counts: an unusual spelling stays as it is.
std::optional<std::string> IdrefPrefix(xmlNodePtr declaration, xmlAttrPtr type) {
  const XmlString value(xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(type)));
  const std::string_view name = value != nullptr ? reinterpret_cast<const char*>(value.get()) : "";
  const std::size_t colon = name.find(':');
  const bool prefixed = colon != std::string_view::npos;
  if ((prefixed ? name.substr(colon + 1) : name) != "IDREF") return std::nullopt;
  const std::string prefix(prefixed ? name.substr(0, colon) : std::string_view());
  const xmlNsPtr ns = xmlSearchNs(declaration->doc, declaration, prefixed ? BAD_CAST prefix.c_str() : nullptr);
  if (ns == nullptr || !xmlStrEqual(ns->href, kXmlSchemaNamespace)) return std::nullopt;
  return prefix;
}

// libxml2 enters every attribute value of type xs:IDREF in the document's
// table of references, which schema validation never resolves and nothing
// here reads: a quarter of validating 10,000 units. xs:NCName, which
// xs:IDREF restricts, has the same values, whitespace rule and comparison
// (for keys and fixed values). Recursion is bounded as in RefersToOtherSchemas.
bool RetypeBelow(xmlNodePtr element) {
  bool retyped = false;
  if (IsSchemaElement(element, "attribute"))
    if (const xmlAttrPtr type = xmlHasNsProp(element, BAD_CAST "type", nullptr); type != nullptr)
      if (const std::optional<std::string> prefix = IdrefPrefix(element, type)) {
        const std::string name = prefix->empty() ? std::string("NCName") : *prefix + ":NCName";
        Allocated(xmlSetNsProp(element, nullptr, BAD_CAST "type", BAD_CAST name.c_str()));
        retyped = true;
      }
  for (xmlNodePtr child = element->children; child != nullptr; child = child->next)
    if (child->type == XML_ELEMENT_NODE && RetypeBelow(child)) retyped = true;
  return retyped;
}

}  // namespace

const char* ReachesBeyond(xmlDocPtr schema) {
  if (schema->intSubset != nullptr || schema->extSubset != nullptr) return "it declares a document type";
  const xmlNodePtr root = xmlDocGetRootElement(schema);
  if (root != nullptr && RefersToOtherSchemas(root))
    return "it refers to other schemas (include, import, redefine or override)";
  return nullptr;
}

bool RetypeReferences(xmlDocPtr schema) {
  const xmlNodePtr root = xmlDocGetRootElement(schema);
  return root != nullptr && RetypeBelow(root);
}

}  // namespace platform::xml
