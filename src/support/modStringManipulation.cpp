#include "support/modStringManipulation.h"

#include <algorithm>
#include <limits>

namespace modStringManipulation {

namespace {

// Deliberately not std::isalnum: the decision must not depend on the locale,
// and bytes above 0x7F are always boundaries.
bool IsWordCharacter(unsigned char c) noexcept {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case '@':
    case '.':
    case '-':
    case '_':
    case '&':
    case '!':
    case '/':
      return true;
    default:
      return false;
  }
}

}  // namespace

std::int16_t GetNextWhitespace(std::int16_t start, std::string_view text, bool backwards) noexcept {
  constexpr std::size_t kMaxPosition = std::numeric_limits<std::int16_t>::max();
  const std::size_t length = std::min(text.size(), kMaxPosition);
  std::size_t pos = start < 1 ? 1 : static_cast<std::size_t>(start);
  if (backwards) {
    for (pos = std::min(pos, length); pos >= 1; --pos)
      if (!IsWordCharacter(static_cast<unsigned char>(text[pos - 1])))
        return static_cast<std::int16_t>(pos);
  } else {
    for (; pos <= length; ++pos)
      if (!IsWordCharacter(static_cast<unsigned char>(text[pos - 1])))
        return static_cast<std::int16_t>(pos);
  }
  return 0;
}

}  // namespace modStringManipulation
