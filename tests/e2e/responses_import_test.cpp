// Unattended imports of the sample host's common responses through the
// ingestor binary: rows land, conflicts nobody can answer keep the existing
// rows, and the exit status tells a script whether every record was written.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "doubles/TestWorld.h"
#include "e2e/RunProgram.h"
#include "platform/PosixEnv.h"

namespace {

using e2e::TailPath;

const std::string kIngestor = INGESTOR_BINARY;
const std::string kExtractor = INGESTOR_SAMPLE_EXTRACTOR;

class ResponsesRun : public ::testing::Test {
 protected:
  void SetUp() override {
    auto r = e2e::Run(INGESTOR_SAMPLE_HOST, {world.Native("host")});
    ASSERT_EQ(r.status, 0) << r.err;
  }
  // Imports `source` (relative to the host) as data type `type` into
  // CommonResponses.mdb with comparisons on.
  e2e::RunResult Import(int type, const std::string& source, const std::string& out) {
    world.MakeFolder(out);
    const std::string tail = TailPath(kExtractor) + "/" + TailPath(world.Native("host/" + source)) +
                             "/" + TailPath(world.Native(out)) + "\\/" + std::to_string(type) +
                             "/" + TailPath(world.Native("CommonResponses.mdb")) + "/False/False";
    return e2e::Run(kIngestor, {tail}, {"WINDIR=" + world.Native("host")});
  }
  std::string Log(const std::string& out) { return e2e::LogIn(world.Native(out)); }
  // (Line, Across, FunctionKey, Title, Data) of every row of `table`.
  std::vector<std::vector<std::string>> Rows(const std::string& table) {
    std::vector<std::string> errors;
    auto db = env.OpenDatabase(
        "DRIVER={Microsoft Access Driver (*.mdb)};DBQ=" + world.Native("CommonResponses.mdb") + ";",
        errors);
    std::vector<std::vector<std::string>> rows;
    if (!db) return rows;
    std::string error;
    auto st = db->Prepare(
        "SELECT Line, Across, FunctionKey, Title, Data FROM " + table + " ORDER BY ID", error);
    if (!st) return rows;
    while (st->Step() == db::StepResult::Row) {
      std::vector<std::string> row;
      for (int i = 0; i < 5; ++i) row.push_back(st->Column(i).ToText());
      rows.push_back(row);
    }
    return rows;
  }

  testing_doubles::TestWorld world;
  platform::PosixEnv env;
};

TEST_F(ResponsesRun, TheHostsResponsesLandAndAConflictingPrivateSetKeepsThem) {
  auto first = Import(0, "data", "out0");
  ASSERT_EQ(first.status, 0) << first.err;
  const auto rows = Rows("resp");
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"12", "3", "1", "Site view",
                                               "Quiet street facing the Caf\xC3\xA9 du Parc; no "
                                               "adverse easements noted."}));
  EXPECT_EQ(rows[1][2], "6");  // key code 999
  EXPECT_EQ(rows[2][3], "Condition");
  const std::string log = Log("out0");
  EXPECT_NE(log.find("Bypassing file: 'global.dat'."), std::string::npos);
  EXPECT_NE(log.find("File 'resp.dat.tmp': 4 read, 4 added, 0 overwritten, 0 kept, 0 rejected."),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("ends with 17 byte(s) at byte"), std::string::npos) << log;
  EXPECT_NE(log.find("Import finished successfully!"), std::string::npos);

  // The private set holds the same responses: nobody can answer the
  // question, so every existing row stays and each is logged.
  auto second = Import(1, "private", "out1");
  ASSERT_EQ(second.status, 0) << second.err;
  EXPECT_EQ(Rows("resp").size(), 5u);  // only the F9 response is added again
  const std::string log1 = Log("out1");
  EXPECT_NE(log1.find("nobody could answer the question (no terminal), so the existing row was "
                      "kept."),
            std::string::npos);
  EXPECT_NE(second.err.find("Do you wish to overwrite this response?"), std::string::npos);
}

TEST_F(ResponsesRun, ARowTheDatabaseRefusesGivesExitStatusThree) {
  // A responses table that refuses lines up to 20: two of the four sample
  // responses are refused, the others land.
  world.Write("CommonResponses.mdb", "");
  {
    std::vector<std::string> errors;
    auto db = env.OpenDatabase(
        "DRIVER={Microsoft Access Driver (*.mdb)};DBQ=" + world.Native("CommonResponses.mdb") + ";",
        errors);
    ASSERT_TRUE(db);
    std::string error;
    ASSERT_TRUE(db->Execute(
        "CREATE TABLE resp (ID INTEGER PRIMARY KEY, Line INTEGER CHECK (Line > 20), Across "
        "INTEGER, FunctionKey INTEGER, Macro INTEGER, Append INTEGER, Title TEXT, Data TEXT, "
        "Vendor INTEGER)",
        error))
        << error;
  }
  auto r = Import(0, "data", "out");
  EXPECT_EQ(r.status, 3) << r.err;
  const std::string log = Log("out");
  EXPECT_NE(log.find("Rejected record 1 of file 'resp.dat.tmp' at byte 0: the database refused "
                     "the row"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("4 read, 2 added, 0 overwritten, 0 kept, 2 rejected."), std::string::npos);
  EXPECT_EQ(Rows("resp").size(), 2u);
}

}  // namespace
