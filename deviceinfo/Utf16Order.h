// Orders wide strings as sequences of UTF-16 code units, the order in which
// tags are kept. wchar_t holds whole code points here, and code-point order
// differs from UTF-16 order for characters above U+FFFF, which sort before
// U+E000..U+FFFF in UTF-16.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace dev::dynInfo {

struct Utf16Less {
  // A key whose order is that of the code point's UTF-16 units. Unpaired
  // surrogates, which only a malformed UTF-16 file holds, keep their own value.
  static constexpr char32_t Key(wchar_t c) {
    const auto cp = static_cast<char32_t>(c);
    if (cp >= 0xE000 && cp <= 0xFFFF) return cp + 0x200000;  // after every surrogate pair
    return cp;
  }
  using is_transparent = void;  // finds a tag by std::wstring_view without a copy
  // Equal characters have equal keys: the keys are compared from the first
  // character that differs, found by a plain comparison.
  bool operator()(std::wstring_view a, std::wstring_view b) const {
    const auto [x, y] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    return std::lexicographical_compare(x, a.end(), y, b.end(), [](wchar_t p, wchar_t q) { return Key(p) < Key(q); });
  }
};

}  // namespace dev::dynInfo
