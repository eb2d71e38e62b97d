// Imports into a database on the test server: several at once, refusals and failures.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "e2e/RunProgram.h"

namespace {

using e2e::Rows;

// Overlapping lenders and responses imported by six runs at once leave the
// rows and statuses of the same six runs one after the other.
TEST(Server, ImportsAtOnceLeaveTheRowsOfImportsInTurn) {
  e2e::Scene s;
  s.SampleHost();
  if (!e2e::OnServer(s, "in_turn")) GTEST_SKIP() << "needs tests/db/with-databases.sh";
  const std::string inTurn = s.odbc, atOnce = e2e::OnServer(s, "at_once") ? s.odbc : "";
  const Rows types = {"5", "0", "1", "5", "1", "0"};  // lenders, responses, private responses
  const Rows checks = {
      "SELECT LenderDBID, LenderName, Email FROM Lenders ORDER BY 1, 2, 3",
      "SELECT Line, Across, FunctionKey, Title, Data FROM resp ORDER BY 1, 2, 3, 4"};
  std::map<std::string, std::vector<std::future<e2e::RunResult>>> results;
  for (const std::string& database : {inTurn, atOnce}) {
    for (std::size_t i = 0; i < types.size(); ++i) {
      std::tie(s.odbc, s.type, s.source, s.output) =
          std::tuple(database, types[i], types[i] == "1" ? "host/private" : "host/data",
                     (database == atOnce ? "at" : "in") + std::to_string(i));
      results[database].push_back(std::async(std::launch::async, [&, args = s.Args()] {
        return e2e::Run(INGESTOR_BINARY, args, s.env);
      }));
      if (database == inTurn) results[database].back().wait();
    }
  }
  for (std::size_t i = 0; i < types.size(); ++i)
    EXPECT_EQ(results[atOnce][i].get().status, results[inTurn][i].get().status) << i;
  const auto rows = [&](const std::string& database, const std::string& sql) {
    s.odbc = database;
    return s.Query(sql);
  };
  for (const std::string& sql : checks) EXPECT_EQ(rows(atOnce, sql), rows(inTurn, sql)) << sql;
}

// An unreachable server ends the run before anything is touched; a row refused
// among many written at once is refused alone; a session ended mid-file leaves
// every committed file and nothing of the file it was writing.
TEST(Server, RefusalsAndFailures) {
  struct Case {
    const char* name;
    std::string connection, setup;  // "": a new database; SQL run there first
    bool killed;                    // mid-file, while the run waits for a row the test holds
    int status;
    Rows logged;
    std::string said;
    std::vector<std::pair<std::string, Rows>> checks;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"unreachable", "DRIVER={SQL Server};Server=127.0.0.1;Port=1;Database=none;", "", false, 1,
       {"Failed to connect to database, import aborted.", "!Created backup folder"},
       "Connection refused", {}},
      {"refused", "", "ALTER TABLE ZazOzurs ADD CHECK (Price <> 199900)", false, 3,
       {"The database is on a server: back it up with the server's own tools.",
        "Rejected record 3 of file 'xcomps.dat.tmp' at byte 1272: the database refused the row",
        "File 'xcomps.dat.tmp': 3 read, 2 added, 0 overwritten, 0 kept, 1 rejected."},
       "1 record(s) rejected", {{"SELECT COUNT(*) FROM ZazOzurs", {"3"}}}},
      // The main file commits 3 rows; the supplement then waits for rows the test holds.
      {"killed", "", "", true, 1,
       {"File 'xcomps.dat.tmp': 3 read, 3 added", "The database cannot be used",
        "!Import finished"}, "The database cannot be used",
       {{"SELECT COUNT(*) FROM ZazOzurs", {"7"}},
        {"SELECT COUNT(*) FROM ZazOzurs WHERE PhotoID = 'P7'", {"3"}}}},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    e2e::Scene s;
    s.SampleHost();
    if (!e2e::OnServer(s, "failures")) GTEST_SKIP() << "needs tests/db/with-databases.sh";
    if (!c.setup.empty()) s.Query(c.setup);
    std::tie(s.type, s.source) = std::pair("7", "host/data");
    std::unique_ptr<db::Backend> holder;
    std::string error;
    if (c.killed) {
      ASSERT_EQ(s.Go().status, 3);  // the sample's last main record is cut short
      s.output = "out2";
      holder = s.Open();
      ASSERT_TRUE(holder && holder->Begin(error) &&
                  holder->Execute("UPDATE ZazOzurs SET Price = Price", error))
          << error;
    }
    if (!c.connection.empty()) s.odbc = c.connection;
    auto run = std::async(std::launch::async, [&s] { return s.Go(); });
    // The run's session is ended once it waits for a row the test holds.
    for (int i = 0; c.killed && i < 600 &&
                    s.Query("SELECT pg_terminate_backend(pid) FROM "
                            "pg_stat_activity WHERE wait_event_type = "
                            "'Lock' AND datname = current_database()")
                        .empty();
         ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    holder.reset();  // a run that was not ended goes on, and fails below
    const e2e::RunResult r = run.get();
    e2e::Expect(r, s.Log(), c.status, c.logged, c.said);
    for (const auto& [sql, rows] : c.checks) EXPECT_EQ(s.Query(sql), rows) << sql;
  }
}

}  // namespace
