// The engine's database session as an importer sees it: connected the way
// Import connects, then used through ImportSession only.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "doubles/TestWorld.h"
#include "engine/CSImportEngine.h"
#include "engine/DbConnection.h"
#include "engine/DirectImport.h"
#include "engine/Recordset.h"
#include "support/ResourceStrings.h"

namespace {

using Lines = std::vector<std::string>;

// A log line of an engine routine as it reads after the time stamp.
std::string Logged(const std::string& routine, const std::string& text) {
  const bool method = routine.find("Connection") != std::string::npos;
  return "[Source]" + (method ? "CSImportEngine::" + routine : routine + "::CSImportEngine") +
         " [Index]na [Text]" + text;
}

class EngineDatabaseTest : public ::testing::Test {
 protected:
  EngineDatabaseTest() {
    engine.SetOutputObject(&output);
    engine.SetOutputDatabase(world.Program("out.mdb"));
  }
  // The log lines so far without their time stamp; forgets them.
  Lines TakeLog() {
    Lines lines;
    for (const std::string& line : output.lines) lines.push_back(line.substr(line.find("[")));
    output.lines.clear();
    return lines;
  }

  testing_doubles::TestWorld world;
  testing_doubles::RecordingOutput output{platform::OutputObject::Kind::List};
  CSImportEngine engine{world.ctx};
  ImportSession& session = engine;
};

TEST_F(EngineDatabaseTest, ConnectingLogsTheAttemptAndTheDriversReasonsAndNothingRunsWithout) {
  const std::string attempt =
      Logged("OpenConnection", "Attempting to connect to database using MS Access");
  const std::string blank = "Either the table name was blank or the database could not be opened.";
  EXPECT_EQ(session.OpenRecordset("SELECT * FROM [Resp]", true), 0);
  EXPECT_EQ(TakeLog().size(), 1u);
  EXPECT_EQ(session.CurrentRecordset(), nullptr);
  EXPECT_FALSE(session.ExecuteScript("T", "CREATE TABLE %s (A SHORT)"));
  EXPECT_EQ(TakeLog(), Lines{Logged("ExecuteScript", blank)});

  EXPECT_FALSE(DirectImport::Connect(engine));  // the embedded route never creates a file
  Lines log = TakeLog();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[0], attempt);
  EXPECT_EQ(log[1].rfind(Logged("OpenConnection", "Info: "), 0), 0u) << log[1];
  EXPECT_FALSE(world.Has("out.mdb"));
  EXPECT_EQ(session.Connection()->State(), 0);
  EXPECT_FALSE(session.ExecuteScript("T", "CREATE TABLE %s (A SHORT)"));  // fails at execution
  EXPECT_EQ(
      TakeLog().back(),
      Logged("ExecuteScript", "Failed to execute command string: 'CREATE TABLE [T] (A SHORT)'"));

  // (A refused or successful connection's own lines are pinned by the fault loops and e2e.)
  world.Write("out.mdb", "");
  ASSERT_TRUE(DirectImport::Connect(engine));
  TakeLog();
  EXPECT_FALSE(session.ExecuteScript("T", ""));
  EXPECT_EQ(TakeLog(), Lines{Logged("ExecuteScript", blank)});
  // Whatever escapes the platform is trapped and logged as the routine's failure.
  world.env.ThrowOn("OpenDatabase");
  EXPECT_FALSE(DirectImport::Connect(engine));
  EXPECT_EQ(TakeLog(), (Lines{attempt, Logged("OpenConnection", "injected: OpenDatabase")}));
}

TEST_F(EngineDatabaseTest,
       ScriptsGetTheTableQuotedForWhereItStandsAndRecordSetsTellEmptyFromFilled) {
  world.Write("out.mdb", "");
  ASSERT_TRUE(DirectImport::Connect(engine));
  ASSERT_TRUE(session.ExecuteScript("Resp", ResourceString(501)));
  const std::string query = "SELECT * FROM [Resp] ORDER BY Line, Across";
  EXPECT_EQ(session.OpenRecordset(query, true), 1);
  ASSERT_NE(session.CurrentRecordset(), nullptr);
  EXPECT_TRUE(session.CurrentRecordset()->Bof() && session.CurrentRecordset()->Eof());
  TakeLog();
  struct Case {
    std::string table, script, command;  // command: as logged, "" when as given
    bool runs = true;
  } const cases[] = {
      {"Ignored", "INSERT INTO Resp (Line, Title) VALUES (2, 'second')", ""},
      {"T", "/* nothing to run */", ""},  // runs nothing and fails nothing
      // "%S" is not one; a table name holding "%s" is not searched again.
      {"Resp", "INSERT INTO [%s] (Line, Title, Data) VALUES (1, '%s', '%S')",
       "INSERT INTO [Resp] (Line, Title, Data) VALUES (1, 'Resp', '%S')"},
      {"x%s", "SELECT '%s' AS A", "SELECT 'x%s' AS A"},
      {"it's", "SELECT '%s' AS A", "SELECT 'it''s' AS A"},
      {"x(a INT);DROP TABLE Resp;CREATE TABLE pwned", "CREATE TABLE %s (A SHORT)",
       "CREATE TABLE [x(a INT);DROP TABLE Resp;CREATE TABLE pwned] (A SHORT)"},
      {"a]b", "CREATE TABLE %s (A SHORT)", "CREATE TABLE [a]]b] (A SHORT)"},
      {"a]b", "CREATE UNIQUE INDEX ID ON [%s] (A)", "CREATE UNIQUE INDEX ID ON [a]]b] (A)"},
      {"Resp", ResourceString(502), "CREATE UNIQUE INDEX ID ON [Resp] (ID)"},
      {"T", "CREATE TABLE %s (A SHORT); DROP TABLE Resp",
       "CREATE TABLE [T] (A SHORT); DROP TABLE Resp",
       false},  // two statements: not even the first runs
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    const std::string command = c.command.empty() ? c.script : c.command;
    EXPECT_EQ(session.ExecuteScript(c.table, c.script), c.runs);
    Lines log = TakeLog();
    ASSERT_EQ(log.size(), c.runs ? 2u : 3u);  // the driver's reason between
    EXPECT_EQ(log[0],
              Logged("ExecuteScript", "Attempting to execute command string: '" + command + "'"));
    EXPECT_EQ(log.back(), Logged("ExecuteScript",
                                 c.runs ? "Command executed successfully."
                                        : "Failed to execute command string: '" + command + "'"));
  }
  // The rows in key order, the first current; the odd names are tables of their own.
  EXPECT_EQ(session.OpenRecordset(query, false), -1);
  EXPECT_EQ(session.CurrentRecordset()->Field("Title").ToText(), "Resp");
  EXPECT_EQ(session.CurrentRecordset()->Field("Data").ToText(), "%S");
  for (const char* table : {"[a]]b]", "[x(a INT);DROP TABLE Resp;CREATE TABLE pwned]"})
    EXPECT_EQ(session.OpenRecordset("SELECT * FROM " + std::string(table), false), 1) << table;
  // Resp's ID is its INTEGER PRIMARY KEY: a unique index of it alone would be
  // that key again, so none was made; the one of a]b's plain column was.
  EXPECT_EQ(session.OpenRecordset("SELECT * FROM sqlite_master WHERE type = 'index'", false), -1);
  EXPECT_EQ(session.CurrentRecordset()->Field("name").ToText(), "a]b_ID");
  session.CurrentRecordset()->MoveNext();
  EXPECT_TRUE(session.CurrentRecordset()->Eof());
  EXPECT_EQ(TakeLog(), Lines{});
  // A failed set stays current, with the driver's reason logged.
  EXPECT_EQ(session.OpenRecordset("SELECT * FROM [T]", true), 0);
  Lines log = TakeLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_GT(log[0].size(), Logged("OpenRecordset", "").size());
  EXPECT_EQ(log[0].rfind(Logged("OpenRecordset", ""), 0), 0u);
  ASSERT_NE(session.CurrentRecordset(), nullptr);
  EXPECT_EQ(session.CurrentRecordset()->State(), 0);
  session.CloseRecordset();
  EXPECT_EQ(session.CurrentRecordset(), nullptr);
  session.CloseRecordset();  // nothing to close
  EXPECT_TRUE(TakeLog().empty());
}

}  // namespace
