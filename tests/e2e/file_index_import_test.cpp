// Unattended imports of the sample host's appraisal index through the
// ingestor binary: the template database is copied in, every record becomes
// a row, and the record cut short by the end of the file shows in the exit
// status.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "doubles/TestWorld.h"
#include "e2e/RunProgram.h"
#include "platform/PosixEnv.h"

namespace {

using e2e::TailPath;

const std::string kIngestor = INGESTOR_BINARY;
const std::string kExtractor = INGESTOR_SAMPLE_EXTRACTOR;

class FileIndexRun : public ::testing::Test {
 protected:
  void SetUp() override {
    auto r = e2e::Run(INGESTOR_SAMPLE_HOST, {world.Native("host")});
    ASSERT_EQ(r.status, 0) << r.err;
  }
  // Imports the host's data folder as the appraisal index into Appraisals.mdb.
  e2e::RunResult Import(const std::string& out) {
    world.MakeFolder(out);
    const std::string tail = TailPath(kExtractor) + "/" + TailPath(world.Native("host/data")) +
                             "/" + TailPath(world.Native(out)) + "\\/4/" +
                             TailPath(world.Native("Appraisals.mdb")) + "/False/False";
    return e2e::Run(kIngestor, {tail}, {"WINDIR=" + world.Native("host")});
  }
  std::string Log(const std::string& out) { return e2e::LogIn(world.Native(out)); }
  // The columns named, of every FileIndex row in insertion order; NULL as "<null>".
  std::vector<std::vector<std::string>> Rows(const std::string& columns, int count) {
    std::vector<std::string> errors;
    auto db = env.OpenDatabase(
        "DRIVER={Microsoft Access Driver (*.mdb)};DBQ=" + world.Native("Appraisals.mdb") + ";",
        errors);
    std::vector<std::vector<std::string>> rows;
    if (!db) return rows;
    std::string error;
    auto st = db->Prepare("SELECT " + columns + " FROM FileIndex ORDER BY ID", error);
    if (!st) return rows;
    while (st->Step() == db::StepResult::Row) {
      std::vector<std::string> row;
      for (int i = 0; i < count; ++i)
        row.push_back(st->Column(i).IsNull() ? "<null>" : st->Column(i).ToText());
      rows.push_back(row);
    }
    return rows;
  }

  testing_doubles::TestWorld world;
  platform::PosixEnv env;
};

TEST_F(FileIndexRun, TheSampleIndexLandsRowForRecordAndAgainOnASecondRun) {
  auto first = Import("out0");
  // The sample's last record is cut short: its row is added, and reported.
  EXPECT_EQ(first.status, 3) << first.err;
  const std::string log = Log("out0");
  EXPECT_NE(log.find("Attempting to import file: 'didovuro.dta.tmp'."), std::string::npos) << log;
  EXPECT_NE(log.find("Warning: record 3 of file 'didovuro.dta.tmp'"), std::string::npos) << log;
  EXPECT_NE(log.find("File 'didovuro.dta.tmp': 3 read, 3 added, 0 overwritten, 0 kept, 0 "
                     "rejected."),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("[Source]ImportFileIndex::CSImportEngine [Index]na [Text]3 records added."),
            std::string::npos)
      << log;

  auto rows = Rows(
      "FileID, Filename, Fullpath, Owner, City, State, DateReceived, DateAssigned, DateDue, "
      "DateDelivered, TrackingExtra",
      11);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"A12", "A12.rpt", "C:\\Reports\\2006\\A12.rpt",
                                               "Ren\xC3\xA9"
                                               "e Dubois",
                                               "Montr\xC3\xA9"
                                               "al",
                                               "", "2006-01-05", "2006-01-06", "2006-01-31",
                                               "<null>", "Rush - call before visit"}));
  EXPECT_EQ(rows[1][2], "");        // length 288: no path
  EXPECT_EQ(rows[1][6], "<null>");  // the empty received date
  EXPECT_EQ(rows[2][0], "C7");
  EXPECT_EQ(rows[2][6], "<null>");  // past the end of the file

  auto second = Import("out1");
  EXPECT_EQ(second.status, 3) << second.err;
  EXPECT_EQ(Rows("FileID", 1).size(), 6u);
}

}  // namespace
