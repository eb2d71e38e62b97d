// The table a common-responses output file loads into.
#pragma once

#include <string>

namespace importers {

// The file's name up to its first "." (the whole name without one); compared
// without regard to case, "TEXT" gets "A" appended and "TEXTB" becomes
// "TEXTA", so the host's three text sets share one table.
std::string ResponsesTableName(const std::string& fileName);

}  // namespace importers
