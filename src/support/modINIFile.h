// Reading INI files with the system's private-profile semantics: sections and
// keys compare without regard to case, the first match wins, surrounding
// spaces are trimmed, a value in one pair of matching quotes loses them,
// lines starting with ';' are comments, CR LF and LF both end lines. Bytes are
// Windows-1252 (a file that is entirely valid UTF-8 is taken as UTF-8); values
// come back as UTF-8. Parsed files are cached by path and re-read when their
// size, modification time or file identity changes, so a per-row lookup costs
// no file read. A file name without a folder is looked for in the Windows
// folder. A missing or unreadable file is ordinary absence, not a failure.
// Nothing here writes INI files.
#pragma once

#include <string>

#include "platform/Context.h"

namespace modINIFile {

// The longest value returned, in characters; longer values are cut.
inline constexpr std::size_t kMaxValue = 254;

// The value of `key` in `section` of `file`, cut to kMaxValue characters;
// `defaultValue` when the file, section or key is missing or the value empty.
std::string GetINIString(const platform::Context& ctx, const std::string& section,
                         const std::string& key, const std::string& defaultValue,
                         const std::string& file);
// The key names of `section` in file order (duplicates included), each
// followed by a NUL character; "" when the file or section is missing or
// empty. The list holds at most 32766 characters and ends at a whole name.
std::string GetINIFileSection(const platform::Context& ctx, const std::string& file,
                              const std::string& section);

// Forgets every cached file (tests and long-running windows).
void ClearINICache();

}  // namespace modINIFile
