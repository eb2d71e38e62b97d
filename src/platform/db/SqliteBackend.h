// The embedded database: SQLite on a file.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/db/Backend.h"

namespace db {

// Opens the existing SQLite database at `nativePath` (a missing file is an
// error, never silently created); nullptr with the reason in `errors` when it
// cannot be opened or is not a database of this engine.
std::unique_ptr<Backend> OpenSqlite(const std::string& nativePath,
                                    std::vector<std::string>& errors);

}  // namespace db
