// The three routes a connection can take, for suites that must behave the
// same on each: the embedded engine, SQLite through ODBC, and PostgreSQL
// through ODBC. The ODBC routes need the private driver configuration and the
// server that tests/db/with-databases.sh provides (it sets
// INGESTOR_TEST_ODBCSYSINI); without it those routes are skipped, unless
// INGESTOR_TEST_ALL_BACKENDS=1 demands them.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "doubles/TestWorld.h"
#include "platform/db/Connect.h"

namespace testing_doubles {

enum class Route { Embedded, SqliteOdbc, PostgresOdbc };

inline const char* RouteName(Route r) {
  return r == Route::Embedded ? "Embedded" : r == Route::SqliteOdbc ? "SqliteOdbc" : "PostgresOdbc";
}

// Points unixODBC at a driver configuration for the lifetime of the object:
// the private one for the ODBC routes, an empty one for the embedded route (so
// no installed driver takes the Access form away from the embedded engine).
class ScopedOdbcConfig {
 public:
  explicit ScopedOdbcConfig(const std::string& folder) {
    if (const char* old = std::getenv("ODBCSYSINI")) old_ = old;
    ::setenv("ODBCSYSINI", folder.c_str(), 1);
  }
  ~ScopedOdbcConfig() {
    if (old_)
      ::setenv("ODBCSYSINI", old_->c_str(), 1);
    else
      ::unsetenv("ODBCSYSINI");
  }

 private:
  std::optional<std::string> old_;
};

// Prepares `route` in `world`: returns the connection string to use, or ""
// when the route is not available here (the caller skips; `why` says why, and
// `required` whether INGESTOR_TEST_ALL_BACKENDS=1 demands the route anyway).
// The driver manager reads its configuration once per process, so one process
// can take only one side: with the Access driver registered (ODBC routes) or
// without (embedded). ctest runs every test in a process of its own; a whole
// suite run in one process skips the routes it cannot take.
inline std::string PrepareRoute(Route route, TestWorld& world,
                                std::optional<ScopedOdbcConfig>& config, std::string& why,
                                bool& required) {
  const char* privateConfig = std::getenv("INGESTOR_TEST_ODBCSYSINI");
  const char* all = std::getenv("INGESTOR_TEST_ALL_BACKENDS");
  required = false;
  if (route != Route::Embedded && privateConfig == nullptr) {
    why = "ODBC routes need tests/db/with-databases.sh";
    required = all != nullptr && std::string(all) == "1";
    return "";
  }
  if (route == Route::Embedded) world.MakeFolder("empty-odbc");
  config.emplace(route == Route::Embedded ? world.Native("empty-odbc") : privateConfig);
  const bool access = db::OdbcDriverInstalled("Microsoft Access Driver (*.mdb)");
  if (route == Route::PostgresOdbc ? !db::OdbcDriverInstalled("SQL Server")
                                   : access != (route == Route::SqliteOdbc)) {
    why = "this process already read another ODBC configuration (run it under ctest)";
    return "";
  }
  if (route == Route::PostgresOdbc)
    return "DRIVER={SQL Server};Server=127.0.0.1;Database=ingestor_test;UID=postgres;PWD=;";
  world.Write("test.mdb", "");  // an empty file is an empty database
  return "DRIVER={Microsoft Access Driver (*.mdb)};DBQ=" + world.Program("test.mdb") +
         ";DefaultDir=" + world.Program() + "\\;UID=;PWD=;";
}
}  // namespace testing_doubles
