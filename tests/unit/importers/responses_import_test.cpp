#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecordWriter.h"
#include "doubles/TestWorld.h"
#include "engine/CSImportEngine.h"
#include "engine/DbConnection.h"
#include "engine/Recordset.h"
#include "importers/ResponsesTable.h"
#include "importers/layouts/ResponsesLayout.h"
#include "support/ResourceStrings.h"
#include "unit/importers/ImporterFixture.h"

namespace {

using platform::MsgAnswer;
using samplehost::ResponseRecord;
using std::string_literals::operator""s;
using testing_doubles::ImporterFixture;
using testing_doubles::TestWorld;

// A response with a plain title and no padding.
std::string Resp(int line, int across, int code, const std::string& title, const std::string& text,
                 int flags = 0) {
  return ResponseRecord(line, across, code, title, false, flags, text, 0);
}

class ResponsesImportTest : public ImporterFixture {
 protected:
  ResponsesImportTest() : ImporterFixture(0) {}

  // Writes the output files and runs the import stage over them in this order.
  bool Import(const std::vector<std::pair<std::string, std::string>>& files) {
    SetOutputFiles(files);
    return DirectImport::ImportListed(engine);
  }

  // Every row of `table` in key order: Line, Across, FunctionKey, Macro,
  // Append, Title, Data, Vendor as text.
  std::vector<std::vector<std::string>> Rows(const std::string& table) {
    Recordset rs(*engine.Connection());
    EXPECT_TRUE(rs.Open("SELECT * FROM [" + table + "] ORDER BY Line, Across, ID", false));
    std::vector<std::vector<std::string>> rows;
    for (bool ok = !(rs.Bof() && rs.Eof()); ok && !rs.Eof(); ok = rs.MoveNext()) {
      std::vector<std::string> row;
      for (int i = 1; i <= 8; ++i) row.push_back(rs.Field(i).ToText());
      rows.push_back(row);
    }
    return rows;
  }

  // The log lines' texts (after "[Text]"), in order.

  void MakeTableWithRow(const std::string& table, int line, int across, int key,
                        const std::string& title) {
    ASSERT_TRUE(engine.ExecuteScript(table, ResourceString(501)));
    ASSERT_TRUE(engine.Connection()->Execute(
        "INSERT INTO [" + table + "] (Line, Across, FunctionKey, Macro, Append, Title, Data, " +
        "Vendor) VALUES (" + std::to_string(line) + ", " + std::to_string(across) + ", " +
        std::to_string(key) + ", 0, -1, '" + title + "', 'old text', -1)"));
  }
};

TEST(ResponsesTableName, TheThreeTextSetsShareOneTable) {
  EXPECT_EQ(importers::ResponsesTableName("text.tmp"), "textA");
  EXPECT_EQ(importers::ResponsesTableName("TEXTB.tmp"), "TEXTA");
  EXPECT_EQ(importers::ResponsesTableName("TextA.tmp"), "TextA");
  EXPECT_EQ(importers::ResponsesTableName("ABC.DAT.tmp"), "ABC");
  EXPECT_EQ(importers::ResponsesTableName("noext"), "noext");
}

TEST_F(ResponsesImportTest, CreatesTablesAndDecodesEveryField) {
  namespace r = layouts::responses;
  std::string file;
  file += Resp(10, 2, r::kKeyCodeF9, "Default", "See addendum.");
  file += Resp(10, 3, 5, "Header\0more"s, "  kept as is  ", 3);
  file += ResponseRecord(11, 1, 4, std::string(22, ' '), true, 0, "Caf\xE9 au lait", 9);
  file += Resp(12, 1, 4, "Last", "to the end", 0).substr(0);
  file.pop_back();  // the last record ends at end of file without its NUL
  ASSERT_TRUE(Import({{"ABC.DAT.tmp", file}}));

  EXPECT_TRUE(Logged("Table 'ABC' did not appear to exist."));
  EXPECT_TRUE(Logged("Created table 'ABC' successfully."));
  const auto rows = Rows("ABC");
  ASSERT_EQ(rows.size(), 4u);
  // Key code 999 is stored as 6; flags 0: no macro, append.
  EXPECT_EQ(rows[0], (std::vector<std::string>{"10", "2", "6", "0", "-1", "Default",
                                               "See addendum.", "-1"}));
  // Key code 5 is F5, stored as 2; flags 3: macro, no append; the title ends
  // at its NUL; the text is stored untrimmed.
  EXPECT_EQ(rows[1], (std::vector<std::string>{"10", "3", "2", "-1", "0", "Header",
                                               "  kept as is  ", "-1"}));
  EXPECT_EQ(rows[2][5], "");
  EXPECT_EQ(rows[2][6], "Caf\xC3\xA9 au lait");
  EXPECT_EQ(rows[3][6], "to the end");
  EXPECT_TRUE(Logged("File 'ABC.DAT.tmp': 4 read, 4 added, 0 overwritten, 0 kept, 0 rejected."));
  EXPECT_EQ(engine.RecordsRejected(), 0);
}

TEST_F(ResponsesImportTest, TextFilesShareTableTextAAndAFreshTableIsNeverCompared) {
  // Two records with the same key in a table created by this import: both added.
  const std::string dup = Resp(1, 1, 4, "One", "a") + Resp(1, 1, 4, "Two", "b");
  ASSERT_TRUE(Import({{"text.tmp", dup}, {"TEXTB.tmp", Resp(1, 1, 4, "Three", "c")}}));
  EXPECT_EQ(Rows("TEXTA").size(), 3u);
  EXPECT_TRUE(world.ui.boxes.empty());
  EXPECT_EQ(std::count(output.lines.begin(), output.lines.end(), output.lines[0]), 1);
}

TEST_F(ResponsesImportTest, ConflictQuestionTextsAndAnswersOfEachKind) {
  MakeTableWithRow("resp", 7, 8, 2, "Old title");
  const std::string conflict = Resp(7, 8, 5, "New title", "new text");

  // No, then No to keep-all: kept, and the next conflict asks again.
  world.ui.answers = {MsgAnswer::No, MsgAnswer::No, MsgAnswer::No, MsgAnswer::No};
  ASSERT_TRUE(Import({{"resp.tmp", conflict + conflict}}));
  ASSERT_EQ(world.ui.boxes.size(), 4u);
  const std::string crlf = "\r\n";
  EXPECT_EQ(world.ui.boxes[0].text,
            "Importing response: 'New title'" + crlf + crlf +
                "There is an existing response for this function key and field combination." +
                crlf + crlf + "    Title: 'Old title'" + crlf + "    Field: (7, 8)" + crlf +
                "      Key: F5" + crlf + crlf + "Do you wish to overwrite this response?");
  EXPECT_EQ(world.ui.boxes[0].title, ResourceString(101));
  EXPECT_EQ(world.ui.boxes[0].buttons, platform::MsgButtons::YesNo);
  EXPECT_EQ(world.ui.boxes[0].icon, platform::MsgIcon::Question);
  EXPECT_EQ(world.ui.boxes[1].text, "Do you wish to KEEP ALL EXISTING responses?");
  EXPECT_EQ(Rows("resp")[0][5], "Old title");
  EXPECT_TRUE(Logged("File 'resp.tmp': 2 read, 0 added, 0 overwritten, 2 kept, 0 rejected."));

  // No, then Yes to keep-all: every later conflict of the run is kept
  // silently, in later files too.
  world.ui.boxes.clear();
  world.ui.answers = {MsgAnswer::No, MsgAnswer::Yes};
  ASSERT_TRUE(Import({{"resp.tmp", conflict + conflict}, {"resp.dat.tmp", conflict}}));
  EXPECT_EQ(world.ui.boxes.size(), 2u);
  EXPECT_TRUE(engine.KeepAllExisting());

  // Yes, then No to overwrite-all: overwritten, and the next conflict asks.
  world.ui.boxes.clear();
  world.ui.answers = {MsgAnswer::Yes, MsgAnswer::No, MsgAnswer::No, MsgAnswer::No};
  ASSERT_TRUE(Import({{"resp.tmp", conflict + Resp(7, 8, 5, "Newer", "x")}}));
  ASSERT_EQ(world.ui.boxes.size(), 4u);
  EXPECT_EQ(world.ui.boxes[1].text, "Do you wish to overwrite ALL conflicting responses?");
  // The second question already shows the overwritten row.
  EXPECT_NE(world.ui.boxes[2].text.find("Title: 'New title'"), std::string::npos);
  EXPECT_EQ(Rows("resp").size(), 1u);
  EXPECT_EQ(Rows("resp")[0][5], "New title");

  // Yes, then Yes to overwrite-all: later conflicts in later files overwrite silently.
  world.ui.boxes.clear();
  world.ui.answers = {MsgAnswer::Yes, MsgAnswer::Yes};
  ASSERT_TRUE(Import({{"resp.tmp", conflict}, {"resp.dat.tmp", Resp(7, 8, 5, "Last", "y")}}));
  EXPECT_EQ(world.ui.boxes.size(), 2u);
  EXPECT_EQ(Rows("resp")[0][5], "Last");
  EXPECT_TRUE(Logged("File 'resp.dat.tmp': 1 read, 0 added, 1 overwritten, 0 kept, 0 rejected."));
}

TEST_F(ResponsesImportTest, RecordsThatAreNeverComparedAndUnansweredQuestions) {
  MakeTableWithRow("resp", 7, 8, 6, "Old F9");
  // Function key 6 (code 999) is always added.
  ASSERT_TRUE(Import({{"resp.tmp", Resp(7, 8, 999, "Another F9", "z")}}));
  EXPECT_EQ(Rows("resp").size(), 2u);
  EXPECT_TRUE(world.ui.boxes.empty());

  // With comparisons switched off a conflicting key is added too.
  engine.SetNoComparisons(true);
  ASSERT_TRUE(Import({{"resp.tmp", Resp(7, 8, 999, "Third", "z") + Resp(7, 8, 8, "F8", "q")}}));
  EXPECT_EQ(Rows("resp").size(), 4u);
  engine.SetNoComparisons(false);

  // Nobody at the terminal: the existing row is kept and the log says why.
  world.ui.canAsk = false;
  ASSERT_TRUE(Import({{"resp.tmp", Resp(7, 8, 8, "F8 again", "q")}}));
  EXPECT_EQ(Rows("resp").size(), 4u);
  EXPECT_TRUE(
      Logged("Record 1 of file 'resp.tmp' at byte 0 conflicts with an existing row; "
             "nobody could answer the question (no terminal), so the existing row was "
             "kept."));
}

TEST_F(ResponsesImportTest, AFileWhoseTransactionFailsLandsNothingAndSaysSoOnce) {
  MakeTableWithRow("resp", 1, 1, 4, "Old");
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"Begin",
       {"File 'resp.tmp': not imported: the database refused to start a transaction "
        "(injected: Begin)."}},
      {"Commit",
       {"File 'resp.tmp': not imported: the database refused to commit the file's rows "
        "(injected: Commit); none of its 2 record(s) were stored.",
        "File 'resp.tmp': 2 read, 0 added, 0 overwritten, 0 kept, 2 rejected."}},
  };
  for (const auto& [operation, lines] : cases) {
    SCOPED_TRACE(operation);
    output.lines.clear();
    world.env.FailAlways(operation);
    ASSERT_TRUE(Import({{"resp.tmp", Resp(2, 1, 4, "A", "a") + Resp(3, 1, 4, "B", "b")}}));
    world.env.Heal();
    for (const std::string& line : lines) EXPECT_TRUE(Logged(line)) << line;
    EXPECT_EQ(Rows("resp").size(), 1u);
    EXPECT_EQ(engine.RecordsRejected(), 1);  // one line for the file, none per record
  }
}

}  // namespace
