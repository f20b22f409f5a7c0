#include "tests/support/Json.h"

#include <algorithm>
#include <charconv>
#include <stdexcept>

namespace testsupport {

class JsonParser {
 public:
  explicit JsonParser(std::string_view text) : text_(text) {}

  Json Document() {
    Json value = Value(0);
    if (SkipSpace(), pos_ != text_.size()) Fail("text after the value");
    return value;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw std::runtime_error("JSON: " + what + " at offset " + std::to_string(pos_));
  }
  void SkipSpace() {
    while (pos_ < text_.size() && std::string_view(" \t\r\n").find(text_[pos_]) != std::string_view::npos) ++pos_;
  }
  bool Take(char c) {
    SkipSpace();
    return pos_ < text_.size() && text_[pos_] == c && (++pos_, true);
  }
  void Expect(char c) {
    if (!Take(c)) Fail(std::string("expected '") + c + "'");
  }
  bool Word(std::string_view word) {
    return text_.substr(pos_, word.size()) == word && (pos_ += word.size(), true);
  }

  Json Value(int depth) {
    if (depth > 64) Fail("nesting too deep");
    SkipSpace();
    if (pos_ >= text_.size()) Fail("missing value");
    Json v;
    const char c = text_[pos_];
    if (c == '{' || c == '[') {
      v.kind_ = c == '{' ? Json::Kind::Object : Json::Kind::Array;
      const char close = c == '{' ? '}' : ']';
      ++pos_;
      if (Take(close)) return v;
      do {
        if (c == '[') {
          v.elements_.push_back(Value(depth + 1));
          continue;
        }
        SkipSpace();
        std::u16string key = String();
        Expect(':');
        v.members_.emplace_back(std::move(key), Value(depth + 1));
      } while (Take(','));
      Expect(close);
    } else if (c == '"') {
      v.kind_ = Json::Kind::String;
      v.string_ = String();
    } else if (c == '-' || (c >= '0' && c <= '9')) {
      v.kind_ = Json::Kind::Int;
      v.int_ = Integer();
    } else if (const bool yes = Word("true"); yes || Word("false")) {
      v.kind_ = Json::Kind::Bool;
      v.bool_ = yes;
    } else if (!Word("null")) {
      Fail("unexpected character");
    }
    return v;
  }

  std::int64_t Integer() {
    const std::size_t start = pos_, digits = pos_ + (text_[pos_] == '-');
    pos_ = digits;
    while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') ++pos_;
    if (pos_ == digits || (text_[digits] == '0' && pos_ - digits > 1)) Fail("malformed number");
    if (pos_ < text_.size() && std::string_view(".eE").find(text_[pos_]) != std::string_view::npos)
      Fail("only integers are supported");
    std::int64_t value = 0;
    if (std::from_chars(text_.data() + start, text_.data() + pos_, value).ec != std::errc()) Fail("integer out of range");
    return value;
  }

  char16_t Hex4() {
    unsigned value = 0;
    const char* end = text_.data() + std::min(pos_ + 4, text_.size());
    if (std::from_chars(text_.data() + pos_, end, value, 16).ptr != text_.data() + pos_ + 4) Fail("malformed \\u escape");
    pos_ += 4;
    return static_cast<char16_t>(value);
  }

  // Reads the string at pos_ as UTF-16 code units.
  std::u16string String() {
    if (pos_ >= text_.size() || text_[pos_] != '"') Fail("expected a string");
    ++pos_;
    std::u16string out;
    for (;;) {
      if (pos_ >= text_.size()) Fail("unterminated string");
      const auto c = static_cast<unsigned char>(text_[pos_++]);
      if (c == '"') return out;
      if (c < 0x20 || c >= 0x80) Fail("control or non-ASCII character in string");
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      static constexpr std::string_view kFrom = "\"\\/bfnrt", kTo = "\"\\/\b\f\n\r\t";
      const std::size_t simple = pos_ < text_.size() ? kFrom.find(text_[pos_++]) : std::string_view::npos;
      if (simple != std::string_view::npos) {
        out.push_back(static_cast<char16_t>(kTo[simple]));
        continue;
      }
      if (text_[pos_ - 1] != 'u') Fail("unknown escape");
      const char16_t unit = Hex4();
      if (unit >= 0xDC00 && unit <= 0xDFFF) Fail("unpaired low surrogate");
      out.push_back(unit);
      if (unit >= 0xD800 && unit <= 0xDBFF) {
        const char16_t low = Word("\\u") ? Hex4() : 0;
        if (low < 0xDC00 || low > 0xDFFF) Fail("unpaired high surrogate");
        out.push_back(low);
      }
    }
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

namespace {

const Json& Check(const Json& json, bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("JSON: ") + what);
  return json;
}

bool SameKey(const std::u16string& key, std::string_view ascii) {
  return std::equal(key.begin(), key.end(), ascii.begin(), ascii.end(),
                    [](char16_t a, char b) { return a == static_cast<unsigned char>(b); });
}

}  // namespace

bool Json::Has(std::string_view key) const {
  const auto& m = Members();
  return std::any_of(m.begin(), m.end(), [&](const auto& member) { return SameKey(member.first, key); });
}

const Json& Json::operator[](std::string_view key) const {
  for (const auto& [name, value] : Members())
    if (SameKey(name, key)) return value;
  throw std::runtime_error("JSON: no member \"" + std::string(key) + "\"");
}

const std::vector<std::pair<std::u16string, Json>>& Json::Members() const {
  return Check(*this, kind_ == Kind::Object, "not an object").members_;
}

const Json& Json::operator[](std::size_t index) const {
  return Check(*this, kind_ == Kind::Array && index < elements_.size(), "not an array or index out of range")
      .elements_[index];
}

std::size_t Json::size() const {
  Check(*this, kind_ == Kind::Array || kind_ == Kind::Object, "not an array or object");
  return kind_ == Kind::Object ? members_.size() : elements_.size();
}

std::int64_t Json::AsInt() const { return Check(*this, kind_ == Kind::Int, "not an integer").int_; }
bool Json::AsBool() const { return Check(*this, kind_ == Kind::Bool, "not a boolean").bool_; }
const std::u16string& Json::AsString() const { return Check(*this, kind_ == Kind::String, "not a string").string_; }

Json ParseJson(std::string_view text) { return JsonParser(text).Document(); }

}  // namespace testsupport
