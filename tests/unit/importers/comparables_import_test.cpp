#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "RecordWriter.h"
#include "doubles/TestWorld.h"
#include "engine/CSImportEngine.h"
#include "engine/DbConnection.h"
#include "engine/Recordset.h"
#include "importers/ComparablesWcidSet.h"
#include "importers/Importers.h"
#include "importers/layouts/ComparablesLayout.h"
#include "importers/layouts/SupplementLayout.h"
#include "support/ResourceStrings.h"
#include "ui/CProgressBar.h"
#include "unit/importers/ImporterFixture.h"

namespace {

namespace c = layouts::comparables;
namespace s = layouts::supplement;
using samplehost::Framed;
using samplehost::RecordWriter;
using testing_doubles::ImporterFixture;
using testing_doubles::TestWorld;

// Windows-1252 text with an apostrophe and an accented letter, as long as
// the field allows, different for every position and `seed`.
std::string TextFor(int position, int width, int seed) {
  std::string t = "O'N\xE9il " + std::to_string(seed) + "-" + std::to_string(position);
  return t.substr(0, static_cast<std::size_t>(width));
}
// The same as the database holds it: UTF-8 (é is C3 A9).
std::string Utf8(std::string text) {
  std::string out;
  for (char ch : text) out += ch == '\xE9' ? std::string("\xC3\xA9") : std::string(1, ch);
  return out;
}

// A main record with a known value in every field; what each position must
// hold afterwards goes to `expected` (position -> text of the stored value).
std::string MainRecord(const std::string& wcid, int seed,
                       std::vector<std::string>* expected = nullptr) {
  RecordWriter r(c::kRecordSize);
  std::vector<std::string> want(c::kColumnCount);
  for (const c::Placed& p : c::kFields) {
    const int v = p.position < 0 ? 0 : p.position;
    std::string text;
    switch (p.field.kind) {
      case layouts::FieldKind::Int16:
        r.Int16(p.field, static_cast<std::int16_t>(-(seed * 100 + v)));
        text = std::to_string(-(seed * 100 + v));
        break;
      case layouts::FieldKind::Int32:
        r.Int32(p.field, 1000000 * seed + v);
        text = std::to_string(1000000 * seed + v);
        break;
      case layouts::FieldKind::Single:
        r.Single(p.field, static_cast<float>(v) + 0.5f);
        text = std::to_string(v) + ".5";
        break;
      case layouts::FieldKind::Date: {
        const int day = v % 28 + 1, month = seed % 12 + 1, year = 1990 + v;
        r.Date(p.field, day, month, year);
        char iso[40];
        std::snprintf(iso, sizeof iso, "%04d-%02d-%02d", year, month, day);
        text = iso;
        break;
      }
      case layouts::FieldKind::Text:
        r.Text(p.field, TextFor(v, p.field.width, seed));
        text = Utf8(TextFor(v, p.field.width, seed));
        break;
    }
    if (p.position != c::kNotStored) want[p.position] = text;
  }
  r.Text(c::kWcid, wcid);
  want[c::kWcidColumn] = Utf8(wcid);
  want[c::kUnfedColumn] = "";
  if (expected) *expected = want;
  return r.bytes();
}

// The positions the main pass writes from record fields.
std::vector<int> MainPositions() {
  std::vector<int> positions;
  for (const c::Placed& p : c::kFields)
    if (p.position != c::kNotStored) positions.push_back(p.position);
  return positions;
}

// The values a supplement record's tokens carry.
struct Extra {
  std::string wcid;
  std::string text;  // every text field: this, cut to its width
  std::int32_t price = 0;
  std::string comment;
};
std::string SupplementRecord(const Extra& e) {
  RecordWriter r(s::kRecordSize);
  for (const s::TokenField& f : s::kFields)
    if (f.field.kind == layouts::FieldKind::Text)
      r.Text(f.field, e.text + std::string(f.token.substr(1, 3)));
  r.Text(s::kWcid.field, e.wcid).Text(s::kComment.field, e.comment, true);
  r.Int32(s::kFinalListPrice.field, e.price);
  return r.bytes();
}

class ComparablesImportTest : public ImporterFixture {
 protected:
  ComparablesImportTest() : ImporterFixture(7) {}

  // Writes the files and runs the importer over them in this order.
  std::int32_t Import(const std::vector<std::pair<std::string, std::string>>& files,
                      const std::vector<std::string>& alsoListed = {}) {
    std::vector<std::string> names;
    for (const auto& file : files) names.push_back(file.first);
    names.insert(names.end(), alsoListed.begin(), alsoListed.end());
    SetOutputFiles(files, names);
    return importers::ImportZazOzurs(engine);
  }

  // Every row of ZazOzurs in ID order, each value as text ("" for NULL),
  // and whether it was NULL.
  struct Row {
    std::vector<std::string> text;
    std::vector<bool> null;
  };
  std::vector<Row> Rows() {
    Recordset rs(*engine.Connection());
    EXPECT_TRUE(rs.Open("SELECT * FROM [ZazOzurs] ORDER BY ID", false)) << rs.error();
    std::vector<Row> rows;
    for (bool ok = !(rs.Bof() && rs.Eof()); ok && !rs.Eof(); ok = rs.MoveNext()) {
      Row row;
      for (int i = 0; i < rs.FieldCount(); ++i) {
        row.text.push_back(rs.Field(i).ToText());
        row.null.push_back(rs.Field(i).IsNull());
      }
      rows.push_back(row);
    }
    return rows;
  }

  void CreateTable(const std::string& script) {
    ASSERT_TRUE(engine.ExecuteScript("ZazOzurs", script));
  }
};

TEST_F(ComparablesImportTest, CreatesTheTableAndEveryMainPositionRoundTrips) {
  std::vector<std::string> want;
  std::string file = Framed(MainRecord("WC-1", 1, &want));
  // Empty dates and zero numbers: NULL dates, zeros stored.
  file += Framed(RecordWriter(c::kRecordSize).Text(c::kWcid, "WC-2").bytes());
  EXPECT_EQ(Import({{"acomps.dat.tmp", file}}), 2);

  EXPECT_TRUE(Logged("Table 'ZazOzurs' did not appear to exist."));
  EXPECT_TRUE(Logged("Created table 'ZazOzurs' successfully."));
  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 2u);
  ASSERT_EQ(rows[0].text.size(), static_cast<std::size_t>(c::kColumnCount));
  for (int p : MainPositions()) EXPECT_EQ(rows[0].text[p], want[p]) << "position " << p;
  EXPECT_EQ(rows[0].text[c::kUnfedColumn], "");
  EXPECT_FALSE(rows[0].null[c::kUnfedColumn]);
  // The supplement's columns are left alone by the main pass.
  for (int position : s::kNamePositions) {
    if (position == c::kWcidColumn) continue;
    EXPECT_TRUE(rows[0].null[position]) << position;
  }

  for (const c::Placed& p : c::kFields) {
    if (p.position == c::kNotStored || p.position == c::kWcidColumn) continue;
    if (p.field.kind == layouts::FieldKind::Date)
      EXPECT_TRUE(rows[1].null[p.position]) << p.position;
    else if (p.field.kind == layouts::FieldKind::Text)
      EXPECT_EQ(rows[1].text[p.position], "") << p.position;
    else
      EXPECT_EQ(rows[1].text[p.position], "0") << p.position;
  }
  EXPECT_TRUE(Logged("File 'acomps.dat.tmp': 2 read, 2 added, 0 overwritten, 0 kept, 0 rejected."));
  EXPECT_TRUE(Logged("2 records added."));
  EXPECT_EQ(engine.RecordsRejected(), 0);
}

TEST_F(ComparablesImportTest, SupplementTokensUpdateRowsOfThisImportAndInsertTheRest) {
  std::vector<std::string> main1;
  const std::string mainFile =
      Framed(MainRecord("wc-7", 1, &main1)) + Framed(MainRecord("A100", 2));
  const std::string comment135(135, 'c');
  Extra update{"WC-7", "it's ", -1, comment135};
  Extra insert{"B200", "Caf\xE9 'x' ", 9500, "  Corner lot, O'Neil's  "};
  const std::string extra = Framed(SupplementRecord(update)) + Framed(SupplementRecord(insert));
  // The supplement file comes first in the list: it is still imported last.
  EXPECT_EQ(Import({{"XCOMPS.CP2.TMP", extra}, {"acomps.dat.tmp", mainFile}}), 4);

  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 3u);
  // Row 1 was updated: the main values stay, the tokens land by position,
  // and WCID takes the supplement's spelling.
  const Row& updated = rows[0];
  EXPECT_EQ(updated.text[c::kWcidColumn], "WC-7");
  for (int p : MainPositions()) {
    if (p == c::kWcidColumn) continue;
    EXPECT_EQ(updated.text[p], main1[p]) << p;
  }
  for (const s::TokenField& f : s::kFields) {
    if (f.field.kind != layouts::FieldKind::Text || f.position == s::kWcid.position ||
        f.position == s::kComment.position)
      continue;
    const std::string sent = std::string(update.text) + std::string(f.token.substr(1, 3));
    EXPECT_EQ(updated.text[f.position], sent.substr(0, static_cast<std::size_t>(f.field.width)))
        << f.token;
  }
  EXPECT_EQ(updated.text[s::kFinalListPrice.position], "-1");  // FF FF FF FF
  EXPECT_EQ(updated.text[s::kComment.position], comment135);   // 135 bytes, no NUL
  EXPECT_EQ(updated.text[s::kSaleHistory4Column], "");
  EXPECT_FALSE(updated.null[s::kSaleHistory4Column]);

  EXPECT_EQ(rows[1].text[c::kWcidColumn], "A100");
  EXPECT_TRUE(rows[1].null[s::kPhotoId.position]);

  // The inserted row: apostrophes stored as they are, comment trimmed.
  const Row& added = rows[2];
  EXPECT_EQ(added.text[c::kWcidColumn], "B200");
  EXPECT_EQ(added.text[s::kView.position], "Caf\xC3\xA9 'x' VIE");
  EXPECT_EQ(added.text[s::kComment.position], "Corner lot, O'Neil's");
  EXPECT_EQ(added.text[s::kFinalListPrice.position], "9500");
  EXPECT_TRUE(added.null[2]);  // a main-record column

  EXPECT_TRUE(Logged("File 'XCOMPS.CP2.TMP': 2 read, 1 added, 1 overwritten, 0 kept, 0 rejected."));
  EXPECT_TRUE(Logged("4 records added."));
  ASSERT_EQ(world.ui.windows.size(), 2u);  // one window per pass
  EXPECT_EQ(world.ui.windows[1]->statuses,
            std::vector<std::string>{"Importing date from file: XCOMPS.CP2.TMP"});
  EXPECT_EQ(world.ui.windows[1]->counts,
            (std::vector<std::string>{"0 of 2 records imported.", "1 of 2 record imported."}));
}

TEST_F(ComparablesImportTest, DuplicateWcidsInAnyCaseAreAllRowsAndOneUpdateReachesThemAll) {
  const std::string mainFile = Framed(MainRecord("AB-\xC9", 1)) + Framed(MainRecord("ab-\xE9", 2));
  const std::string extra = Framed(SupplementRecord({"Ab-\xE9", "p", 5, "one"}));
  // The summary counts the rows of every file.
  EXPECT_EQ(Import({{"a.dat.tmp", mainFile},
                    {"b.dat.tmp", Framed(MainRecord("AB-\xC9", 3))},
                    {"a.cp2.tmp", extra}}),
            4);
  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 3u);  // no INSERT
  for (const Row& row : rows) {
    EXPECT_EQ(row.text[c::kWcidColumn], "Ab-\xC3\xA9");
    EXPECT_EQ(row.text[s::kComment.position], "one");
  }
}

TEST_F(ComparablesImportTest, SupplementWithoutMainInsertsEvenWhenAnOlderRowHasTheWcid) {
  CreateTable(c::CreateTableScript());
  ASSERT_TRUE(engine.Connection()->Execute("INSERT INTO ZazOzurs (WCID, FLP) VALUES ('OLD-1', 1)"));
  const std::string extra = Framed(SupplementRecord({"OLD-1", "a", 2, ""})) +
                            Framed(SupplementRecord({"NEW-1", "b", 3, ""}));
  EXPECT_EQ(Import({{"old.cp2.tmp", extra}}), 2);
  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].text[s::kFinalListPrice.position], "1");  // untouched
  EXPECT_EQ(rows[1].text[c::kWcidColumn], "OLD-1");
  EXPECT_EQ(rows[2].text[c::kWcidColumn], "NEW-1");
  EXPECT_FALSE(LoggedStart("Table 'ZazOzurs' did not"));
  // No main file: no window for the main pass.
  ASSERT_EQ(world.ui.windows.size(), 1u);
}

TEST_F(ComparablesImportTest, AMainRowTheDatabaseRefusedLeavesItsSupplementReported) {
  CreateTable(c::CreateTableScript());
  // Identifiers are unique in this table, and DUP is taken.
  CreateTable("CREATE UNIQUE INDEX UWCID ON %s (WCID)");
  ASSERT_TRUE(engine.Connection()->Execute("INSERT INTO ZazOzurs (WCID) VALUES ('DUP')"));
  const std::string mainFile = Framed(MainRecord("OK", 1)) + Framed(MainRecord("DUP", 2));
  const std::string extra = Framed(SupplementRecord({"DUP", "x", 1, ""}));
  EXPECT_EQ(Import({{"m.dat.tmp", mainFile}, {"m.cp2.tmp", extra}}), 1);
  EXPECT_TRUE(LoggedStart(
      "Rejected record 2 of file 'm.dat.tmp' at byte 627: the database refused the row"));
  EXPECT_TRUE(
      Logged("Rejected record 1 of file 'm.cp2.tmp' at byte 0: its main record was not "
             "saved, so no row of this import received its details"));
  EXPECT_EQ(engine.RecordsRejected(), 2);
}

TEST_F(ComparablesImportTest, ALegacyTableGetsWhatFitsAndNoSupplement) {
  CreateTable(ResourceString(504));
  const std::string mainFile = Framed(MainRecord("L-1", 1));
  const std::string extra = Framed(SupplementRecord({"L-1", "x", 1, "note"}));
  ui::CProgressBar progress;
  engine.SetProgress(&progress);
  progress.SetMax(2);
  EXPECT_EQ(Import({{"l.cp2.tmp", extra}, {"l.dat.tmp", mainFile}}), 1);

  EXPECT_TRUE(
      LoggedStart("Table 'ZazOzurs' has 76 columns; this import expects 77, in this order: "
                  "ID, WCID, UserID, PhotoID,"));
  EXPECT_TRUE(
      Logged("File 'l.cp2.tmp': not imported: table 'ZazOzurs' has 76 columns, not the 77 "
             "supplement records are written to."));
  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].text[c::kWcidColumn], "L-1");
  // Position 6 is the number column YearBuilt there: the street text is refused.
  EXPECT_TRUE(rows[0].null[6]);
  // Position 23 is a text column there too, and gets its text.
  EXPECT_EQ(rows[0].text[23], Utf8(TextFor(23, 13, 1)));
  EXPECT_TRUE(LoggedStart("Rejected record 1 of file 'l.dat.tmp' at byte 0: column "));
  EXPECT_EQ(progress.Value(), 2);
}

TEST(WcidSet, ComparesWithoutRegardToCaseAndKeepsEverySpelling) {
  importers::WcidSet set;
  importers::WcidSet::Match m;
  set.Find("X", m);
  EXPECT_FALSE(m.found);
  for (int i = 0; i < 5000; ++i) set.Add("ID-" + std::to_string(i), i % 2 == 0);
  set.Add("\xC9t\xE9-\x8A", false);
  set.Add("\xE9T\xC9-\x9A", true);
  set.Add("\xC9t\xE9-\x8A", false);
  set.Find("ID-4998", m);
  EXPECT_FALSE(m.saved);  // not until the file is settled
  set.SettleFile(true);
  EXPECT_EQ(set.size(), 5001u);
  set.Find("id-4999", m);
  EXPECT_TRUE(m.found);
  EXPECT_FALSE(m.saved);
  set.Find("ID-4998", m);
  EXPECT_TRUE(m.saved);
  set.Find("\xC9T\xC9-\x8A", m);
  EXPECT_TRUE(m.found);
  EXPECT_TRUE(m.saved);
  EXPECT_EQ(m.spellings, (std::vector<std::string>{"\xC9t\xE9-\x8A", "\xE9T\xC9-\x9A"}));
  set.Respell("\xE9t\xE9-\x9A", "\xE9t\xE9-\x9A");
  set.Find("\xC9T\xC9-\x8A", m);
  EXPECT_EQ(m.spellings, std::vector<std::string>{"\xE9t\xE9-\x9A"});
  set.Find("ID-5000", m);
  EXPECT_FALSE(m.found);
  // A file rolled back: its identifiers are known, its saves forgotten; saves
  // of earlier files stand.
  set.Add("R-1", true);
  set.Add("ID-4999", true);
  set.Add("ID-4998", true);
  set.SettleFile(false);
  set.Find("r-1", m);
  EXPECT_TRUE(m.found);
  EXPECT_FALSE(m.saved);
  set.Find("ID-4999", m);
  EXPECT_FALSE(m.saved);
  set.Find("ID-4998", m);
  EXPECT_TRUE(m.saved);
  // × and ÷ are not letters: no case to ignore.
  set.Add("\xD7", true);
  set.Find("\xF7", m);
  EXPECT_FALSE(m.found);
}

}  // namespace
