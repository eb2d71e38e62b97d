// Wildcard matching, in the two dialects the program uses.
#pragma once

#include <string_view>

namespace support {

// The host language's pattern operator, compared character by character
// (callers lower-case the text when they want case not to matter):
//   *  any run of characters, also none     ?  exactly one character
//   #  one digit 0-9                        [set]  one character of the set
//   [!set]  one character not in the set    a-z inside a set is a range
// Every other character matches itself. A pattern with an unclosed '[' matches
// nothing.
bool MatchesLike(std::string_view text, std::string_view pattern);

// A file-name wildcard as the system's file search reads it: '*' and '?' only,
// without regard to ASCII case; "*.*" matches every name, also one without a dot.
bool MatchesFileWildcard(std::string_view name, std::string_view pattern);

}  // namespace support
