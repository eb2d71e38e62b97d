// Imports into a database on a server (the test server of
// tests/db/with-databases.sh): several at once, and a server that is gone
// before or during the run.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
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
  const std::string inTurn = s.odbc;
  ASSERT_TRUE(e2e::OnServer(s, "at_once"));
  const std::string atOnce = s.odbc;
  const std::vector<std::pair<std::string, std::string>> runs = {{"5", "data"},    {"0", "data"},
                                                                 {"1", "private"}, {"5", "data"},
                                                                 {"1", "private"}, {"0", "data"}};
  const Rows checks = {
      "SELECT LenderDBID, LenderName, Email FROM Lenders ORDER BY 1, 2, 3",
      "SELECT Line, Across, FunctionKey, Title, Data FROM resp ORDER BY 1, 2, 3, 4"};
  std::map<std::string, std::vector<std::future<e2e::RunResult>>> results;
  for (const std::string& database : {inTurn, atOnce}) {
    ASSERT_EQ(e2e::Run(INGESTOR_SAMPLE_HOST, {"--tables", database}, s.env).status, 0);
    for (std::size_t i = 0; i < runs.size(); ++i) {
      // Each run its own output folder: two runs cannot share one.
      const std::string output =
          s.world.Native((database == atOnce ? "at" : "in") + std::to_string(i));
      const Rows args = {"--type",      runs[i].first,
                         "--extractor", INGESTOR_SAMPLE_EXTRACTOR,
                         "--source",    s.world.Native("host/" + runs[i].second),
                         "--output",    output,
                         "--odbc",      database};
      results[database].push_back(std::async(
          std::launch::async, [&, args] { return e2e::Run(INGESTOR_BINARY, args, s.env); }));
      if (database == inTurn) results[database].back().wait();
    }
  }
  for (std::size_t i = 0; i < runs.size(); ++i)
    EXPECT_EQ(results[atOnce][i].get().status, results[inTurn][i].get().status) << i;
  for (const std::string& sql : checks) {
    s.odbc = inTurn;
    const Rows expected = s.Query(sql);
    EXPECT_GE(expected.size(), 3u) << sql;
    s.odbc = atOnce;
    EXPECT_EQ(s.Query(sql), expected) << sql;
  }
}

// A server that cannot be reached ends the run before anything is touched; a
// row refused among many written at once is refused alone, as row by row; a
// server that ends the session mid-file leaves every committed file and
// nothing of the file it was writing.
TEST(Server, RefusalsAndFailures) {
  struct Case {
    const char* name;
    std::string connection;                   // "" : a new database with the templates' tables
    std::string setup;                        // SQL run there first
    std::function<void(e2e::Scene&)> during;  // while the run waits for the test's row lock
    int status;
    Rows logged;
    std::string said;
    std::vector<std::pair<std::string, Rows>> checks;
  };
  // Terminates the run's session once it waits for a row the test holds.
  const auto terminate = [](e2e::Scene& s) {
    for (int i = 0; i < 600; ++i) {
      if (!s.Query("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = "
                   "current_database() AND wait_event_type = 'Lock'")
               .empty())
        return;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ADD_FAILURE() << "the run never waited for the locked row";
  };
  const std::vector<Case> cases = {
      {"unreachable",
       "DRIVER={SQL Server};Server=127.0.0.1;Port=1;Database=none;",
       "",
       nullptr,
       1,
       {"Failed to connect to database, import aborted.", "!Created backup folder"},
       "Connection refused",
       {}},
      {"refused",
       "",
       "ALTER TABLE ZazOzurs ADD CHECK (Price <> 199900)",
       nullptr,
       3,
       {"Rejected record 3 of file 'xcomps.dat.tmp' at byte 1272: the database refused the row",
        "File 'xcomps.dat.tmp': 3 read, 2 added, 0 overwritten, 0 kept, 1 rejected."},
       "1 record(s) rejected",
       {{"SELECT COUNT(*) FROM ZazOzurs", {"3"}}}},
      // The supplement file updates the rows the test holds; the main file
      // before it has committed three new rows.
      {"killed",
       "",
       "",
       terminate,
       1,
       {"File 'xcomps.dat.tmp': 3 read, 3 added", "The database cannot be used",
        "!Import finished"},
       "The database cannot be used",
       {{"SELECT COUNT(*) FROM ZazOzurs", {"7"}},
        {"SELECT COUNT(*) FROM ZazOzurs WHERE PhotoID = 'P7'", {"3"}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    e2e::Scene s;
    s.SampleHost();
    if (!e2e::OnServer(s, "failures")) GTEST_SKIP() << "needs tests/db/with-databases.sh";
    ASSERT_EQ(e2e::Run(INGESTOR_SAMPLE_HOST, {"--tables", s.odbc}, s.env).status, 0);
    if (!c.setup.empty()) s.Query(c.setup);
    s.env.push_back("INGESTOR_ALLOW_COMPARABLES=1");
    std::tie(s.type, s.source) = std::pair("7", "host/data");
    std::unique_ptr<db::Backend> holder;
    std::string error;
    if (c.during) {
      ASSERT_EQ(s.Go().status, 3);  // the sample's last main record is cut short
      s.output = "out2";
      holder = s.Open();
      ASSERT_TRUE(holder && holder->Begin(error) &&
                  holder->Execute("UPDATE ZazOzurs SET Price = Price", error))
          << error;
    }
    if (!c.connection.empty()) s.odbc = c.connection;
    auto run = std::async(std::launch::async, [&s] { return s.Go(); });
    if (c.during) c.during(s);
    const e2e::RunResult r = run.get();
    holder.reset();
    e2e::Expect(r, s.Log(), c.status, c.logged, c.said);
    for (const auto& [sql, rows] : c.checks) EXPECT_EQ(s.Query(sql), rows) << sql;
  }
}

}  // namespace
