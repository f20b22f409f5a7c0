#include "tests/support/XmlListing.h"

#include <fstream>
#include <stdexcept>

#include "platform/strings.h"

namespace testsupport {
namespace {

void Render(const platform::xml::Node& node, int depth, std::string& out) {
  std::string line(static_cast<std::size_t>(depth) * 2, ' ');
  if (node.IsElement()) {
    line += Narrow(node.Name());
    for (const auto& [name, value] : node.Attributes()) line += ' ' + Narrow(name) + '=' + Narrow(value);
  } else if (node.IsComment()) {
    line += "#comment " + Narrow(node.Text());
  } else if (node.IsText()) {
    if (node.Text().find_first_not_of(L" \t\r\n") == std::wstring::npos) return;
    line += "#text " + Narrow(node.Text());
  } else {
    line += Narrow(node.Name());
  }
  out += line + '\n';
  for (platform::xml::Node child = node.FirstChild(); child; child = child.NextSibling()) Render(child, depth + 1, out);
}

}  // namespace

std::string Narrow(const std::wstring& text) { return platform::Utf8FromWide(text).value_or("<not UTF-8>"); }

std::string Listing(const platform::xml::Node& node) {
  std::string out;
  Render(node, 0, out);
  return out;
}

std::string Listing(const platform::xml::Document& document) {
  std::string out;
  for (platform::xml::Node child = document.AsNode().FirstChild(); child; child = child.NextSibling())
    Render(child, 0, out);
  return out;
}

std::string ListingFile(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::string out;
  for (std::string line; std::getline(in, line);)
    if (!line.starts_with("# ")) out += line + '\n';
  return out;
}

}  // namespace testsupport
