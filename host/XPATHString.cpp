#include "host/XPATHString.h"

#include "platform/com.h"

namespace utl {

using platform::com::_com_error;

std::wstring XPathLiteral(std::wstring_view value) {
  if (value.find(L'\'') == std::wstring_view::npos) return L"'" + std::wstring(value) + L"'";
  if (value.find(L'"') == std::wstring_view::npos) return L"\"" + std::wstring(value) + L"\"";
  // XPath 1.0 has no escapes: split at each apostrophe and quote it with quotes.
  std::wstring literal = L"concat(";
  std::size_t start = 0;
  for (std::size_t apostrophe; (apostrophe = value.find(L'\'', start)) != std::wstring_view::npos;
       start = apostrophe + 1) {
    if (apostrophe > start) literal += L"'" + std::wstring(value.substr(start, apostrophe - start)) + L"', ";
    literal += L"\"'\", ";
  }
  if (start < value.size()) literal += L"'" + std::wstring(value.substr(start)) + L"', ";
  literal += L"'')";  // concat() takes two arguments at least
  return literal;
}

CXPATHString& CXPATHString::operator=(const wchar_t* firstStep) {
  text_ = firstStep == nullptr ? L"" : firstStep;
  return *this;
}

CXPATHString& CXPATHString::setChild(const wchar_t* name) {
  if (!text_.empty()) text_ += L'/';
  text_ += name == nullptr ? L"" : name;
  return *this;
}

CXPATHString& CXPATHString::setAnyChild() { return setChild(L"*"); }

CXPATHString& CXPATHString::setAttribute(const wchar_t* name, const wchar_t* value) {
  text_ += L"[@";
  text_ += name == nullptr ? L"" : name;
  text_ += L'=';
  text_ += XPathLiteral(value == nullptr ? L"" : value);
  text_ += L']';
  return *this;
}

std::optional<platform::xml::NodeList> CXPATHString::selectNodes(const platform::xml::Document& document) const {
  try {
    const platform::xml::Node root = document.DocumentElement();
    if (!root) return std::nullopt;
    return root.SelectNodes(text_);
  } catch (const _com_error&) {
    return std::nullopt;
  }
}

platform::xml::Node CXPATHString::selectSingleNode(const platform::xml::Document& document) const {
  const std::optional<platform::xml::NodeList> nodes = selectNodes(document);
  return nodes ? nodes->item(0) : platform::xml::Node();
}

}  // namespace utl
