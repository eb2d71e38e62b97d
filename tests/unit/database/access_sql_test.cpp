#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/AccessSql.h"
#include "support/ResourceStrings.h"

namespace {

using accesssql::Translate;
using db::Dialect;

// The string-table entry `id` with each "%s" filled in turn, as the importers fill them.
std::string Filled(int id, const std::vector<std::string>& values) {
  std::string text = ResourceString(id);
  for (const std::string& value : values) text.replace(text.find("%s"), 2, value);
  return text;
}

// Each statement as the embedded engine and the server are given it; "="
// stands for the statement unchanged.
struct Case {
  std::string sql, lite, pg;
};

TEST(AccessSqlTest, TranslatesEachStatementForEachDialect) {
  const std::vector<Case> cases = {
      // The string table's statements.
      {Filled(501, {"TEXTA"}),
       "CREATE TABLE TEXTA (ID INTEGER PRIMARY KEY AUTOINCREMENT, Line INTEGER, Across INTEGER, "
       "FunctionKey INTEGER, Macro BIT, Append BIT, Title VARCHAR(255), Data TEXT, Vendor BIT)",
       "CREATE TABLE TEXTA (ID SERIAL PRIMARY KEY, Line SMALLINT, Across SMALLINT, FunctionKey "
       "SMALLINT, Macro SMALLINT, Append SMALLINT, Title VARCHAR(255), Data TEXT, Vendor "
       "SMALLINT)"},
      // Index names are per table.
      {Filled(502, {"TEXTA"}), "CREATE UNIQUE INDEX \"TEXTA_ID\" ON TEXTA (ID)",
       "CREATE UNIQUE INDEX texta_id ON TEXTA (ID)"},
      {Filled(503, {"Neighborhoods", "NeighborhoodName", "O''Brien''s [Row]"}),
       "INSERT INTO \"Neighborhoods\" (NeighborhoodName) VALUES ('O''Brien''s [Row]')",
       "INSERT INTO Neighborhoods (NeighborhoodName) VALUES ('O''Brien''s [Row]')"},
      {Filled(505, {"Lenders", "LenderName = 'A''s [Bank]'", "LenderDBID = '42'"}),
       "UPDATE \"Lenders\" SET LenderName = 'A''s [Bank]' WHERE LenderDBID = '42'",
       "UPDATE Lenders SET LenderName = 'A''s [Bank]' WHERE LenderDBID = '42'"},
      {Filled(506, {"Lenders", "LenderDBID, LenderName", "'42', 'ORDER BY x MEMO'"}),
       "INSERT INTO \"Lenders\" (LenderDBID, LenderName) VALUES ('42', 'ORDER BY x MEMO')",
       "INSERT INTO Lenders (LenderDBID, LenderName) VALUES ('42', 'ORDER BY x MEMO')"},
      // Whole tables in key order: the server places NULLs as SQLite does.
      {Filled(551, {ResourceString(555), ResourceString(556)}),
       "SELECT * FROM \"Lenders\" ORDER BY LenderDBID, LenderName",
       "SELECT * FROM Lenders ORDER BY LenderDBID NULLS FIRST, LenderName NULLS FIRST"},
      {Filled(551, {ResourceString(560), ResourceString(561)}),
       "SELECT * FROM \"ZazOzurs\" ORDER BY WCID, FileNo",
       "SELECT * FROM ZazOzurs ORDER BY WCID NULLS FIRST, FileNo NULLS FIRST"},
      {Filled(564, {"Neighborhoods2"}) + " NeighborhoodName = 'x'",
       "SELECT * FROM \"Neighborhoods2\" WHERE NeighborhoodName = 'x'",
       "SELECT * FROM Neighborhoods2 WHERE NeighborhoodName = 'x'"},
      // Filter conditions carry no names to rewrite.
      {Filled(572, {"A1''B", "C:\\Files\\O''Hara [1].zap"}), "=", "="},
      {Filled(573, {"O''Neil COUNTER"}), "=", "="},
      // Literals, quoted names and comments are never rewritten.
      {"SELECT * FROM [T] WHERE Data = '[x] MEMO COUNTER' ORDER BY A",
       "SELECT * FROM \"T\" WHERE Data = '[x] MEMO COUNTER' ORDER BY A",
       "SELECT * FROM T WHERE Data = '[x] MEMO COUNTER' ORDER BY A NULLS FIRST"},
      {"SELECT * FROM T WHERE A = 'it''s ORDER BY b, [c] TEXT' AND B = ''", "=", "="},
      {"CREATE TABLE T (A TEXT DEFAULT '[x] MEMO', B MEMO)",
       "CREATE TABLE T (A VARCHAR(255) DEFAULT '[x] MEMO', B TEXT)",
       "CREATE TABLE T (A VARCHAR(255) DEFAULT '[x] MEMO', B TEXT)"},
      {"SELECT \"[x] MEMO\" FROM T -- [y] ORDER BY z\n/* [w] */", "=", "="},
      // Types match whole words in any case, only where a type stands.
      {"create table t (Dated date, Shortcut text(20), Data memo, Date datetime, Memo Memo, "
       "Counter counter, Bitter Bit, Singles single, Key short, Unique byte, Primary long, "
       "UNIQUE (Key), PRIMARY KEY (Counter))",
       "create table t (Dated DATE, Shortcut VARCHAR(20), Data TEXT, Date DATE, Memo TEXT, "
       "Counter INTEGER PRIMARY KEY AUTOINCREMENT, Bitter BIT, Singles REAL, Key INTEGER, "
       "Unique INTEGER, Primary INTEGER, UNIQUE (Key), PRIMARY KEY (Counter))",
       ""},
      {"SELECT Date, Memo, Counter, Short FROM [T] WHERE Text = 'a'",
       "SELECT Date, Memo, Counter, Short FROM \"T\" WHERE Text = 'a'",
       "SELECT Date, Memo, Counter, Short FROM T WHERE Text = 'a'"},
      {"CREATE TABLE [My T] ([Key] COUNTER(1, 1), A AUTOINCREMENT, B SHORT, C BYTE, D LONG, "
       "E INT, G BIT, H TEXT(9), I TEXT, J MEMO, K SINGLE, L DOUBLE, M DOUBLE PRECISION, N DATE, "
       "O DATETIME, P CURRENCY NOT NULL, CONSTRAINT Single UNIQUE (B, C))",
       "CREATE TABLE \"My T\" (\"Key\" INTEGER PRIMARY KEY AUTOINCREMENT, A INTEGER PRIMARY KEY "
       "AUTOINCREMENT, B INTEGER, C INTEGER, D INTEGER, E INTEGER, G BIT, H VARCHAR(9), "
       "I VARCHAR(255), J TEXT, K REAL, L REAL, M DOUBLE PRECISION, N DATE, O DATE, P CURRENCY "
       "NOT NULL, CONSTRAINT Single UNIQUE (B, C))",
       "CREATE TABLE \"my t\" (Key SERIAL PRIMARY KEY, A SERIAL PRIMARY KEY, B SMALLINT, "
       "C SMALLINT, D INTEGER, E INTEGER, G SMALLINT, H VARCHAR(9), I VARCHAR(255), J TEXT, "
       "K REAL, L DOUBLE PRECISION, M DOUBLE PRECISION, N DATE, O TIMESTAMP, P CURRENCY NOT "
       "NULL, CONSTRAINT Single UNIQUE (B, C))"},
      {"ALTER TABLE [T] ADD COLUMN Notes MEMO", "ALTER TABLE \"T\" ADD COLUMN Notes TEXT",
       "ALTER TABLE T ADD COLUMN Notes TEXT"},
      {"ALTER TABLE T ADD CONSTRAINT Memo UNIQUE (A)", "=", "="},
      {"CREATE INDEX [By Name] ON [Lenders] ([LenderName] DESC)",
       "CREATE INDEX \"Lenders_By Name\" ON \"Lenders\" (\"LenderName\" DESC)",
       "CREATE INDEX \"lenders_by name\" ON Lenders (LenderName DESC)"},
      {"create index Ix on [My \"T\"] (A)",
       "create index \"My \"\"T\"\"_Ix\" on \"My \"\"T\"\"\" (A)", ""},
      {"CREATE UNIQUE INDEX ID ON [a]]b] (ID)", "CREATE UNIQUE INDEX \"a]b_ID\" ON \"a]b\" (ID)",
       ""},
      // A bracketed name stays one name whatever it holds.
      {"DROP TABLE " + accesssql::Bracket("a]]"), "DROP TABLE \"a]]\"", "DROP TABLE \"a]]\""},
      {"DROP TABLE " + accesssql::Bracket("q\"t"), "DROP TABLE \"q\"\"t\"",
       "DROP TABLE \"q\"\"t\""},
      {"DROP TABLE " + accesssql::Bracket("x(a INT);DROP TABLE t"),
       "DROP TABLE \"x(a INT);DROP TABLE t\"", "DROP TABLE \"x(a int);drop table t\""},
      // The server folds names as it folds unquoted ones.
      {"SELECT [Line], [Sale Price], [Order], [a\"b], [_x1] FROM [Lenders]",
       "SELECT \"Line\", \"Sale Price\", \"Order\", \"a\"\"b\", \"_x1\" FROM \"Lenders\"",
       "SELECT Line, \"sale price\", \"order\", \"a\"\"b\", _x1 FROM Lenders"},
      {"SELECT * FROM T ORDER BY A DESC, B ASC, C", "=",
       "SELECT * FROM T ORDER BY A DESC NULLS LAST, B ASC NULLS FIRST, C NULLS FIRST"},
      {"select * from t order by a nulls last, b desc nulls first, c", "=",
       "select * from t order by a nulls last, b desc nulls first, c NULLS FIRST"},
      {"SELECT * FROM T ORDER BY COALESCE(A, B) DESC, [C] LIMIT 5 OFFSET 2",
       "SELECT * FROM T ORDER BY COALESCE(A, B) DESC, \"C\" LIMIT 5 OFFSET 2",
       "SELECT * FROM T ORDER BY COALESCE(A, B) DESC NULLS LAST, C NULLS FIRST LIMIT 5 OFFSET 2"},
      {"SELECT * FROM (SELECT * FROM T ORDER BY A) AS S ORDER BY B DESC ;", "=",
       "SELECT * FROM (SELECT * FROM T ORDER BY A NULLS FIRST) AS S ORDER BY B DESC NULLS LAST ;"},
      {"SELECT * FROM T ORDER BY A FOR UPDATE", "=",
       "SELECT * FROM T ORDER BY A NULLS FIRST FOR UPDATE"},
      {"SELECT Orders, ByLine FROM T WHERE Ordered = 1", "=", "="},
      // Text that cannot be read passes unchanged; finished parts of a cut
      // definition are translated.
      {"", "=", "="},
      {"SELECT * FROM T ORDER BY", "=", "="},
      {"CREATE INDEX x", "=", "="},
      {"SELECT * FROM [unclosed MEMO", "=", "="},
      {"SELECT 'unclosed [x]", "=", "="},
      {"CREATE UNIQUE INDEX ON (", "=", "="},
      {"CREATE TABLE T ()", "=", "="},
      {"CREATE TABLE T (A MEMO, B", "CREATE TABLE T (A TEXT, B", ""},
      // An unclosed (seed, step) of sixteen tokens, as many as their list holds:
      // the search for its ')' stops at the end.
      {"CREATE TABLE T (A COUNTER(1, 1 ",
       "CREATE TABLE T (A INTEGER PRIMARY KEY AUTOINCREMENT(1, 1 ",
       "CREATE TABLE T (A SERIAL PRIMARY KEY(1, 1 "},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Translate(c.sql, Dialect::Access), c.sql);
    EXPECT_EQ(Translate(c.sql, Dialect::SQLite), c.lite == "=" ? c.sql : c.lite) << c.sql;
    if (!c.pg.empty()) {
      EXPECT_EQ(Translate(c.sql, Dialect::PostgreSQL), c.pg == "=" ? c.sql : c.pg) << c.sql;
    }
    // The kept translations are each dialect's own, asked in any order, and
    // stay right once more statements were asked than are kept.
    for (int round = 0; round < 2; ++round)
      for (Dialect d : {Dialect::PostgreSQL, Dialect::SQLite, Dialect::Access, Dialect::SqlServer})
        EXPECT_EQ(accesssql::TranslateRemembered(c.sql, d), Translate(c.sql, d)) << c.sql;
  }
  for (int i = 0; i < 600; ++i) {
    const std::string sql = "SELECT [c" + std::to_string(i % 300) + "] FROM T";
    EXPECT_EQ(accesssql::TranslateRemembered(sql, Dialect::SQLite),
              Translate(sql, Dialect::SQLite));
  }
  // SQL Server keeps the brackets, numbers keys itself and holds any text.
  EXPECT_EQ(Translate("CREATE TABLE [My T] ([Key] COUNTER(1, 1), B BYTE, H TEXT(9), I TEXT, "
                      "J MEMO, L DOUBLE, O DATETIME, G BIT)",
                      Dialect::SqlServer),
            "CREATE TABLE [My T] ([Key] INT IDENTITY(1,1) PRIMARY KEY, B SMALLINT, H NVARCHAR(9), "
            "I NVARCHAR(255), J NVARCHAR(MAX), L FLOAT, O DATETIME2, G BIT)");
}

}  // namespace
