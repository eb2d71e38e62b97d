// Opening a backend from a connection string of the host's two forms:
//   DRIVER={Microsoft Access Driver (*.mdb)};DBQ=file;DefaultDir=folder;UID=;PWD=;
//   DRIVER={SQL Server};Server=s;Database=d;UID=u;PWD=p;
// The SQL Server form always goes to ODBC. The Access form goes to ODBC when
// unixODBC has a driver installed under that name, and otherwise opens an
// embedded SQLite database at the DBQ path (the .mdb name is kept).
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/db/Backend.h"

namespace db {

// The KEY=value pairs of a connection string, keys upper-cased; braces around
// a value are removed ("}}" inside them stands for "}"), other values trimmed.
std::map<std::string, std::string> ParseConnectionString(const std::string& text);

// `value` as a connection string carries it: unchanged when it is plain,
// else in braces with every "}" doubled (a ';', '{' or '}' in it, or a space
// at either end), so a path can never end the pair early or add another.
std::string ConnectionValue(const std::string& value);

// True when unixODBC lists an installed driver of exactly this name.
bool OdbcDriverInstalled(const std::string& name);

// Opens the database. `nativePath` converts a program-form path (the DBQ
// value) into the path the system opens. On failure returns nullptr and adds
// the driver's messages to `errors`.
std::unique_ptr<Backend> OpenBackend(
    const std::string& connectionString,
    const std::function<std::string(const std::string&)>& nativePath,
    std::vector<std::string>& errors);

}  // namespace db
