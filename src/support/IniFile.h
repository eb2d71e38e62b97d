// A parsed INI file and the cache of parsed files behind modINIFile.
//
// Parsing follows the system's private-profile rules: a "[name]" line opens a
// section (name trimmed, text after ']' ignored); a "key = value" line belongs
// to the section above it (lines before the first section belong to none);
// names and values are trimmed of spaces and tabs; a value in one pair of
// matching quotes (" or ') loses them; lines whose first non-blank character is
// ';' are comments and lines without '=' are not keys. CR LF and LF both end a
// line, and a UTF-8 byte-order mark is skipped. Bytes are Windows-1252 unless
// the whole file is valid UTF-8; names and values are kept as UTF-8.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/Env.h"

namespace support {

struct IniKey {
  std::string name;
  std::string value;
};

struct IniSection {
  std::string name;
  std::vector<IniKey> keys;  // in file order, duplicates included
};

class IniFile {
 public:
  static IniFile Parse(std::string_view bytes);

  // The first section of that name, compared without regard to case; nullptr
  // when there is none.
  const IniSection* FindSection(std::string_view name) const;
  // The first key of that name in `section`, compared without regard to case.
  static const IniKey* FindKey(const IniSection& section, std::string_view name);

  const std::vector<IniSection>& sections() const { return sections_; }

 private:
  // Same for every two names equal without regard to case (letters lowered,
  // each byte of a multi-byte character as one mark: the letters that fold
  // together have UTF-8 sequences of the same length).
  static std::string RoughKey(std::string_view name);

  std::vector<IniSection> sections_;  // in file order, duplicates included
  // The sections by rough key, in file order, so a lookup in a file of many
  // sections compares only a few names.
  std::unordered_map<std::string, std::vector<std::size_t>> byRoughKey_;
};

// Where the INI file `path` (program form) is read from: a bare file name
// is looked for in the Windows folder, as the system does.
std::string LocateIniFile(platform::Env& env, const std::string& path);

// The parsed file at `path` (program form). A file name without a folder is
// looked for in the Windows folder, as the system does. The parse is kept and
// re-used while env.Stat reports the same size, modification time and file
// identity. nullptr when the file is missing or cannot be read.
std::shared_ptr<const IniFile> LoadCachedIniFile(platform::Env& env, const std::string& path);

// Forgets every parsed file.
void ClearIniFileCache();

}  // namespace support
