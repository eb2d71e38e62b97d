// Databases reached through unixODBC.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/db/Backend.h"

namespace db {

// Connects with the connection string as given; nullptr with every
// diagnostic record's message in `errors` when the connection fails. The
// dialect is taken from the DBMS name the driver reports.
std::unique_ptr<Backend> OpenOdbc(const std::string& connectionString,
                                  std::vector<std::string>& errors);

// One statement text is one statement: false when anything but white space
// or comments follows a ';' that stands outside quotes, names and comments.
bool HoldsOneStatement(const std::string& sql);

}  // namespace db
