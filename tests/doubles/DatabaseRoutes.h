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
  switch (r) {
    case Route::Embedded:
      return "Embedded";
    case Route::SqliteOdbc:
      return "SqliteOdbc";
    case Route::PostgresOdbc:
      return "PostgresOdbc";
  }
  return "?";
}

// True when the environment provides what `route` needs.
inline bool RouteConfigured(Route route) {
  return route == Route::Embedded || std::getenv("INGESTOR_TEST_ODBCSYSINI") != nullptr;
}

inline bool AllRoutesRequired() {
  const char* v = std::getenv("INGESTOR_TEST_ALL_BACKENDS");
  return v != nullptr && std::string(v) == "1";
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

// The connection string of `route` with its ODBC configuration in place; ""
// when the route needs tests/db/with-databases.sh and it did not run.
inline std::string PrepareRouteUnchecked(Route route, TestWorld& world,
                                         std::optional<ScopedOdbcConfig>& config) {
  const char* privateConfig = std::getenv("INGESTOR_TEST_ODBCSYSINI");
  switch (route) {
    case Route::Embedded: {
      world.MakeFolder("empty-odbc");
      config.emplace(world.Native("empty-odbc"));
      world.Write("test.mdb", "");  // an empty file is an empty database
      return "DRIVER={Microsoft Access Driver (*.mdb)};DBQ=" + world.Program("test.mdb") +
             ";DefaultDir=" + world.Program() + "\\;UID=;PWD=;";
    }
    case Route::SqliteOdbc:
      if (privateConfig == nullptr) return "";
      config.emplace(privateConfig);
      world.Write("test.mdb", "");
      return "DRIVER={Microsoft Access Driver (*.mdb)};DBQ=" + world.Program("test.mdb") +
             ";DefaultDir=" + world.Program() + "\\;UID=;PWD=;";
    case Route::PostgresOdbc:
      if (privateConfig == nullptr) return "";
      config.emplace(privateConfig);
      return "DRIVER={SQL Server};Server=127.0.0.1;Database=ingestor_test;UID=postgres;PWD=;";
  }
  return "";
}

// The driver manager reads its configuration once per process, so one
// process can take only one side: with the Access driver registered (ODBC
// routes) or without (embedded). ctest runs every test in a process of its
// own; a whole suite run in one process skips the routes it cannot take.
inline bool RouteReachable(Route route) {
  bool access = db::OdbcDriverInstalled("Microsoft Access Driver (*.mdb)");
  switch (route) {
    case Route::Embedded:
      return !access;
    case Route::SqliteOdbc:
      return access;
    case Route::PostgresOdbc:
      return db::OdbcDriverInstalled("SQL Server");
  }
  return false;
}

// Prepares `route` in `world`: returns the connection string to use, or ""
// when the route is not available here (the caller skips; `why` says why).
inline std::string PrepareRoute(Route route, TestWorld& world,
                                std::optional<ScopedOdbcConfig>& config, std::string& why) {
  std::string cs = PrepareRouteUnchecked(route, world, config);
  if (cs.empty()) {
    why = "ODBC routes need tests/db/with-databases.sh";
  } else if (!RouteReachable(route)) {
    why = "this process already read another ODBC configuration (run it under ctest)";
    cs.clear();
  }
  return cs;
}
}  // namespace testing_doubles
