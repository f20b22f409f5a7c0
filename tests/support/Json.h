// A small JSON reader for test data written as ASCII: objects, arrays,
// strings, integers, true/false/null. Strings are kept as UTF-16 code units,
// so "\uD83D\uDE00" stays the two units it encodes (a surrogate must be
// paired). Raw non-ASCII bytes and numbers with a fraction or exponent are
// rejected.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testsupport {

class Json {
 public:
  enum class Kind { Null, Bool, Int, String, Array, Object };

  Kind kind() const { return kind_; }
  bool IsNull() const { return kind_ == Kind::Null; }

  // Object members; keys are compared as ASCII. operator[] throws
  // std::runtime_error when the key is missing or this is not an object.
  bool Has(std::string_view key) const;
  const Json& operator[](std::string_view key) const;
  const std::vector<std::pair<std::u16string, Json>>& Members() const;

  // Array elements (or member count of an object); throws when out of range.
  const Json& operator[](std::size_t index) const;
  std::size_t size() const;

  std::int64_t AsInt() const;
  bool AsBool() const;
  const std::u16string& AsString() const;

 private:
  friend class JsonParser;
  Kind kind_ = Kind::Null;
  bool bool_ = false;
  std::int64_t int_ = 0;
  std::u16string string_;
  std::vector<Json> elements_;
  std::vector<std::pair<std::u16string, Json>> members_;
};

// Parses one JSON value (surrounded by optional white space); throws
// std::runtime_error, naming the offset, on malformed input.
Json ParseJson(std::string_view text);

}  // namespace testsupport
