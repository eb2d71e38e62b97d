// The e-mail address and contact note of a lender, split out of its value in
// the host's lender configuration file.
#pragma once

#include <string>
#include <string_view>

namespace importers {

struct LenderContact {
  std::string email, note;
};

// Splits a configuration value (Windows-1252 bytes; a caller holding UTF-8
// converts first, or a multi-byte character next to the address is cut in
// half). Positions below are 1-based; A is the first "@", S the first "/".
//   no "@":      e-mail empty, note the whole value.
//   no "/":      B and E are the boundaries (GetNextWhitespace) before and
//                after A, E the length when there is none after it.
//   S before A:  B = S, E = the length.
//   S after A:   B = 0, E = S.
// The e-mail is characters B+1 to E, so it keeps the boundary at E; the note
// is the text after E when B is 0, else the text before B (whatever follows
// the address is then lost). Finally every "/" is removed from both and spaces
// are trimmed from both ends.
// A value longer than 32767 bytes is taken as its first 32767, the most a
// boundary position can address.
LenderContact SplitLenderContact(std::string_view value);

}  // namespace importers
