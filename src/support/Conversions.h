// Text and number conversions with the host language's rules, used where the
// command line and settings are read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Env.h"

namespace support {

std::string LowerAscii(std::string_view text);
bool ContainsIgnoringCase(std::string_view haystack, std::string_view needle);
bool EndsWith(std::string_view text, std::string_view tail);

// Removes leading and trailing spaces (only spaces, as the host language does).
std::string TrimSpaces(std::string_view text);

// The number a text stands for when the host language would call it numeric:
// surrounding spaces and tabs, an optional sign, digits with an optional
// decimal point and exponent, or &H / &O for hexadecimal and octal.
// nullopt when the text is not numeric (also the empty text).
std::optional<double> ParseNumber(std::string_view text);

// Rounds to a whole number the host language's way (halves to even) and checks
// the signed 32-bit range; nullopt on overflow.
std::optional<std::int32_t> RoundToLong(double value);

// A truth value from text: the words True or False in any case, or a number
// (non-zero is true). nullopt when the text is neither.
std::optional<bool> ParseTruth(std::string_view text);

// Formats a local date-time with the host language's date pattern letters:
// yyyy yy mm m dd d hh h nn n ss s (m right after an hour is the minute), a
// backslash makes the next character literal, text in double quotes is
// literal, every other character stands for itself.
// "yyyy-mm-dd-hhmmss-logfile.txt" gives 2010-03-15-142530-logfile.txt.
std::string FormatDateTime(std::string_view pattern, const platform::LocalTime& time);

// A whole number with thousands separators, the host's "##,##0" format:
// 1234567 gives "1,234,567", 0 gives "0".
std::string GroupedDigits(std::int64_t n);

// Appends `value` in decimal with at least `width` digits (leading zeros).
// Written by hand because dates of every imported record go through it.
void AppendPadded(std::string& out, unsigned value, int width);

// `text` with every control character written as an escape ("\r", "\n",
// "\xHH" for the others and DEL), so a line of the log is one event
// whatever a file name holds. Other bytes (UTF-8 included) are kept.
std::string EscapeControls(std::string_view text);
// True when `text` holds a double quote or a control character: a name no
// command line can carry as one argument.
bool HoldsQuoteOrControl(std::string_view text);

}  // namespace support
