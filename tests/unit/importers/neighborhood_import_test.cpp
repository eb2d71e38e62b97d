#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "RecordWriter.h"
#include "doubles/TestWorld.h"
#include "engine/CSImportEngine.h"
#include "engine/DbConnection.h"
#include "engine/Recordset.h"
#include "importers/Importers.h"
#include "importers/layouts/NeighborhoodLayout.h"
#include "support/ResourceStrings.h"
#include "support/modINIFile.h"
#include "ui/CProgressBar.h"
#include "unit/importers/ImporterFixture.h"

namespace {

namespace nl = layouts::neighborhood;
using platform::MsgAnswer;
using samplehost::Framed;
using samplehost::RecordWriter;
using testing_doubles::ImporterFixture;
using testing_doubles::TestWorld;

constexpr const char* kSource = "ImportNeighborhoodInformation::CSImportEngine";
const std::string kCrLf = "\r\n";

// Field text written readably: "|" stands for character 2, "^" for 21.
std::string F(std::string text) {
  for (char& c : text) c = c == '|' ? nl::kValueEnd : c == '^' ? nl::kPreambleStart : c;
  return text;
}

// A record: head with the given texts, then `text`; `count` overrides the
// head's field-text length.
std::string Neigh(const std::string& name, const std::string& description,
                  const std::string& text = "", std::optional<int> count = std::nullopt) {
  RecordWriter head(nl::kHeadSize);
  head.Text(nl::kName, name)
      .Text(nl::kArea, "  North Shore", true)
      .Text(nl::kDescription, description)
      .Text(nl::kZone, "R-1")
      .Text(nl::kCode, "NS-04")
      .Int16(nl::kFieldTextLength, static_cast<std::int16_t>(count.value_or(text.size())));
  return Framed(head.bytes() + text);
}

// Conversion file: form 1004 with tags LOC, PROPVALX (one skipped value
// after it), GROWTH, NOMAP (not in the map) and GHOST (no such column);
// form LAR with LOC only; form 2095 with GROWTH only. Form "bors" has a
// section but no tag list.
const char* kTagsIni =
    "; tags\r\n"
    "[OldFields]\r\n"
    "1004=LOC,PROPVALX,GROWTH,NOMAP,GHOST\r\n"
    "LAR=LOC\r\n"
    "2095=GROWTH\r\n"
    "\r\n"
    "[1004]\r\n"
    "LOC = Location\r\n"
    "propval=PropertyValues\r\n"
    "GROWTH=GrowthRate\r\n"
    "GHOST=NoSuchColumn\r\n"
    "[LAR]\r\n"
    "LOC=Location\r\n"
    "[2095]\r\n"
    "GROWTH=GrowthRate\r\n"
    "[bors]\r\n"
    "LOC=Location\r\n";

class NeighborhoodImportTest : public ImporterFixture {
 protected:
  NeighborhoodImportTest() : ImporterFixture(6) {
    modINIFile::ClearINICache();
    // AppDir without its closing "\": the importer adds it.
    world.Write("Zev.ini", "[Directories]\r\nAppDir=" + world.Program("host") + "\r\n");
    world.Write("host/Addons/Neighbor/NeighTags.ini", kTagsIni);
    engine.SetAdditionalFile(world.Program("Zev.ini"));
  }

  // The host's two tables; `nameCheck` / `secondaryCheck` add a CHECK to the
  // name columns, so rows can be refused.
  void MakeTables(const std::string& nameCheck = "", const std::string& secondaryCheck = "") {
    std::vector<std::string> columns(nl::kMinColumnCount);
    for (int i = 0; i < nl::kMinColumnCount; ++i)
      columns[i] = "Field" + std::to_string(i) + " TEXT(255)";
    columns[0] = "ID COUNTER";
    columns[nl::kNameColumn] = "NeighborhoodName TEXT(255)" + nameCheck;
    columns[nl::kCodeColumn] = "NeighborhoodCode TEXT(20)";
    columns[3] = "Location TEXT(255)";
    columns[4] = "PropertyValues TEXT(255)";
    columns[5] = "GrowthRate TEXT(255)";
    columns[6] = "PriceLow INTEGER";
    columns[nl::kAreaColumn] = "Area TEXT(255)";
    columns[nl::kDescriptionColumn] = "Description TEXT(255)";
    columns[nl::kZoneColumn] = "Zone TEXT(255)";
    std::string sql = "CREATE TABLE Neighborhoods (";
    for (std::size_t i = 0; i < columns.size(); ++i) sql += (i ? ", " : "") + columns[i];
    ASSERT_TRUE(engine.Connection()->Execute(sql + ")"));
    ASSERT_TRUE(engine.Connection()->Execute(
        "CREATE TABLE Neighborhoods2 (ID COUNTER, NeighborhoodName TEXT(255)" + secondaryCheck +
        ")"));
  }

  void AddExisting(const std::string& name, const std::string& description) {
    ASSERT_TRUE(engine.Connection()->Execute(
        "INSERT INTO Neighborhoods (NeighborhoodName, Description, Location) VALUES ('" + name +
        "', '" + description + "', 'old place')"));
  }

  // Writes the output files and runs the importer over them in this order;
  // the run-wide answers start afresh, as in a run.
  std::int32_t Import(const std::vector<std::pair<std::string, std::string>>& files) {
    SetOutputFiles(files);
    DirectImport::AnswerToAll(engine, false, false);
    return importers::ImportNeighborhoodInformation(engine);
  }

  // Column values by name of every Neighborhoods row, in ID order.
  std::vector<std::map<std::string, std::string>> Rows() {
    Recordset rs(*engine.Connection());
    EXPECT_TRUE(rs.Open("SELECT * FROM [Neighborhoods] ORDER BY ID", false));
    std::vector<std::map<std::string, std::string>> rows;
    for (bool ok = !(rs.Bof() && rs.Eof()); ok && !rs.Eof(); ok = rs.MoveNext()) {
      std::map<std::string, std::string> row;
      for (const char* c : {"NeighborhoodName", "NeighborhoodCode", "Area", "Description", "Zone",
                            "Location", "PropertyValues", "GrowthRate", "PriceLow"}) {
        const db::Value value = rs.Field(std::string_view(c));
        row[c] = value.IsNull() ? "<null>" : value.ToText();
      }
      rows.push_back(row);
    }
    return rows;
  }
  std::vector<std::string> SecondaryNames() {
    Recordset rs(*engine.Connection());
    EXPECT_TRUE(rs.Open("SELECT * FROM [Neighborhoods2] ORDER BY ID", false));
    std::vector<std::string> names;
    for (bool ok = !(rs.Bof() && rs.Eof()); ok && !rs.Eof(); ok = rs.MoveNext())
      names.push_back(rs.Field(1).ToText());
    return names;
  }

  // Log lines with exactly this text, from `source` (index "na").
  int CountLogged(const std::string& text, const std::string& source = kSource) const {
    const std::string tail =
        source.empty() ? " - " + text : "[Source]" + source + " [Index]na [Text]" + text;
    int n = 0;
    for (const std::string& line : output.lines)
      n += line.size() >= tail.size() &&
           line.compare(line.size() - tail.size(), tail.size(), tail) == 0;
    return n;
  }
  bool Logged(const std::string& text, const std::string& source = kSource) const {
    return CountLogged(text, source) > 0;
  }
};

TEST_F(NeighborhoodImportTest, FixedAndTagColumnsByFormCodeOfTheFileName) {
  MakeTables();
  // Preamble, then LOC, PROPVAL with its skipped value, GROWTH, NOMAP, GHOST
  // and the two trailing bytes.
  const std::string first = Neigh("  Beaus\xE9jour ", "Near the Caf\xE9",
                                  F("^v2.1|N0Lakesid\xE9|N1Rising|skip|N2Stable|N3x|N4y|..."));
  const std::string second = Neigh("Val-d'Or", "Mixed", F("N0Urban|N1Flat|s|N2Slow|N3|N4|.."));
  const std::string lar = Neigh("Lar One", "", F("^pre|N0Rural|.."));
  const std::string form2095 = Neigh("Form 2095", "", F("N0Booming|.."));
  ASSERT_EQ(Import({{"neigh1004.tmp", first + second},
                    {"neighANVL.tmp", lar},
                    {"NEIGH209.dat.tmp", form2095}}),
            4);

  auto rows = Rows();
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0], (std::map<std::string, std::string>{{"NeighborhoodName", "Beaus\xC3\xA9jour"},
                                                         {"NeighborhoodCode", "NS-04"},
                                                         {"Area", "North Shore"},
                                                         {"Description", "Near the Caf\xC3\xA9"},
                                                         {"Zone", "R-1"},
                                                         {"Location", "Lakesid\xC3\xA9"},
                                                         {"PropertyValues", "Rising"},
                                                         {"GrowthRate", "Stable"},
                                                         {"PriceLow", "<null>"}}));
  EXPECT_EQ(rows[1]["Location"], "Urban");
  EXPECT_EQ(rows[1]["PropertyValues"], "Flat");
  EXPECT_EQ(rows[1]["GrowthRate"], "Slow");
  // ANVL reads form LAR: only LOC is listed.
  EXPECT_EQ(rows[2]["Location"], "Rural");
  EXPECT_EQ(rows[2]["GrowthRate"], "<null>");
  // 209 reads form 2095, whose first tag is GROWTH.
  EXPECT_EQ(rows[3]["GrowthRate"], "Booming");
  EXPECT_EQ(rows[3]["Location"], "<null>");

  EXPECT_EQ(SecondaryNames(),
            (std::vector<std::string>{"Beaus\xC3\xA9jour", "Val-d'Or", "Lar One", "Form 2095"}));
  EXPECT_TRUE(Logged("Attempting to import file: 'neigh1004.tmp'.", ""));
  EXPECT_TRUE(Logged("File 'neigh1004.tmp': 2 read, 2 added, 0 overwritten, 0 kept, 0 rejected."));
  EXPECT_EQ(engine.RecordsRejected(), 0);
  // An unmapped tag and a map entry naming no column are silently left out.
  EXPECT_FALSE(LoggedStart("Rejected"));
}

TEST_F(NeighborhoodImportTest, StopsWithoutAdditionalFileOrConversionFile) {
  MakeTables();
  engine.SetAdditionalFile("");
  EXPECT_EQ(Import({{"neigh1004.tmp", Neigh("A", "")}}), -1);
  EXPECT_TRUE(Logged("Additional file was blank but is required by this operation."));
  EXPECT_FALSE(Logged("Attempting to import file: 'neigh1004.tmp'.", ""));

  engine.SetAdditionalFile(world.Program("Zev.ini"));
  std::filesystem::remove(world.Native("host/Addons/Neighbor/NeighTags.ini"));
  EXPECT_EQ(Import({{"neigh1004.tmp", Neigh("A", "")}}), -1);
  EXPECT_TRUE(Logged("Neighborhood conversion INI file '" + world.Program("host") +
                     "\\Addons\\Neighbor\\NeighTags.ini' DID NOT exist."));
  EXPECT_FALSE(Logged("Attempting to import file: 'neigh1004.tmp'.", ""));
  EXPECT_TRUE(Rows().empty());

  // Through the import stage the early stop fails the run.
  EXPECT_FALSE(DirectImport::ImportListed(engine));
}

TEST_F(NeighborhoodImportTest, UnusableFilesAreSkippedAndTheRestImported) {
  MakeTables();
  ui::CProgressBar bar;
  engine.SetProgress(&bar);
  world.Write("out/neigh1004.tmp", Neigh("Later", "", F("N0Bay|..")));
  world.Write("out/lender.tmp", Neigh("Misnamed", ""));
  DirectImport::ListOutputFiles(engine,
                                {"lender.tmp", "neigh.tmp", "neighMissing.tmp", "neigh1004.tmp"});
  ASSERT_TRUE(DirectImport::ImportListed(engine));
  EXPECT_EQ(bar.Value(), 4);
  engine.SetProgress(nullptr);

  const std::string skipped =
      "': its name gives no neighborhood form code (it must read neigh<form "
      "code>.<extension>); the file was skipped.";
  EXPECT_TRUE(Logged("File 'lender.tmp" + skipped));
  EXPECT_TRUE(Logged("File 'neigh.tmp" + skipped));
  EXPECT_TRUE(
      Logged("Source file was NOT found during import process: No such file or directory."));
  ASSERT_EQ(Rows().size(), 1u);
  EXPECT_EQ(Rows()[0]["Location"], "Bay");
  // The skipped files' records were not written: the run says so.
  EXPECT_EQ(engine.RecordsRejected(), 2);
}

TEST_F(NeighborhoodImportTest, FormWithoutTagListSavesTheFixedColumns) {
  MakeTables();
  EXPECT_EQ(Import({{"neighbors.tmp", Neigh("Bors A", "desc", F("N0Lake|..")) +
                                          Neigh("Bors B", "", F("N0Hill|.."))}}),
            2);
  auto rows = Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0]["Description"], "desc");
  EXPECT_EQ(rows[0]["Location"], "<null>");
  EXPECT_EQ(SecondaryNames(), (std::vector<std::string>{"Bors A", "Bors B"}));
  EXPECT_EQ(CountLogged("Form map collection was empty."), 2);
  EXPECT_TRUE(Logged("File 'neighbors.tmp': 2 read, 2 added, 0 overwritten, 0 kept, 0 rejected."));
}

TEST_F(NeighborhoodImportTest, ConflictQuestionsAndEveryAnswer) {
  MakeTables();
  AddExisting("Oakwood", "Old description");
  const std::string incoming = Neigh("OAKWOOD", "New description", F("N0New place|.."));

  // No, then No: kept, and the next conflict asks again.
  world.ui.answers = {MsgAnswer::No, MsgAnswer::No, MsgAnswer::No, MsgAnswer::No};
  EXPECT_EQ(Import({{"neigh1004.tmp", incoming + incoming}}), 0);
  ASSERT_EQ(world.ui.boxes.size(), 4u);
  EXPECT_EQ(world.ui.boxes[0].text,
            "Importing neighborhood with ID: 'OAKWOOD'" + kCrLf + kCrLf +
                "There is an existing neighborhood which conflicts with this one:" + kCrLf + kCrLf +
                "ID: 'Oakwood'" + kCrLf + "Description: 'Old description'" + kCrLf + kCrLf +
                "Do you wish to overwrite the information for this neighborhood?");
  EXPECT_EQ(world.ui.boxes[0].title, ResourceString(101));
  EXPECT_EQ(world.ui.boxes[0].buttons, platform::MsgButtons::YesNo);
  EXPECT_EQ(world.ui.boxes[0].icon, platform::MsgIcon::Question);
  EXPECT_EQ(world.ui.boxes[1].text, "Do you wish to KEEP ALL EXISTING report data?");
  EXPECT_EQ(Rows()[0]["Location"], "old place");
  EXPECT_TRUE(SecondaryNames().empty());
  EXPECT_TRUE(Logged("File 'neigh1004.tmp': 2 read, 0 added, 0 overwritten, 2 kept, 0 rejected."));

  // No, then Yes: every later conflict of the run is kept silently.
  world.ui.boxes.clear();
  world.ui.answers = {MsgAnswer::No, MsgAnswer::Yes};
  EXPECT_EQ(Import({{"neigh1004.tmp", incoming}, {"neighLAR.tmp", incoming}}), 0);
  EXPECT_EQ(world.ui.boxes.size(), 2u);

  // Yes, then No: overwritten (no secondary row), and the next conflict asks.
  world.ui.boxes.clear();
  world.ui.answers = {MsgAnswer::Yes, MsgAnswer::No, MsgAnswer::No, MsgAnswer::No};
  EXPECT_EQ(Import({{"neigh1004.tmp", incoming + Neigh("oakwood", "Third")}}), 1);
  ASSERT_EQ(world.ui.boxes.size(), 4u);
  EXPECT_EQ(world.ui.boxes[1].text, "Do you wish to overwrite ALL conflicting report information?" +
                                        kCrLf + "NOTE: This DOES NOT affect your actual reports.");
  // The second question already shows the overwritten row.
  EXPECT_NE(world.ui.boxes[2].text.find("ID: 'OAKWOOD'" + kCrLf + "Description: 'New description'"),
            std::string::npos);
  ASSERT_EQ(Rows().size(), 1u);
  EXPECT_EQ(Rows()[0]["Location"], "New place");
  EXPECT_EQ(Rows()[0]["Area"], "North Shore");
  EXPECT_TRUE(SecondaryNames().empty());

  // Yes, then Yes: later conflicts in later files are overwritten silently,
  // while a new name in the same files is added with its secondary row.
  world.ui.boxes.clear();
  world.ui.answers = {MsgAnswer::Yes, MsgAnswer::Yes};
  EXPECT_EQ(Import({{"neigh1004.tmp", incoming},
                    {"neighLAR.tmp", Neigh("Oakwood", "Last") + Neigh("Elm", "")}}),
            3);
  EXPECT_EQ(world.ui.boxes.size(), 2u);
  ASSERT_EQ(Rows().size(), 2u);
  EXPECT_EQ(Rows()[0]["Description"], "Last");
  EXPECT_EQ(SecondaryNames(), (std::vector<std::string>{"Elm"}));
  EXPECT_TRUE(Logged("File 'neighLAR.tmp': 2 read, 1 added, 1 overwritten, 0 kept, 0 rejected."));

  // Without comparisons the same name is added again, with its secondary row.
  world.ui.boxes.clear();
  engine.SetNoComparisons(true);
  EXPECT_EQ(Import({{"neigh1004.tmp", incoming}}), 1);
  EXPECT_TRUE(world.ui.boxes.empty());
  EXPECT_EQ(Rows().size(), 3u);
  EXPECT_EQ(SecondaryNames().size(), 2u);
}

TEST_F(NeighborhoodImportTest, NamesCannotChangeTheSecondaryStatement) {
  MakeTables();
  const std::string tricky = "x');DROP TABLE N2--";
  EXPECT_EQ(Import({{"neigh1004.tmp",
                     Neigh("O'Neil's Park", "") + Neigh("%s and '%s'", "") + Neigh(tricky, "")}}),
            3);
  EXPECT_EQ(SecondaryNames(), (std::vector<std::string>{"O'Neil's Park", "%s and '%s'", tricky}));
  EXPECT_EQ(Rows()[0]["NeighborhoodName"], "O'Neil's Park");

  // The name with an apostrophe is found again by the lookup.
  world.ui.answers = {MsgAnswer::Yes, MsgAnswer::No};
  EXPECT_EQ(Import({{"neigh1004.tmp", Neigh("O'Neil's Park", "again")}}), 1);
  EXPECT_EQ(world.ui.boxes.size(), 2u);
  EXPECT_EQ(Rows().size(), 3u);
  EXPECT_EQ(Rows()[0]["Description"], "again");
  EXPECT_EQ(SecondaryNames().size(), 3u);
}

TEST_F(NeighborhoodImportTest, RefusedRowsAreNotCountedAndGetNoSecondaryRow) {
  MakeTables(" CHECK (NeighborhoodName <> 'Refused')", " CHECK (NeighborhoodName <> 'No second')");
  // PriceLow is a number column: a text value for it is refused, the row is
  // saved without it.
  world.Write("host/Addons/Neighbor/NeighTags.ini",
              "[OldFields]\r\nLAR=LOC,PRICE\r\n[LAR]\r\nLOC=Location\r\nPRICE=PriceLow\r\n");
  modINIFile::ClearINICache();
  const std::string good = Neigh("Good", "", F("N0Here|N1250|.."));
  const std::string refused = Neigh("Refused", "", F("N0There|.."));
  const std::string badPrice = Neigh("Bad price", "", F("N0Near|N1cheap|.."));
  const std::string noSecond = Neigh("No second", "", F("N0Far|.."));
  EXPECT_EQ(Import({{"neighLAR.tmp", good + refused + badPrice + noSecond}}), 3);

  auto rows = Rows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0]["PriceLow"], "250");
  EXPECT_EQ(rows[1]["NeighborhoodName"], "Bad price");
  EXPECT_EQ(rows[1]["Location"], "Near");
  EXPECT_EQ(rows[1]["PriceLow"], "<null>");
  EXPECT_EQ(SecondaryNames(), (std::vector<std::string>{"Good", "Bad price"}));

  const std::string at2 = std::to_string(good.size());
  const std::string at3 = std::to_string(good.size() + refused.size());
  const std::string at4 = std::to_string(good.size() + refused.size() + badPrice.size());
  EXPECT_TRUE(LoggedStart("Rejected record 2 of file 'neighLAR.tmp' at byte " + at2 +
                          ": the database refused the row"));
  EXPECT_TRUE(LoggedStart("Rejected record 3 of file 'neighLAR.tmp' at byte " + at3 +
                          ": column 6 refused its value"));
  EXPECT_TRUE(Logged("Could not create additional record in secondary neighborhood table."));
  EXPECT_TRUE(LoggedStart("File 'neighLAR.tmp': record 4 at byte " + at4 +
                          " was added, but its row in Neighborhoods2 was not: "));
  EXPECT_TRUE(Logged("File 'neighLAR.tmp': 4 read, 2 added, 0 overwritten, 0 kept, 2 rejected."));
  EXPECT_EQ(engine.RecordsRejected(), 3);
}

}  // namespace
