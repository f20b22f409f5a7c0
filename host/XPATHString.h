// The host's path builder: XPath steps below the document element.
#pragma once

#include <kvodevice/Export.h>

#include <optional>
#include <string>

#include "platform/xml/Dom.h"

namespace utl {

class KVO_HOST_API CXPATHString {
 public:
  // An empty path, or one that starts with `path`: a first step (an element
  // name) or a complete path text.
  CXPATHString() = default;
  explicit CXPATHString(const wchar_t* path) : text_(path == nullptr ? L"" : path) {}
  CXPATHString& operator=(const wchar_t* firstStep);

  // Each appends to the path and returns it, so calls chain.
  CXPATHString& setChild(const wchar_t* name);
  CXPATHString& setAnyChild();
  // Adds to the last step the condition that attribute `name` equals `value`.
  // Any value is quoted correctly, quotes of both kinds included.
  CXPATHString& setAttribute(const wchar_t* name, const wchar_t* value);

  const std::wstring& text() const noexcept { return text_; }

  // Every node the path matches from the document element, in document order,
  // as a snapshot; nullopt (a failure for the caller) when the document has
  // no document element or the path is not valid XPath.
  std::optional<platform::xml::NodeList> selectNodes(const platform::xml::Document& document) const;
  // The first match, or null.
  platform::xml::Node selectSingleNode(const platform::xml::Document& document) const;

 private:
  std::wstring text_;
};

// `value` as an XPath string literal: in apostrophes, in quotes when it holds
// an apostrophe, and as a concat() of both kinds when it holds both.
KVO_HOST_API std::wstring XPathLiteral(std::wstring_view value);

}  // namespace utl
