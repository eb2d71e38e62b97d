#include "importers/FieldDecoding.h"

#include <cstring>

#include "support/Conversions.h"

namespace importers {

namespace {

// The first `width` bytes of `field` as an unsigned little-endian number;
// missing bytes count as zero.
std::uint32_t Little(std::string_view field, std::size_t width) {
  std::uint32_t v = 0;
  const std::size_t n = std::min(width, field.size());
  for (std::size_t i = 0; i < n; ++i)
    v |= static_cast<std::uint32_t>(static_cast<unsigned char>(field[i])) << (8 * i);
  return v;
}

}  // namespace

std::string_view CleanView(std::string_view text) {
  const std::size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::int16_t ShortValue(std::string_view field) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(Little(field, 2)));
}

std::int32_t LongValue(std::string_view field) {
  return static_cast<std::int32_t>(Little(field, 4));
}

float SingleValue(std::string_view field) {
  const std::uint32_t bits = Little(field, 4);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

std::string DateText(std::string_view field) {
  std::string text;
  AppendDateText(field, text);
  return text;
}

void AppendDateText(std::string_view field, std::string& text) {
  namespace d = layouts::datefield;
  auto byte = [&](int offset) {
    return static_cast<unsigned>(
        offset < static_cast<int>(field.size()) ? static_cast<unsigned char>(field[offset]) : 0);
  };
  const unsigned day = byte(d::kDayOffset);
  const unsigned month = byte(d::kMonthOffset);
  if (day == 0 || month == 0) return;
  const unsigned year = byte(d::kYearOffset) | (byte(d::kYearOffset + 1) << 8);
  // "MM-DD-YYYY", each part at least that wide; written by hand because this
  // runs for every date of every record.
  if (month < 100 && day < 100 && year < 10000) {
    const char digits[] = {static_cast<char>('0' + month / 10),
                           static_cast<char>('0' + month % 10),
                           '-',
                           static_cast<char>('0' + day / 10),
                           static_cast<char>('0' + day % 10),
                           '-',
                           static_cast<char>('0' + year / 1000),
                           static_cast<char>('0' + year / 100 % 10),
                           static_cast<char>('0' + year / 10 % 10),
                           static_cast<char>('0' + year % 10)};
    text.append(digits, sizeof digits);
    return;
  }
  support::AppendPadded(text, month, 2);
  text += '-';
  support::AppendPadded(text, day, 2);
  text += '-';
  support::AppendPadded(text, year, 4);
}

}  // namespace importers
