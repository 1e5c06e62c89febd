#pragma once

// The texts of the registry and its editor's files: UTF-16 as the registry keeps them, the
// ANSI code page of REGEDIT4 files, and the rule by which the registry compares names.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace voldrane {

// The registry's upper case of a character (RtlUpcaseUnicodeChar): only letters that form a
// pair with one other letter are changed, so "ı" and "ſ" are not "I" and "S". Characters
// outside the Basic Multilingual Plane are never changed.
uint32_t RegUpcase(uint32_t cp);

// `name` with every character upper-cased by RegUpcase: two names are one name to the
// registry exactly when their folded forms are equal. Bytes that are not UTF-8 stay as they
// are.
std::string RegFoldedName(std::string_view name);

// The character a Windows-1252 byte stands for (the five bytes that code page leaves
// undefined stand for the control characters of the same number, as Windows converts them).
uint32_t Windows1252Char(unsigned char byte);

// The text of Windows-1252 bytes, as UTF-8.
std::string Windows1252ToUtf8(std::string_view bytes);

// `text` as valid UTF-8: its UTF-8 sequences as they are, and every byte that does not start
// one taken as a Windows-1252 character, the code page a Western Windows reads such bytes in.
// Text that is valid UTF-8 already is returned unchanged.
std::string ValidUtf8(std::string_view text);
bool IsValidUtf8(std::string_view text);

void AppendUtf8(std::string& out, uint32_t cp);

// UTF-8 as UTF-16LE bytes, without a terminator; bytes that are not UTF-8 are taken as
// Windows-1252, so the result is always valid UTF-16.
std::string Utf8ToUtf16Le(std::string_view text);

// `units` UTF-16 code units at `p` as UTF-8; a lone surrogate, which no text can hold, becomes
// U+FFFD, except U+DC80..U+DCFF: earlier versions wrote a byte that was not UTF-8 so, and it
// is read as such a byte is (Windows-1252).
std::string Utf16ToUtf8(const uint8_t* p, size_t units, bool bigEndian = false);

}  // namespace voldrane
