#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "doubles/TestWorld.h"
#include "engine/CSImportEngine.h"
#include "engine/DbConnection.h"
#include "engine/Recordset.h"
#include "support/ResourceStrings.h"
#include "support/Windows1252.h"
#include "support/modEncryption.h"

namespace {

using platform::OutputObject;
using testing_doubles::RecordingOutput;
using testing_doubles::TestWorld;

constexpr const char* kStamp = "14:25:30 2010-0315 - ";
constexpr const char* kConnect = "CSImportEngine::OpenConnection";
constexpr const char* kExecute = "ExecuteScript::CSImportEngine";
constexpr const char* kOpenSet = "OpenRecordset::CSImportEngine";
constexpr const char* kBlank =
    "Either the table name was blank or the database could not be opened.";
constexpr int kResponsesTable = 501;

// A log line of an engine routine as it reads after the time stamp.
std::string Logged(const std::string& source, const std::string& text) {
  return "[Source]" + source + " [Index]na [Text]" + text;
}

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

class EngineDatabaseTest : public ::testing::Test {
 protected:
  EngineDatabaseTest() {
    world.env.SetLocalNow({2010, 3, 15, 14, 25, 30});
    engine.SetOutputObject(&output);
  }

  // The log lines so far without their time stamp; forgets them.
  std::vector<std::string> TakeLog() {
    std::vector<std::string> lines;
    for (const std::string& line : output.lines)
      lines.push_back(StartsWith(line, kStamp) ? line.substr(std::string(kStamp).size()) : line);
    output.lines.clear();
    return lines;
  }

  // An empty embedded database at `name` in the temporary folder, made the
  // engine's output database; its program-form path.
  std::string MakeDatabase(const std::string& name = "out.mdb") {
    world.Write(name, "");
    engine.SetOutputDatabase(world.Program(name));
    return world.Program(name);
  }

  std::string ConnectionString() {
    return engine.Connection() ? engine.Connection()->ConnectionString() : "(none)";
  }

  // Connected to an empty database holding an empty responses table "Resp".
  void ConnectWithResponsesTable() {
    MakeDatabase();
    ASSERT_TRUE(engine.OpenConnection("", "", "", "", false));
    ASSERT_TRUE(engine.ExecuteScript("Resp", ResourceString(kResponsesTable)));
    TakeLog();
  }

  TestWorld world;
  RecordingOutput output{OutputObject::Kind::List};
  CSImportEngine engine{world.ctx};
};

TEST(Encrypt, ScramblesEachCodePageCharacterByItsPosition) {
  const std::pair<std::string, std::string> cases[] = {
      // 'a' (97) at 0 -> 97 xor 255 = 158 = U+017E in the code page; 'b' at 1 the same.
      {"ab", "\u017E\u017E"},
      // Bytes of 0x80-0x9F and an undefined one come out as their code-page characters.
      {"Pass", "\u00AF\u0178\u017D\u008F"},
      // Input outside ASCII is scrambled by its code-page byte.
      {"\u00E9\u20AC", "\x16\u20AC"},
      {"\u4E2D", "\u00C0"},  // not in the code page: '?'
      {"", ""},
      {std::string(256, 'u'), ""},  // longer than 255 characters: nothing
  };
  for (const auto& [plain, scrambled] : cases) EXPECT_EQ(modEncryption::Encrypt(plain), scrambled);
  // n - i below zero wraps modulo 256: '!' (33) at 40 -> 6; ' ' at 0 -> U+00DF.
  const std::string wraps = modEncryption::Encrypt(std::string(40, ' ') + "!");
  EXPECT_EQ(wraps.substr(0, 2), "\u00DF");
  EXPECT_EQ(wraps.back(), '\x06');
  std::string accents;
  for (int i = 0; i < 255; ++i) accents += "\u00E9";  // 510 bytes, 255 characters
  EXPECT_EQ(support::Utf8Length(modEncryption::Encrypt(accents)), 255u);
  EXPECT_EQ(modEncryption::Encrypt(accents + "\u00E9"), "");
}

TEST_F(EngineDatabaseTest, AccessStringKeepsOrScramblesCredentialsAndOmitsTheDatabase) {
  std::string db = MakeDatabase();
  std::string folder = world.Program() + "\\";
  std::string head = "DRIVER={Microsoft Access Driver (*.mdb)};DBQ=" + db + ";DefaultDir=" + folder;

  EXPECT_TRUE(engine.OpenConnection("", "Appraisals", "ab", "Pass", true));
  EXPECT_EQ(ConnectionString(), head + ";UID=\u017E\u017E;PWD=\u00AF\u0178\u017D\u008F;");
  EXPECT_EQ(TakeLog(), (std::vector<std::string>{
                           Logged(kConnect, "Attempting to connect to database using MS Access"),
                           Logged(kConnect, "Connected to database successfully.")}));

  EXPECT_TRUE(engine.OpenConnection("", "Appraisals", "ab", "Pass", false));
  EXPECT_EQ(ConnectionString(), head + ";UID=ab;PWD=Pass;");

  EXPECT_TRUE(engine.OpenConnection("", "Appraisals", "", "", true));
  EXPECT_EQ(ConnectionString(), head + ";UID=;PWD=;");

  // A 256-character user scrambles to nothing; the password still scrambles.
  EXPECT_TRUE(engine.OpenConnection("", "", std::string(256, 'u'), "ab", true));
  EXPECT_EQ(ConnectionString(), head + ";UID=;PWD=\u017E\u017E;");
  EXPECT_EQ(ConnectionString().find("Appraisals"), std::string::npos);

  // A bare name has no folder.
  engine.SetOutputDatabase("Lenders.mdb");
  EXPECT_FALSE(engine.OpenConnection("", "", "", "", false));
  EXPECT_EQ(ConnectionString(),
            "DRIVER={Microsoft Access Driver (*.mdb)};DBQ=Lenders.mdb;DefaultDir=;UID=;PWD=;");
}

TEST_F(EngineDatabaseTest, FailedOpenLeavesTheReasonsAsInfoLinesAndAnUnopenedConnection) {
  // A server selects the server string (its credentials scrambled); a
  // missing file is never created by the embedded route. Each failure is the
  // attempt, then the driver's reasons as info lines.
  const std::pair<std::string, std::string> routes[] = {{"NoSuchServer", "SQL"}, {"", "MS Access"}};
  engine.SetOutputDatabase(world.Program("missing.mdb"));
  for (const auto& [server, route] : routes) {
    EXPECT_FALSE(engine.OpenConnection(server, "Appraisals", "sa", "ab", true));
    std::vector<std::string> log = TakeLog();
    ASSERT_GE(log.size(), 2u) << route;
    EXPECT_EQ(log[0], Logged(kConnect, "Attempting to connect to database using " + route));
    for (std::size_t i = 1; i < log.size(); ++i)
      EXPECT_TRUE(StartsWith(log[i], Logged(kConnect, "Info: "))) << log[i];
    EXPECT_EQ(engine.Connection()->State(), 0);
    if (!server.empty()) {
      EXPECT_EQ(ConnectionString(),
                "DRIVER={SQL Server};Server=NoSuchServer;Database=Appraisals;"
                "UID=\u0152\u0178;PWD=\u017E\u017E;");
    }
  }
  EXPECT_FALSE(world.Has("missing.mdb"));
  ASSERT_NE(engine.Connection(), nullptr);
  EXPECT_EQ(engine.Connection()->State(), 0);

  // The unopened connection passes ExecuteScript's test and fails at execution.
  EXPECT_FALSE(engine.ExecuteScript("T", "CREATE TABLE %s (A SHORT)"));
  std::vector<std::string> log = TakeLog();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log.front(),
            Logged(kExecute, "Attempting to execute command string: 'CREATE TABLE [T] (A SHORT)'"));
  EXPECT_EQ(log.back(),
            Logged(kExecute, "Failed to execute command string: 'CREATE TABLE [T] (A SHORT)'"));
  EXPECT_EQ(std::count(log.begin(), log.end(), Logged(kExecute, "Command executed successfully.")),
            0);

  // An unopened connection is closed all the same.
  engine.CloseConnection();
  EXPECT_EQ(TakeLog(), std::vector<std::string>{
                           Logged("CSImportEngine::CloseConnection", "Connection closed.")});
  EXPECT_EQ(engine.Connection(), nullptr);
}

TEST_F(EngineDatabaseTest, InjectedOpenFailureIsLoggedAndTheNextOpenSucceeds) {
  MakeDatabase();
  world.env.FailNth("OpenDatabase", 1);
  EXPECT_FALSE(engine.OpenConnection("", "", "", "", false));
  EXPECT_EQ(TakeLog(), (std::vector<std::string>{
                           Logged(kConnect, "Attempting to connect to database using MS Access"),
                           Logged(kConnect, "Info: injected: OpenDatabase")}));
  EXPECT_TRUE(engine.OpenConnection("", "", "", "", false));
  EXPECT_EQ(engine.Connection()->State(), 1);
  TakeLog();

  // Whatever escapes the platform is trapped and logged as the routine's failure.
  world.env.ThrowOn("OpenDatabase");
  EXPECT_FALSE(engine.OpenConnection("", "", "", "", false));
  std::vector<std::string> log = TakeLog();
  ASSERT_FALSE(log.empty());
  EXPECT_TRUE(StartsWith(log.back(), Logged(kConnect, ""))) << log.back();
  EXPECT_NE(log.back().find("injected: OpenDatabase"), std::string::npos) << log.back();
  EXPECT_TRUE(std::none_of(log.begin(), log.end(), [](const std::string& l) {
    return l.find("Connected to database successfully.") != std::string::npos;
  }));
}

TEST_F(EngineDatabaseTest, OpenRecordsetTellsEmptyFromFilledFromMissing) {
  ConnectWithResponsesTable();

  EXPECT_EQ(engine.OpenRecordset("SELECT * FROM [Resp] ORDER BY Line, Across", true), 1);
  Recordset* set = engine.CurrentRecordset();
  ASSERT_NE(set, nullptr);
  EXPECT_EQ(set->State(), 1);
  EXPECT_TRUE(set->Bof() && set->Eof());

  ASSERT_TRUE(engine.ExecuteScript(
      "Resp", "INSERT INTO [%s] (Line, Across, Title) VALUES (2, 1, 'second')"));
  ASSERT_TRUE(engine.ExecuteScript(
      "Resp", "INSERT INTO [%s] (Line, Across, Title) VALUES (1, 5, 'first')"));
  TakeLog();
  EXPECT_EQ(engine.OpenRecordset("SELECT * FROM [Resp] ORDER BY Line, Across", false), -1);
  // Reopening closed the previous set and made a new one current.
  ASSERT_NE(engine.CurrentRecordset(), nullptr);
  set = engine.CurrentRecordset();
  EXPECT_FALSE(set->Bof());
  EXPECT_FALSE(set->Eof());
  EXPECT_EQ(set->Field("Title").ToText(), "first");
  EXPECT_TRUE(TakeLog().empty());

  EXPECT_EQ(engine.OpenRecordset("SELECT * FROM [NoSuchTable]", true), 0);
  std::vector<std::string> log = TakeLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_TRUE(StartsWith(log[0], Logged(kOpenSet, ""))) << log[0];
  EXPECT_GT(log[0].size(), Logged(kOpenSet, "").size());
  // The failed set stays current.
  ASSERT_NE(engine.CurrentRecordset(), nullptr);
  EXPECT_EQ(engine.CurrentRecordset()->State(), 0);

  engine.CloseRecordset();
  EXPECT_EQ(engine.CurrentRecordset(), nullptr);
  engine.CloseRecordset();  // nothing to close
  EXPECT_TRUE(TakeLog().empty());
}

TEST_F(EngineDatabaseTest, ExecuteScriptReplacesEveryPlaceholderExactly) {
  ConnectWithResponsesTable();

  // No placeholder: run unchanged, the table ignored.
  EXPECT_TRUE(engine.ExecuteScript("Ignored", "CREATE TABLE Plain (A SHORT)"));
  EXPECT_EQ(
      TakeLog(),
      (std::vector<std::string>{
          Logged(kExecute, "Attempting to execute command string: 'CREATE TABLE Plain (A SHORT)'"),
          Logged(kExecute, "Command executed successfully.")}));

  // Two placeholders, both replaced; "%S" is not one.
  EXPECT_TRUE(engine.ExecuteScript("Resp", "INSERT INTO [%s] (Title, Data) VALUES ('%s', '%S')"));
  EXPECT_EQ(TakeLog().front(), Logged(kExecute,
                                      "Attempting to execute command string: "
                                      "'INSERT INTO [Resp] (Title, Data) VALUES ('Resp', '%S')'"));
  ASSERT_EQ(engine.OpenRecordset("SELECT * FROM [Resp]", false), -1);
  EXPECT_EQ(engine.CurrentRecordset()->Field("Title").ToText(), "Resp");
  EXPECT_EQ(engine.CurrentRecordset()->Field("Data").ToText(), "%S");

  // A table name holding "%s" is not searched again.
  EXPECT_TRUE(engine.ExecuteScript("x%s", "SELECT '%s' AS A"));
  EXPECT_EQ(TakeLog().front(),
            Logged(kExecute, "Attempting to execute command string: 'SELECT 'x%s' AS A'"));

  // A failing statement: the reason, then the failed command.
  EXPECT_FALSE(engine.ExecuteScript("Resp", "CREATE TABLE %s (A SHORT)"));
  std::vector<std::string> log = TakeLog();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_TRUE(StartsWith(log[1], Logged(kExecute, ""))) << log[1];
  EXPECT_GT(log[1].size(), Logged(kExecute, "").size());
  EXPECT_EQ(log[2],
            Logged(kExecute, "Failed to execute command string: 'CREATE TABLE [Resp] (A SHORT)'"));
}

TEST_F(EngineDatabaseTest, ATableNameStaysOneNameAndAScriptRunsAsOneStatement) {
  ConnectWithResponsesTable();
  struct Case {
    std::string table, script;
    bool runs;
    std::string command;  // as logged
  };
  const Case cases[] = {
      {"x(a INT);DROP TABLE Resp;CREATE TABLE pwned", "CREATE TABLE %s (A SHORT)", true,
       "CREATE TABLE [x(a INT);DROP TABLE Resp;CREATE TABLE pwned] (A SHORT)"},
      {"a]b", "CREATE TABLE %s (A SHORT)", true, "CREATE TABLE [a]]b] (A SHORT)"},
      {"a]b", "CREATE UNIQUE INDEX ID ON [%s] (A)", true, "CREATE UNIQUE INDEX ID ON [a]]b] (A)"},
      {"it's", "SELECT '%s' AS A", true, "SELECT 'it''s' AS A"},
      {"T", "CREATE TABLE %s (A SHORT); DROP TABLE Resp", false,
       "CREATE TABLE [T] (A SHORT); DROP TABLE Resp"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    EXPECT_EQ(engine.ExecuteScript(c.table, c.script), c.runs);
    EXPECT_EQ(TakeLog().front(),
              Logged(kExecute, "Attempting to execute command string: '" + c.command + "'"));
  }
  // Nothing dropped; the odd names are tables of their own; the two-statement
  // text ran not even its first statement.
  EXPECT_EQ(engine.OpenRecordset("SELECT * FROM [Resp]", false), 1);
  EXPECT_EQ(engine.OpenRecordset("SELECT * FROM [a]]b]", false), 1);
  EXPECT_EQ(
      engine.OpenRecordset("SELECT * FROM [x(a INT);DROP TABLE Resp;CREATE TABLE pwned]", false),
      1);
  EXPECT_EQ(engine.OpenRecordset("SELECT * FROM [T]", false), 0);
}

TEST_F(EngineDatabaseTest, WithoutAConnectionNothingRuns) {
  EXPECT_EQ(engine.OpenRecordset("SELECT * FROM [Resp]", true), 0);
  std::vector<std::string> log = TakeLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_TRUE(StartsWith(log[0], Logged(kOpenSet, ""))) << log[0];
  EXPECT_EQ(engine.CurrentRecordset(), nullptr);
  EXPECT_FALSE(engine.ExecuteScript("T", "CREATE TABLE %s (A SHORT)"));
  EXPECT_EQ(TakeLog(), std::vector<std::string>{Logged(kExecute, kBlank)});

  ConnectWithResponsesTable();
  EXPECT_FALSE(engine.ExecuteScript("T", ""));
  EXPECT_EQ(TakeLog(), std::vector<std::string>{Logged(kExecute, kBlank)});

  engine.CloseConnection();
  TakeLog();
  EXPECT_FALSE(engine.ExecuteScript("T", "CREATE TABLE %s (A SHORT)"));
  EXPECT_EQ(TakeLog(), std::vector<std::string>{Logged(kExecute, kBlank)});

  // Nothing reached the database: a new connection finds no table T.
  ASSERT_TRUE(engine.OpenConnection("", "", "", "", false));
  EXPECT_EQ(engine.OpenRecordset("SELECT * FROM [T]", false), 0);
}

TEST_F(EngineDatabaseTest, ClosingAndDestroyingReleaseTheSetThenTheConnection) {
  engine.CloseConnection();
  engine.CloseRecordset();
  EXPECT_TRUE(TakeLog().empty());  // closing logs only when a connection existed
  MakeDatabase();
  {
    CSImportEngine other(world.ctx);
    other.SetOutputObject(&output);
    other.SetOutputDatabase(engine.OutputDatabase());
    ASSERT_TRUE(other.OpenConnection("", "", "", "", false));
    ASSERT_TRUE(other.ExecuteScript("Resp", ResourceString(kResponsesTable)));
    ASSERT_EQ(other.OpenRecordset("SELECT * FROM [Resp]", true), 1);
    Recordset* set = other.CurrentRecordset();
    FileTransaction transaction(other.Connection());
    ASSERT_TRUE(set->AddNew());
    ASSERT_TRUE(set->SetField("Title", db::Value::Text("kept")));
    ASSERT_TRUE(set->Update());
    TakeLog();
  }
  EXPECT_EQ(TakeLog(), std::vector<std::string>{
                           Logged("CSImportEngine::CloseConnection", "Connection closed.")});
  // The row written through the set is in the file once the engine is gone.
  ASSERT_TRUE(engine.OpenConnection("", "", "", "", false));
  ASSERT_EQ(engine.OpenRecordset("SELECT * FROM [Resp]", false), -1);
  EXPECT_EQ(engine.CurrentRecordset()->Field("Title").ToText(), "kept");
}

}  // namespace
