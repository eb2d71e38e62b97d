// What the importer suites start from: an engine whose log lines are
// recorded, connected to an empty embedded database with "out" as its output
// folder; readers of the log and of the database; records and tables of the
// comparing importers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "RecordWriter.h"
#include "doubles/TestWorld.h"
#include "engine/CSImportEngine.h"
#include "engine/DbConnection.h"
#include "engine/Recordset.h"
#include "importers/Importers.h"
#include "importers/layouts/LenderLayout.h"
#include "importers/layouts/NeighborhoodLayout.h"
#include "platform/db/Backend.h"
#include "support/modINIFile.h"

namespace testing_doubles {

using Rows = std::vector<std::vector<std::string>>;
using Files = std::vector<std::pair<std::string, std::string>>;

inline std::string Resp(int line, int across, int code, const std::string& title,
                        const std::string& text = "x") {
  return samplehost::ResponseRecord(line, across, code, title, false, 0, text, 0);
}
inline std::string Lender(const std::string& id, const std::string& name,
                          const std::string& first = "Jane", const std::string& last = "Smith") {
  namespace l = layouts::lender;
  samplehost::RecordWriter r(l::kRecordSize);
  r.Text(l::kLenderId, id).Text(l::kName, name).Text(l::kAddress1, "Loan Dept.", true);
  r.Text(l::kPhone, "555-0100").Text(l::kContactFirst, first).Text(l::kContactLast, last);
  return samplehost::Framed(r.Text(l::kNotImported, "x").Text(l::kReference, "REF-22").bytes());
}
// In the field text "|" stands for character 2, "^" for 21.
inline std::string Neigh(const std::string& name, const std::string& description,
                         std::string text = "") {
  namespace n = layouts::neighborhood;
  for (char& c : text) c = c == '|' ? n::kValueEnd : c == '^' ? n::kPreambleStart : c;
  samplehost::RecordWriter h(n::kHeadSize);
  h.Text(n::kName, name).Text(n::kArea, "  North Shore", true).Text(n::kDescription, description);
  h.Text(n::kZone, "R-1").Text(n::kCode, "NS-04");
  h.Int16(n::kFieldTextLength, static_cast<std::int16_t>(text.size()));
  return samplehost::Framed(h.bytes() + text);
}

struct ImporterWorld {
  ImporterWorld() {
    modINIFile::ClearINICache();
    engine.SetOutputObject(&output);
    world.Write("out.mdb", "");
    world.MakeFolder("out");
    engine.SetOutputDatabase(world.Program("out.mdb"));
    engine.SetOutputFolder(world.Program("out") + "\\");
    engine.SetSource(world.Program("host") + "\\");
    EXPECT_TRUE(engine.OpenConnection("", "", "", "", false));
  }
  ~ImporterWorld() { modINIFile::ClearINICache(); }

  // Writes `files` into the output folder and lists `names` as the output
  // (by default the files); the log starts afresh.
  void SetOutputFiles(const Files& files, std::vector<std::string> names = {}) {
    const bool listFiles = names.empty();
    for (const auto& [name, bytes] : files) {
      world.Write("out/" + name, bytes);
      if (listFiles) names.push_back(name);
    }
    engine.SetOutputFiles(names);
    output.lines.clear();
  }
  // The text of every log line.
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const std::string& line : output.lines) {
      auto at = line.find("[Text]");
      texts.push_back(at == line.npos ? line.substr(line.find(" - ") + 3) : line.substr(at + 6));
    }
    return texts;
  }
  bool Logged(const std::string& text) const {
    for (const std::string& t : Texts())
      if (t == text) return true;
    return false;
  }
  bool LoggedStart(const std::string& start) const {
    for (const std::string& t : Texts())
      if (t.starts_with(start)) return true;
    return false;
  }

  void Exec(const std::string& sql) { ASSERT_TRUE(engine.Connection()->Execute(sql)) << sql; }
  // Every row `sql` selects, each value as text, "<null>" for NULL.
  Rows Query(const std::string& sql) {
    std::string error;
    auto st = engine.Connection()->backend()->Prepare(engine.Connection()->Translate(sql), error);
    EXPECT_TRUE(st) << sql << ": " << error;
    Rows rows;
    while (st && st->Step() == db::StepResult::Row) {
      rows.emplace_back();
      for (int i = 0; i < st->ColumnCount(); ++i)
        rows.back().push_back(st->Column(i).IsNull() ? "<null>" : st->Column(i).ToText());
    }
    return rows;
  }

  // The host's tables. The neighborhood conversion file maps form 1004's
  // tags LOC, PROPVAL (one value skipped after it), GROWTH, NOMAP (unmapped)
  // and GHOST (no such column); form LAR has LOC, 2095 GROWTH; "bors" has a
  // section but no tag list.
  void MakeLenders(const std::string& nameCheck = "") {
    Exec("CREATE TABLE Lenders (ID COUNTER, LenderDBID TEXT(10), LenderName TEXT(40)" + nameCheck +
         ", Address1 TEXT, Address2 TEXT, CityStateZip TEXT, Phone TEXT, ContactFirst TEXT, "
         "ContactLast TEXT, Fax TEXT, Reference TEXT, Website TEXT, Email TEXT, ContactNote TEXT)");
  }
  void MakeNeighborhoods(const std::string& nameCheck = "", const std::string& secondCheck = "") {
    namespace n = layouts::neighborhood;
    std::string sql = "CREATE TABLE Neighborhoods (ID COUNTER, NeighborhoodName TEXT" + nameCheck +
                      ", NeighborhoodCode TEXT, Location TEXT, PropertyValues TEXT, GrowthRate "
                      "TEXT, PriceLow INTEGER";
    for (int i = 7; i < n::kMinColumnCount; ++i)
      sql += i == n::kAreaColumn          ? ", Area TEXT"
             : i == n::kDescriptionColumn ? ", Description TEXT"
             : i == n::kZoneColumn        ? ", Zone TEXT"
                                          : ", Field" + std::to_string(i) + " TEXT";
    Exec(sql + ")");
    Exec("CREATE TABLE Neighborhoods2 (ID COUNTER, NeighborhoodName TEXT" + secondCheck + ")");
    world.Write("Zev.ini", "[Directories]\r\nAppDir=" + world.Program("host") + "\r\n");
    world.Write("host/Addons/Neighbor/NeighTags.ini",
                "[OldFields]\r\n1004=LOC,PROPVALX,GROWTH,NOMAP,GHOST\r\nLAR=LOC\r\n2095=GROWTH\r\n"
                "[1004]\r\nLOC = Location\r\npropval=PropertyValues\r\nGROWTH=GrowthRate\r\n"
                "GHOST=NoSuchColumn\r\n[LAR]\r\nLOC=Location\r\n[2095]\r\nGROWTH=GrowthRate\r\n"
                "[bors]\r\nLOC=Location\r\n");
    engine.SetAdditionalFile(world.Program("Zev.ini"));
  }

  TestWorld world;
  RecordingOutput output{platform::OutputObject::Kind::List};
  CSImportEngine engine{world.ctx, importers::Table()};
};

class ImporterFixture : public ::testing::Test, public ImporterWorld {};

}  // namespace testing_doubles
