// Turning the fixed-width fields of an extracted record into values. Every
// field arrives as bytes of the record; these routines read them without
// allocating (except the date text, which is the result) and cannot fail on
// any input: short fields read their missing bytes as zero.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "importers/layouts/RecordFraming.h"

namespace importers {

// The bytes of field `f` of a record head (shorter only if the head is).
inline std::string_view Slice(std::string_view head, layouts::Field f) {
  if (static_cast<std::size_t>(f.offset) >= head.size()) return {};
  return head.substr(static_cast<std::size_t>(f.offset), static_cast<std::size_t>(f.width));
}

// Text up to the first NUL, without leading and trailing spaces (code 32
// only; tabs and other blanks stay). A view into `text`.
std::string_view CleanView(std::string_view text);
// The first two bytes as a signed 16-bit little-endian number.
std::int16_t ShortValue(std::string_view field);
// The first four bytes as a signed 32-bit little-endian number.
std::int32_t LongValue(std::string_view field);
// The first four bytes as an IEEE 754 single, little-endian (NaN passes on).
float SingleValue(std::string_view field);
// The packed date as "MM-DD-YYYY" (wider numbers in full), or "" when the
// day or the month is 0. No calendar check: the database decides.
std::string DateText(std::string_view field);
// DateText appended to `text`.
void AppendDateText(std::string_view field, std::string& text);

}  // namespace importers
