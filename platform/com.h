// The error and string types of the original platform's component model: a
// failed DOM or platform call raises _com_error with an HRESULT. They live in
// a namespace; code brings them in with a using-declaration.
#pragma once

#include <kvodevice/Export.h>

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>

namespace platform::com {

using HRESULT = std::int32_t;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
// Writing a file failed (the platform's STG_E_WRITEFAULT).
inline constexpr HRESULT STG_E_WRITEFAULT = static_cast<HRESULT>(0x8003001D);

// Visible from both libraries, so that one library catches what the other raises.
class KVO_HOST_API _com_error : public std::exception {
 public:
  explicit _com_error(HRESULT hr) : hr_(hr) {}
  HRESULT Error() const noexcept { return hr_; }
  const char* what() const noexcept override { return "DOM or platform call failed"; }

 private:
  HRESULT hr_;
};

// A reference-counted, immutable wide string: copies share one buffer.
class _bstr_t {
 public:
  _bstr_t() = default;
  _bstr_t(const wchar_t* text) : text_(text == nullptr ? nullptr : std::make_shared<const std::wstring>(text)) {}
  _bstr_t(std::wstring text) : text_(std::make_shared<const std::wstring>(std::move(text))) {}

  // Null for a default-constructed string, as a null BSTR.
  operator const wchar_t*() const noexcept { return text_ ? text_->c_str() : nullptr; }
  std::wstring_view view() const noexcept { return text_ ? std::wstring_view(*text_) : std::wstring_view(); }
  unsigned length() const noexcept { return static_cast<unsigned>(view().size()); }
  // Equal by content; a null string equals an empty one.
  friend bool operator==(const _bstr_t& a, const _bstr_t& b) noexcept { return a.view() == b.view(); }

 private:
  std::shared_ptr<const std::wstring> text_;
};

}  // namespace platform::com
