#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecordWriter.h"
#include "doubles/TestWorld.h"
#include "engine/CSImportEngine.h"
#include "engine/DbConnection.h"
#include "engine/Recordset.h"
#include "importers/Importers.h"
#include "importers/layouts/FileIndexLayout.h"
#include "support/TemplateDatabase.h"
#include "unit/importers/ImporterFixture.h"

namespace {

namespace fi = layouts::fileindex;
using samplehost::Framed;
using samplehost::RecordWriter;
using testing_doubles::ImporterFixture;
using testing_doubles::TestWorld;

constexpr const char* kSource = "ImportFileIndex::CSImportEngine";
constexpr const char* kFile = "didovuro.dta.tmp";

// A head with a distinct value in every field; dates 5 Jan, 31 Jan, 2 Feb and
// 6 Jan 2006 in head order (received, due, delivered, assigned).
RecordWriter FullHead(const std::string& id) {
  RecordWriter head(fi::kHeadSize);
  head.Text(fi::kFileId, id)
      .Text(fi::kTrackingExtra, "  Rush  ", true)
      .Text(fi::kStreet, "14 Rue de l'\xC9glise")
      .Text(fi::kCity,
            "Montr\xE9"
            "al")
      .Text(fi::kCensusTract, "0042.01")
      .Text(fi::kZipCode, "02134-1234")
      .Text(fi::kLenderId, "FNB")
      .Text(fi::kLenderCaseNo, "C-88123")
      .Text(fi::kOwner, "Patrick O'Neil", true)
      .Text(fi::kFormId, "1004")
      .Date(fi::kDateReceived, 5, 1, 2006)
      .Date(fi::kDateDue, 31, 1, 2006)
      .Date(fi::kDateDelivered, 2, 2, 2006)
      .Date(fi::kDateAssigned, 6, 1, 2006)
      .Text(fi::kBuildingType, "Detached")
      .Text(fi::kBuildingDesign, "Colonial")
      .Text(fi::kAppraiserId, "RL");
  return head;
}

// A record whose head holds only the file ID (every date empty).
std::string Plain(const std::string& id, const std::string& tail = "") {
  return Framed(RecordWriter(fi::kHeadSize).Text(fi::kFileId, id).bytes() + tail);
}

std::string Plain(int n) {
  return Plain("F" + std::to_string(n));
}

class FileIndexImportTest : public ImporterFixture {
 protected:
  FileIndexImportTest() : ImporterFixture(4) {}

  void MakeTable() { ASSERT_TRUE(engine.Connection()->Execute(templatedb::FileIndexCreateSql())); }

  // Writes the files and runs the importer over `names` (by default the
  // files in order).
  std::int32_t Import(const std::vector<std::pair<std::string, std::string>>& files,
                      std::vector<std::string> names = {}) {
    SetOutputFiles(files, std::move(names));
    return importers::ImportFileIndex(engine);
  }
  std::int32_t Import(const std::string& bytes) { return Import({{kFile, bytes}}); }

  // Every row of FileIndex in insertion order, columns 1 to 21.
  std::vector<std::vector<db::Value>> Rows() {
    Recordset rs(*engine.Connection());
    EXPECT_TRUE(rs.Open("SELECT * FROM [FileIndex] ORDER BY ID", false));
    std::vector<std::vector<db::Value>> rows;
    for (bool ok = !(rs.Bof() && rs.Eof()); ok && !rs.Eof(); ok = rs.MoveNext()) {
      std::vector<db::Value> row(1);  // position 0 (the ID) left out
      for (int i = 1; i <= 21; ++i) row.push_back(rs.Field(i));
      rows.push_back(row);
    }
    return rows;
  }
};

TEST_F(FileIndexImportTest, EveryColumnTakesItsHeadFieldAndTheTail) {
  MakeTable();
  const std::string path = "C:\\R\\A12.rpt";
  ASSERT_EQ(path.size(), 12u);  // so the first record's length is 300
  const std::string first = Framed(FullHead("A12").bytes() + path);
  ASSERT_EQ(first.size(), static_cast<std::size_t>(layouts::kLengthDigits + 300));
  const std::string second = Framed(RecordWriter(fi::kHeadSize).Text(fi::kFileId, "B7").bytes());

  EXPECT_EQ(Import(first + second), 2);
  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 2u);
  const std::vector<std::string> expected = {
      "",
      "A12",
      "1004",
      "A12.rpt",
      path,
      "Patrick O'Neil",
      "14 Rue de l'\xC3\x89glise",
      "Montr\xC3\xA9"
      "al",
      "",
      "02134-1234",
      "0042.01",
      "",
      "Detached",
      "Colonial",
      "FNB",
      "C-88123",
      "RL",
      "2006-01-05",  // received
      "2006-01-06",  // assigned (the head's fourth date)
      "2006-01-31",  // due
      "2006-02-02",  // delivered
      "Rush",
  };
  for (int i = 1; i <= 21; ++i) EXPECT_EQ(rows[0][i].ToText(), expected[i]) << "column " << i;
  EXPECT_FALSE(rows[0][8].IsNull());  // State and Neighborhood are empty text
  EXPECT_FALSE(rows[0][11].IsNull());

  // Length 288: no path; empty dates are NULL.
  EXPECT_EQ(rows[1][1].ToText(), "B7");
  EXPECT_EQ(rows[1][3].ToText(), "B7.rpt");
  EXPECT_EQ(rows[1][4].ToText(), "");
  for (int i = 17; i <= 20; ++i) EXPECT_TRUE(rows[1][i].IsNull()) << "column " << i;

  const auto texts = Texts();
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.front(), "Attempting to import file: 'didovuro.dta.tmp'.");
  EXPECT_TRUE(
      Logged("File 'didovuro.dta.tmp': 2 read, 2 added, 0 overwritten, 0 kept, 0 "
             "rejected."));
  EXPECT_EQ(texts.back(), "2 records added.");
  EXPECT_NE(output.lines.back().find(std::string("[Source]") + kSource + " [Index]na"),
            std::string::npos);
  EXPECT_EQ(engine.RecordsRejected(), 0);
}

TEST_F(FileIndexImportTest, AnImpossibleDateIsRejectedAndTheRestOfTheRowSaved) {
  MakeTable();
  RecordWriter head = FullHead("X1");
  head.Date(fi::kDateDue, 31, 2, 2006);
  EXPECT_EQ(Import(Framed(head.bytes()) + Plain(2)), 2);
  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_TRUE(rows[0][19].IsNull());
  EXPECT_EQ(rows[0][17].ToText(), "2006-01-05");
  EXPECT_EQ(rows[0][20].ToText(), "2006-02-02");
  EXPECT_EQ(rows[0][21].ToText(), "Rush");
  EXPECT_TRUE(
      LoggedStart("Rejected record 1 of file 'didovuro.dta.tmp' at byte 0: column 19 "
                  "refused its value"));
  EXPECT_TRUE(
      Logged("File 'didovuro.dta.tmp': 2 read, 1 added, 0 overwritten, 0 kept, 1 "
             "rejected."));
  EXPECT_TRUE(Logged("2 records added."));  // the row itself was saved
  EXPECT_EQ(engine.RecordsRejected(), 1);
}

TEST_F(FileIndexImportTest, LongTailsAndRecordsCutShortByTheEndOfTheFile) {
  MakeTable();
  // A tail past what a signed 16-bit counter holds, then an ordinary record
  // that is only found if the whole tail was read.
  const std::string longPath = "C:\\" + std::string(40000, 'p');
  std::string file = Plain("L1", longPath) + Plain("L2", "C:\\b.rpt");
  // A tail cut off by the end of the file after 5 of its 12 bytes.
  std::string cutTail = Plain("L3", "C:\\R\\A12.rpt");
  file += cutTail.substr(0, cutTail.size() - 7);
  ASSERT_EQ(Import(file), 3);
  auto rows = Rows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][4].ToText(), longPath);
  EXPECT_EQ(rows[1][1].ToText(), "L2");
  EXPECT_EQ(rows[1][4].ToText(), "C:\\b.rpt");
  EXPECT_EQ(rows[2][4].ToText(), "C:\\R\\");
  const std::string cutOffset = std::to_string(file.size() - (cutTail.size() - 7));
  EXPECT_TRUE(LoggedStart("Warning: record 3 of file 'didovuro.dta.tmp' at byte " + cutOffset +
                          " is cut short"));
}

TEST_F(FileIndexImportTest, TheWindowCountsByTotalAndOnlyTheLastFileReadIsAdded) {
  MakeTable();
  std::string ten;
  for (int i = 0; i < 10; ++i) ten += Plain(i);
  EXPECT_EQ(Import({{"ten.tmp", ten}, {"one.dta.tmp", Plain(99)}}, {"ten.tmp", "one.dta.tmp"}), 1);
  ASSERT_EQ(world.ui.windows.size(), 2u);
  const auto& w = *world.ui.windows[0];
  EXPECT_EQ(w.statuses, std::vector<std::string>{"Importing data from file: ten"});
  ASSERT_EQ(w.counts.size(), 10u);
  EXPECT_EQ(w.counts[3], "3 of 10 records imported.");
  EXPECT_EQ(world.ui.windows[1]->counts, std::vector<std::string>{"0 of 1 record imported."});
  EXPECT_EQ(Texts().back(), "1 records added.");
  // A missing file after the last one read does not reset the count.
  EXPECT_EQ(Import({{"ten.tmp", ten}}, {"ten.tmp", "gone.tmp"}), 10);
  EXPECT_EQ(Texts().back(), "10 records added.");
  EXPECT_EQ(Rows().size(), 21u);
}

TEST_F(FileIndexImportTest, TheAddedLineGroupsThousands) {
  MakeTable();
  std::string file;
  for (int i = 0; i < 1234; ++i) file += Plain(i);
  EXPECT_EQ(Import(file), 1234);
  EXPECT_EQ(Texts().back(), "1,234 records added.");
  EXPECT_EQ(world.ui.windows.at(0)->counts.back(), "1233 of 1234 records imported.");
}

}  // namespace
