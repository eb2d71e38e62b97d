// Unattended imports of the sample host's lenders through the ingestor
// binary: the template database is copied in, the lenders land with the
// e-mail and note from the host's lender.ini, and a second run that nobody
// can answer keeps every existing lender.
#include <gtest/gtest.h>

#include "doubles/TestWorld.h"
#include "e2e/RunProgram.h"
#include "platform/PosixEnv.h"

namespace {

using e2e::TailPath;

const std::string kIngestor = INGESTOR_BINARY;
const std::string kExtractor = INGESTOR_SAMPLE_EXTRACTOR;

class LenderRun : public ::testing::Test {
 protected:
  void SetUp() override {
    auto r = e2e::Run(INGESTOR_SAMPLE_HOST, {world.Native("host")});
    ASSERT_EQ(r.status, 0) << r.err;
  }
  // Imports the host's data folder as lenders (data type 5) into Lenders.mdb.
  e2e::RunResult Import(const std::string& out, const std::string& noComparisons = "False") {
    world.MakeFolder(out);
    const std::string tail = TailPath(kExtractor) + "/" + TailPath(world.Native("host/data")) +
                             "\\/" + TailPath(world.Native(out)) + "\\/5/" +
                             TailPath(world.Native("Lenders.mdb")) + "/False/" + noComparisons;
    return e2e::Run(kIngestor, {tail}, {"WINDIR=" + world.Native("host")});
  }
  std::string Log(const std::string& out) { return e2e::LogIn(world.Native(out)); }
  // LenderDBID, LenderName, CityStateZip, ContactFirst, ContactLast,
  // Reference, Email and ContactNote of every row.
  std::vector<std::vector<std::string>> Rows() {
    std::vector<std::string> errors;
    auto db = env.OpenDatabase(
        "DRIVER={Microsoft Access Driver (*.mdb)};DBQ=" + world.Native("Lenders.mdb") + ";",
        errors);
    std::vector<std::vector<std::string>> rows;
    if (!db) return rows;
    std::string error;
    auto st = db->Prepare(
        "SELECT LenderDBID, LenderName, CityStateZip, ContactFirst, ContactLast, Reference, Email, "
        "ContactNote FROM Lenders ORDER BY ID",
        error);
    if (!st) return rows;
    while (st->Step() == db::StepResult::Row) {
      std::vector<std::string> row;
      for (int i = 0; i < 8; ++i) row.push_back(st->Column(i).ToText());
      rows.push_back(row);
    }
    return rows;
  }

  testing_doubles::TestWorld world;
  platform::PosixEnv env;
};

TEST_F(LenderRun, TheHostsLendersLandWithTheirContactsAndASecondRunKeepsThem) {
  auto first = Import("out0");
  ASSERT_EQ(first.status, 0) << first.err;
  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0],
            (std::vector<std::string>{"FNB", "First National Bank", "Boston, MA 02108", "Jane",
                                      "Smith", "REF-22", "jsmith@fnb.example.com", "Jane Smith"}));
  EXPECT_EQ(rows[1][0], "O'NEIL");
  EXPECT_EQ(rows[1][4], "O'Neil");
  EXPECT_EQ(rows[1][6], "loans@oneil.example.com");
  EXPECT_EQ(rows[1][7], "Mortgage desk");
  // Windows-1252 text arrives as UTF-8; the accented letter before the "@"
  // is a word boundary, so the address starts after it.
  EXPECT_EQ(rows[2][1],
            "Cr\xC3\xA9"
            "dit Mutuel de Qu\xC3\xA9"
            "bec");
  EXPECT_EQ(rows[2][6], "ts@creditmutuel.example.ca");
  EXPECT_EQ(rows[2][7], "Andr\xC3\xA9 pr");
  const std::string log = Log("out0");
  EXPECT_NE(log.find("Database 'Lenders.mdb' DID NOT exist."), std::string::npos) << log;
  EXPECT_NE(log.find("File 'lender.dta.tmp': 3 read, 3 added, 0 overwritten, 0 kept, 0 rejected."),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("File 'lender.dta.tmp' ends with 105 byte(s) at byte 744, too few for a "
                     "record; they were not read."),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("Import finished successfully!"), std::string::npos);

  // The same lenders again: nobody can answer, so each existing row stays.
  auto second = Import("out1");
  ASSERT_EQ(second.status, 0) << second.err;
  EXPECT_EQ(Rows(), rows);
  const std::string log1 = Log("out1");
  EXPECT_NE(log1.find("File 'lender.dta.tmp': 3 read, 0 added, 0 overwritten, 3 kept, 0 rejected."),
            std::string::npos)
      << log1;
  EXPECT_NE(second.err.find("Do you wish to overwrite the information for this lender?"),
            std::string::npos);

  // Without comparisons every lender is added beside the existing one.
  auto third = Import("out2", "True");
  ASSERT_EQ(third.status, 0) << third.err;
  EXPECT_EQ(Rows().size(), 6u);
}

TEST_F(LenderRun, ALenderTheDatabaseRefusesGivesExitStatusThree) {
  // A Lenders table that refuses IDs starting with "O": one of the three is refused.
  world.Write("Lenders.mdb", "");
  {
    std::vector<std::string> errors;
    auto db = env.OpenDatabase(
        "DRIVER={Microsoft Access Driver (*.mdb)};DBQ=" + world.Native("Lenders.mdb") + ";",
        errors);
    ASSERT_TRUE(db);
    std::string error;
    ASSERT_TRUE(db->Execute(
        "CREATE TABLE Lenders (ID INTEGER PRIMARY KEY, LenderDBID TEXT CHECK (LenderDBID NOT LIKE "
        "'O%'), LenderName TEXT, Address1 TEXT, Address2 TEXT, CityStateZip TEXT, Phone TEXT, "
        "ContactFirst TEXT, ContactLast TEXT, Fax TEXT, Reference TEXT, Website TEXT, Email TEXT, "
        "ContactNote TEXT)",
        error))
        << error;
  }
  auto r = Import("out");
  EXPECT_EQ(r.status, 3) << r.err;
  const std::string log = Log("out");
  EXPECT_NE(log.find("Rejected record 2 of file 'lender.dta.tmp' at byte 248: the database "
                     "refused the row"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("3 read, 2 added, 0 overwritten, 0 kept, 1 rejected."), std::string::npos);
  EXPECT_EQ(Rows().size(), 2u);
}

}  // namespace
