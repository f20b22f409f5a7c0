#include "Json.h"

#include <cstdint>

#include "Utf8.h"

namespace kvodev {

namespace {

// "\\u" and four hex digits of a UTF-16 code unit.
void AppendEscape(std::string& out, std::uint32_t unit) {
  constexpr char kHex[] = "0123456789abcdef";
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out += kHex[unit >> shift & 0xF];
}

}  // namespace

// Everything outside printable ASCII is escaped, so the output is ASCII
// whatever the terminal or the reader expects.
std::string JsonQuoted(std::string_view utf8) {
  std::wstring text;
  if (!DecodeUtf8(utf8, text)) {
    text.clear();
    for (const char c : utf8) text += static_cast<unsigned char>(c) < 0x80 ? static_cast<wchar_t>(c) : L'\uFFFD';
  }
  std::string out = "\"";
  for (const wchar_t c : text) {
    const auto value = static_cast<std::uint32_t>(c);
    switch (value) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (value >= 0x20 && value < 0x7F) {
          out += static_cast<char>(value);
        } else if (value < 0x10000) {
          AppendEscape(out, value);
        } else {  // a surrogate pair
          AppendEscape(out, 0xD800 + ((value - 0x10000) >> 10));
          AppendEscape(out, 0xDC00 + ((value - 0x10000) & 0x3FF));
        }
    }
  }
  return out += '"';
}

JsonWriter::~JsonWriter() {
  if (wroteAny_ && first_.empty()) out_ << '\n';
}

void JsonWriter::BeforeValue() {
  wroteAny_ = true;
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (first_.empty()) return;
  if (!first_.back()) out_ << ',';
  first_.back() = false;
}

JsonWriter& JsonWriter::BeginObject() { return Open('{'); }
JsonWriter& JsonWriter::EndObject() { return Close('}'); }
JsonWriter& JsonWriter::BeginArray() { return Open('['); }
JsonWriter& JsonWriter::EndArray() { return Close(']'); }

JsonWriter& JsonWriter::Open(char bracket) {
  BeforeValue();
  out_ << bracket;
  first_.push_back(true);
  return *this;
}

JsonWriter& JsonWriter::Close(char bracket) {
  out_ << bracket;
  first_.pop_back();
  return *this;
}

JsonWriter& JsonWriter::Key(std::string_view name) {
  BeforeValue();
  out_ << JsonQuoted(name) << ':';
  afterKey_ = true;
  return *this;
}

JsonWriter& JsonWriter::String(std::string_view utf8) {
  BeforeValue();
  out_ << JsonQuoted(utf8);
  return *this;
}

JsonWriter& JsonWriter::String(std::wstring_view text) { return String(std::string_view(EncodeUtf8(text))); }

JsonWriter& JsonWriter::Number(std::int64_t value) {
  BeforeValue();
  out_ << value;
  return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
  BeforeValue();
  out_ << (value ? "true" : "false");
  return *this;
}

JsonWriter& JsonWriter::Null() {
  BeforeValue();
  out_ << "null";
  return *this;
}

}  // namespace kvodev
