// The ODBC backend against real drivers: SQLite through its ODBC driver and a
// PostgreSQL server through psqlODBC, both provided by tests/db/with-databases.sh.
// Without that environment the suite is skipped, unless
// INGESTOR_TEST_ALL_BACKENDS=1 demands every route.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/db/Backend.h"
#include "platform/db/Connect.h"
#include "platform/db/OdbcBackend.h"

namespace {

using db::ColumnKind;
using db::Dialect;
using db::StepResult;
using db::Value;

constexpr const char* kAccessDriver = "Microsoft Access Driver (*.mdb)";
constexpr const char* kServerDriver = "SQL Server";

enum class Route { SqliteOdbc, PostgresOdbc };

bool AllBackendsRequired() {
  const char* v = std::getenv("INGESTOR_TEST_ALL_BACKENDS");
  return v != nullptr && std::string(v) == "1";
}

// What keeps the ODBC routes from running in this process, if anything.
// unixODBC reads ODBCSYSINI once per process, at its first lookup, so the
// private configuration is put in place before any ODBC call (one already
// chosen is left alone). A process that has already read another one, as a
// whole suite run in one process may have, cannot see the test drivers; that
// is skipped rather than failed, since ctest runs each test on its own.
enum class Unavailable { No, NotProvided, OtherConfiguration };
Unavailable TestDriversUnavailable() {
  const char* folder = std::getenv("INGESTOR_TEST_ODBCSYSINI");
  if (folder == nullptr || *folder == '\0') return Unavailable::NotProvided;
  ::setenv("ODBCSYSINI", folder, 0);
  ::setenv("ODBCINI", (std::string(folder) + "/odbc.ini").c_str(), 0);
  if (!db::OdbcDriverInstalled(kAccessDriver) && !db::OdbcDriverInstalled(kServerDriver))
    return Unavailable::OtherConfiguration;
  return Unavailable::No;
}

// Skips or fails (when every route is demanded) a test the environment
// cannot serve; returns from the test or fixture set-up when it does.
#define REQUIRE_TEST_DRIVERS()                                                        \
  switch (TestDriversUnavailable()) {                                                 \
    case Unavailable::NotProvided:                                                    \
      if (AllBackendsRequired()) FAIL() << "INGESTOR_TEST_ODBCSYSINI is not set";     \
      GTEST_SKIP() << "the ODBC routes need tests/db/with-databases.sh";              \
    case Unavailable::OtherConfiguration:                                             \
      GTEST_SKIP() << "this process already read another ODBC configuration (run it " \
                      "under ctest)";                                                 \
    case Unavailable::No:                                                             \
      break;                                                                          \
  }

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Joined(const std::vector<std::string>& messages) {
  std::string all;
  for (const std::string& m : messages) all += (all.empty() ? "" : " | ") + m;
  return all;
}

// A fresh folder for the SQLite database files of one test.
std::string MakeTempFolder() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "ingestor-odbc-XXXXXX").string();
  return ::mkdtemp(tmpl.data()) ? tmpl : std::string();
}

// Reads the single value a query returns; NULL when it returns no row.
Value Scalar(db::Backend& backend, const std::string& sql) {
  std::string error;
  auto statement = backend.Prepare(sql, error);
  EXPECT_NE(statement, nullptr) << sql << ": " << error;
  if (!statement) return Value::Null();
  StepResult step = statement->Step();
  EXPECT_NE(step, StepResult::Error) << sql << ": " << statement->error();
  return step == StepResult::Row ? statement->Column(0) : Value::Null();
}

double CountRows(db::Backend& backend, const std::string& table) {
  return Scalar(backend, "SELECT COUNT(*) FROM " + table).ToNumber().value_or(-1);
}

class OdbcBackendTest : public ::testing::TestWithParam<Route> {
 protected:
  void SetUp() override {
    REQUIRE_TEST_DRIVERS();
    const bool required = AllBackendsRequired();
    folder_ = MakeTempFolder();
    ASSERT_FALSE(folder_.empty());
    connectionString_ = ConnectionString(GetParam());
    if (connectionString_.empty()) {
      if (required) FAIL() << "INGESTOR_TEST_PG_PORT is not set";
      GTEST_SKIP() << "no PostgreSQL server given";
    }
    std::vector<std::string> errors;
    backend_ = db::OpenOdbc(connectionString_, errors);
    if (!backend_) {
      if (required) FAIL() << connectionString_ << ": " << Joined(errors);
      GTEST_SKIP() << connectionString_ << ": " << Joined(errors);
    }
    // The server keeps tables between runs: each test owns the names it uses.
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    table_ = "odbc_" + Lower(name.substr(0, name.find('/')));
    DropTables();
  }

  void TearDown() override {
    if (!connectionString_.empty() && backend_ == nullptr) {
      std::vector<std::string> errors;
      backend_ = db::OpenOdbc(connectionString_, errors);
    }
    if (backend_) DropTables();
    backend_.reset();
    if (!folder_.empty()) {
      std::error_code ec;
      std::filesystem::remove_all(folder_, ec);
    }
  }

  std::string ConnectionString(Route route) const {
    if (route == Route::SqliteOdbc)
      return std::string("DRIVER={") + kAccessDriver + "};Database=" + folder_ + "/test.db;";
    const char* port = std::getenv("INGESTOR_TEST_PG_PORT");
    if (port == nullptr || *port == '\0') return "";
    return std::string("DRIVER={") + kServerDriver + "};Server=127.0.0.1;Port=" + port +
           ";Database=ingestor_test;UID=postgres;PWD=;";
  }

  bool IsPostgres() const { return GetParam() == Route::PostgresOdbc; }

  void DropTables() {
    std::string error;
    backend_->Execute("DROP TABLE IF EXISTS " + table_, error);
  }

  void Run(const std::string& sql) {
    std::string error;
    ASSERT_TRUE(backend_->Execute(sql, error)) << sql << ": " << error;
  }

  std::unique_ptr<db::Statement> Prepare(const std::string& sql) {
    std::string error;
    auto statement = backend_->Prepare(sql, error);
    EXPECT_NE(statement, nullptr) << sql << ": " << error;
    return statement;
  }

  std::unique_ptr<db::Backend> OpenAnother() {
    std::vector<std::string> errors;
    auto other = db::OpenOdbc(connectionString_, errors);
    EXPECT_NE(other, nullptr) << Joined(errors);
    return other;
  }

  std::string folder_;
  std::string connectionString_;
  std::unique_ptr<db::Backend> backend_;
  std::string table_;
};

TEST_P(OdbcBackendTest, RoundTripsEveryKindOfValue) {
  EXPECT_EQ(backend_->dialect(), IsPostgres() ? Dialect::PostgreSQL : Dialect::SQLite);

  Run("CREATE TABLE " + table_ + " (id INTEGER, n BIGINT, r " +
      (IsPostgres() ? "DOUBLE PRECISION" : "REAL") + ", s TEXT, d DATE)");
  // 10,000 characters, every seventh a two-byte one, so that the pieces in
  // which long text is read end inside a character somewhere.
  std::string longText;
  for (int i = 0; i < 10000; ++i)
    longText += (i % 7 == 6) ? "\xC3\xA9" : std::string(1, 'a' + i % 26);
  const std::string quoted = "O'Brien's caf\xC3\xA9 \xC3\xA9t\xC3\xA9";

  auto insert = Prepare("INSERT INTO " + table_ + " (id, n, r, s, d) VALUES (?, ?, ?, ?, ?)");
  ASSERT_NE(insert, nullptr);
  const std::vector<std::vector<Value>> rows = {
      {Value::Integer(1), Value::Null(), Value::Null(), Value::Null(), Value::Null()},
      {Value::Integer(2), Value::Integer(5'000'000'000), Value::Real(3.25), Value::Text(quoted),
       Value::Text("2024-02-29")},
      {Value::Integer(3), Value::Integer(-42), Value::Real(-0.5), Value::Text(longText),
       Value::Text("1999-12-31")},
      {Value::Integer(4), Value::Integer(0), Value::Real(0), Value::Text(""), Value::Null()},
  };
  for (const auto& row : rows) {
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(insert->Bind(i + 1, row[i])) << insert->error();
    ASSERT_EQ(insert->Step(), StepResult::Done) << insert->error();
    ASSERT_TRUE(insert->Reset()) << insert->error();
  }

  auto select = Prepare("SELECT id, n, r, s, d FROM " + table_ + " ORDER BY id");
  ASSERT_NE(select, nullptr);
  for (const auto& row : rows) {
    ASSERT_EQ(select->Step(), StepResult::Row) << select->error();
    ASSERT_EQ(select->ColumnCount(), 5);
    for (int i = 0; i < 5; ++i) {
      Value got = select->Column(i);
      // Read twice and out of order: the row is the driver's, not a cursor position.
      EXPECT_EQ(select->Column(i), got);
      EXPECT_EQ(got, row[i]) << "row " << row[0].integer() << ", column " << select->ColumnName(i)
                             << ": " << got.ToText().substr(0, 80);
    }
  }
  EXPECT_EQ(select->Step(), StepResult::Done);

  const std::vector<std::string> names = {"id", "n", "r", "s", "d"};
  const std::vector<ColumnKind> kinds = {ColumnKind::Integer, ColumnKind::Integer, ColumnKind::Real,
                                         ColumnKind::Text, ColumnKind::Date};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(Lower(select->ColumnName(i)), names[i]);
    EXPECT_EQ(select->ColumnType(i), kinds[i]) << names[i];
  }
  EXPECT_EQ(select->ColumnName(5), "");
  EXPECT_TRUE(select->Column(7).IsNull());
}

TEST_P(OdbcBackendTest, ColumnKindsFollowTheDeclaredTypes) {
  // SQLite keeps the names columns were declared with: BIT and YESNO are truth
  // columns (YESNO whatever storage its driver guesses for a name it does not
  // know), as on the embedded engine. The server stores truth values in SMALLINT.
  if (IsPostgres())
    Run("CREATE TABLE " + table_ + " (id INTEGER, b SMALLINT, d TIMESTAMP, m NUMERIC(10,2))");
  else
    Run("CREATE TABLE " + table_ + " (id INTEGER, b BIT, d DATETIME, m NUMERIC(10,2), y YESNO)");
  const std::string y = IsPostgres() ? "" : ", y";
  Run("INSERT INTO " + table_ + " (id, b, d, m" + y + ") VALUES (1, -1, '2001-02-03 04:05:06', " +
      "12.5" + (IsPostgres() ? "" : ", -1") + ")");
  Run("INSERT INTO " + table_ + " (id, b, d, m" + y + ") VALUES (2, 0, NULL, NULL" +
      (IsPostgres() ? "" : ", 0") + ")");
  auto select = Prepare("SELECT b, d, m" + y + " FROM " + table_ + " ORDER BY id");
  ASSERT_NE(select, nullptr);
  EXPECT_EQ(select->ColumnType(0), IsPostgres() ? ColumnKind::Integer : ColumnKind::Bit);
  EXPECT_EQ(select->ColumnType(1), ColumnKind::Date);
  EXPECT_EQ(select->ColumnType(2), ColumnKind::Real);
  if (!IsPostgres()) {
    EXPECT_EQ(select->ColumnType(3), ColumnKind::Bit);
  }

  ASSERT_EQ(select->Step(), StepResult::Row) << select->error();
  EXPECT_EQ(select->Column(0), Value::Integer(-1));  // true is -1, as the host stores it
  EXPECT_EQ(select->Column(1), Value::Text("2001-02-03 04:05:06"));
  EXPECT_EQ(select->Column(2), Value::Real(12.5));
  if (!IsPostgres()) {
    EXPECT_EQ(select->Column(3), Value::Bool(true));
  }
  ASSERT_EQ(select->Step(), StepResult::Row) << select->error();
  EXPECT_EQ(select->Column(0), Value::Integer(0));
  EXPECT_TRUE(select->Column(1).IsNull());
  EXPECT_TRUE(select->Column(2).IsNull());

  if (!IsPostgres()) {
    // A truth column holding 1 (written by another program) still reads as true.
    Run("UPDATE " + table_ + " SET b = 1, y = 1 WHERE id = 2");
    ASSERT_TRUE(select->Reset());
    ASSERT_EQ(select->Step(), StepResult::Row);
    ASSERT_EQ(select->Step(), StepResult::Row);
    EXPECT_EQ(select->Column(0), Value::Bool(true));
    EXPECT_EQ(select->Column(3), Value::Bool(true));
  }
}

TEST_P(OdbcBackendTest, PreparedStatementsAreReusedWithNewBindings) {
  Run("CREATE TABLE " + table_ + " (k INTEGER, s VARCHAR(50))");
  auto insert = Prepare("INSERT INTO " + table_ + " (k, s) VALUES (?, ?)");
  ASSERT_NE(insert, nullptr);
  for (int k = 1; k <= 3; ++k) {
    ASSERT_TRUE(insert->Bind(1, Value::Integer(k)));
    ASSERT_TRUE(insert->Bind(2, Value::Text("row " + std::to_string(k))));
    ASSERT_EQ(insert->Step(), StepResult::Done) << insert->error();
    ASSERT_TRUE(insert->Reset());
  }
  // Reset keeps the bindings: only the first changes.
  ASSERT_TRUE(insert->Bind(1, Value::Integer(4)));
  ASSERT_EQ(insert->Step(), StepResult::Done) << insert->error();
  EXPECT_EQ(insert->Step(), StepResult::Done);  // no second row from one run
  EXPECT_EQ(CountRows(*backend_, table_), 4);

  EXPECT_FALSE(insert->Bind(0, Value::Integer(1)));
  EXPECT_FALSE(insert->Bind(3, Value::Integer(1)));
  EXPECT_FALSE(insert->error().empty());

  auto select = Prepare("SELECT s FROM " + table_ + " WHERE k = ?");
  ASSERT_NE(select, nullptr);
  // The result is described before it runs (the record set needs its columns).
  ASSERT_EQ(select->ColumnCount(), 1);
  EXPECT_EQ(Lower(select->ColumnName(0)), "s");
  EXPECT_EQ(select->ColumnType(0), ColumnKind::Text);

  auto lookup = [&](int k) {
    std::vector<std::string> found;
    EXPECT_TRUE(select->Reset());
    EXPECT_TRUE(select->Bind(1, Value::Integer(k)));
    for (StepResult r; (r = select->Step()) != StepResult::Done;) {
      if (r == StepResult::Error) {
        ADD_FAILURE() << select->error();
        break;
      }
      found.push_back(select->Column(0).ToText());
    }
    EXPECT_EQ(select->Step(), StepResult::Done);
    return found;
  };
  EXPECT_EQ(lookup(2), std::vector<std::string>{"row 2"});
  EXPECT_EQ(lookup(4), std::vector<std::string>{"row 3"});
  EXPECT_EQ(lookup(99), std::vector<std::string>{});
  // Text that reads as a number still finds the number (a bound value, not SQL text).
  ASSERT_TRUE(select->Reset());
  ASSERT_TRUE(select->Bind(1, Value::Text("1")));
  ASSERT_EQ(select->Step(), StepResult::Row) << select->error();
  EXPECT_EQ(select->Column(0), Value::Text("row 1"));

  // Reset in the middle of a result starts it again from the top.
  auto all = Prepare("SELECT k FROM " + table_ + " ORDER BY k");
  ASSERT_NE(all, nullptr);
  ASSERT_EQ(all->Step(), StepResult::Row);
  ASSERT_EQ(all->Step(), StepResult::Row);
  EXPECT_EQ(all->Column(0), Value::Integer(2));
  ASSERT_TRUE(all->Reset());
  ASSERT_EQ(all->Step(), StepResult::Row);
  EXPECT_EQ(all->Column(0), Value::Integer(1));
}

TEST_P(OdbcBackendTest, ValuesNeverChangeTheStatement) {
  Run("CREATE TABLE " + table_ + " (s TEXT)");
  auto insert = Prepare("INSERT INTO " + table_ + " (s) VALUES (?)");
  ASSERT_NE(insert, nullptr);
  const std::string hostile = "x'); DROP TABLE " + table_ + "; --";
  ASSERT_TRUE(insert->Bind(1, Value::Text(hostile)));
  ASSERT_EQ(insert->Step(), StepResult::Done) << insert->error();
  EXPECT_EQ(Scalar(*backend_, "SELECT s FROM " + table_), Value::Text(hostile));
  // A text of two statements runs neither.
  std::string error;
  EXPECT_FALSE(backend_->Execute("DELETE FROM " + table_ + "; DROP TABLE " + table_, error));
  EXPECT_EQ(backend_->Prepare("SELECT 1; DROP TABLE " + table_, error), nullptr);
  EXPECT_EQ(CountRows(*backend_, table_), 1);
}

TEST(OdbcStatementText, OneStatementIsASemicolonAtMostFollowedByNothing) {
  const std::pair<const char*, bool> cases[] = {
      {"SELECT 1", true},
      {"SELECT 1;", true},
      {"SELECT 1; -- the end\n", true},
      {"SELECT 1; /* ; */ ", true},
      {"SELECT ';' FROM t WHERE a = 'it''s;'", true},
      {"SELECT \"a;b\", [c;d], `e;f` FROM t", true},
      {"SELECT 1; DROP TABLE t", false},
      {"SELECT 'x'';' FROM t; DROP TABLE t", false},
      {"CREATE TABLE [a]];b] (x INT); DROP TABLE t", false},
  };
  for (const auto& [sql, one] : cases) EXPECT_EQ(db::HoldsOneStatement(sql), one) << sql;
}

TEST_P(OdbcBackendTest, FailuresCarryTheDriversMessage) {
  // A missing table fails at Prepare or at the first Step, as the driver
  // chooses; either way the message names it.
  std::string error;
  auto missing = backend_->Prepare("SELECT * FROM odbc_no_such_table", error);
  if (missing) {
    EXPECT_EQ(missing->Step(), StepResult::Error);
    error = missing->error();
  }
  EXPECT_NE(error.find("odbc_no_such_table"), std::string::npos) << error;

  error.clear();
  EXPECT_FALSE(backend_->Execute("CREATE TABLE WITH NO NAME", error));
  EXPECT_FALSE(error.empty());

  // A refused row inside a transaction costs that row only: the statement and
  // the transaction go on (a file's other rows are still written).
  Run("CREATE TABLE " + table_ + " (k INTEGER PRIMARY KEY)");
  ASSERT_TRUE(backend_->Begin(error)) << error;
  auto insert = Prepare("INSERT INTO " + table_ + " (k) VALUES (?)");
  ASSERT_NE(insert, nullptr);
  ASSERT_TRUE(insert->Bind(1, Value::Integer(1)));
  ASSERT_EQ(insert->Step(), StepResult::Done) << insert->error();
  ASSERT_TRUE(insert->Reset());
  EXPECT_EQ(insert->Step(), StepResult::Error);
  EXPECT_NE(Lower(insert->error()).find("unique"), std::string::npos) << insert->error();
  ASSERT_TRUE(insert->Reset());
  ASSERT_TRUE(insert->Bind(1, Value::Integer(2)));
  EXPECT_EQ(insert->Step(), StepResult::Done) << insert->error();
  ASSERT_TRUE(backend_->Commit(error)) << error;
  auto other = OpenAnother();
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(CountRows(*other, table_), 2);
}

TEST_P(OdbcBackendTest, TransactionsCommitAndRollBack) {
  Run("CREATE TABLE " + table_ + " (k INTEGER)");
  auto other = OpenAnother();
  ASSERT_NE(other, nullptr);
  std::string error;

  // Without a transaction every statement commits at once.
  Run("INSERT INTO " + table_ + " VALUES (1)");
  EXPECT_EQ(CountRows(*other, table_), 1);

  ASSERT_TRUE(backend_->Begin(error)) << error;
  EXPECT_FALSE(backend_->Begin(error));  // no nesting
  Run("INSERT INTO " + table_ + " VALUES (2)");
  EXPECT_EQ(CountRows(*backend_, table_), 2);
  EXPECT_EQ(CountRows(*other, table_), 1);  // not yet committed
  ASSERT_TRUE(backend_->Rollback(error)) << error;
  EXPECT_EQ(CountRows(*backend_, table_), 1);

  ASSERT_TRUE(backend_->Begin(error)) << error;
  auto insert = Prepare("INSERT INTO " + table_ + " VALUES (?)");
  ASSERT_NE(insert, nullptr);
  for (int k = 3; k <= 4; ++k) {
    ASSERT_TRUE(insert->Reset());
    ASSERT_TRUE(insert->Bind(1, Value::Integer(k)));
    ASSERT_EQ(insert->Step(), StepResult::Done) << insert->error();
  }
  ASSERT_TRUE(backend_->Commit(error)) << error;
  EXPECT_EQ(CountRows(*other, table_), 3);

  // After the transaction the connection commits each statement again.
  ASSERT_TRUE(insert->Reset());
  ASSERT_TRUE(insert->Bind(1, Value::Integer(5)));
  ASSERT_EQ(insert->Step(), StepResult::Done) << insert->error();
  EXPECT_EQ(CountRows(*other, table_), 4);

  EXPECT_FALSE(backend_->Commit(error));
  EXPECT_FALSE(backend_->Rollback(error));

  // A connection closed in the middle of a transaction leaves none of it behind.
  {
    auto doomed = OpenAnother();
    ASSERT_NE(doomed, nullptr);
    ASSERT_TRUE(doomed->Begin(error)) << error;
    ASSERT_TRUE(doomed->Execute("INSERT INTO " + table_ + " VALUES (6)", error)) << error;
  }
  EXPECT_EQ(CountRows(*other, table_), 4);
}

TEST_P(OdbcBackendTest, StatementOutlivesItsBackend) {
  Run("CREATE TABLE " + table_ + " (k INTEGER)");
  Run("INSERT INTO " + table_ + " VALUES (7)");
  auto select = Prepare("SELECT k FROM " + table_);
  ASSERT_NE(select, nullptr);
  backend_.reset();
  ASSERT_EQ(select->Step(), StepResult::Row) << select->error();
  EXPECT_EQ(select->Column(0), Value::Integer(7));
}

TEST_P(OdbcBackendTest, FailedConnectionReportsTheDriversMessages) {
  std::string bad;
  std::string named;
  if (IsPostgres()) {
    named = "odbc_no_such_database";
    bad = connectionString_;
    bad.replace(bad.find("ingestor_test"), std::string("ingestor_test").size(), named);
  } else {
    named = "";
    bad =
        std::string("DRIVER={") + kAccessDriver + "};Database=" + folder_ + "/no-such-folder/x.db;";
  }
  std::vector<std::string> errors = {"earlier"};
  EXPECT_EQ(db::OpenOdbc(bad, errors), nullptr);
  ASSERT_GE(errors.size(), 2u);
  EXPECT_EQ(errors[0], "earlier");  // messages are added, nothing is lost
  for (std::size_t i = 1; i < errors.size(); ++i) EXPECT_FALSE(errors[i].empty());
  if (!named.empty()) {
    EXPECT_NE(Joined(errors).find(named), std::string::npos) << Joined(errors);
  }
}

INSTANTIATE_TEST_SUITE_P(Routes, OdbcBackendTest,
                         ::testing::Values(Route::SqliteOdbc, Route::PostgresOdbc),
                         [](const ::testing::TestParamInfo<Route>& info) {
                           return info.param == Route::SqliteOdbc ? std::string("SqliteOdbc")
                                                                  : std::string("PostgresOdbc");
                         });

TEST(OdbcDriversTest, KnowsWhichDriversAreInstalledByTheirExactName) {
  REQUIRE_TEST_DRIVERS();
  EXPECT_TRUE(db::OdbcDriverInstalled(kAccessDriver));
  EXPECT_TRUE(db::OdbcDriverInstalled(kServerDriver));
  EXPECT_FALSE(db::OdbcDriverInstalled("SQL Serve"));
  EXPECT_FALSE(db::OdbcDriverInstalled("SQL Server Native"));
  EXPECT_FALSE(db::OdbcDriverInstalled(""));

  // An unknown driver: the driver manager's own message comes back.
  std::vector<std::string> errors;
  EXPECT_EQ(db::OpenOdbc("DRIVER={No Such Driver};Database=x;", errors), nullptr);
  ASSERT_FALSE(errors.empty());
  EXPECT_NE(Joined(errors).find("No Such Driver"), std::string::npos) << Joined(errors);
}

}  // namespace
