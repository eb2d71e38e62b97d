// Credential scrambling for connection strings. The scrambled form is what
// the host's databases were set up to expect; it is never unscrambled here.
#pragma once

#include <string>

namespace modEncryption {

// The scrambled form of UTF-8 `text`: "" when it is empty or longer than 255
// characters; otherwise as many characters as `text`, the one at zero-based
// position i having the Windows-1252 code ((n - i) mod 256) XOR 255, n being
// the Windows-1252 code of the input character there. A character outside
// the code page counts as '?', a malformed byte as its own value. The result
// is UTF-8.
std::string Encrypt(const std::string& text);

}  // namespace modEncryption
