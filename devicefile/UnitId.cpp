#include "devicefile/UnitId.h"

#include <cwchar>

namespace dev {

CString FormatUnitID(const UnitKey& key) {
  CString text;
  text.Format(L"U%ux%u", static_cast<unsigned>(key.device), static_cast<unsigned>(key.index));
  return text;
}

UnitKey ParseUnitID(const wchar_t* text) {
  if (text == nullptr || std::wcslen(text) < 4) return kInvalidUnitKey;
  // The first character, whatever it is, then two numbers read as the C
  // runtime reads them, with one character, whatever it is, between them.
  // Formatting the pair again and comparing it with the text rejects every
  // form but the one FormatUnitID writes.
  wchar_t* end = nullptr;
  const auto device = static_cast<std::uint16_t>(std::wcstol(text + 1, &end, 10));
  if (*end == L'\0') return kInvalidUnitKey;
  const auto index = static_cast<std::uint16_t>(std::wcstol(end + 1, nullptr, 10));
  const UnitKey key{device, index};
  return FormatUnitID(key) == text ? key : kInvalidUnitKey;
}

}  // namespace dev
