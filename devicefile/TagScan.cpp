#include "devicefile/TagScan.h"

#include <algorithm>

#include "platform/strings.h"

namespace dev {
namespace {

// Written by hand: every XML parser stops, or guesses, at the first error,
// and what is wanted here is each element left open, however broken the rest.
struct Scanner {
  std::string_view bytes;
  std::size_t at = 0;
  int line = 1;

  // Moves `count` bytes on, counting lines.
  void Advance(std::size_t count) {
    const std::size_t stop = std::min(at + count, bytes.size());
    line += static_cast<int>(std::count(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                        bytes.begin() + static_cast<std::ptrdiff_t>(stop), '\n'));
    at = stop;
  }
  // Moves just past `end`, or to the end; false when it is not there.
  bool SkipPast(std::string_view end) {
    const std::size_t found = bytes.find(end, at);
    Advance(found == std::string_view::npos ? bytes.size() : found + end.size() - at);
    return found != std::string_view::npos;
  }
  static bool NameChar(char c) {
    return c != '>' && c != '/' && c != '<' && c != '=' && c != ' ' && c != '\t' && c != '\r' && c != '\n';
  }
};

}  // namespace

std::vector<UnclosedElement> ScanUnclosedElements(std::string_view bytes) {
  struct Open {
    std::wstring name;
    int line;
  };
  std::vector<Open> open;
  std::vector<UnclosedElement> unclosed;
  Scanner scan{bytes};
  while (scan.SkipPast("<") && scan.at < bytes.size()) {
    const std::string_view rest = bytes.substr(scan.at);
    if (rest.starts_with("!--")) {
      scan.SkipPast("-->");
    } else if (rest.starts_with("![CDATA[")) {
      scan.SkipPast("]]>");
    } else if (rest.starts_with("?")) {
      scan.SkipPast("?>");
    } else if (rest.starts_with("!")) {
      scan.SkipPast(">");  // the document type; an internal subset is not looked into
    } else {
      const bool end = rest.starts_with("/");
      const int line = scan.line;
      std::size_t length = end ? 1 : 0;
      while (length < rest.size() && Scanner::NameChar(rest[length])) ++length;
      const std::wstring name = platform::WideFromUtf8(rest.substr(end ? 1 : 0, length - (end ? 1 : 0)));
      // The tag ends at the next '>' outside quotes.
      char quote = 0;
      std::size_t close = length;
      for (; close < rest.size() && (quote != 0 || rest[close] != '>'); ++close) {
        if (quote == 0 && (rest[close] == '"' || rest[close] == '\'')) quote = rest[close];
        else if (rest[close] == quote) quote = 0;
      }
      const bool empty = close > 0 && close < rest.size() && rest[close - 1] == '/';
      scan.Advance(close + 1);
      if (name.empty()) continue;
      if (!end) {
        if (!empty) open.push_back({name, line});
        continue;
      }
      // An end tag closes the nearest element of its name; those opened inside it were left open.
      const auto match = std::find_if(open.rbegin(), open.rend(), [&](const Open& element) { return element.name == name; });
      if (match == open.rend()) continue;  // it closes nothing: the parser's error names it
      const auto first = match.base();  // the element after the match
      for (auto it = first; it != open.end(); ++it) unclosed.push_back({it->name, it->line, name, line});
      open.erase(first - 1, open.end());
    }
  }
  for (const Open& element : open) unclosed.push_back({element.name, element.line, {}, 0});
  return unclosed;
}

}  // namespace dev
