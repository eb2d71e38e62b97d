// What every extracted record file shares: the 5-digit ASCII length before each
// record, the kinds of fixed-width field a record holds, and the packed date.
// The per-file layouts (one header each) are built from these pieces.
#pragma once

#include <functional>

#include <cstddef>
#include <span>

namespace layouts {

// Each record is preceded by its length: 5 ASCII decimal digits counting the
// bytes that follow (zero-padded by the extractor, e.g. "00243").
inline constexpr int kLengthDigits = 5;
// The largest length the 5 digits can carry.
inline constexpr int kMaxFramedLength = 99999;

enum class FieldKind {
  Text,    // n single-byte (Windows-1252) characters, padded with NULs or spaces
  Int16,   // signed 16-bit, little-endian
  Int32,   // signed 32-bit, little-endian
  Single,  // IEEE 754 single precision, little-endian
  Date,    // the packed DateField below
};

// One fixed-width field: offset from the first byte after the length prefix.
struct Field {
  int offset;
  int width;
  FieldKind kind;
};

constexpr Field Text(int offset, int width) {
  return {offset, width, FieldKind::Text};
}
constexpr Field Int16(int offset) {
  return {offset, 2, FieldKind::Int16};
}
constexpr Field Int32(int offset) {
  return {offset, 4, FieldKind::Int32};
}
constexpr Field Single(int offset) {
  return {offset, 4, FieldKind::Single};
}
constexpr Field Date(int offset) {
  return {offset, 4, FieldKind::Date};
}

// The first byte after the field.
constexpr int End(Field f) {
  return f.offset + f.width;
}

// The packed date: day and month bytes, then the year as unsigned 16-bit
// little-endian. A day or month of 0 marks an empty date.
namespace datefield {
inline constexpr int kDayOffset = 0;
inline constexpr int kMonthOffset = 1;
inline constexpr int kYearOffset = 2;
inline constexpr int kSize = 4;
}  // namespace datefield

// True when the fields (or, with `field`, the field each item holds), in the
// order given, cover [0, size) without gap or overlap. Each layout checks
// itself with it at compile time.
template <class Range, class Project = std::identity>
constexpr bool Tiles(const Range& items, int size, Project field = {}) {
  int next = 0;
  for (const auto& item : items) {
    const Field& f = field(item);
    if (f.offset != next || f.width <= 0) return false;
    next = End(f);
  }
  return next == size;
}

}  // namespace layouts
