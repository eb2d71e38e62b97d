// An unattended import of the sample host's comparables through the ingestor
// binary (the batch route for data type 7): the main records become rows, the
// supplement records fill in or add rows, and the short last main record is
// reported so the exit status tells a script.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "doubles/TestWorld.h"
#include "e2e/RunProgram.h"
#include "platform/PosixEnv.h"

namespace {

namespace fs = std::filesystem;
using e2e::TailPath;

const std::string kIngestor = INGESTOR_BINARY;
const std::string kExtractor = INGESTOR_SAMPLE_EXTRACTOR;

class ComparablesRun : public ::testing::Test {
 protected:
  void SetUp() override {
    auto r = e2e::Run(INGESTOR_SAMPLE_HOST, {world.Native("host")});
    ASSERT_EQ(r.status, 0) << r.err;
  }
  e2e::RunResult Import(const std::string& out, const std::vector<std::string>& env) {
    world.MakeFolder(out);
    const std::string tail = TailPath(kExtractor) + "/" + TailPath(world.Native("host/data")) +
                             "/" + TailPath(world.Native(out)) + "\\/7/" +
                             TailPath(world.Native("Comparables.mdb")) + "/False/True";
    std::vector<std::string> all{"WINDIR=" + world.Native("host")};
    all.insert(all.end(), env.begin(), env.end());
    return e2e::Run(kIngestor, {tail}, all);
  }
  std::string Log(const std::string& out) { return e2e::LogIn(world.Native(out)); }
  // Selected columns of every ZazOzurs row, by WCID.
  std::map<std::string, std::vector<std::string>> Rows() {
    std::vector<std::string> errors;
    auto db = env.OpenDatabase(
        "DRIVER={Microsoft Access Driver (*.mdb)};DBQ=" + world.Native("Comparables.mdb") + ";",
        errors);
    std::map<std::string, std::vector<std::string>> rows;
    if (!db) return rows;
    std::string error;
    auto st = db->Prepare(
        "SELECT WCID, xStreet, ContractDate, Price, PhotoID, FLP, Comment, Neighborhood FROM "
        "ZazOzurs ORDER BY ID",
        error);
    if (!st) return rows;
    while (st->Step() == db::StepResult::Row) {
      std::vector<std::string> row;
      for (int i = 1; i < 8; ++i) row.push_back(st->Column(i).ToText());
      rows[st->Column(0).ToText()] = row;
    }
    return rows;
  }

  testing_doubles::TestWorld world;
  platform::PosixEnv env;
};

TEST_F(ComparablesRun, MainAndSupplementRecordsLandThroughTheBatchRoute) {
  // Without the switch the command line still refuses the data type.
  auto refused = Import("out0", {});
  EXPECT_EQ(refused.status, 2);
  EXPECT_FALSE(fs::exists(world.Native("Comparables.mdb")));

  auto r = Import("out", {"INGESTOR_ALLOW_COMPARABLES=1"});
  // The last main record is cut short: saved, and reported.
  EXPECT_EQ(r.status, 3) << r.err;
  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 4u);
  // WC-1001 and wc-1002 (as WC-1002) were updated, WC-2001 added.
  ASSERT_TRUE(rows.count("WC-1001"));
  EXPECT_EQ(rows.at("WC-1001"),
            (std::vector<std::string>{"Rue de l'\xC3\x89"
                                      "cole",
                                      "2006-02-09", "245000", "P7", "0",
                                      "Caf\xC3\xA9 on the ground floor", "Beaus\xC3\xA9jour"}));
  ASSERT_TRUE(rows.count("WC-1002"));
  EXPECT_EQ(rows.at("WC-1002")[0], "O'Neil Ave");
  EXPECT_EQ(rows.at("WC-1002")[1], "");  // no contract date
  EXPECT_EQ(rows.at("WC-1002")[4], "249900");
  EXPECT_EQ(rows.at("WC-1002")[5], "Corner lot; seller O'Neil paid closing costs.");
  ASSERT_TRUE(rows.count("WC-1003"));
  EXPECT_EQ(rows.at("WC-1003")[3], "");  // no supplement record
  ASSERT_TRUE(rows.count("WC-2001"));
  EXPECT_EQ(rows.at("WC-2001")[0], "");  // a row of the supplement's own
  EXPECT_EQ(rows.at("WC-2001")[4], "-1");

  const std::string log = Log("out");
  for (const char* line :
       {"Attempting to import file: 'xcomps.dat.tmp', this *may* take several minutes...",
        "Warning: record 3 of file 'xcomps.dat.tmp' at byte 1272 is cut short",
        "File 'xcomps.dat.tmp': 3 read, 3 added, 0 overwritten, 0 kept, 0 rejected.",
        "File 'xcomps.cp2.tmp': 3 read, 1 added, 2 overwritten, 0 kept, 0 rejected.",
        "[Text]6 records added."})
    EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
  EXPECT_LT(log.find("xcomps.dat.tmp"), log.find("xcomps.cp2.tmp"));
}

}  // namespace
