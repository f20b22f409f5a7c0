// A small JSON writer: one value per line of output, written as it is built.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace kvodev {

class JsonWriter {
 public:
  explicit JsonWriter(std::ostream& out) : out_(out) {}
  // Ends the line once the outermost value is complete.
  ~JsonWriter();
  JsonWriter(const JsonWriter&) = delete;
  JsonWriter& operator=(const JsonWriter&) = delete;

  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  // The name of the next member of the current object.
  JsonWriter& Key(std::string_view name);

  JsonWriter& String(std::string_view utf8);
  JsonWriter& String(std::wstring_view text);
  JsonWriter& Number(std::int64_t value);
  JsonWriter& Bool(bool value);
  JsonWriter& Null();

  // Key and value in one call.
  template <typename T>
  JsonWriter& Member(std::string_view name, const T& value) {
    Key(name);
    return Value(value);
  }

 private:
  JsonWriter& Open(char bracket);
  JsonWriter& Close(char bracket);
  JsonWriter& Value(std::string_view v) { return String(v); }
  JsonWriter& Value(const std::string& v) { return String(std::string_view(v)); }
  JsonWriter& Value(const char* v) { return String(std::string_view(v)); }
  JsonWriter& Value(const std::wstring& v) { return String(std::wstring_view(v)); }
  JsonWriter& Value(bool v) { return Bool(v); }
  JsonWriter& Value(int v) { return Number(v); }
  JsonWriter& Value(unsigned v) { return Number(v); }
  JsonWriter& Value(long v) { return Number(v); }
  JsonWriter& Value(unsigned long v) { return Number(static_cast<std::int64_t>(v)); }

  // Writes the separator that goes before a value at the current position.
  void BeforeValue();
  void WriteQuoted(std::string_view utf8);

  std::ostream& out_;
  std::vector<bool> first_;  // per open container: no member written yet
  bool afterKey_ = false;
  bool wroteAny_ = false;
};

// `utf8` as a JSON string literal, quotes included; everything outside
// printable ASCII is written as a \u escape (surrogate pairs above U+FFFF).
std::string JsonQuoted(std::string_view utf8);

}  // namespace kvodev
