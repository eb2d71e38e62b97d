#include "importers/LenderContact.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <limits>

#include "support/Conversions.h"
#include "support/modStringManipulation.h"

namespace importers {

namespace {

std::string WithoutSlashesTrimmed(std::string_view text) {
  std::string kept;
  kept.reserve(text.size());
  std::copy_if(text.begin(), text.end(), std::back_inserter(kept), [](char c) { return c != '/'; });
  return support::TrimSpaces(kept);
}

}  // namespace

LenderContact SplitLenderContact(std::string_view value) {
  constexpr std::size_t kMaxPosition = std::numeric_limits<std::int16_t>::max();
  std::string_view v = value.substr(0, std::min(value.size(), kMaxPosition));

  std::string_view email, note;
  const std::size_t at = v.find('@');
  if (at == std::string_view::npos) {
    note = v;
  } else {
    // 1-based positions from here on, as the rules are stated.
    const std::size_t a = at + 1;
    const std::size_t s = v.find('/') == std::string_view::npos ? 0 : v.find('/') + 1;
    std::size_t b = 0, e = 0;
    if (s == 0) {
      const auto a16 = static_cast<std::int16_t>(a);
      b = static_cast<std::size_t>(modStringManipulation::GetNextWhitespace(a16, v, true));
      e = static_cast<std::size_t>(modStringManipulation::GetNextWhitespace(a16, v, false));
      if (e == 0) e = v.size();
    } else if (s < a) {
      b = s;
      e = v.size();
    } else {
      e = s;
    }
    // b < a <= e in every branch, so both pieces lie inside the value.
    email = v.substr(b, e - b);
    note = b == 0 ? v.substr(e) : v.substr(0, b - 1);
  }
  return {WithoutSlashesTrimmed(email), WithoutSlashesTrimmed(note)};
}

}  // namespace importers
