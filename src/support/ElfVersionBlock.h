// The version block our native executables embed (see VersionBlock.h), read
// back from an ELF64 little-endian file: the section headers (e_shoff,
// e_shentsize, e_shnum) and their names (section e_shstrndx) lead to the
// ".ingestor.version" section, whose entries are then split.
//
// Every offset and length found in the file is checked before use; a
// truncated or malformed file, or one without the section, gives nullopt.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Env.h"

namespace support {

using VersionEntries = std::vector<std::pair<std::string, std::string>>;

// The "Name=Value" entries of a block's bytes, in order, split at the first
// '='; nullopt unless the bytes start with the tag and its NUL and hold an
// empty entry that ends the list. Bytes after that entry are ignored (the
// section may be padded); an entry without '=' is skipped.
std::optional<VersionEntries> ParseVersionBlock(std::string_view bytes);

// The entries of the block in `file`; nullopt when `file` is no ELF64
// little-endian file, has no such section or the block is malformed.
std::optional<VersionEntries> ReadElfVersionBlock(platform::ReadableFile& file);

}  // namespace support
