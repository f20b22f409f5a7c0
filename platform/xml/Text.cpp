// Text at the boundary between the library's wide strings and libxml2.
#include <libxml/tree.h>
#include <libxml/xmlstring.h>

#include "platform/strings.h"
#include "platform/xml/DocumentData.h"

namespace platform::xml {

bool IsXmlText(std::wstring_view text) {
  for (const wchar_t wc : text) {
    const auto c = static_cast<char32_t>(wc);
    const bool ok = c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
                    (c >= 0x10000 && c <= 0x10FFFF);
    if (!ok) return false;
  }
  return true;
}

bool IsXmlName(std::wstring_view name, const xmlChar* utf8) {
  // Characters first: libxml2's name check reports a bad character on the
  // console instead of only failing.
  return !name.empty() && IsXmlText(name) && xmlValidateQName(utf8, 0) == 0;
}

std::string ToUtf8(std::wstring_view text) {
  std::optional<std::string> utf8 = Utf8FromWide(text);
  if (!utf8) throw com::_com_error(com::E_INVALIDARG);
  return std::move(*utf8);
}

std::wstring FromUtf8(const xmlChar* text) {
  return text == nullptr ? std::wstring() : WideFromUtf8(reinterpret_cast<const char*>(text));
}

}  // namespace platform::xml
