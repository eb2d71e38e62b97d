// The steps every importer shares around one output file, tested once here
// rather than in each importer's suite.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "engine/DbConnection.h"
#include "importers/FileDriver.h"
#include "importers/Importers.h"
#include "support/ResourceStrings.h"
#include "unit/importers/ImporterFixture.h"

namespace {

using testing_doubles::ImporterFixture;

class FileDriverTest : public ImporterFixture {
 protected:
  FileDriverTest() : ImporterFixture(4) {}
  bool LoggedFrom(const std::string& source, const std::string& index, const std::string& text) {
    for (const std::string& line : output.lines)
      if (line.find("[Source]" + source + " [Index]" + index + " [Text]" + text) !=
          std::string::npos)
        return true;
    return false;
  }
};

TEST_F(FileDriverTest, TableAndFileChecks) {
  const std::string query = importers::TableQuery("T", res::kFileIndexOrder);
  EXPECT_EQ(query, "SELECT * FROM [T] ORDER BY FileID, Fullpath");
  // No table: 0, the table named, the file counted as not imported.
  EXPECT_EQ(importers::OpenTableForFile(engine, "Src", "a.tmp", query, "T"), 0);
  EXPECT_TRUE(LoggedFrom("Src", "na", "Could not open table 'T'"));
  EXPECT_TRUE(
      LoggedFrom("Src", "na", "File 'a.tmp': not imported: its table could not be opened."));
  EXPECT_EQ(engine.RecordsRejected(), 1);
  // An empty table and one with rows.
  ASSERT_TRUE(engine.Connection()->Execute("CREATE TABLE T (FileID TEXT, Fullpath TEXT)"));
  EXPECT_EQ(importers::OpenTableForFile(engine, "Src", "a.tmp", query, "T"), 1);
  ASSERT_TRUE(engine.Connection()->Execute("INSERT INTO T VALUES ('1', 'x')"));
  EXPECT_EQ(importers::OpenTableForFile(engine, "Src", "a.tmp", query, "T"), -1);
  EXPECT_EQ(engine.RecordsRejected(), 1);

  SetOutputFiles({{"here.tmp", "x"}});
  EXPECT_TRUE(importers::SourceFileFound(engine, "Src", engine.OutputFolder() + "here.tmp"));
  EXPECT_TRUE(output.lines.empty());
  EXPECT_FALSE(importers::SourceFileFound(engine, "Src", engine.OutputFolder() + "gone.tmp"));
  EXPECT_TRUE(LoggedFrom(
      "Src", "na", "Source file was NOT found during import process: No such file or directory."));
}

TEST_F(FileDriverTest, CountLineAgreesWithTotalOrCount) {
  using Plural = importers::FileProgress::Plural;
  struct Case {
    Plural plural;
    std::int64_t total, k;
    const char* line;
  } cases[] = {
      {Plural::ByTotal, 1, 0, "0 of 1 record imported."},
      {Plural::ByTotal, 10, 1, "1 of 10 records imported."},
      {Plural::ByCount, 3, 1, "1 of 3 record imported."},
      {Plural::ByCount, 1, 0, "0 of 1 records imported."},
  };
  for (const Case& c : cases) {
    importers::FileProgress window(world.ctx, c.plural);
    window.Show("Importing", c.total);
    window.Count(c.k);
    window.Step();
    const auto& shown = *world.ui.windows.back();
    EXPECT_EQ(shown.counts.back(), c.line);
    EXPECT_EQ(shown.statuses.back(), "Importing");
  }
}

TEST_F(FileDriverTest, TrapLogsTheStageReachedAndReturnsTheFailureValue) {
  enum class Stage : int { Start = 0, First = 1, Second = 7 };
  const int result = importers::Trapped<Stage>(engine, "Routine", -1, [](Stage& stage) -> int {
    stage = Stage::Second;
    throw std::runtime_error("went wrong");
  });
  EXPECT_EQ(result, -1);
  EXPECT_TRUE(LoggedFrom("Routine", "7", "went wrong"));

  output.lines.clear();
  EXPECT_EQ(
      importers::Trapped<importers::NoStage>(engine, "Plain", 3, [](auto&) -> int { throw 1; }), 3);
  EXPECT_TRUE(LoggedFrom("Plain", "na", "Unknown error"));
  EXPECT_EQ(importers::Trapped<Stage>(engine, "Routine", 0, [](Stage&) { return 5; }), 5);
}

}  // namespace
