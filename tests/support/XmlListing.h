// A DOM tree as text, one node a line, for comparing trees in tests:
// "name attr=value ..." for an element, "#comment text", "#text text";
// two spaces of indent per level; whitespace-only text is left out.
#pragma once

#include <string>

#include "platform/xml/Dom.h"

namespace testsupport {

std::string Listing(const platform::xml::Node& node);
// Every child of the document node.
std::string Listing(const platform::xml::Document& document);
// A listing file: its lines without those starting with '#' followed by a space.
std::string ListingFile(const std::string& path);
std::string Narrow(const std::wstring& text);

}  // namespace testsupport
