#include "tests/support/Json.h"

#include <algorithm>
#include <charconv>

namespace testsupport {
namespace {

struct Parser {
  std::string_view s;
  std::size_t pos = 0;

  [[noreturn]] void Fail(const std::string& what) const {
    throw std::runtime_error("JSON: " + what + " at offset " + std::to_string(pos));
  }
  bool Take(std::string_view word) {  // `word`, after any white space
    while (pos < s.size() && std::string_view(" \t\r\n").find(s[pos]) != std::string_view::npos) ++pos;
    return s.substr(pos, word.size()) == word && (pos += word.size(), true);
  }
  void Expect(std::string_view word) {
    if (!Take(word)) Fail("expected " + std::string(word));
  }
  char Next() {  // inside a string
    if (pos >= s.size()) Fail("unterminated string");
    return s[pos++];
  }

  Json Value() {
    Json v;
    if (const bool object = Take("{"); object || Take("[")) {
      v.kind = object ? Json::Kind::Object : Json::Kind::Array;
      if (Take(object ? "}" : "]")) return v;
      do {
        if (object) Expect("\""), v.keys.push_back(String()), Expect(":");
        v.items.push_back(Value());
      } while (Take(","));
      Expect(object ? "}" : "]");
    } else if (Take("\"")) {
      v.kind = Json::Kind::String, v.text = String();
    } else if (const auto [end, error] = std::from_chars(s.data() + pos, s.data() + s.size(), v.number);
               error == std::errc()) {
      const std::size_t first = pos + (s[pos] == '-');  // a leading zero must stand alone
      v.kind = Json::Kind::Int, pos = static_cast<std::size_t>(end - s.data());
      if (s[first] == '0' && pos > first + 1) Fail("malformed integer");
    } else if (const bool yes = Take("true"); yes || Take("false")) {
      v.kind = Json::Kind::Bool, v.number = yes;
    } else if (!Take("null")) {
      Fail("unexpected character");
    }
    return v;
  }

  std::u16string String() {  // after the opening quote
    std::u16string out;
    for (char c; (c = Next()) != '"';) {
      unsigned unit = static_cast<unsigned char>(c);
      if (unit < 0x20 || unit >= 0x80) Fail("control or non-ASCII character in string");
      if (c == '\\') {
        const char escape = Next();
        const std::size_t simple = std::string_view("\"\\/bfnrt").find(escape);
        const char* hex = s.data() + pos;
        if (simple != std::string_view::npos) unit = static_cast<unsigned char>("\"\\/\b\f\n\r\t"[simple]);
        else if (escape != 'u' || pos + 4 > s.size() || std::from_chars(hex, hex + 4, unit, 16).ptr != hex + 4)
          Fail("unknown escape or malformed \\u escape");
        else pos += 4;
      }
      out.push_back(static_cast<char16_t>(unit));
    }
    // Every high surrogate (D800..DBFF) is followed by a low one (DC00..DFFF), and only there.
    const std::u16string padded = u'\0' + out + u'\0';
    const auto unpaired = [](char16_t a, char16_t b) { return (a >> 10 == 0xD800 >> 10) != (b >> 10 == 0xDC00 >> 10); };
    if (std::adjacent_find(padded.begin(), padded.end(), unpaired) != padded.end()) Fail("unpaired surrogate");
    return out;
  }
};

}  // namespace

const Json* Json::Find(std::string_view key) const {
  const auto& k = Is(Kind::Object).keys;
  const auto at = std::find(k.begin(), k.end(), std::u16string(key.begin(), key.end()));
  return at == k.end() ? nullptr : &items[static_cast<std::size_t>(at - k.begin())];
}

const Json& Json::operator[](std::string_view key) const {
  if (const Json* member = Find(key)) return *member;
  throw std::runtime_error("JSON: no member \"" + std::string(key) + "\"");
}

Json ParseJson(std::string_view text) {
  Parser parser{text};
  Json value = parser.Value();
  if (parser.Take(""), parser.pos != text.size()) parser.Fail("text after the value");
  return value;
}

}  // namespace testsupport
