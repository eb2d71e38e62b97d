// Builds fixed-width host records from the layout constants, so the sample
// files can never drift from what the importers read. A field written with
// the wrong kind, or outside the record, is a programming error: it throws.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

#include "importers/layouts/RecordFraming.h"
#include "importers/layouts/ResponsesLayout.h"

namespace samplehost {

class RecordWriter {
 public:
  // A record of `size` zero bytes.
  explicit RecordWriter(int size) : bytes_(static_cast<std::size_t>(size), '\0') {}

  // Windows-1252 text, cut to the field's width, padded with NULs (or spaces).
  RecordWriter& Text(layouts::Field f, std::string_view text, bool spacePadded = false) {
    Check(f, layouts::FieldKind::Text);
    std::string cell(static_cast<std::size_t>(f.width), spacePadded ? ' ' : '\0');
    cell.replace(0, std::min(text.size(), cell.size()), text.substr(0, cell.size()));
    bytes_.replace(static_cast<std::size_t>(f.offset), cell.size(), cell);
    return *this;
  }
  RecordWriter& Int16(layouts::Field f, std::int16_t v) {
    Check(f, layouts::FieldKind::Int16);
    return Little(f, static_cast<std::uint16_t>(v), 2);
  }
  RecordWriter& Int32(layouts::Field f, std::int32_t v) {
    Check(f, layouts::FieldKind::Int32);
    return Little(f, static_cast<std::uint32_t>(v), 4);
  }
  RecordWriter& Single(layouts::Field f, float v) {
    Check(f, layouts::FieldKind::Single);
    std::uint32_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    return Little(f, bits, 4);
  }
  // day or month 0 writes the empty date.
  RecordWriter& Date(layouts::Field f, int day, int month, int year) {
    Check(f, layouts::FieldKind::Date);
    namespace d = layouts::datefield;
    bytes_[static_cast<std::size_t>(f.offset + d::kDayOffset)] = static_cast<char>(day);
    bytes_[static_cast<std::size_t>(f.offset + d::kMonthOffset)] = static_cast<char>(month);
    layouts::Field year16{f.offset + d::kYearOffset, 2, layouts::FieldKind::Int16};
    return Little(year16, static_cast<std::uint16_t>(year), 2);
  }

  const std::string& bytes() const { return bytes_; }

 private:
  void Check(layouts::Field f, layouts::FieldKind kind) const {
    if (f.kind != kind || f.offset < 0 || layouts::End(f) > static_cast<int>(bytes_.size()))
      throw std::logic_error("field written outside its record or with the wrong kind");
  }
  RecordWriter& Little(layouts::Field f, std::uint32_t v, int width) {
    for (int i = 0; i < width; ++i)
      bytes_[static_cast<std::size_t>(f.offset + i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return *this;
  }

  std::string bytes_;
};

// The length prefix: `length` as kLengthDigits zero-padded ASCII digits.
inline std::string LengthPrefix(int length) {
  if (length < 0 || length > layouts::kMaxFramedLength)
    throw std::logic_error("record length does not fit the length prefix");
  char digits[layouts::kLengthDigits + 1];
  std::snprintf(digits, sizeof digits, "%0*d", layouts::kLengthDigits, length);
  return digits;
}

// `record` behind a prefix that states its own length.
inline std::string Framed(std::string_view record) {
  return LengthPrefix(static_cast<int>(record.size())).append(record);
}

// One common response: head, text, the NUL (unless `withNul` is false), then
// `padding` zero bytes, framed. `spaced` pads the title with spaces.
inline std::string ResponseRecord(int line, int across, int keyCode, std::string_view title,
                                  bool spaced, int flags, std::string_view text, int padding,
                                  bool withNul = true) {
  namespace r = layouts::responses;
  RecordWriter head(r::kHeadSize);
  head.Int16(r::kLine, static_cast<std::int16_t>(line))
      .Int16(r::kAcross, static_cast<std::int16_t>(across))
      .Int16(r::kKeyCode, static_cast<std::int16_t>(keyCode))
      .Text(r::kTitle, title, spaced)
      .Int16(r::kFlags, static_cast<std::int16_t>(flags));
  std::string body = head.bytes();
  body.append(text);
  if (withNul) body += r::kTextEnd;
  body.append(static_cast<std::size_t>(padding), '\0');
  return Framed(body);
}

}  // namespace samplehost
