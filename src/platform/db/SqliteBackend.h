// The embedded database: SQLite on a file.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/Backend.h"

namespace db {

// Opens the existing SQLite database at `nativePath` (a missing file is an
// error, never silently created); nullptr with the reason in `errors` when it
// cannot be opened or is not a database of this engine.
std::unique_ptr<Backend> OpenSqlite(const std::string& nativePath,
                                    std::vector<std::string>& errors);

// A database held in memory only, starting as a copy of `image` (the bytes of
// a database file) and gone with the backend. For code that runs many short
// imports and throws each result away (the fuzz harnesses): no file is
// written, so starting afresh costs a copy of the bytes.
std::unique_ptr<Backend> OpenSqliteImage(std::string_view image, std::vector<std::string>& errors);

}  // namespace db
