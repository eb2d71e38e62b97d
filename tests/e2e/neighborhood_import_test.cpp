// Unattended neighborhood imports through the ingestor binary. The command
// line names no conversion file; the run finds it through the host's Zev.ini,
// as the window's run does through its settings.
#include <gtest/gtest.h>

#include "doubles/TestWorld.h"
#include "e2e/RunProgram.h"
#include "platform/PosixEnv.h"

namespace {

using e2e::TailPath;

const std::string kIngestor = INGESTOR_BINARY;
const std::string kExtractor = INGESTOR_SAMPLE_EXTRACTOR;

class NeighborhoodRun : public ::testing::Test {
 protected:
  void SetUp() override {
    auto r = e2e::Run(INGESTOR_SAMPLE_HOST, {world.Native("host")});
    ASSERT_EQ(r.status, 0) << r.err;
    world.MakeFolder("empty");
  }
  // Imports the host's 1004 neighborhoods (data type 6) into Neighborhoods.mdb,
  // with `windows` as the Windows folder.
  e2e::RunResult Import(const std::string& out, const std::string& windows) {
    world.MakeFolder(out);
    const std::string tail = TailPath(kExtractor) + "/" +
                             TailPath(world.Native("host/data/neigh1004.dta")) + "/" +
                             TailPath(world.Native(out)) + "\\/6/" +
                             TailPath(world.Native("Neighborhoods.mdb")) + "/False/False";
    return e2e::Run(
        kIngestor, {tail},
        {"WINDIR=" + world.Native(windows), "INGESTOR_DRIVE_C=" + world.Native("empty")});
  }
  std::string Log(const std::string& out) { return e2e::LogIn(world.Native(out)); }
  std::vector<std::vector<std::string>> Query(const std::string& sql) {
    std::vector<std::string> errors;
    auto db = env.OpenDatabase(
        "DRIVER={Microsoft Access Driver (*.mdb)};DBQ=" + world.Native("Neighborhoods.mdb") + ";",
        errors);
    std::vector<std::vector<std::string>> rows;
    if (!db) return rows;
    std::string error;
    auto st = db->Prepare(sql, error);
    if (!st) return rows;
    while (st->Step() == db::StepResult::Row) {
      std::vector<std::string> row;
      for (int i = 0; i < st->ColumnCount(); ++i) row.push_back(st->Column(i).ToText());
      rows.push_back(row);
    }
    return rows;
  }

  testing_doubles::TestWorld world;
  platform::PosixEnv env;
};

TEST_F(NeighborhoodRun, TheCommandLineFindsTheConversionFileThroughTheHostConfiguration) {
  auto r = Import("out0", "host");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string log = Log("out0");
  EXPECT_EQ(log.find("Additional file was blank"), std::string::npos) << log;
  EXPECT_NE(log.find("File 'neigh1004.dta.tmp': 2 read, 2 added, 0 overwritten, 0 kept, 0 "
                     "rejected."),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("Import finished successfully!"), std::string::npos);

  // Fixed columns by position, tagged values by the conversion file's names.
  const auto rows = Query(
      "SELECT NeighborhoodName, NeighborhoodCode, Location, PriceHigh, Area, Description, Zone "
      "FROM Neighborhoods ORDER BY ID");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1],
            (std::vector<std::string>{"Val-d'Or Est", "NS-04", "Urban", "310", "North Shore",
                                      "Mixed residential, O'Neil Park to the east.", "R-1"}));
  EXPECT_EQ(rows[0][0], "Beaus\xC3\xA9jour");
  EXPECT_EQ(Query("SELECT NeighborhoodName FROM Neighborhoods2 ORDER BY NeighborhoodName"),
            (std::vector<std::vector<std::string>>{{"Beaus\xC3\xA9jour"}, {"Val-d'Or Est"}}));

  // Without a host configuration (no Zev.ini in the Windows folder or at the
  // fixed place) the conversion file cannot be found: a clear line, and the
  // run is not reported as a success.
  auto lost = Import("out1", "empty");
  EXPECT_EQ(lost.status, 1) << lost.err;
  const std::string log1 = Log("out1");
  EXPECT_NE(log1.find("Neighborhood conversion INI file"), std::string::npos) << log1;
  EXPECT_NE(log1.find("DID NOT exist."), std::string::npos);
  EXPECT_EQ(log1.find("Import finished successfully!"), std::string::npos);
  EXPECT_EQ(Query("SELECT COUNT(*) FROM Neighborhoods"),
            (std::vector<std::vector<std::string>>{{"2"}}));
}

}  // namespace
