#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecordWriter.h"
#include "doubles/TestWorld.h"
#include "engine/CSImportEngine.h"
#include "engine/DbConnection.h"
#include "engine/Recordset.h"
#include "importers/Importers.h"
#include "importers/LenderInformation.h"
#include "importers/layouts/LenderLayout.h"
#include "support/ResourceStrings.h"
#include "support/modINIFile.h"
#include "unit/importers/ImporterFixture.h"

namespace {

namespace l = layouts::lender;
using platform::MsgAnswer;
using samplehost::Framed;
using samplehost::RecordWriter;
using std::string_literals::operator""s;
using testing_doubles::ImporterFixture;
using testing_doubles::TestWorld;

const std::string kCrLf = "\r\n";

struct Lender {
  std::string id, name;
  std::string first = "Jane", last = "Smith";
};

// The 243 record bytes of a lender, every field filled.
std::string LenderBytes(const Lender& lender) {
  RecordWriter r(l::kRecordSize);
  r.Text(l::kLenderId, lender.id)
      .Text(l::kName, lender.name)
      .Text(l::kAddress1, "Loan Dept.", true)
      .Text(l::kAddress2, "100 Main St")
      .Text(l::kCityStateZip, "Boston, MA")
      .Text(l::kPhone, "555-0100")
      .Text(l::kContactFirst, lender.first)
      .Text(l::kContactLast, lender.last)
      .Text(l::kNotImported, "internal")
      .Text(l::kReference, "REF-22");
  return r.bytes();
}
std::string Rec(const Lender& lender) {
  return Framed(LenderBytes(lender));
}

class LenderImportTest : public ImporterFixture {
 protected:
  LenderImportTest() : ImporterFixture(5) {
    modINIFile::ClearINICache();
    engine.SetSource(world.Program("host") + "\\");
  }
  ~LenderImportTest() override { modINIFile::ClearINICache(); }

  void MakeTable(const std::string& nameCheck = "") {
    ASSERT_TRUE(engine.Connection()->Execute(
        "CREATE TABLE Lenders (ID COUNTER, LenderDBID TEXT(10), LenderName TEXT(40)" + nameCheck +
        ", Address1 TEXT(40), Address2 TEXT(40), CityStateZip TEXT(40), Phone TEXT(15), "
        "ContactFirst TEXT(15), ContactLast TEXT(25), Fax TEXT(15), Reference TEXT(9), Website "
        "TEXT(255), Email TEXT(255), ContactNote TEXT(255))"));
  }
  void AddRow(const std::string& id, const std::string& name) {
    ASSERT_TRUE(engine.Connection()->Execute(
        "INSERT INTO Lenders (LenderDBID, LenderName, ContactFirst, ContactLast) VALUES ('" + id +
        "', '" + name + "', 'Old', 'Contact')"));
  }
  void WriteIni(const std::string& body) {
    world.Write("host/lender.ini", "[IP]\r\n" + body);
    modINIFile::ClearINICache();
  }

  // Writes the output files and runs the lender import over them: its result.
  std::int32_t Import(const std::vector<std::pair<std::string, std::string>>& files) {
    SetOutputFiles(files);
    return importers::ImportLenderInformation(engine);
  }

  // Columns 1 to 13 of every row, in ID order.
  std::vector<std::vector<std::string>> Rows() {
    Recordset rs(*engine.Connection());
    EXPECT_TRUE(rs.Open("SELECT * FROM [Lenders] ORDER BY ID", false));
    std::vector<std::vector<std::string>> rows;
    for (bool ok = !(rs.Bof() && rs.Eof()); ok && !rs.Eof(); ok = rs.MoveNext()) {
      std::vector<std::string> row;
      for (int i = 1; i <= l::kLastColumn; ++i) row.push_back(rs.Field(i).ToText());
      rows.push_back(row);
    }
    return rows;
  }
};

TEST(LenderContactUtf8, SplitsOnCodePageCharactersAndReturnsUtf8) {
  EXPECT_EQ(importers::Utf8ToWindows1252("Caf\xC3\xA9 \xE2\x82\xAC \xC5\xBD \xC2\x81"),
            "Caf\xE9 \x80 \x8E \x81");
  // Outside the code page, malformed or overlong: one "?" each.
  EXPECT_EQ(importers::Utf8ToWindows1252("\xC5\x82x\xC3y\xC0\xAF\xF0\x9F\x98\x80"), "?x?y??");
  // The accented letters are single boundary characters: the note keeps the
  // whole "é", and the address starts after "ê".
  importers::LenderContact c =
      importers::SplitLenderContactUtf8("Andr\xC3\xA9 pr\xC3\xAAts@bank.example soir");
  EXPECT_EQ(c.email, "ts@bank.example");
  EXPECT_EQ(c.note, "Andr\xC3\xA9 pr");
  c = importers::SplitLenderContactUtf8(
      "Ren\xC3\xA9"
      "e Roy/renee@bank.example");
  EXPECT_EQ(c.email, "renee@bank.example");
  EXPECT_EQ(c.note,
            "Ren\xC3\xA9"
            "e Roy");
}

TEST(LenderConfiguration, AnswersExactlyAsGetIniStringDoes) {
  TestWorld world;
  modINIFile::ClearINICache();
  const std::string file = world.Program("lender.ini");
  world.Write("lender.ini",
              "[Other]\r\nFNB=wrong section\r\n"
              "[ip]\r\nfnb=first\r\nFNB=second\r\n\xC9"
              "COLE=accented\r\nEMPTY=\r\nLong=" +
                  std::string(300, 'x') +
                  "\r\n spaced key = \"quoted\" \r\nX\xE9=e1\r\nX=plain\r\n"
                  "[IP]\r\nLATE=ignored\r\n");
  importers::LenderConfiguration config(world.ctx, file, "IP");
  for (const std::string key :
       {"FNB", "Fnb",
        "\xC3\xA9"
        "cole",
        "\xC3\x89"
        "COLE",
        "EMPTY", "long", "spaced key", "X\xC3\xA9", "X\xC3\x89", "X", "LATE", "missing", ""})
    EXPECT_EQ(config.Value(key), modINIFile::GetINIString(world.ctx, "IP", key, "", file))
        << "key '" << key << "'";
  EXPECT_EQ(config.Value("FNB"), "first");
  EXPECT_EQ(config.Value("\xC3\xA9"
                         "cole"),
            "accented");
  EXPECT_EQ(config.Value("x\xC3\x89"), "e1");
  EXPECT_EQ(config.Value("x"), "plain");
  EXPECT_EQ(config.Value("LONG").size(), modINIFile::kMaxValue);

  // A changed file is seen by the next lookup; a missing one answers "".
  world.Write("lender.ini", "[IP]\r\nFNB=changed value\r\n");
  EXPECT_EQ(config.Value("fnb"), "changed value");
  EXPECT_EQ(config.Value("X"), "");
  importers::LenderConfiguration none(world.ctx, world.Program("none.ini"), "IP");
  EXPECT_EQ(none.Value("FNB"), "");

  modINIFile::ClearINICache();
}

TEST_F(LenderImportTest, WritesColumnsByPositionWithTheConfigurationSplit) {
  MakeTable();
  WriteIni(
      "FNB=Jane Smith/jsmith@fnb.example\r\n"
      "ACME=loans@acme.example/Mortgage desk\r\n"
      "CRED=Loans pr\xEAts@cred.example soir\r\n"
      "NOAT=Call on Mondays\r\n");
  RecordWriter padded(l::kRecordSize);
  padded.Text(l::kLenderId, "  CRED  ", true)
      .Text(l::kName,
            "Cr\xE9"
            "dit\0junk"s)
      .Text(l::kNotImported, "internal");
  const std::string file = Rec({"FNB", "First National"}) + Rec({"ACME", "Acme Loans"}) +
                           Framed(padded.bytes()) + Rec({"NOAT", "No Address"}) +
                           Rec({"NONE", "Not In Ini"});
  EXPECT_EQ(Import({{"lender.dta.tmp", file}}), 5);

  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"FNB", "First National", "Loan Dept.", "100 Main St",
                                               "Boston, MA", "555-0100", "Jane", "Smith", "",
                                               "REF-22", "", "jsmith@fnb.example", "Jane Smith"}));
  EXPECT_EQ(rows[1][11], "loans@acme.example");
  EXPECT_EQ(rows[1][12], "Mortgage desk");
  // Fields cut at their NUL and trimmed; the text after a NUL is dropped;
  // field 9 of the record is never stored.
  EXPECT_EQ(rows[2], (std::vector<std::string>{"CRED",
                                               "Cr\xC3\xA9"
                                               "dit",
                                               "", "", "", "", "", "", "", "", "",
                                               "ts@cred.example", "Loans pr"}));
  EXPECT_EQ(rows[3][11], "");
  EXPECT_EQ(rows[3][12], "Call on Mondays");
  EXPECT_EQ(rows[4][11], "");
  EXPECT_EQ(rows[4][12], "");
  EXPECT_TRUE(Logged("File 'lender.dta.tmp': 5 read, 5 added, 0 overwritten, 0 kept, 0 rejected."));
  EXPECT_TRUE(world.ui.boxes.empty());
}

TEST_F(LenderImportTest, ConfigurationFileIsSourceFollowedByItsNameWithoutSeparator) {
  MakeTable();
  world.Write("host/prefix-lender.ini", "[IP]\r\nFNB=Ann/ann@fnb.example\r\n");
  WriteIni("FNB=wrong@fnb.example\r\n");
  engine.SetSource(world.Program("host") + "\\prefix-");
  EXPECT_EQ(Import({{"a.tmp", Rec({"FNB", "First"})}}), 1);
  EXPECT_EQ(Rows()[0][11], "ann@fnb.example");
  EXPECT_EQ(Rows()[0][12], "Ann");

  // No configuration file at all: both columns empty.
  engine.SetSource(world.Program("nowhere") + "\\");
  engine.SetNoComparisons(true);
  EXPECT_EQ(Import({{"a.tmp", Rec({"FNB", "First"})}}), 1);
  EXPECT_EQ(Rows()[1][11], "");
  EXPECT_EQ(Rows()[1][12], "");
}

TEST_F(LenderImportTest, ConflictQuestionTextsAndEveryAnswer) {
  MakeTable();
  AddRow("FNB", "Old Bank");
  const std::string conflict = Rec({"FNB", "New Bank", "Ann", "Lee"});

  // No, then No to keep-all: kept, and the next conflict asks again.
  world.ui.answers = {MsgAnswer::No, MsgAnswer::No, MsgAnswer::No, MsgAnswer::No};
  EXPECT_EQ(Import({{"a.tmp", conflict + conflict}}), 0);
  ASSERT_EQ(world.ui.boxes.size(), 4u);
  EXPECT_EQ(world.ui.boxes[0].text,
            "Importing lender with ID: 'FNB'" + kCrLf + kCrLf +
                "There is an existing lender which conflicts with this one:" + kCrLf + kCrLf +
                "    ID: 'FNB'" + kCrLf + "    Name: 'Old Bank'" + kCrLf +
                "    Contact: 'Old Contact'" + kCrLf + kCrLf + kCrLf +
                "Do you wish to overwrite the information for this lender?");
  EXPECT_EQ(world.ui.boxes[0].title, ResourceString(101));
  EXPECT_EQ(world.ui.boxes[0].buttons, platform::MsgButtons::YesNo);
  EXPECT_EQ(world.ui.boxes[0].icon, platform::MsgIcon::Question);
  EXPECT_EQ(world.ui.boxes[1].text, "Do you wish to KEEP ALL EXISTING report data?");
  EXPECT_EQ(world.ui.boxes[1].buttons, platform::MsgButtons::YesNo);
  EXPECT_EQ(Rows()[0][1], "Old Bank");
  EXPECT_TRUE(Logged("File 'a.tmp': 2 read, 0 added, 0 overwritten, 2 kept, 0 rejected."));
  EXPECT_FALSE(engine.KeepAllExisting());

  // Yes, then No to overwrite-all: overwritten, and the next conflict asks,
  // showing the row just written.
  world.ui.boxes.clear();
  world.ui.answers = {MsgAnswer::Yes, MsgAnswer::No, MsgAnswer::No, MsgAnswer::No};
  EXPECT_EQ(Import({{"a.tmp", conflict + Rec({"FNB", "Newer Bank"})}}), 1);
  ASSERT_EQ(world.ui.boxes.size(), 4u);
  EXPECT_EQ(world.ui.boxes[1].text, "Do you wish to overwrite ALL conflicting report information?" +
                                        kCrLf + "NOTE: This DOES NOT affect your actual reports.");
  EXPECT_NE(world.ui.boxes[2].text.find("    Name: 'New Bank'" + kCrLf + "    Contact: 'Ann Lee'"),
            std::string::npos);
  ASSERT_EQ(Rows().size(), 1u);
  EXPECT_EQ(Rows()[0][1], "New Bank");

  // Yes, then Yes: every later conflict of the call, in later files too, is
  // overwritten without a box; the count covers both files.
  world.ui.boxes.clear();
  world.ui.answers = {MsgAnswer::Yes, MsgAnswer::Yes};
  EXPECT_EQ(Import({{"a.tmp", conflict}, {"b.tmp", Rec({"FNB", "Last Bank"}) + Rec({"X", "X"})}}),
            3);
  EXPECT_EQ(world.ui.boxes.size(), 2u);
  EXPECT_EQ(Rows()[0][1], "Last Bank");
  EXPECT_TRUE(Logged("File 'b.tmp': 2 read, 1 added, 1 overwritten, 0 kept, 0 rejected."));

  // No, then Yes: keep-all holds for the rest of the call.
  DirectImport::AnswerToAll(engine, false, engine.KeepAllExisting());
  world.ui.boxes.clear();
  world.ui.answers = {MsgAnswer::No, MsgAnswer::Yes};
  EXPECT_EQ(Import({{"a.tmp", conflict}, {"b.tmp", conflict + Rec({"Y", "Y"})}}), 1);
  EXPECT_EQ(world.ui.boxes.size(), 2u);
  EXPECT_TRUE(engine.KeepAllExisting());
  EXPECT_EQ(Rows()[0][1], "Last Bank");
}

TEST_F(LenderImportTest, AnswersToAllCarryOverFromAnotherImporterOfTheRun) {
  MakeTable();
  AddRow("FNB", "Old Bank");
  // A responses import of the same run, whose conflict is answered No and
  // then Yes to keep-all (the first call creates the table, the second conflicts).
  const std::string response = samplehost::ResponseRecord(1, 1, 4, "T", false, 0, "x", 0);
  DirectImport::ListOutputFiles(engine, {"resp.tmp"});
  world.Write("out/resp.tmp", response);
  ASSERT_TRUE(importers::ImportCommonResponses(engine));
  world.ui.answers = {MsgAnswer::No, MsgAnswer::Yes};
  ASSERT_TRUE(importers::ImportCommonResponses(engine));
  ASSERT_EQ(world.ui.boxes.size(), 2u);

  EXPECT_EQ(Import({{"a.tmp", Rec({"FNB", "New Bank"})}}), 0);
  EXPECT_EQ(world.ui.boxes.size(), 2u);
  EXPECT_EQ(Rows()[0][1], "Old Bank");

  // A new run resets the answers: the lender conflict is asked about.
  DirectImport::ListOutputFiles(engine, {"a.tmp"});
  world.ui.answers = {MsgAnswer::Yes, MsgAnswer::No};
  ASSERT_TRUE(DirectImport::ImportListed(engine));
  EXPECT_EQ(world.ui.boxes.size(), 4u);
  EXPECT_EQ(Rows()[0][1], "New Bank");
}

TEST_F(LenderImportTest, ComparisonsOffUnansweredQuestionsAndDuplicatesWithinAFile) {
  MakeTable();
  AddRow("FNB", "Old Bank");
  engine.SetNoComparisons(true);
  EXPECT_EQ(Import({{"a.tmp", Rec({"FNB", "Second"})}}), 1);
  EXPECT_EQ(Rows().size(), 2u);
  EXPECT_TRUE(world.ui.boxes.empty());
  engine.SetNoComparisons(false);

  // Nobody at the terminal: kept, and the log says why.
  world.ui.canAsk = false;
  EXPECT_EQ(Import({{"a.tmp", Rec({"FNB", "Third"})}}), 0);
  EXPECT_EQ(Rows().size(), 2u);
  EXPECT_TRUE(Logged(
      "Record 1 of file 'a.tmp' at byte 0 conflicts with an existing row; nobody could answer "
      "the question (no terminal), so the existing row was kept."));
  world.ui.canAsk = true;

  // Into an empty table: the first record is added unseen, the second of the
  // same ID meets it.
  ASSERT_TRUE(engine.Connection()->Execute("DELETE FROM Lenders"));
  world.ui.boxes.clear();
  world.ui.answers = {MsgAnswer::No, MsgAnswer::No};
  EXPECT_EQ(Import({{"a.tmp", Rec({"dup", "One"}) + Rec({"DUP", "Two"})}}), 1);
  EXPECT_EQ(world.ui.boxes.size(), 2u);  // IDs compare without regard to case
  EXPECT_EQ(Rows().size(), 1u);
}

TEST_F(LenderImportTest, RefusedRowsAreNotCountedAndLaterRecordsAreStillCompared) {
  MakeTable(" CHECK (LenderName <> 'Bad')");
  const std::string first = Rec({"A", "Good"});
  world.ui.answers = {MsgAnswer::No, MsgAnswer::No};
  // A refused row leaves an empty filtered view behind; the third record must
  // still be compared with the first rather than added beside it.
  EXPECT_EQ(Import({{"a.tmp", first + Rec({"B", "Bad"}) + Rec({"A", "Again"})}}), 1);
  EXPECT_EQ(Rows().size(), 1u);
  EXPECT_EQ(world.ui.boxes.size(), 2u);
  EXPECT_TRUE(LoggedStart("Rejected record 2 of file 'a.tmp' at byte " +
                          std::to_string(first.size()) + ": the database refused the row"));
  EXPECT_TRUE(Logged("File 'a.tmp': 3 read, 1 added, 0 overwritten, 1 kept, 1 rejected."));
  EXPECT_EQ(engine.RecordsRejected(), 1);
}

TEST_F(LenderImportTest, LengthFieldIgnoredShortLastRecordsAndFragments) {
  MakeTable();
  // Whatever the length field says, 243 bytes follow it.
  std::string file = "99999" + LenderBytes({"A", "Huge"}) + "abcde" + LenderBytes({"B", "Junk"}) +
                     "00000" + LenderBytes({"C", "Zero"});
  // 5 + 238 bytes: the least that still starts a record; the missing bytes read as zero.
  std::string cut = Rec({"D", "Cut"});
  cut.resize(l::kRecordPitch - 5);
  EXPECT_EQ(Import({{"a.tmp", file + cut}}), 4);
  auto rows = Rows();
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[1][1], "Junk");
  EXPECT_EQ(rows[3][0], "D");
  EXPECT_EQ(rows[3][9], "REF-");  // "REF-22" cut after its fourth byte
  EXPECT_TRUE(LoggedStart("Warning: record 4 of file 'a.tmp' at byte " +
                          std::to_string(3 * l::kRecordPitch) + " is cut short"));
}

}  // namespace
