// The steps every importer shares around one output file, tested once here
// rather than in each importer's suite.
#include "importers/FileDriver.h"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "importers/FileReport.h"
#include "importers/RowLanding.h"
#include "support/ResourceStrings.h"
#include "ui/CProgressBar.h"
#include "unit/importers/ImporterFixture.h"

namespace {

using testing_doubles::ImporterFixture;
using testing_doubles::Rows;

TEST_F(ImporterFixture, MissingTablesAndFilesAndTheTrap) {
  output.lines.clear();
  const std::string query = importers::TableQuery("T", res::kFileIndexOrder);
  EXPECT_EQ(query, "SELECT * FROM [T] ORDER BY FileID, Fullpath");
  // No table: 0, and the file counted as not imported; then empty, then not.
  EXPECT_EQ(importers::OpenTableForFile(engine, "Src", "a.tmp", query, "T"), 0);
  Exec("CREATE TABLE T (FileID TEXT, Fullpath TEXT)");
  EXPECT_EQ(importers::OpenTableForFile(engine, "Src", "a.tmp", query, "T"), 1);
  Exec("INSERT INTO T VALUES ('1', 'x')");
  EXPECT_EQ(importers::OpenTableForFile(engine, "Src", "a.tmp", query, "T"), -1);
  EXPECT_TRUE(importers::SourceFileFound(engine, "Src", world.Program("out.mdb")));
  EXPECT_FALSE(importers::SourceFileFound(engine, "Src", engine.OutputFolder() + "gone.tmp"));
  // The trap logs what escaped with the stage reached as the line's index.
  enum class Stage : int { Start = 0, Second = 7 };
  EXPECT_EQ(importers::Trapped<Stage>(engine, "Trap", -1,
                                      [](Stage& stage) -> int {
                                        stage = Stage::Second;
                                        throw std::runtime_error("went wrong");
                                      }),
            -1);
  EXPECT_EQ(
      importers::Trapped<importers::NoStage>(engine, "Trap", 3, [](auto&) -> int { throw 1; }), 3);
  EXPECT_EQ(importers::Trapped<Stage>(engine, "Trap", 0, [](Stage&) { return 5; }), 5);
  std::vector<std::string> tails;
  for (const std::string& line : output.lines) tails.push_back(line.substr(line.find("[Source]")));
  EXPECT_EQ(tails, (std::vector<std::string>{
                       "[Source]OpenRecordset::CSImportEngine [Index]na [Text]no such table: T",
                       "[Source]Src [Index]na [Text]Could not open table 'T'",
                       "[Source]Src [Index]na [Text]File 'a.tmp': not imported: its table could "
                       "not be opened.",
                       "[Source]Src [Index]na [Text]Source file was NOT found during import "
                       "process: No such file or directory.",
                       "[Source]Trap [Index]7 [Text]went wrong",
                       "[Source]Trap [Index]na [Text]Unknown error"}));
  EXPECT_EQ(engine.RecordsRejected(), 1);
}

// Records of four bytes, each landed as a row of T.
TEST_F(ImporterFixture, OneFileInOneTransaction) {
  Exec("CREATE TABLE T (V TEXT)");
  importers::LookupRule add;
  add.alwaysAdd = true;
  ui::CProgressBar bar;
  bar.SetMax(100);
  engine.SetProgress(&bar);
  struct Case {
    std::string bytes;
    const char* fault;  // an operation failing from its next call on
    bool countFirst, ownTransaction, endsImport;
    std::string steps;  // O(pen), C(ount), the total opened, N(ext record), X (thrown)
    int begun, saved, rejected;
    Rows rows;
    std::vector<std::string> lines;
  };
  const std::string two = "00004AAAA00004BBBB", f = "File 'f.tmp': ";
  const Rows ab = {{"AAAA"}, {"BBBB"}};
  const std::string summary = f + "2 read, 2 added, 0 overwritten, 0 kept, 0 rejected.";
  const std::string none = f + "0 read, 0 added, 0 overwritten, 0 kept, 0 rejected.";
  // clang-format off
  const Case cases[] = {
      {two, "", true, false, false, "OC2NNN", 1, 2, 0, ab, {summary}},
      {two + "00", "", false, false, false, "O0NNN", 1, 2, 0, ab,
       {f.substr(0, 12) + " ends with 2 byte(s) at byte 18, too few for a record; they were not read.", summary}},
      // The importer's own transaction: the driver begins none.
      {two, "", false, true, false, "O0NNN", 0, 2, 0, ab, {summary}},
      {two, "Begin", false, false, false, "O0N", 1, 0, 1, {},
       {f + "not imported: the database refused to start a transaction (injected: Begin).", none}},
      {two, "Commit", false, false, false, "O0NNN", 1, 2, 1, {},
       {f + "not imported: the database refused to commit the file's rows (injected: Commit); none of its 2 "
            "record(s) were stored.", f + "2 read, 0 added, 0 overwritten, 0 kept, 2 rejected."}},
      {two, "ReadAt", false, false, false, "O0N", 1, 0, 1, {},
       {f + "not imported: reading the file failed (Input/output error); none of its 0 record(s) were stored.", none}},
      // A read failure that ends the import: no transaction, no summary.
      {two, "ReadAt", true, false, true, "OCX", 0, 0, 0, {}, {"Reading the file 'f.tmp' failed: Input/output error."}},
      {two, "OpenForReading", true, false, true, "OX", 0, 0, 0, {},
       {"The file 'f.tmp' could not be opened: Input/output error."}}};
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE("case " + std::to_string(&c - cases));
    Exec("DELETE FROM T");
    ASSERT_NE(engine.OpenRecordset("SELECT * FROM T", true), 0);
    SetOutputFiles({{"f.tmp", c.bytes}});
    const int rejected = engine.RecordsRejected(), begun = world.env.Calls("Begin");
    std::string steps;
    importers::FileResult result;
    {
      std::optional<FileTransaction> own;
      if (c.ownTransaction) own.emplace(engine.Connection());
      if (*c.fault) world.env.FailAlways(c.fault);
      importers::ForEachOutputFile(
          engine, engine.OutputFiles(), importers::Attempt::Plain, [&](const std::string& entry) {
            try {
              result = importers::ImportFileRows(
                  engine, "Src", entry, engine.OutputFolder() + entry,
                  {.framing = {.headSize = 4, .minRemaining = 9},
                   .countFirst = c.countFirst,
                   .readFailureEndsImport = c.endsImport,
                   .begun = own ? &*own : nullptr,
                   .reached = [&](importers::FileStep s) { steps += "OCN"[static_cast<int>(s)]; },
                   .opened = [&](std::int64_t total) { steps += std::to_string(total); },
                   .land =
                       [&](const importers::Record& r, importers::FileReport& report,
                           const FileTransaction&) {
                         Recordset& rs = *engine.CurrentRecordset();
                         const importers::Landing landing = importers::PlaceRecord(rs, add);
                         importers::RowWrite row(rs);
                         row.Set(0, db::Value::Text(std::string(r.head)));
                         return row.Finish(landing, report, r);
                       }});
            } catch (const std::exception& e) {
              steps += "X";
              engine.WriteToLog(e.what(), "", -1);
            }
          });
      world.env.Heal();
    }
    EXPECT_EQ(steps, c.steps);
    EXPECT_EQ(world.env.Calls("Begin") - begun, c.begun + c.ownTransaction);
    EXPECT_EQ(Query("SELECT V FROM T"), c.rows);
    std::vector<std::string> lines = {"Attempting to import file: 'f.tmp'."};
    lines.insert(lines.end(), c.lines.begin(), c.lines.end());
    EXPECT_EQ(Texts(), lines);
    EXPECT_EQ(result.committed, !c.rows.empty());
    EXPECT_EQ(result.saved, c.saved);
    EXPECT_EQ(engine.RecordsRejected() - rejected, c.rejected);
  }
  EXPECT_EQ(bar.Value(), static_cast<int>(std::size(cases)));
  engine.SetProgress(nullptr);
}

}  // namespace
