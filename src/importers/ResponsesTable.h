// The table a common-responses output file loads into.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace importers {

// The file's name up to its first "." (the whole name without one); compared
// without regard to case, "TEXT" gets "A" appended and "TEXTB" becomes
// "TEXTA", so the host's three text sets share one table.
std::string ResponsesTableName(const std::string& fileName);

inline constexpr std::size_t kMaxTableName = 64;

// True when `name` can name a table made from a file's name: 1 to 64 ASCII
// letters, digits and underscores. Nothing else taken from a file reaches SQL
// as a name.
bool IsTableName(std::string_view name);

}  // namespace importers
