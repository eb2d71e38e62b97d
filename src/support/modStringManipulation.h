// Word boundaries in single-byte text (bytes of the Windows-1252 code page).
#pragma once

#include <cstdint>
#include <string_view>

namespace modStringManipulation {

// The 1-based position of the nearest character at or after `start`
// (`backwards` false) or at or before it (`backwards` true) that is not a word
// character; 0 when every examined character is one. Word characters are the
// ASCII letters and digits and @ . - _ & ! /; every other byte is a boundary,
// bytes 0x80-0xFF included.
//
// A start below 1 counts as 1. A start past the end finds nothing forwards and
// searches backwards from the last character. Only the first 32767 characters
// can be addressed by the 16-bit result, so a longer text is examined as if it
// ended there. With those rules the routine cannot fail, so unlike most module
// routines it has no error box.
std::int16_t GetNextWhitespace(std::int16_t start, std::string_view text, bool backwards) noexcept;

}  // namespace modStringManipulation
