// A small JSON reader for test data written as ASCII: objects, arrays,
// strings, integers, true/false/null. Strings are kept as UTF-16 code units,
// so "\uD83D\uDE00" stays the two units it encodes (a surrogate must be
// paired). Malformed input, raw non-ASCII bytes and numbers with a fraction
// throw std::runtime_error, and so does asking a value for another kind, a
// missing member or (std::out_of_range) an index past the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

struct Json {
  enum class Kind { Null, Bool, Int, String, Array, Object } kind = Kind::Null;
  std::int64_t number = 0;           // Int, or Bool as 0/1
  std::u16string text;               // String
  std::vector<Json> items;           // Array elements, or Object member values
  std::vector<std::u16string> keys;  // Object member names, in step with items

  // *this, or throws.
  const Json& Is(Kind wanted) const { return kind == wanted ? *this : throw std::runtime_error("JSON: wrong kind"); }
  const Json* Find(std::string_view key) const;  // the member, or nullptr
  const Json& operator[](std::string_view key) const;
  const Json& operator[](std::size_t index) const { return Is(Kind::Array).items.at(index); }
  std::size_t size() const { return Is(Kind::Array).items.size(); }
  auto begin() const { return Is(Kind::Array).items.begin(); }
  auto end() const { return Is(Kind::Array).items.end(); }
  std::int64_t AsInt() const { return Is(Kind::Int).number; }
  const std::u16string& AsString() const { return Is(Kind::String).text; }
};

// Parses one JSON value, with optional white space around it.
Json ParseJson(std::string_view text);

}  // namespace testsupport
