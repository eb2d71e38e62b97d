// The single-byte code page of the host's files. Record bytes and INI files
// are Windows-1252; the database, the log and the terminal receive UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace support {

// Every byte as its Windows-1252 character, encoded as UTF-8. The five bytes
// the code page leaves undefined (0x81 0x8D 0x8F 0x90 0x9D) map to the C1
// control of the same value, so no byte is ever lost.
std::string Windows1252ToUtf8(std::string_view bytes);
// Appends the conversion to `out` without allocating beyond its growth.
void AppendWindows1252AsUtf8(std::string_view bytes, std::string& out);
// True when `bytes` is well-formed UTF-8.
bool IsValidUtf8(std::string_view bytes);
// Number of characters of UTF-8 text.
std::size_t Utf8Length(std::string_view text);
// The first `count` characters of UTF-8 text (the whole text when shorter).
std::string_view Utf8Prefix(std::string_view text, std::size_t count);
// True when two UTF-8 texts are equal without regard to the case of the code
// page's letters (ASCII and Latin-1 letters, and Š Œ Ž Ÿ), the way the system
// compares INI and registry names.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// Appends the UTF-8 encoding of one code point (at most U+10FFFF).
void AppendUtf8(char32_t cp, std::string& out);

}  // namespace support
