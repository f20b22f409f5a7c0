// CString: the wide string of the host's application framework, with the
// members that this library and its hosts use.
#pragma once

#include <algorithm>
#include <cstdarg>
#include <cwchar>
#include <string>
#include <string_view>
#include <vector>

class CString {
 public:
  CString() = default;
  CString(const wchar_t* text) : text_(text == nullptr ? L"" : text) {}
  CString(const wchar_t* text, int length) : text_(text, static_cast<std::size_t>(length < 0 ? 0 : length)) {}
  CString(std::wstring text) : text_(std::move(text)) {}
  CString(std::wstring_view text) : text_(text) {}

  operator const wchar_t*() const noexcept { return text_.c_str(); }
  const wchar_t* GetString() const noexcept { return text_.c_str(); }
  const std::wstring& str() const noexcept { return text_; }
  int GetLength() const noexcept { return static_cast<int>(text_.size()); }
  bool IsEmpty() const noexcept { return text_.empty(); }
  void Empty() noexcept { text_.clear(); }
  wchar_t GetAt(int index) const { return text_.at(static_cast<std::size_t>(index)); }

  CString& operator+=(const CString& more) { text_ += more.text_; return *this; }
  CString& operator+=(const wchar_t* more) { text_ += more == nullptr ? L"" : more; return *this; }
  CString& operator+=(wchar_t c) { text_ += c; return *this; }
  friend CString operator+(CString a, const CString& b) { return a += b; }
  friend CString operator+(CString a, const wchar_t* b) { return a += b; }
  friend CString operator+(const wchar_t* a, const CString& b) { return CString(a) += b; }

  // printf-style formatting with the C library's wide rules: %ls for a wide string.
  void Format(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    text_ = FormatV(format, args);
    va_end(args);
  }
  void AppendFormat(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    text_ += FormatV(format, args);
    va_end(args);
  }

  // Letter case of A to Z only, as in the C locale.
  CString& MakeLower() {
    for (wchar_t& c : text_)
      if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c + (L'a' - L'A'));
    return *this;
  }
  CString& MakeUpper() {
    for (wchar_t& c : text_)
      if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - (L'a' - L'A'));
    return *this;
  }

  CString Left(int count) const { return CString(text_.substr(0, Clamp(count))); }
  CString Mid(int first) const { return CString(text_.substr(Clamp(first))); }
  CString Mid(int first, int count) const { return CString(text_.substr(Clamp(first), Clamp(count))); }
  CString Right(int count) const { return CString(text_.substr(text_.size() - Clamp(count))); }
  // Index of the first match at or after `start`, or -1.
  int Find(wchar_t c, int start = 0) const { return Index(text_.find(c, Clamp(start))); }
  int Find(const wchar_t* part, int start = 0) const { return Index(text_.find(part, Clamp(start))); }
  int ReverseFind(wchar_t c) const { return Index(text_.rfind(c)); }

  int Compare(const wchar_t* other) const { return text_.compare(other == nullptr ? L"" : other); }
  friend bool operator==(const CString& a, const CString& b) noexcept { return a.text_ == b.text_; }
  friend bool operator==(const CString& a, const wchar_t* b) { return a.text_ == (b == nullptr ? L"" : b); }
  friend bool operator<(const CString& a, const CString& b) noexcept { return a.text_ < b.text_; }

 private:
  std::size_t Clamp(int value) const {
    return value < 0 ? 0 : std::min(static_cast<std::size_t>(value), text_.size());
  }
  static int Index(std::size_t position) { return position == std::wstring::npos ? -1 : static_cast<int>(position); }
  static std::wstring FormatV(const wchar_t* format, va_list args) {
    std::vector<wchar_t> buffer(256);
    for (;;) {
      va_list copy;
      va_copy(copy, args);
      const int written = std::vswprintf(buffer.data(), buffer.size(), format, copy);
      va_end(copy);
      if (written >= 0) return std::wstring(buffer.data(), static_cast<std::size_t>(written));
      if (buffer.size() >= (1u << 24)) return std::wstring();  // a format error, not a short buffer
      buffer.resize(buffer.size() * 4);
    }
  }

  std::wstring text_;
};
