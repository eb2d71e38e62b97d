#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/AccessSql.h"
#include "startup/ResourceStrings.h"

namespace {

using accesssql::Translate;
using db::Dialect;

// The string-table entry `id` with its %s / %d markers filled in order, the
// way the importers fill them: plain substitution.
std::string Filled(int id, const std::vector<std::string>& values) {
  std::string text = ResourceString(id);
  std::string out;
  std::size_t next = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && (text[i + 1] == 's' || text[i + 1] == 'd') &&
        next < values.size()) {
      out += values[next++];
      ++i;
    } else {
      out += text[i];
    }
  }
  EXPECT_EQ(next, values.size()) << "entry " << id << " has fewer markers than values";
  return out;
}

std::string Lite(const std::string& sql) {
  return Translate(sql, Dialect::SQLite);
}
std::string Pg(const std::string& sql) {
  return Translate(sql, Dialect::PostgreSQL);
}

// The columns of the comparables table after ID: the same in both dialects.
const std::string kZazOzursAfterId =
    "WCID VARCHAR(255), SqFt INTEGER, Rooms INTEGER, Beds INTEGER, Photo1 INTEGER, "
    "YearBuilt INTEGER, Price INTEGER, StreetNo INTEGER, LotSize REAL, Assessment REAL, "
    "ContractDate DATE, ClosingDate DATE, Modified DATE, SystemDate DATE, UserID VARCHAR(255), "
    "ListingDate DATE, Photo2 VARCHAR(255), Map VARCHAR(255), Neighborhood VARCHAR(255), "
    "xStreet VARCHAR(255), StreetDir VARCHAR(255), Status VARCHAR(255), xLot VARCHAR(255), "
    "NewConstruction VARCHAR(255), Remodeled VARCHAR(255), Private VARCHAR(255), "
    "FileNo VARCHAR(255), Source VARCHAR(255), Baths VARCHAR(255), Fin1 VARCHAR(255), "
    "Fin2 VARCHAR(255), Site VARCHAR(255), Design VARCHAR(255), Age VARCHAR(255), "
    "Condition VARCHAR(255), Bas1 VARCHAR(255), Bas2 VARCHAR(255), Heat VARCHAR(255), "
    "Garage VARCHAR(255), Por1 VARCHAR(255), Por2 VARCHAR(255), Erg1 VARCHAR(255), "
    "Erg2 VARCHAR(255), Fireplace VARCHAR(255), Other1 VARCHAR(255), Other2 VARCHAR(255), "
    "TypeProperty VARCHAR(255), Ext1 VARCHAR(255), Ext2 VARCHAR(255), Ext3 VARCHAR(255), "
    "Ext4 VARCHAR(255), Ext5 VARCHAR(255), Location VARCHAR(255), Quality VARCHAR(255), "
    "Utilities VARCHAR(255), Com1 VARCHAR(255), Com2 VARCHAR(255), Lease VARCHAR(255), "
    "Address2 VARCHAR(255), VSource VARCHAR(255), LeaseFee VARCHAR(255), View VARCHAR(255), "
    "SalesHistory1 VARCHAR(255), SalesHistory2 VARCHAR(255), SalesHistory3 VARCHAR(255), "
    "Comment VARCHAR(255), PhotoID VARCHAR(255), FLP INTEGER, MCA VARCHAR(255), "
    "Int_Appeal VARCHAR(255), Sig_Feat1 VARCHAR(255), Sig_Feat2 VARCHAR(255), "
    "Sig_Feat3 VARCHAR(255), Prj_Size VARCHAR(255), Floor_Loc VARCHAR(255))";

TEST(AccessSqlTest, StringTableDefinitions) {
  const std::string responses = Filled(501, {"TEXTA"});
  EXPECT_EQ(Lite(responses),
            "CREATE TABLE TEXTA (ID INTEGER PRIMARY KEY AUTOINCREMENT, Line INTEGER, "
            "Across INTEGER, FunctionKey INTEGER, Macro BIT, Append BIT, Title VARCHAR(255), "
            "Data TEXT, Vendor BIT)");
  EXPECT_EQ(Pg(responses),
            "CREATE TABLE TEXTA (ID SERIAL PRIMARY KEY, Line SMALLINT, Across SMALLINT, "
            "FunctionKey SMALLINT, Macro SMALLINT, Append SMALLINT, Title VARCHAR(255), "
            "Data TEXT, Vendor SMALLINT)");

  EXPECT_EQ(Lite(Filled(502, {"TEXTA"})), "CREATE UNIQUE INDEX \"TEXTA_ID\" ON TEXTA (ID)");
  EXPECT_EQ(Pg(Filled(502, {"TEXTA"})), "CREATE UNIQUE INDEX texta_id ON TEXTA (ID)");

  const std::string comparables = Filled(504, {"ZazOzurs"});
  EXPECT_EQ(Lite(comparables),
            "CREATE TABLE ZazOzurs (ID INTEGER PRIMARY KEY AUTOINCREMENT, " + kZazOzursAfterId);
  EXPECT_EQ(Pg(comparables), "CREATE TABLE ZazOzurs (ID SERIAL PRIMARY KEY, " + kZazOzursAfterId);
}

TEST(AccessSqlTest, StringTableDataStatements) {
  const std::string insert =
      Filled(503, {"Neighborhoods", "NeighborhoodName", "O''Brien''s [Row]"});
  EXPECT_EQ(Lite(insert),
            "INSERT INTO \"Neighborhoods\" (NeighborhoodName) VALUES ('O''Brien''s [Row]')");
  EXPECT_EQ(Pg(insert),
            "INSERT INTO Neighborhoods (NeighborhoodName) VALUES ('O''Brien''s [Row]')");

  const std::string update =
      Filled(505, {"Lenders", "LenderName = 'A''s [Bank]'", "LenderDBID = '42'"});
  EXPECT_EQ(Lite(update),
            "UPDATE \"Lenders\" SET LenderName = 'A''s [Bank]' WHERE LenderDBID = '42'");
  EXPECT_EQ(Pg(update), "UPDATE Lenders SET LenderName = 'A''s [Bank]' WHERE LenderDBID = '42'");

  const std::string values =
      Filled(506, {"Lenders", "LenderDBID, LenderName", "'42', 'ORDER BY x MEMO'"});
  EXPECT_EQ(Lite(values),
            "INSERT INTO \"Lenders\" (LenderDBID, LenderName) VALUES ('42', 'ORDER BY x MEMO')");
  EXPECT_EQ(Pg(values),
            "INSERT INTO Lenders (LenderDBID, LenderName) VALUES ('42', 'ORDER BY x MEMO')");

  // Whole tables in key order, with the key lists of the string table.
  const std::string lenders = Filled(551, {ResourceString(555), ResourceString(556)});
  EXPECT_EQ(Lite(lenders), "SELECT * FROM \"Lenders\" ORDER BY LenderDBID, LenderName");
  EXPECT_EQ(Pg(lenders),
            "SELECT * FROM Lenders ORDER BY LenderDBID NULLS FIRST, LenderName NULLS FIRST");
  EXPECT_EQ(Pg(Filled(551, {"TEXTA", ResourceString(552)})),
            "SELECT * FROM TEXTA ORDER BY Line NULLS FIRST, Across NULLS FIRST");
  EXPECT_EQ(Pg(Filled(551, {ResourceString(560), ResourceString(561)})),
            "SELECT * FROM ZazOzurs ORDER BY WCID NULLS FIRST, FileNo NULLS FIRST");
  EXPECT_EQ(Lite(Filled(564, {"Neighborhoods2"}) + " NeighborhoodName = 'x'"),
            "SELECT * FROM \"Neighborhoods2\" WHERE NeighborhoodName = 'x'");

  // Filter conditions carry no names to rewrite and pass unchanged.
  const std::vector<std::string> conditions = {
      Filled(571, {"3", "0", "-1"}),
      Filled(572, {"A1''B", "C:\\Files\\O''Hara [1].zap"}),
      Filled(573, {"O''Neil COUNTER"}),
      Filled(574, {"Hill''s Date"}),
      Filled(575, {"W-7"}),
  };
  EXPECT_EQ(conditions[0], "Line = 3 AND Across = 0 AND FunctionKey = -1");
  for (const std::string& condition : conditions) {
    EXPECT_EQ(Lite(condition), condition);
    EXPECT_EQ(Pg(condition), condition);
  }
}

TEST(AccessSqlTest, LiteralsQuotedNamesAndCommentsAreNeverRewritten) {
  const std::string select = "SELECT * FROM [T] WHERE Data = '[x] MEMO COUNTER' ORDER BY A";
  EXPECT_EQ(Lite(select), "SELECT * FROM \"T\" WHERE Data = '[x] MEMO COUNTER' ORDER BY A");
  EXPECT_EQ(Pg(select), "SELECT * FROM T WHERE Data = '[x] MEMO COUNTER' ORDER BY A NULLS FIRST");

  // A literal that looks like the end of itself, a type, or an ORDER BY.
  const std::string tricky = "SELECT * FROM T WHERE A = 'it''s ORDER BY b, [c] TEXT' AND B = ''";
  EXPECT_EQ(Lite(tricky), tricky);
  EXPECT_EQ(Pg(tricky), tricky);

  const std::string defaulted = "CREATE TABLE T (A TEXT DEFAULT '[x] MEMO', B MEMO)";
  EXPECT_EQ(Lite(defaulted), "CREATE TABLE T (A VARCHAR(255) DEFAULT '[x] MEMO', B TEXT)");

  const std::string quoted = "SELECT \"[x] MEMO\" FROM T -- [y] ORDER BY z\n/* [w] */";
  EXPECT_EQ(Lite(quoted), quoted);
  EXPECT_EQ(Pg(quoted), quoted);
}

TEST(AccessSqlTest, TypesMatchWholeWordsInAnyCaseAndOnlyInTheTypePosition) {
  EXPECT_EQ(Lite("create table t (Dated date, Shortcut text(20), Data memo, Date datetime, "
                 "Memo Memo, Counter counter, Text TEXT, Bitter Bit, Singles single, Key short, "
                 "Unique byte, Primary long, UNIQUE (Key), PRIMARY KEY (Counter))"),
            "create table t (Dated DATE, Shortcut VARCHAR(20), Data TEXT, Date DATE, "
            "Memo TEXT, Counter INTEGER PRIMARY KEY AUTOINCREMENT, Text VARCHAR(255), "
            "Bitter BIT, Singles REAL, Key INTEGER, Unique INTEGER, Primary INTEGER, UNIQUE (Key), "
            "PRIMARY KEY (Counter))");

  // Outside a definition a type word is just a name.
  const std::string select = "SELECT Date, Memo, Counter, Short FROM [T] WHERE Text = 'a'";
  EXPECT_EQ(Lite(select), "SELECT Date, Memo, Counter, Short FROM \"T\" WHERE Text = 'a'");
  EXPECT_EQ(Pg("UPDATE [T] SET Memo = 1, Byte = 2"), "UPDATE T SET Memo = 1, Byte = 2");
}

TEST(AccessSqlTest, EveryHostTypeInBothDialects) {
  const std::string create =
      "CREATE TABLE [My T] ([Key] COUNTER(1, 1), A AUTOINCREMENT, B SHORT, C BYTE, D LONG, "
      "E INT, F INTEGER, G BIT, H TEXT(9), I TEXT, J MEMO, K SINGLE, L DOUBLE, "
      "M DOUBLE PRECISION, N DATE, O DATETIME, P CURRENCY NOT NULL, "
      "CONSTRAINT Single UNIQUE (B, C))";
  EXPECT_EQ(Lite(create),
            "CREATE TABLE \"My T\" (\"Key\" INTEGER PRIMARY KEY AUTOINCREMENT, "
            "A INTEGER PRIMARY KEY AUTOINCREMENT, B INTEGER, C INTEGER, D INTEGER, E INTEGER, "
            "F INTEGER, G BIT, H VARCHAR(9), I VARCHAR(255), J TEXT, K REAL, L REAL, "
            "M DOUBLE PRECISION, N DATE, O DATE, P CURRENCY NOT NULL, "
            "CONSTRAINT Single UNIQUE (B, C))");
  EXPECT_EQ(Pg(create),
            "CREATE TABLE \"my t\" (Key SERIAL PRIMARY KEY, A SERIAL PRIMARY KEY, B SMALLINT, "
            "C SMALLINT, D INTEGER, E INTEGER, F INTEGER, G SMALLINT, H VARCHAR(9), "
            "I VARCHAR(255), J TEXT, K REAL, L DOUBLE PRECISION, M DOUBLE PRECISION, N DATE, "
            "O TIMESTAMP, P CURRENCY NOT NULL, CONSTRAINT Single UNIQUE (B, C))");

  EXPECT_EQ(Lite("ALTER TABLE [T] ADD COLUMN Notes MEMO"),
            "ALTER TABLE \"T\" ADD COLUMN Notes TEXT");
  EXPECT_EQ(Pg("alter table T add Flag bit"), "alter table T add Flag SMALLINT");
  EXPECT_EQ(Pg("ALTER TABLE T ADD CONSTRAINT Memo UNIQUE (A)"),
            "ALTER TABLE T ADD CONSTRAINT Memo UNIQUE (A)");
}

TEST(AccessSqlTest, IndexNamesArePerTable) {
  EXPECT_EQ(Lite(Filled(502, {"TEXTB"})), "CREATE UNIQUE INDEX \"TEXTB_ID\" ON TEXTB (ID)");
  EXPECT_EQ(Pg(Filled(502, {"TEXTB"})), "CREATE UNIQUE INDEX textb_id ON TEXTB (ID)");

  const std::string named = "CREATE INDEX [By Name] ON [Lenders] ([LenderName] DESC)";
  EXPECT_EQ(Lite(named), "CREATE INDEX \"Lenders_By Name\" ON \"Lenders\" (\"LenderName\" DESC)");
  EXPECT_EQ(Pg(named), "CREATE INDEX \"lenders_by name\" ON Lenders (LenderName DESC)");
  EXPECT_EQ(Lite("create index Ix on [My \"T\"] (A)"),
            "create index \"My \"\"T\"\"_Ix\" on \"My \"\"T\"\"\" (A)");
}

TEST(AccessSqlTest, ABracketedNameStaysOneNameWhateverItHolds) {
  struct Case {
    std::string name, lite, pg;
  };
  const Case cases[] = {
      {"Resp", "\"Resp\"", "Resp"},
      {"a]b", "\"a]b\"", "\"a]b\""},
      {"a]]", "\"a]]\"", "\"a]]\""},
      {"q\"t", "\"q\"\"t\"", "\"q\"\"t\""},
      {"x(a INT);DROP TABLE t", "\"x(a INT);DROP TABLE t\"", "\"x(a int);drop table t\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(accesssql::Bracket(c.name), "[" + accesssql::EscapeBracketed(c.name) + "]");
    EXPECT_EQ(Lite("SELECT * FROM " + accesssql::Bracket(c.name) + " ORDER BY A"),
              "SELECT * FROM " + c.lite + " ORDER BY A");
    EXPECT_EQ(Pg("DROP TABLE " + accesssql::Bracket(c.name)), "DROP TABLE " + c.pg);
  }
  EXPECT_EQ(Lite("CREATE UNIQUE INDEX ID ON [a]]b] (ID)"),
            "CREATE UNIQUE INDEX \"a]b_ID\" ON \"a]b\" (ID)");
}

TEST(AccessSqlTest, PostgresNamesFoldLikeUnquotedNames) {
  EXPECT_EQ(Pg("SELECT [Line], [Sale Price], [Order], [a\"b], [_x1] FROM [Lenders]"),
            "SELECT Line, \"sale price\", \"order\", \"a\"\"b\", _x1 FROM Lenders");
  EXPECT_EQ(Lite("SELECT [Sale Price], [a\"b] FROM [T].[U]"),
            "SELECT \"Sale Price\", \"a\"\"b\" FROM \"T\".\"U\"");
}

TEST(AccessSqlTest, PostgresOrderByPlacesNullsAsSqliteDoes) {
  EXPECT_EQ(Pg("SELECT * FROM T ORDER BY A DESC, B ASC, C"),
            "SELECT * FROM T ORDER BY A DESC NULLS LAST, B ASC NULLS FIRST, C NULLS FIRST");
  EXPECT_EQ(Pg("select * from t order by a nulls last, b desc nulls first, c"),
            "select * from t order by a nulls last, b desc nulls first, c NULLS FIRST");
  EXPECT_EQ(Pg("SELECT * FROM T ORDER BY COALESCE(A, B) DESC, [C] LIMIT 5 OFFSET 2"),
            "SELECT * FROM T ORDER BY COALESCE(A, B) DESC NULLS LAST, C NULLS FIRST LIMIT 5 "
            "OFFSET 2");
  EXPECT_EQ(Pg("SELECT * FROM (SELECT * FROM T ORDER BY A) AS S ORDER BY B DESC ;"),
            "SELECT * FROM (SELECT * FROM T ORDER BY A NULLS FIRST) AS S ORDER BY B DESC NULLS "
            "LAST ;");
  EXPECT_EQ(Pg("SELECT * FROM T ORDER BY A FOR UPDATE"),
            "SELECT * FROM T ORDER BY A NULLS FIRST FOR UPDATE");
  EXPECT_EQ(Pg("SELECT * FROM T ORDER BY"), "SELECT * FROM T ORDER BY");
  // Words that only contain ORDER or BY are not the clause.
  EXPECT_EQ(Pg("SELECT Orders, ByLine FROM T WHERE Ordered = 1"),
            "SELECT Orders, ByLine FROM T WHERE Ordered = 1");
  EXPECT_EQ(Lite("SELECT * FROM T ORDER BY A DESC, B"), "SELECT * FROM T ORDER BY A DESC, B");
}

TEST(AccessSqlTest, AccessDialectAndUnreadableTextPassUnchanged) {
  for (const std::string& sql : {Filled(501, {"TEXTA"}), Filled(551, {"Lenders", "A, B"})}) {
    EXPECT_EQ(Translate(sql, Dialect::Access), sql);
  }
  for (const std::string& sql :
       {std::string(), std::string("CREATE TABLE"), std::string("CREATE INDEX x"),
        std::string("SELECT * FROM [unclosed MEMO"), std::string("SELECT 'unclosed [x]"),
        std::string("CREATE UNIQUE INDEX ON ("), std::string("CREATE TABLE T ()")}) {
    EXPECT_EQ(Lite(sql), sql);
    EXPECT_EQ(Pg(sql), sql);
  }
  // A definition cut short still has its finished parts translated.
  EXPECT_EQ(Lite("CREATE TABLE T (A MEMO, B"), "CREATE TABLE T (A TEXT, B");
}

// Closes an in-memory SQLite database on every path.
struct MemoryDb {
  sqlite3* handle = nullptr;
  MemoryDb() { sqlite3_open(":memory:", &handle); }
  ~MemoryDb() { sqlite3_close(handle); }
  MemoryDb(const MemoryDb&) = delete;
  MemoryDb& operator=(const MemoryDb&) = delete;

  std::string Exec(const std::string& sql) {
    char* message = nullptr;
    const int rc = sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, &message);
    std::string error = rc == SQLITE_OK ? "" : (message ? message : "error");
    sqlite3_free(message);
    return error;
  }
};

struct Row {
  long long id;
  std::string dataType;
  std::string data;
};

TEST(AccessSqlTest, TranslatedStatementsRunOnSqlite) {
  MemoryDb db;
  ASSERT_NE(db.handle, nullptr);
  for (const std::string table : {"TEXTA", "TEXTB"}) {
    ASSERT_EQ(db.Exec(Lite(Filled(501, {table}))), "") << table;
    // The same per-table index name on the second table must not collide.
    ASSERT_EQ(db.Exec(Lite(Filled(502, {table}))), "") << table;
  }
  ASSERT_EQ(db.Exec(Lite(Filled(504, {"ZazOzurs"}))), "");
  ASSERT_EQ(db.Exec(Lite(Filled(502, {"ZazOzurs"}))), "");

  for (const std::string data : {"00123", "O''Hara"}) {
    ASSERT_EQ(db.Exec(Lite(Filled(506, {"TEXTA", "Line, Across, Data", "1, 2, '" + data + "'"}))),
              "");
  }
  ASSERT_EQ(db.Exec(Lite(Filled(503, {"ZazOzurs", "WCID", "00042"}))), "");

  sqlite3_stmt* raw = nullptr;
  const std::string select = Lite(Filled(551, {"TEXTA", "ID"}));
  ASSERT_EQ(sqlite3_prepare_v2(db.handle, select.c_str(), -1, &raw, nullptr), SQLITE_OK)
      << sqlite3_errmsg(db.handle);
  std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> stmt(raw, sqlite3_finalize);
  const int columns = sqlite3_column_count(raw);
  int idColumn = -1;
  int dataColumn = -1;
  for (int c = 0; c < columns; ++c) {
    const std::string name = sqlite3_column_name(raw, c);
    if (name == "ID") idColumn = c;
    if (name == "Data") dataColumn = c;
  }
  ASSERT_GE(idColumn, 0);
  ASSERT_GE(dataColumn, 0);
  std::vector<Row> rows;
  while (sqlite3_step(raw) == SQLITE_ROW) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(raw, dataColumn));
    rows.push_back({sqlite3_column_type(raw, idColumn) == SQLITE_INTEGER
                        ? sqlite3_column_int64(raw, idColumn)
                        : -1,
                    sqlite3_column_type(raw, dataColumn) == SQLITE_TEXT ? "text" : "not text",
                    text ? text : ""});
  }
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].id, 1);
  EXPECT_EQ(rows[0].dataType, "text");
  EXPECT_EQ(rows[0].data, "00123");
  EXPECT_EQ(rows[1].id, 2);
  EXPECT_EQ(rows[1].data, "O'Hara");
  EXPECT_EQ(std::string(sqlite3_column_decltype(raw, dataColumn)), "TEXT");

  // The comparables table numbers its rows too, and its text key stays text.
  sqlite3_stmt* rawZ = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db.handle, "SELECT ID, typeof(WCID), WCID FROM ZazOzurs", -1, &rawZ,
                               nullptr),
            SQLITE_OK);
  std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> stmtZ(rawZ, sqlite3_finalize);
  ASSERT_EQ(sqlite3_step(rawZ), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int64(rawZ, 0), 1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(sqlite3_column_text(rawZ, 1))), "text");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(sqlite3_column_text(rawZ, 2))), "00042");
}

}  // namespace
