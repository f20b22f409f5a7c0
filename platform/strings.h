// Conversions between the library's wide text (UTF-32 wchar_t) and the UTF-8
// bytes of files, file names and the environment. The only place that converts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Appends `cp` as a UTF-8 sequence. Surrogate values get their 3-byte form, so
// text read from a UTF-16 file with an unpaired surrogate survives a round trip
// through DecodeUtf8Lenient; values above U+10FFFF are not encodable and append U+FFFD.
void AppendUtf8(std::string& out, char32_t cp);

// Decodes one sequence at `pos` (advanced past it) without validating: for text
// this library encoded itself with AppendUtf8.
char32_t DecodeUtf8Lenient(std::string_view text, std::size_t& pos);

// True when `bytes` is well-formed UTF-8 (no surrogates, no overlong forms).
bool IsValidUtf8(std::string_view bytes);

// Decodes UTF-8; each ill-formed sequence becomes U+FFFD.
std::wstring WideFromUtf8(std::string_view bytes);
// The same into `out`, reusing its storage.
void AssignWideFromUtf8(std::wstring& out, std::string_view bytes);

// Encodes as UTF-8; nullopt when a character is not a Unicode scalar value
// (a surrogate or above U+10FFFF): such text must be refused, never replaced.
std::optional<std::string> Utf8FromWide(std::wstring_view text);

// A file-system path from the library's form: UTF-8, with U+DC80..U+DCFF as
// the single bytes 0x80..0xFF they stand for (see WidePath). Every character
// stands for itself: '\\' is a character of a name, as Linux has it.
std::string NativePath(std::wstring_view path);

// The library's form of a file-system path: UTF-8 decoded, and each byte of an
// ill-formed sequence kept as U+DC00 + byte, so that any path converts back exactly.
std::wstring WidePath(std::string_view native);

}  // namespace platform

namespace platform {

// The C runtime's _wtoi: blanks, one sign, decimal digits up to the first other
// character; 0 when no digit comes first; saturates at the int32 limits.
std::int32_t Wtoi(const wchar_t* text);

}  // namespace platform
