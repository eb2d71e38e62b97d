// Where each importer puts a record's fields, and the rules of each that no
// end-to-end run or bad-input table pins: computed columns, numbers and
// dates, form maps, table names, supplement updates, the added count.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "importers/ComparablesWcidSet.h"
#include "importers/ResponsesTable.h"
#include "importers/layouts/ComparablesLayout.h"
#include "importers/layouts/FileIndexLayout.h"
#include "importers/layouts/SupplementLayout.h"
#include "support/ResourceStrings.h"
#include "support/TemplateDatabase.h"
#include "unit/importers/ImporterFixture.h"

namespace {

namespace c = layouts::comparables;
namespace s = layouts::supplement;
using samplehost::Framed;
using samplehost::RecordWriter;
using std::string_literals::operator""s;
using testing_doubles::ImporterFixture;
using testing_doubles::ImporterWorld;
using testing_doubles::Lender;
using testing_doubles::Neigh;
using testing_doubles::Resp;
using testing_doubles::Rows;
using Row = std::vector<std::string>;

std::string Index(const std::string& id, const std::string& tail = "") {
  namespace fi = layouts::fileindex;
  return Framed(RecordWriter(fi::kHeadSize).Text(fi::kFileId, id).bytes() + tail);
}

TEST_F(ImporterFixture, FileIndexColumnsAndCounts) {
  namespace fi = layouts::fileindex;
  Exec(templatedb::FileIndexCreateSql());
  RecordWriter h(fi::kHeadSize);
  // clang-format off
  h.Text(fi::kFileId, "A12").Text(fi::kTrackingExtra, "  Rush  ", true).Text(fi::kStreet, "1 Rue de l'\xC9glise")
      .Text(fi::kCity, "Lyon").Text(fi::kCensusTract, "0042.01").Text(fi::kZipCode, "02134").Text(fi::kLenderId, "FNB")
      .Text(fi::kLenderCaseNo, "C-88").Text(fi::kOwner, "Pat O'Neil", true).Text(fi::kFormId, "1004")
      .Date(fi::kDateReceived, 5, 1, 2006).Date(fi::kDateDue, 31, 2, 2006).Date(fi::kDateDelivered, 2, 2, 2006)
      .Date(fi::kDateAssigned, 6, 1, 2006).Text(fi::kBuildingType, "Detached").Text(fi::kBuildingDesign, "Colonial")
      .Text(fi::kAppraiserId, "RL");
  const std::string longPath = "C:\\" + std::string(40000, 'p');
  SetOutputFiles({{"f.dta.tmp", Framed(h.bytes() + "C:\\R\\A12.rpt") + Index("B7") + Index("L", longPath)}});
  EXPECT_EQ(importers::ImportFileIndex(engine), 3);
  const Rows rows = Query("SELECT * FROM FileIndex ORDER BY ID");
  ASSERT_EQ(rows.size(), 3u);
  // An impossible due date is refused; the rest of the row is saved.
  EXPECT_EQ(rows[0], (Row{"1", "A12", "1004", "A12.rpt", "C:\\R\\A12.rpt", "Pat O'Neil", "1 Rue de l'\xC3\x89glise",
                          "Lyon", "", "02134", "0042.01", "", "Detached", "Colonial", "FNB", "C-88", "RL",
                          "2006-01-05", "2006-01-06", "<null>", "2006-02-02", "Rush"}));
  EXPECT_EQ(rows[1], (Row{"2", "B7", "", "B7.rpt", "", "", "", "", "", "", "", "", "", "", "", "", "", "<null>",
                          "<null>", "<null>", "<null>", ""}));
  EXPECT_EQ(rows[2][4], longPath);
  EXPECT_TRUE(LoggedStart("Rejected record 1 of file 'f.dta.tmp' at byte 0: column 19 refused its value"));
  EXPECT_TRUE(output.lines.back().ends_with("[Source]ImportFileIndex::CSImportEngine [Index]na [Text]3 records added."));
  // clang-format on

  // The window counts by the file's total; the count is of the last file
  // read, and a missing file after it does not reset it.
  std::string ten, many;
  for (int i = 0; i < 10; ++i) ten += Index("T" + std::to_string(i));
  for (int i = 0; i < 1234; ++i) many += Index("M");
  SetOutputFiles({{"ten.tmp", ten}, {"one.dta.tmp", Index("O")}});
  EXPECT_EQ(importers::ImportFileIndex(engine), 1);
  EXPECT_EQ(Texts().back(), "1 records added.");
  EXPECT_EQ(world.ui.windows[1]->statuses, Row{"Importing data from file: ten"});
  EXPECT_EQ(world.ui.windows[1]->counts[3], "3 of 10 records imported.");
  EXPECT_EQ(world.ui.windows[2]->counts, Row{"0 of 1 record imported."});
  SetOutputFiles({{"many.tmp", many}}, {"many.tmp", "gone.tmp"});
  EXPECT_EQ(importers::ImportFileIndex(engine), 1234);
  EXPECT_EQ(Texts().back(), "1,234 records added.");
}

TEST_F(ImporterFixture, LenderColumnsContactsAndRefusedRows) {
  namespace l = layouts::lender;
  MakeLenders();
  world.Write("host/lender.ini",
              "[IP]\r\nFNB=Jane Smith/js@fnb.example\r\nCRED=Loans pr\xEAts@c.example soir\r\n");
  RecordWriter padded(l::kRecordSize);
  padded.Text(l::kLenderId, "  CRED  ", true)
      .Text(l::kName,
            "Cr\xE9"
            "dit\0junk"s);
  SetOutputFiles({{"l.tmp", Lender("FNB", "First") + Framed(padded.bytes()) + Lender("NO", "No")}});
  EXPECT_EQ(importers::ImportLenderInformation(engine), 3);
  // The configuration file is the source folder followed by its name.
  world.Write("host/prefix-lender.ini", "[IP]\r\nFNB=Ann/ann@fnb.example\r\n");
  engine.SetSource(world.Program("host") + "\\prefix-");
  engine.SetNoComparisons(true);
  SetOutputFiles({{"l.tmp", Lender("FNB", "Again")}});
  EXPECT_EQ(importers::ImportLenderInformation(engine), 1);
  // clang-format off
  EXPECT_EQ(Query("SELECT * FROM Lenders ORDER BY ID"),
            (Rows{{"1", "FNB", "First", "Loan Dept.", "", "", "555-0100", "Jane", "Smith", "", "REF-22", "", "js@fnb.example", "Jane Smith"},
                  {"2", "CRED", "Cr\xC3\xA9" "dit", "", "", "", "", "", "", "", "", "", "ts@c.example", "Loans pr"},
                  {"3", "NO", "No", "Loan Dept.", "", "", "555-0100", "Jane", "Smith", "", "REF-22", "", "", ""},
                  {"4", "FNB", "Again", "Loan Dept.", "", "", "555-0100", "Jane", "Smith", "", "REF-22", "", "ann@fnb.example", "Ann"}}));
  // clang-format on

  // A refused row leaves an empty filtered view behind: the third record is
  // still compared with the first rather than added beside it.
  ImporterWorld w;
  w.MakeLenders(" CHECK (LenderName <> 'Bad')");
  w.SetOutputFiles({{"a.tmp", Lender("A", "Good") + Lender("B", "Bad") + Lender("a", "Again")}});
  EXPECT_EQ(importers::ImportLenderInformation(w.engine), 1);
  EXPECT_EQ(w.Query("SELECT LenderName FROM Lenders"), (Rows{{"Good"}}));
  EXPECT_EQ(w.world.ui.boxes.size(), 2u);
  EXPECT_TRUE(
      w.LoggedStart("Rejected record 2 of file 'a.tmp' at byte 248: the database refused the row"));
  EXPECT_TRUE(w.Logged("File 'a.tmp': 3 read, 1 added, 0 overwritten, 1 kept, 1 rejected."));
}

TEST_F(ImporterFixture, NeighborhoodColumnsByFormCode) {
  MakeNeighborhoods(" CHECK (NeighborhoodName <> 'Bad')", " CHECK (NeighborhoodName <> 'No 2')");
  // clang-format off
  // Preamble, LOC, PROPVAL with its skipped value, GROWTH, NOMAP, GHOST.
  const std::string first = Neigh("  Beaus\xE9jour ", "Near", "^v2.1|N0Lakesid\xE9|N1Up|skip|N2Slow|N3x|N4y|...");
  const std::string lar = Neigh("Lar", "", "^p|N0Rural|.."), bad = Neigh("Bad", "", "N0x|..");
  SetOutputFiles({{"neigh1004.tmp", first + Neigh("O'Neil %s", "", "N0Urban|N1Flat|s|N2Fast|N3|N4|..")},
                  {"lender.tmp", Neigh("Misnamed", "")}, {"neighANVL.tmp", lar + bad + Neigh("No 2", "", "N0Far|..")},
                  {"NEIGH209.dat.tmp", Neigh("2095", "", "N0Boom|..")}, {"neighbors.tmp", Neigh("Bors", "", "N0Lake|..")}});
  EXPECT_EQ(importers::ImportNeighborhoodInformation(engine), 6);
  EXPECT_EQ(Query("SELECT NeighborhoodName, NeighborhoodCode, Area, Description, Zone, Location, PropertyValues, "
                  "GrowthRate FROM Neighborhoods ORDER BY ID"),
            (Rows{{"Beaus\xC3\xA9jour", "NS-04", "North Shore", "Near", "R-1", "Lakesid\xC3\xA9", "Up", "Slow"},
                  {"O'Neil %s", "NS-04", "North Shore", "", "R-1", "Urban", "Flat", "Fast"},
                  {"Lar", "NS-04", "North Shore", "", "R-1", "Rural", "<null>", "<null>"},
                  {"No 2", "NS-04", "North Shore", "", "R-1", "Far", "<null>", "<null>"},
                  {"2095", "NS-04", "North Shore", "", "R-1", "<null>", "<null>", "Boom"},
                  {"Bors", "NS-04", "North Shore", "", "R-1", "<null>", "<null>", "<null>"}}));
  // Each new neighborhood gets its secondary row, whatever its name holds.
  EXPECT_EQ(Query("SELECT NeighborhoodName FROM Neighborhoods2 ORDER BY ID"),
            (Rows{{"Beaus\xC3\xA9jour"}, {"O'Neil %s"}, {"Lar"}, {"2095"}, {"Bors"}}));
  EXPECT_TRUE(Logged("File 'lender.tmp': its name gives no neighborhood form code (it must read neigh<form "
                     "code>.<extension>); the file was skipped."));
  EXPECT_TRUE(LoggedStart("Rejected record 2 of file 'neighANVL.tmp' at byte " + std::to_string(lar.size()) +
                          ": the database refused the row"));
  EXPECT_TRUE(Logged("Could not create additional record in secondary neighborhood table."));
  EXPECT_TRUE(LoggedStart("File 'neighANVL.tmp': record 3 at byte " + std::to_string(lar.size() + bad.size()) +
                          " was added, but its row in Neighborhoods2 was not: "));
  // clang-format on
  EXPECT_TRUE(Logged("Form map collection was empty."));
  EXPECT_EQ(engine.RecordsRejected(), 3);

  // Without the host configuration or the conversion file nothing starts.
  engine.SetAdditionalFile("");
  EXPECT_EQ(importers::ImportNeighborhoodInformation(engine), -1);
  EXPECT_TRUE(Logged("Additional file was blank but is required by this operation."));
  engine.SetAdditionalFile(world.Program("Zev.ini"));
  world.Write("Zev.ini", "[Directories]\r\nAppDir=" + world.Program("none") + "\\\r\n");
  modINIFile::ClearINICache();
  EXPECT_EQ(importers::ImportNeighborhoodInformation(engine), -1);
  EXPECT_TRUE(Logged("Neighborhood conversion INI file '" + world.Program("none") +
                     "\\Addons\\Neighbor\\NeighTags.ini' DID NOT exist."));
}

TEST_F(ImporterFixture, ResponsesFieldsAndTables) {
  // clang-format off
  std::string file = samplehost::ResponseRecord(10, 2, 999, "Default", false, 0, "See addendum.", 0) +
                     samplehost::ResponseRecord(10, 3, 5, "Header\0more"s, false, 3, "  as is  ", 0) +
                     samplehost::ResponseRecord(11, 1, 4, std::string(22, ' '), true, 0, "Caf\xE9", 9) +
                     Resp(12, 1, 4, "Last", "to the end");
  file.pop_back();  // the last record ends at the end of the file without its NUL
  // Text files share one table, created by this import and so never compared.
  SetOutputFiles({{"ABC.DAT.tmp", file}, {"text.tmp", Resp(1, 1, 4, "A") + Resp(1, 1, 4, "B")},
                  {"TEXTB.tmp", Resp(1, 1, 4, "C")}, {"a-b.tmp", Resp(1, 1, 4, "x")}},
                 {"ABC.DAT.tmp", "text.tmp", "TEXTB.tmp", "a-b.tmp", "gone.tmp"});
  ASSERT_TRUE(importers::ImportCommonResponses(engine));
  EXPECT_EQ(Query("SELECT Line, Across, FunctionKey, Macro, Append, Title, Data, Vendor FROM ABC ORDER BY ID"),
            (Rows{{"10", "2", "6", "0", "-1", "Default", "See addendum.", "-1"},
                  {"10", "3", "2", "-1", "0", "Header", "  as is  ", "-1"},
                  {"11", "1", "1", "0", "-1", "", "Caf\xC3\xA9", "-1"},
                  {"12", "1", "1", "0", "-1", "Last", "to the end", "-1"}}));
  EXPECT_EQ(Query("SELECT Title FROM TEXTA ORDER BY ID"), (Rows{{"A"}, {"B"}, {"C"}}));
  EXPECT_TRUE(world.ui.boxes.empty());
  EXPECT_TRUE(Logged("Created table 'ABC' successfully."));
  EXPECT_TRUE(Logged("File 'a-b.tmp': not imported: 'a-b' cannot be a table name."));
  EXPECT_NE(output.lines.back().find("[Source]ImportCommonResponse::CSImportEngine [Index]na [Text]Source file"),
            std::string::npos);
  EXPECT_EQ(importers::ResponsesTableName("TextA.b.tmp") + importers::ResponsesTableName("noext"), "TextAnoext");

  // A file whose transaction cannot start: no table, no summary.
  world.env.FailAlways("Begin");
  SetOutputFiles({{"new.tmp", Resp(1, 1, 4, "x")}});
  EXPECT_TRUE(importers::ImportCommonResponses(engine));
  world.env.Heal();
  EXPECT_EQ(Texts(), (Row{"Attempting to import file: 'new.tmp'.",
                          "File 'new.tmp': not imported: the database refused to start a transaction (injected: Begin)."}));
  // clang-format on
}

// A main record with a distinct value in every number and date field; the
// text each position must then hold goes to `want`.
std::string MainRecord(const std::string& wcid, Row* want = nullptr) {
  RecordWriter r(c::kRecordSize);
  for (const c::Placed& p : c::kFields) {
    const int v = p.position < 0 ? 0 : p.position;
    std::string text;
    switch (p.field.kind) {
      case layouts::FieldKind::Int16:
        r.Int16(p.field, static_cast<std::int16_t>(-v));
        text = std::to_string(-v);
        break;
      case layouts::FieldKind::Int32:
        r.Int32(p.field, v * 100000);
        text = std::to_string(v * 100000);
        break;
      case layouts::FieldKind::Single:
        r.Single(p.field, static_cast<float>(v) + 0.5f);
        text = std::to_string(v) + ".5";
        break;
      case layouts::FieldKind::Date:
        r.Date(p.field, v % 28 + 1, 3, 1900 + v);
        text =
            std::to_string(1900 + v) + (v % 28 < 9 ? "-03-0" : "-03-") + std::to_string(v % 28 + 1);
        break;
      case layouts::FieldKind::Text:  // the bad-input table fills every text field
        break;
    }
    if (want && p.position != c::kNotStored) (*want)[p.position] = text;
  }
  return Framed(r.Text(c::kWcid, wcid).bytes());
}
std::string Supplement(const std::string& wcid, std::int32_t price, const std::string& note = "") {
  RecordWriter r(s::kRecordSize);
  r.Text(s::kWcid.field, wcid)
      .Text(s::kComment.field, note, true)
      .Text(s::kPhotoId.field, "P" + wcid);
  return Framed(r.Int32(s::kFinalListPrice.field, price).bytes());
}

TEST_F(ImporterFixture, ComparablesMainPositionsAndSupplements) {
  Row want(c::kColumnCount, "<null>");
  // Supplements come last whatever the order of the list: one update reaches
  // both spellings of an identifier; an unknown one is inserted.
  SetOutputFiles(
      {{"x.cp2.tmp", Supplement("Ab-\xE9", 7, "  Corner lot  ") + Supplement("NEW", -1)},
       {"x.dat.tmp", MainRecord("ab-\xC9", &want) + MainRecord("AB-\xE9") + MainRecord("X")}});
  EXPECT_EQ(importers::ImportZazOzurs(engine), 5);
  EXPECT_TRUE(Logged("Created table 'ZazOzurs' successfully."));
  const Rows rows = Query("SELECT * FROM ZazOzurs ORDER BY ID");
  ASSERT_EQ(rows.size(), 4u);
  for (int p : s::kNamePositions) want[p] = "";  // the update writes every token
  want[0] = "1";
  want[c::kUnfedColumn] = "";
  want[c::kWcidColumn] = "Ab-\xC3\xA9";
  want[s::kComment.position] = "Corner lot";
  want[s::kPhotoId.position] = "PAb-\xC3\xA9";
  want[s::kFinalListPrice.position] = "7";
  EXPECT_EQ(rows[0], want);
  EXPECT_EQ(rows[1][c::kWcidColumn] + rows[1][s::kComment.position],
            "Ab-\xC3\xA9"
            "Corner lot");
  EXPECT_EQ(rows[2][s::kComment.position], "<null>");
  EXPECT_EQ(rows[3][c::kWcidColumn] + rows[3][s::kFinalListPrice.position] + rows[3][2],
            "NEW-1<null>");
  EXPECT_TRUE(Logged("File 'x.cp2.tmp': 2 read, 1 added, 1 overwritten, 0 kept, 0 rejected."));
  ASSERT_EQ(world.ui.windows.size(), 2u);  // one window per pass, counting by the count
  EXPECT_EQ(world.ui.windows[1]->statuses, Row{"Importing date from file: x.cp2.tmp"});
  EXPECT_EQ(world.ui.windows[1]->counts,
            (Row{"0 of 2 records imported.", "1 of 2 record imported."}));

  // A main row the database refused: its supplement reaches no row. A
  // supplement without a main record of this import inserts, even where an
  // older row holds its identifier.
  ImporterWorld w;
  ASSERT_TRUE(w.engine.ExecuteScript("ZazOzurs", c::CreateTableScript()));
  w.Exec(
      "CREATE TRIGGER NoDup BEFORE INSERT ON ZazOzurs WHEN NEW.WCID = 'DUP' BEGIN SELECT "
      "RAISE(ABORT, 'taken'); END");
  w.Exec("INSERT INTO ZazOzurs (WCID) VALUES ('OLD')");
  w.SetOutputFiles({{"m.dat.tmp", MainRecord("OK") + MainRecord("DUP")},
                    {"m.cp2.tmp", Supplement("DUP", 1) + Supplement("OLD", 2)}});
  EXPECT_EQ(importers::ImportZazOzurs(w.engine), 2);
  EXPECT_EQ(w.Query("SELECT WCID, FLP FROM ZazOzurs ORDER BY ID"),
            (Rows{{"OLD", "<null>"}, {"OK", "<null>"}, {"OLD", "2"}}));
  EXPECT_TRUE(
      w.LoggedStart("Rejected record 2 of file 'm.dat.tmp' at byte 627: the database refused"));
  EXPECT_TRUE(
      w.Logged("Rejected record 1 of file 'm.cp2.tmp' at byte 0: its main record was not "
               "saved, so no row of this import received its details"));

  // A table of an older layout gets the main records, not the supplements.
  ImporterWorld legacy;
  ASSERT_TRUE(legacy.engine.ExecuteScript("ZazOzurs", ResourceString(504)));
  legacy.SetOutputFiles({{"l.cp2.tmp", Supplement("L", 1)}, {"l.dat.tmp", MainRecord("L")}});
  EXPECT_EQ(importers::ImportZazOzurs(legacy.engine), 1);
  EXPECT_TRUE(legacy.LoggedStart(
      "Table 'ZazOzurs' has 76 columns; this import expects 77, in this order: ID, WCID,"));
  EXPECT_TRUE(
      legacy.Logged("File 'l.cp2.tmp': not imported: table 'ZazOzurs' has 76 columns, not "
                    "the 77 supplement records are written to."));
  EXPECT_EQ(legacy.Query("SELECT WCID FROM ZazOzurs"), (Rows{{"L"}}));
}

TEST(WcidSet, ComparesWithoutCaseKeepsSpellingsAndSettlesByFile) {
  importers::WcidSet set;
  auto found = [&](const std::string& id) {
    importers::WcidSet::Match m;
    set.Find(id, m);
    std::string r = m.found ? (m.saved ? "saved" : "found") : "none";
    for (const std::string& spelling : m.spellings) r += " " + spelling;
    return r;
  };
  EXPECT_EQ(found("X"), "none");
  // Enough identifiers to grow the table several times.
  for (int i = 0; i < 5000; ++i) set.Add("ID-" + std::to_string(i), i % 2 == 0);
  set.Add("\xC9t\xE9-\x8A", false);
  set.Add("\xE9T\xC9-\x9A", true);
  set.Add("\xC9t\xE9-\x8A", false);              // a spelling already known adds nothing
  EXPECT_EQ(found("ID-4998"), "found ID-4998");  // saved once its file is settled
  set.SettleFile(true);
  EXPECT_EQ(set.size(), 5001u);
  for (int i = 0; i < 5000; ++i)
    ASSERT_EQ(found("id-" + std::to_string(i)),
              (i % 2 ? "found ID-" : "saved ID-") + std::to_string(i));
  EXPECT_EQ(found("\xC9T\xC9-\x8A"), "saved \xC9t\xE9-\x8A \xE9T\xC9-\x9A");
  set.Respell("\xE9t\xE9-\x9A", "\xE9t\xE9-\x9A");
  EXPECT_EQ(found("\xC9T\xC9-\x8A"), "saved \xE9t\xE9-\x9A");
  EXPECT_EQ(found("ID-5000"), "none");
  // A file rolled back: its identifiers are known, its saves forgotten.
  set.Add("R-1", true);
  set.Add("ID-4999", true);
  set.SettleFile(false);
  EXPECT_EQ(found("r-1") + ", " + found("ID-4999") + ", " + found("ID-4998"),
            "found R-1, found ID-4999, saved ID-4998");
  set.Add("\xD7", true);  // × and ÷ are not letters
  EXPECT_EQ(found("\xF7"), "none");
}

}  // namespace
