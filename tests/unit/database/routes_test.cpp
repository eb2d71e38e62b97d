// The record set and the ODBC backend, each run over every database route
// it serves (tests/doubles/DatabaseRoutes.h): the embedded engine, SQLite
// through its ODBC driver and PostgreSQL through psqlODBC.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "doubles/DatabaseRoutes.h"
#include "engine/DbConnection.h"
#include "engine/KeyHashIndex.h"
#include "engine/Recordset.h"
#include "platform/db/OdbcBackend.h"
#include "support/Conversions.h"
#include "support/ResourceStrings.h"

namespace {

using db::ColumnKind;
using db::StepResult;
using db::Value;
using testing_doubles::Route;
using Strings = std::vector<std::string>;

std::string Joined(const Strings& messages) {
  std::string all;
  for (const std::string& m : messages) all += (all.empty() ? "" : " | ") + m;
  return all;
}

// A connection over the route of the parameter, and a table name of the test's own.
class RouteTest : public ::testing::TestWithParam<Route> {
 protected:
  void SetUp() override {
    std::string why;
    bool required;
    cs = testing_doubles::PrepareRoute(GetParam(), world, odbc, why, required);
    if (required) FAIL() << why;
    if (cs.empty()) GTEST_SKIP() << why;
    connection = std::make_unique<DbConnection>(world.env);
    connection->SetConnectionString(cs);
    ASSERT_TRUE(connection->Open()) << Joined(connection->Errors());
    // PostgreSQL keeps tables between runs; names are per test.
    // Short: PostgreSQL cuts names at 63 characters, index names included.
    std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    table =
        "t" + std::to_string(std::hash<std::string>{}(test.substr(0, test.find('/'))) % 1000000);
    DropTables();
  }
  void TearDown() override {
    rs.reset();
    if (connection && (connection->State() == 1 || connection->Open())) DropTables();
  }
  void DropTables() {
    connection->Execute("DROP TABLE [" + table + "]");
    connection->Execute("DROP TABLE [" + table + "2]");
  }
  db::Backend* backend() { return connection->backend(); }
  bool IsPostgres() const { return GetParam() == Route::PostgresOdbc; }

  // --- The record set's helpers.
  void CreateResponses(const std::string& name) {  // the table and its index
    for (std::string sql : {ResourceString(501), ResourceString(502)})
      ASSERT_TRUE(connection->Execute(sql.replace(sql.find("%s"), 2, name)))
          << Joined(connection->Errors());
  }
  Recordset& Open(bool writable = true, KeyHashIndex::HashFunction hash = &KeyHashIndex::HashOf) {
    rs = std::make_unique<Recordset>(*connection, hash);
    EXPECT_TRUE(rs->Open("SELECT * FROM [" + table + "] ORDER BY Line, Across", writable))
        << rs->error();
    return *rs;
  }
  // The titles of the rows `condition` selects in record-set order; with
  // none, of every row from the first on.
  static Strings Titles(Recordset& r, const std::string& condition = "") {
    r.ClearFilter();
    EXPECT_TRUE(condition.empty() ? r.MoveFirst() : r.SetFilter(condition)) << r.error();
    Strings titles;
    for (; !r.Eof(); r.MoveNext()) titles.push_back(r.Field("Title").ToText());
    return titles;
  }
  // Adds a response row through the record set.
  void Add(Recordset& r, int line, int across, int key, const std::string& title) {
    ASSERT_TRUE(r.AddNew() && r.SetField(1, Value::Integer(line)) &&
                r.SetField(2, Value::Integer(across)) && r.SetField(3, Value::Integer(key)) &&
                r.SetField(6, Value::Text(title)) && r.Update())
        << r.error();
  }

  // --- The backend's helpers, in the engine's own SQL.
  void Run(const std::string& sql) {
    std::string error;
    ASSERT_TRUE(backend()->Execute(sql, error)) << sql << ": " << error;
  }
  std::unique_ptr<db::Statement> Prepare(const std::string& sql) {
    std::string error;
    auto statement = backend()->Prepare(sql, error);
    EXPECT_NE(statement, nullptr) << sql << ": " << error;
    return statement;
  }
  std::unique_ptr<db::Backend> OpenAnother() {
    Strings errors;
    auto other = world.env.OpenDatabase(cs, errors);
    EXPECT_NE(other, nullptr) << Joined(errors);
    return other;
  }
  // Binds `values` from the first parameter on and runs the statement to its end.
  static void Insert(db::Statement& insert, const std::vector<Value>& values) {
    ASSERT_TRUE(insert.Reset()) << insert.error();
    for (std::size_t i = 0; i < values.size(); ++i)
      ASSERT_TRUE(insert.Bind(static_cast<int>(i) + 1, values[i])) << insert.error();
    ASSERT_EQ(insert.Step(), StepResult::Done) << insert.error();
  }
  std::string Count(db::Backend& backend) {
    std::string error;
    auto count = backend.Prepare("SELECT COUNT(*) FROM " + table, error);
    EXPECT_TRUE(count && count->Step() == StepResult::Row) << error;
    return count ? count->Column(0).ToText() : "";
  }

  testing_doubles::TestWorld world;
  std::optional<testing_doubles::ScopedOdbcConfig> odbc;
  std::string cs, table;
  std::unique_ptr<DbConnection> connection;
  std::unique_ptr<Recordset> rs;
};

using RecordsetSuite = RouteTest;
using OdbcBackendTest = RouteTest;

// The filter on a responses row's whole key.
std::string Key(int line, int across, int functionKey) {
  return "Line = " + std::to_string(line) + " AND Across = " + std::to_string(across) +
         " AND FunctionKey = " + std::to_string(functionKey);
}

TEST_P(RecordsetSuite, OpensInKeyOrderAndAddedOrUpdatedRowsAreSeenByLaterFilters) {
  CreateResponses(table);
  CreateResponses(table + "2");  // the second "ID" index, on another table
  Recordset& r = Open();
  EXPECT_TRUE(r.State() == 1 && r.Bof() && r.Eof());
  ASSERT_EQ(r.FieldCount(), 9);
  EXPECT_EQ(support::LowerAscii(r.FieldName(3)), "functionkey");
  EXPECT_EQ(std::pair(r.FieldIndex("FUNCTIONKEY"), r.FieldIndex("nope")), std::pair(3, -1));
  {
    FileTransaction transaction(connection.get());  // leaving the scope commits
    Add(r, 5, 3, 2, "old");
    EXPECT_EQ(std::pair(r.EditMode(), r.Field(6).ToText()), std::pair(0, std::string("old")));
    ASSERT_TRUE(r.SetFilter(Key(5, 3, 2))) << r.error();
    ASSERT_TRUE(r.SetField(6, Value::Text("new")));
    EXPECT_EQ(r.EditMode(), Recordset::kEditInProgress);
    ASSERT_TRUE(r.Update()) << r.error();
    ASSERT_TRUE(r.SetFilter(Key(5, 3, 3)));
    EXPECT_TRUE(r.Bof() && r.Eof());
    ASSERT_TRUE(r.AddNew());
    EXPECT_EQ(r.EditMode(), Recordset::kEditAdd);
    r.CancelUpdate();
    EXPECT_EQ(r.EditMode(), Recordset::kEditNone);
    Add(r, 8, 1, 2, "added later");  // after the filters were built
    EXPECT_EQ(Titles(r, Key(8, 1, 2)), Strings{"added later"});
    // Rows appended to a table opened empty are not kept listed (a long
    // import would hold them all), yet a listing from the start finds them.
    EXPECT_EQ(Titles(r), (Strings{"new", "added later"}));
  }
  EXPECT_FALSE(connection->InTransaction());
  EXPECT_EQ(Titles(Open(false)), (Strings{"new", "added later"}));  // what reached the database
  // A set shows the rows as it read them: going back to the first row does
  // not read the table again.
  Recordset& read = Open(false);
  ASSERT_TRUE(connection->Execute("UPDATE [" + table + "] SET Title = 'behind' WHERE Line = 5"));
  ASSERT_TRUE(read.MoveFirst()) << read.error();
  EXPECT_EQ(read.Field(6).ToText(), "new");

  Recordset missing(*connection);
  EXPECT_FALSE(missing.Open("SELECT * FROM [NoSuchTable" + table + "] ORDER BY x", true));
  EXPECT_FALSE(missing.error().empty());
  EXPECT_EQ(missing.State(), 0);
}

TEST_P(RecordsetSuite, ValuesAreStoredExactlyAndBadOnesRefused) {
  CreateResponses(table);
  ASSERT_TRUE(connection->Execute("CREATE TABLE [" + table +
                                  "2] (ID COUNTER, Sold DATE, Price INTEGER, Area SINGLE)"));
  Recordset& r = Open();
  const std::string hostile = "x'); DROP TABLE [" + table + "]; --";
  ASSERT_TRUE(r.AddNew() && r.SetField(1, Value::Integer(1)) && r.SetField(4, Value::Bool(true)) &&
              r.SetField(5, Value::Bool(false)) && r.SetField(6, Value::Text(hostile)) &&
              r.SetField(7, Value::Text("00123")));
  EXPECT_FALSE(r.SetField(2, Value::Text("abc")));  // not a number
  ASSERT_TRUE(r.Update()) << r.error();
  Recordset& back = Open(false);
  ASSERT_FALSE(back.Eof());
  // Text with its leading zeros; true is -1; the refused number is NULL; ID auto-numbered.
  EXPECT_EQ(std::vector({back.Field(6), back.Field(7), Value::Real(*back.Field(4).ToNumber()),
                         Value::Real(*back.Field(5).ToNumber()), back.Field(2)}),
            std::vector({Value::Text(hostile), Value::Text("00123"), Value::Real(-1),
                         Value::Real(0), Value::Null()}));
  EXPECT_FALSE(back.Field(0).IsNull());

  Recordset dates(*connection);
  ASSERT_TRUE(dates.Open("SELECT * FROM [" + table + "2]", true)) << dates.error();
  ASSERT_TRUE(dates.AddNew());
  for (const char* bad : {"02-31-2010", "13-01-2010"})  // no such day, no such month
    EXPECT_FALSE(dates.SetField("Sold", Value::Text(bad))) << bad;
  ASSERT_TRUE(dates.SetField("Price", Value::Text("125000")) &&
              dates.SetField("Area", Value::Real(0.25)) && dates.Update())
      << dates.error();
  ASSERT_TRUE(dates.AddNew() && dates.SetField("Sold", Value::Text("12-31-1999")) && dates.Update())
      << dates.error();
  // Rows written many to a statement lend their storage to the rows after
  // them: a column a later row leaves unset is NULL, never an earlier value.
  dates.HoldNewRows(true);
  auto hold = [&] {
    ASSERT_TRUE(dates.AddNew() && dates.SetField("Sold", Value::Text("01-02-2003")) &&
                dates.SetField("Price", Value::Integer(1)) && dates.Hold())
        << dates.error();
  };
  do hold();
  while (dates.HeldRows() < dates.RowsPerStatement());
  Strings outcomes;
  dates.WriteHeld(outcomes);
  EXPECT_EQ(outcomes, Strings(dates.RowsPerStatement()));
  hold();  // the row after it is a written one's storage
  ASSERT_TRUE(dates.AddNew() && dates.SetField("Price", Value::Integer(7)));
  EXPECT_TRUE(dates.Field("Sold").IsNull());
  ASSERT_TRUE(dates.Update()) << dates.error();
  dates.WriteHeld(outcomes);
  std::unique_ptr<db::Statement> added =
      Prepare("SELECT COUNT(*), SUM(Price) FROM " + table + "2 WHERE Sold IS NULL");
  ASSERT_TRUE(added && added->Step() == StepResult::Row);
  EXPECT_EQ(added->Column(0).ToText() + " " + added->Column(1).ToText(), "2 125007");
  Recordset check(*connection);
  ASSERT_TRUE(check.Open("SELECT * FROM [" + table + "2] ORDER BY ID", false));
  EXPECT_TRUE(check.Field("Sold").IsNull());
  EXPECT_EQ(std::pair(check.Field("Price").ToNumber(), check.Field("Area").ToNumber()),
            std::pair(std::optional(125000.0), std::optional(0.25)));
  check.MoveNext();
  EXPECT_EQ(check.Field("Sold").ToText().substr(0, 10), "1999-12-31");
  EXPECT_FALSE(check.AddNew());  // read-only
}

// Every key hashing alike leaves only the rows' own keys to tell them apart.
KeyHashIndex::Hash OneHashForAll(std::string_view) {
  return 42;
}

// Past 4096 rows added under a filter the key index merges what was added
// into what it read, several times over; a key changed on the way moves too.
TEST_P(RecordsetSuite, FiltersFindTheRightRowsOfAManyRowTableWhateverTheirKeysHashTo) {
  CreateResponses(table);
  auto check = [&](Recordset& r) {
    EXPECT_EQ(Titles(r, Key(12, 7, 1)), Strings{"row 127"});
    EXPECT_EQ(Titles(r, Key(12, 7, 2)), Strings{});
    EXPECT_EQ(Titles(r, Key(999, 9, 1)), Strings{"row 9999"});
    EXPECT_EQ(std::vector({Titles(r, Key(1000, 0, 1)), Titles(r, Key(450, 0, 1))}),
              std::vector<Strings>({{"row 4500"}, {}}));
    // Several rows of one key come in record-set order.
    Strings line4 = Titles(r, "Line = 4");
    ASSERT_EQ(line4.size(), 11u);
    EXPECT_EQ(Strings({line4.front(), line4[9], line4.back()}),
              (Strings{"row 40", "row 49", "second of line 4"}));
  };
  {
    FileTransaction transaction(connection.get());
    Recordset& writer = Open();
    // The indexes are there before the rows, as when an import compares.
    EXPECT_EQ(Titles(writer, Key(4, 0, 1)), Titles(writer, "Line = 4"));
    for (int i = 0; i < 10000; ++i) {
      Add(writer, i / 10, i % 10, 1, "row " + std::to_string(i));
      if (i == 8000) {
        Add(writer, 4, 20, 1, "second of line 4");  // after line 4's others, by Across
        ASSERT_TRUE(writer.SetFilter(Key(450, 0, 1)) && writer.SetField(1, Value::Integer(1000)) &&
                    writer.Update())
            << writer.error();
      }
    }
    check(writer);
  }
  for (KeyHashIndex::HashFunction hash : {&KeyHashIndex::HashOf, &OneHashForAll}) {
    Recordset& r = Open(true, hash);
    check(r);
    // Rows added once the filters are built are found too, under their key only.
    Add(r, 2000, 0, 1, "added");
    EXPECT_EQ(Titles(r, Key(2000, 0, 1)), Strings{"added"});
    EXPECT_EQ(Titles(r, "Line = 2000"), Strings{"added"});
    EXPECT_TRUE(Titles(r, Key(2000, 1, 1)).empty());
    ASSERT_TRUE(connection->Execute("DELETE FROM [" + table + "] WHERE Line = 2000"));
  }
}

TEST_P(RecordsetSuite, ARowWhoseKeyChangesIsFoundUnderItsNewKeyOnly) {
  CreateResponses(table);
  Recordset& r = Open();
  Add(r, 1, 1, 1, "moving");
  Add(r, 1, 2, 1, "staying");
  Add(r, 2, 1, 1, "other");
  EXPECT_EQ(Titles(r, "Line = 1"), (Strings{"moving", "staying"}));
  auto change = [&](const std::string& filter, int field, Value value) {
    return r.SetFilter(filter) && r.SetField(field, value) && r.Update();
  };
  // A change outside the key keeps the row first among the rows of its key.
  ASSERT_TRUE(change(Key(1, 1, 1), 8, Value::Bool(true))) << r.error();
  EXPECT_EQ(Titles(r, "Line = 1"), (Strings{"moving", "staying"}));
  ASSERT_TRUE(change(Key(1, 1, 1), 1, Value::Integer(7))) << r.error();
  EXPECT_EQ(std::vector({Titles(r, Key(1, 1, 1)), Titles(r, Key(7, 1, 1)), Titles(r, "Line = 1")}),
            std::vector<Strings>({{}, {"moving"}, {"staying"}}));
  // Moved back, it is found under its first key again, once.
  ASSERT_TRUE(change("Line = 7", 1, Value::Integer(1))) << r.error();
  EXPECT_EQ(std::vector({Titles(r, "Line = 7"), Titles(r, Key(1, 1, 1))}),
            std::vector<Strings>({{}, {"moving"}}));
  Strings line1 = Titles(r, "Line = 1");
  std::sort(line1.begin(), line1.end());
  EXPECT_EQ(line1, (Strings{"moving", "staying"}));
  // The listing shows the change made through a filter, and so does a listing read before it.
  EXPECT_EQ(Titles(r), (Strings{"moving", "staying", "other"}));
  Recordset& listed = Open();
  EXPECT_EQ(Titles(listed).size(), 3u);
  ASSERT_TRUE(listed.SetFilter("Line = 2") && listed.SetField(6, Value::Text("changed")) &&
              listed.Update())
      << listed.error();
  EXPECT_EQ(Titles(listed), (Strings{"moving", "staying", "changed"}));
  // Rows that leave the table behind the set's back are not offered by a filter built
  // before. (Without a row locator the key map holds the rows themselves and still
  // shows them, as it always has.)
  if (GetParam() != Route::Embedded) return;
  ASSERT_EQ(Titles(listed, Key(2, 1, 1)), Strings{"changed"});
  ASSERT_TRUE(connection->Execute("DELETE FROM [" + table + "] WHERE Line = 2"));
  EXPECT_TRUE(Titles(listed, Key(2, 1, 1)).empty());
  // The engine may give a new row the deleted row's locator: it is found under
  // its own key, once, and not under the deleted one's.
  Add(listed, 3, 1, 1, "new");
  EXPECT_EQ(std::vector({Titles(listed, Key(2, 1, 1)), Titles(listed, Key(3, 1, 1)),
                         Titles(listed, Key(1, 1, 1))}),
            std::vector<Strings>({{}, {"new"}, {"moving"}}));
}

TEST_P(RecordsetSuite, TextKeysMatchWithoutRegardToCaseAndNullMatchesNoValue) {
  ASSERT_TRUE(connection->Execute("CREATE TABLE [" + table +
                                  "] (ID COUNTER, Code TEXT(50), Num INTEGER, Title TEXT(50))"));
  Recordset& r = *(rs = std::make_unique<Recordset>(*connection));
  ASSERT_TRUE(r.Open("SELECT * FROM [" + table + "] ORDER BY ID", true)) << r.error();
  auto add = [&](Value code, Value num, const std::string& title) {
    return r.AddNew() && r.SetField("Code", code) && r.SetField("Num", num) &&
           r.SetField("Title", Value::Text(title)) && r.Update();
  };
  ASSERT_TRUE(add(Value::Text("Abc"), Value::Integer(5), "mixed") &&
              add(Value::Text("O'Neil"), Value::Integer(9), "apostrophe") &&
              add(Value::Null(), Value::Integer(5), "no code") &&
              add(Value::Text(""), Value::Null(), "blank code"))
      << r.error();
  const std::pair<std::string, Strings> filters[] = {
      {"Code = 'aBC'", {"mixed"}},          {"Code = ''", {"blank code"}},
      {"Num = 5", {"mixed", "no code"}},    {"Code = 'Abc' AND Num = 5", {"mixed"}},
      {"Code = 'o''neil'", {"apostrophe"}}, {"Code = 'O''Neill'", {}},
  };
  for (const auto& [condition, titles] : filters) EXPECT_EQ(Titles(r, condition), titles);
  EXPECT_FALSE(r.SetFilter("Code = 'unterminated"));
  EXPECT_FALSE(r.SetFilter("NoColumn = 1"));
  // Added after the filters were built; a key changed in case only, then to NULL.
  ASSERT_TRUE(add(Value::Text("XYZ"), Value::Integer(6), "added")) << r.error();
  EXPECT_EQ(Titles(r, "Code = 'xyz'"), Strings{"added"});
  for (Value code : {Value::Text("ABC"), Value::Null()}) {
    ASSERT_TRUE(r.SetFilter("Code = 'abc'") && r.SetField("Code", code) && r.Update());
    EXPECT_EQ(Titles(r, "Code = 'abc'"), code.IsNull() ? Strings{} : Strings{"mixed"});
  }
  EXPECT_EQ(Titles(r, "Num = 5"), (Strings{"mixed", "no code"}));
}

INSTANTIATE_TEST_SUITE_P(Routes, RecordsetSuite,
                         ::testing::Values(Route::Embedded, Route::SqliteOdbc, Route::PostgresOdbc),
                         [](const auto& info) { return testing_doubles::RouteName(info.param); });

TEST_P(OdbcBackendTest, ValuesRoundTripAndColumnsKeepTheirDeclaredKinds) {
  const bool pg = IsPostgres();
  EXPECT_EQ(backend()->dialect(), pg ? db::Dialect::PostgreSQL : db::Dialect::SQLite);
  // SQLite keeps the names columns were declared with: BIT and YESNO are truth
  // columns (YESNO whatever storage its driver guesses for a name it does not
  // know), as on the embedded engine. The server stores truth values in SMALLINT.
  Run("CREATE TABLE " + table + " (id INTEGER, n BIGINT, r " + (pg ? "DOUBLE PRECISION" : "REAL") +
      ", s TEXT, d DATE, t " + (pg ? "TIMESTAMP" : "DATETIME") + ", m NUMERIC(10,2), b " +
      (pg ? "SMALLINT" : "BIT") + ", y " + (pg ? "SMALLINT" : "YESNO") + ")");
  Run("INSERT INTO " + table + " VALUES (1, 0, 0, '', NULL, '2001-02-03 04:05:06', 12.5, -1, -1)");
  Run("INSERT INTO " + table + " (id, b, y) VALUES (2, 0, 1)");
  Run("INSERT INTO " + table + " (id, b, y) VALUES (3, 1, 1)");
  // 10,000 characters, every seventh a two-byte one, so that the pieces in
  // which long text is read end inside a character somewhere.
  std::string longText;
  for (int i = 0; i < 10000; ++i)
    longText += (i % 7 == 6) ? "\xC3\xA9" : std::string(1, 'a' + i % 26);
  auto insert = Prepare("INSERT INTO " + table + " (id, n, r, s, d) VALUES (?, ?, ?, ?, ?)");
  ASSERT_NE(insert, nullptr);
  Insert(*insert,
         {Value::Integer(4), Value::Integer(5'000'000'000), Value::Real(3.25),
          Value::Text("O'Brien's caf\xC3\xA9 \xC3\xA9t\xC3\xA9"), Value::Text("2024-02-29")});
  Insert(*insert, {Value::Integer(5), Value::Integer(-42), Value::Real(-0.5), Value::Text(longText),
                   Value::Text("1999-12-31")});
  // True is -1, as the host stores it; 1 (another program's true) reads as true too.
  const Value yes = pg ? Value::Integer(-1) : Value::Bool(true), null = Value::Null(),
              one = pg ? Value::Integer(1) : Value::Bool(true);
  const std::vector<std::vector<Value>> rows = {
      {Value::Integer(0), Value::Real(0), Value::Text(""), null, Value::Text("2001-02-03 04:05:06"),
       Value::Real(12.5), Value::Integer(-1), yes},
      {null, null, null, null, null, null, Value::Integer(0), one},
      {null, null, null, null, null, null, one, one},
      {Value::Integer(5'000'000'000), Value::Real(3.25),
       Value::Text("O'Brien's caf\xC3\xA9 \xC3\xA9t\xC3\xA9"), Value::Text("2024-02-29"), null,
       null, null, null},
      {Value::Integer(-42), Value::Real(-0.5), Value::Text(longText), Value::Text("1999-12-31"),
       null, null, null, null}};
  auto select = Prepare("SELECT n, r, s, d, t, m, b, y FROM " + table + " ORDER BY id");
  ASSERT_NE(select, nullptr);
  using K = ColumnKind;
  const K truth = pg ? K::Integer : K::Bit,
          kinds[] = {K::Integer, K::Real, K::Text, K::Date, K::Date, K::Real, truth, truth};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(select->ColumnType(i), kinds[i]) << i;
  for (const auto& row : rows) {
    ASSERT_EQ(select->Step(), StepResult::Row) << select->error();
    for (int i = 0; i < 8; ++i)
      EXPECT_EQ(select->Column(i), row[i])
          << "column " << i << ": " << row[i].ToText().substr(0, 40);
  }
  EXPECT_EQ(select->Step(), StepResult::Done);
  EXPECT_EQ(std::pair(support::LowerAscii(select->ColumnName(2)), select->ColumnName(8)),
            std::pair(std::string("s"), std::string()));
  EXPECT_TRUE(select->Column(9).IsNull());
}

TEST_P(OdbcBackendTest, StatementsAreReusedWithNewBindingsAndValuesNeverChangeThem) {
  Run("CREATE TABLE " + table + " (k INTEGER, s VARCHAR(50))");
  auto insert = Prepare("INSERT INTO " + table + " (k, s) VALUES (?, ?)");
  ASSERT_NE(insert, nullptr);
  for (int k = 1; k <= 3; ++k)
    Insert(*insert, {Value::Integer(k), Value::Text("row " + std::to_string(k))});
  // Reset keeps the bindings: only the first changes; one run adds one row.
  Insert(*insert, {Value::Integer(4)});
  EXPECT_EQ(insert->Step(), StepResult::Done);
  EXPECT_FALSE(insert->Bind(0, Value::Integer(1)) || insert->Bind(3, Value::Integer(1)));
  EXPECT_FALSE(insert->error().empty());
  const std::string hostile = "x'); DROP TABLE " + table + "; --";
  Insert(*insert, {Value::Integer(5), Value::Text(hostile)});

  auto select = Prepare("SELECT s FROM " + table + " WHERE k = ?");
  ASSERT_NE(select, nullptr);
  // The result is described before it runs (the record set needs its columns).
  EXPECT_EQ(std::pair(select->ColumnCount(), select->ColumnType(0)),
            std::pair(1, ColumnKind::Text));
  // Text that reads as a number still finds the number: a bound value, not SQL text.
  const std::pair<Value, Strings> lookups[] = {{Value::Integer(2), {"row 2"}},
                                               {Value::Integer(4), {"row 3"}},
                                               {Value::Integer(99), {}},
                                               {Value::Text("1"), {"row 1"}},
                                               {Value::Integer(5), {hostile}}};
  for (const auto& [key, found] : lookups) {
    ASSERT_TRUE(select->Reset() && select->Bind(1, key));
    Strings rows;
    for (StepResult r; (r = select->Step()) == StepResult::Row;)
      rows.push_back(select->Column(0).ToText());
    EXPECT_EQ(rows, found) << key.ToText();
    EXPECT_EQ(select->Step(), StepResult::Done);
  }
  // Reset in the middle of a result starts it again from the top.
  auto all = Prepare("SELECT k FROM " + table + " ORDER BY k");
  ASSERT_NE(all, nullptr);
  ASSERT_TRUE(all->Step() == StepResult::Row && all->Step() == StepResult::Row);
  EXPECT_EQ(all->Column(0), Value::Integer(2));
  ASSERT_TRUE(all->Reset() && all->Step() == StepResult::Row);
  EXPECT_EQ(all->Column(0), Value::Integer(1));
  // A text of two statements runs neither.
  std::string error;
  EXPECT_FALSE(backend()->Execute("DELETE FROM " + table + "; DROP TABLE " + table, error));
  EXPECT_EQ(backend()->Prepare("SELECT 1; DROP TABLE " + table, error), nullptr);
  EXPECT_FALSE(backend()->Execute("DELETE FROM " + table + "_missing", error));
  EXPECT_EQ(Count(*backend()), "5");
  // A statement outlives its backend.
  connection->Close();
  ASSERT_EQ(all->Step(), StepResult::Row) << all->error();
  EXPECT_EQ(all->Column(0), Value::Integer(2));
}

TEST_P(OdbcBackendTest, TransactionsCommitAndRollBackAndARefusedRowCostsOnlyItself) {
  Run("CREATE TABLE " + table + " (k INTEGER PRIMARY KEY)");
  auto other = OpenAnother();
  ASSERT_NE(other, nullptr);
  std::string error;
  Run("INSERT INTO " + table + " VALUES (1)");  // without a transaction: committed at once
  EXPECT_EQ(Count(*other), "1");
  ASSERT_TRUE(backend()->Begin(error)) << error;
  EXPECT_FALSE(backend()->Begin(error));  // no nesting
  Run("INSERT INTO " + table + " VALUES (2)");
  EXPECT_EQ(Count(*backend()) + Count(*other), "21");  // not yet committed
  ASSERT_TRUE(backend()->Rollback(error)) << error;
  EXPECT_EQ(Count(*backend()), "1");
  // A refused row inside a transaction costs that row only: the statement and
  // the transaction go on (a file's other rows are still written).
  ASSERT_TRUE(backend()->Begin(error)) << error;
  auto insert = Prepare("INSERT INTO " + table + " VALUES (?)");
  ASSERT_NE(insert, nullptr);
  Insert(*insert, {Value::Integer(3)});
  ASSERT_TRUE(insert->Reset());
  EXPECT_EQ(insert->Step(), StepResult::Error);
  EXPECT_NE(support::LowerAscii(insert->error()).find("unique"), std::string::npos)
      << insert->error();
  Insert(*insert, {Value::Integer(4)});
  ASSERT_TRUE(backend()->Commit(error)) << error;
  EXPECT_EQ(Count(*other), "3");
  Insert(*insert, {Value::Integer(5)});  // after it, each statement commits again
  EXPECT_EQ(Count(*other), "4");
  EXPECT_FALSE(backend()->Commit(error) || backend()->Rollback(error));
  // A connection closed in the middle of a transaction leaves none of it behind.
  {
    auto doomed = OpenAnother();
    ASSERT_TRUE(doomed && doomed->Begin(error)) << error;
    ASSERT_TRUE(doomed->Execute("INSERT INTO " + table + " VALUES (6)", error)) << error;
  }
  EXPECT_EQ(Count(*other), "4");
}

TEST_P(OdbcBackendTest, AFailedConnectionAddsTheDriversMessagesAndDriversAreKnownByExactName) {
  std::string bad = cs;  // a database that is not there
  IsPostgres() ? bad.replace(bad.find("ingestor_test"), 13, "odbc_no_such_database")
               : bad.replace(bad.find("DBQ=") + 4, 0, world.Program("no-such-folder") + "\\");
  Strings errors = {"earlier"};
  EXPECT_EQ(world.env.OpenDatabase(bad, errors), nullptr);
  ASSERT_GE(errors.size(), 2u);
  EXPECT_EQ(errors[0], "earlier");  // messages are added, nothing is lost
  EXPECT_TRUE(!IsPostgres() || Joined(errors).find("odbc_no_such_database") != std::string::npos);
  for (const char* name : {"SQL Serve", "SQL Server Native", ""})
    EXPECT_FALSE(db::OdbcDriverInstalled(name)) << name;
  EXPECT_TRUE(db::OdbcDriverInstalled("SQL Server"));
}

INSTANTIATE_TEST_SUITE_P(Routes, OdbcBackendTest,
                         ::testing::Values(Route::SqliteOdbc, Route::PostgresOdbc),
                         [](const auto& info) { return testing_doubles::RouteName(info.param); });

TEST(OdbcStatementText, OneStatementIsASemicolonAtMostFollowedByNothing) {
  for (const char* one :
       {"SELECT 1", "SELECT 1;", "SELECT 1; -- the end\n", "SELECT 1; /* ; */ ",
        "SELECT ';' FROM t WHERE a = 'it''s;'", "SELECT \"a;b\", [c;d], `e;f` FROM t"})
    EXPECT_TRUE(db::HoldsOneStatement(one)) << one;
  for (const char* two : {"SELECT 1; DROP TABLE t", "SELECT 'x'';' FROM t; DROP TABLE t",
                          "CREATE TABLE [a]];b] (x INT); DROP TABLE t"})
    EXPECT_FALSE(db::HoldsOneStatement(two)) << two;
}

}  // namespace
