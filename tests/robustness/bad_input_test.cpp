// Hostile extracted files, every importer. Each must end the run (a loop
// shows as a ctest timeout) with a log line saying what happened, and the
// records before the bad one must land. And INI files far outside what the
// host writes, where lookups must stay correct and a parse linear.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "doubles/TestWorld.h"
#include "e2e/RunProgram.h"
#include "engine/CSImportEngine.h"
#include "engine/DbConnection.h"
#include "engine/DirectImport.h"
#include "importers/Importers.h"
#include "importers/layouts/ComparablesLayout.h"
#include "importers/layouts/LenderLayout.h"
#include "importers/layouts/ResponsesLayout.h"
#include "importers/layouts/SupplementLayout.h"
#include "robustness/Shared.h"
#include "support/modINIFile.h"

namespace {

namespace fs = std::filesystem;
namespace comps = layouts::comparables;
namespace supp = layouts::supplement;
using platform::MsgAnswer;
using namespace robustness;
using samplehost::ResponseRecord;
using std::string_literals::operator""s;

// One importer: its data type, database template, usual output file and a
// second name it takes, the bytes after the length prefix read as the head,
// the table it writes, and a record whose text `marker` lands in its row.
struct Kind {
  const char *name, *database, *file, *other, *table;
  int type, headSize;
  std::function<std::string(const std::string& marker)> record;
};

using M = const std::string&;
// clang-format off
const Kind kKinds[] = {
    {"responses", "CommonResponses.mdb", "resp.dat.tmp", "other.dat.tmp", "resp", 0,
     layouts::responses::kHeadSize,
     [](M m) { return ResponseRecord(1, 1, 4, "T", false, 0, m, 0); }},
    {"file index", "Appraisals.mdb", "didovuro.dta.tmp", "second.dta.tmp", "FileIndex", 4,
     layouts::fileindex::kHeadSize,
     [](M m) { return FileIndex(m.substr(0, 9), m, "C:\\r.rpt", false); }},
    {"lenders", "Lenders.mdb", "lender.dta.tmp", "lender2.dta.tmp", "Lenders", 5,
     layouts::lender::kRecordSize, [](M m) { return Lender(m.substr(0, 10), m); }},
    {"neighborhoods", "Neighborhoods.mdb", "neigh1004.dta.tmp", "neigh1004.dtb.tmp",
     "Neighborhoods", 6, layouts::neighborhood::kHeadSize, [](M m) { return Neighborhood(m); }},
    {"comparables", "Comparables.mdb", "xcomps.dat.tmp", "ycomps.dat.tmp", "ZazOzurs", 7,
     comps::kRecordSize, [](M m) { return Comparable(m.substr(0, 12)); }},
    {"supplement", "Comparables.mdb", "xcomps.cp2.tmp", "ycomps.cp2.tmp", "ZazOzurs", 7,
     supp::kRecordSize, [](M m) { return Supplement(m.substr(0, 12), m); }}};
// clang-format on

class BadInput : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string tmpl = (fs::temp_directory_path() / "ingestor-hosts-XXXXXX").string();
    host_ = std::make_unique<std::string>(::mkdtemp(tmpl.data()) ? tmpl : "");
    e2e::Run(INGESTOR_SAMPLE_HOST, {*host_});
  }
  static void TearDownTestSuite() {
    std::error_code ec;
    fs::remove_all(*host_, ec);
  }

  struct Outcome {
    bool result = false;
    std::string log;
    Rows rows;  // of the table the importer writes
    // How many rows hold `marker` in some column.
    int With(const std::string& marker) const {
      return static_cast<int>(std::count_if(rows.begin(), rows.end(), [&](const auto& row) {
        return std::find(row.begin(), row.end(), marker) != row.end();
      }));
    }
  };

  // Imports `files` (name, bytes; kFolder makes a folder of that name) with
  // the importer of `kind` into a fresh copy of its template database.
  Outcome Import(const Kind& kind, const std::vector<std::pair<std::string, std::string>>& files,
                 const std::string& setup = "", std::vector<MsgAnswer> answers = {}) {
    Outcome out;
    testing_doubles::TestWorld w;
    w.MakeFolder("src");
    const std::string db = w.Native("db.mdb");
    if (!fs::copy_file(*host_ + "/Data/" + kind.database, db)) return out;
    EXPECT_TRUE(robustness::Exec(db, setup)) << setup;
    std::vector<std::string> names;
    for (const auto& [name, bytes] : files) {
      bytes == kFolder ? w.MakeFolder("out/" + name) : w.Write("out/" + name, bytes);
      names.push_back(name);
    }
    w.Write("Zev.ini", "[Directories]\r\nAppDir=" + e2e::TailPath(*host_) + "\\\r\n");
    modINIFile::ClearINICache();
    w.ui.answers.assign(answers.begin(), answers.end());
    testing_doubles::RecordingOutput log(platform::OutputObject::Kind::List);
    {
      CSImportEngine engine(w.ctx, importers::Table());
      engine.SetOutputObject(&log);
      engine.SetDataType(static_cast<DataType>(kind.type));
      engine.SetOutputDatabase(w.Program("db.mdb"));
      engine.SetOutputFolder(w.Program("out") + "\\");
      engine.SetSource(w.Program("src") + "\\");
      engine.SetAdditionalFile(w.Program("Zev.ini"));
      engine.SetNoComparisons(answers.empty());
      EXPECT_TRUE(DirectImport::Connect(engine));
      engine.Connection()->Execute("PRAGMA synchronous = OFF");  // thousands of imports
      DirectImport::ListOutputFiles(engine, names);
      out.result = DirectImport::ImportListed(engine);
      if (engine.RecordsRejected() > 0) out.log += "Rejected (the engine's count)\n";
    }
    for (const std::string& line : log.lines) out.log += line + "\n";
    out.rows =
        robustness::Query(db, std::string("SELECT * FROM ") + kind.table + " ORDER BY rowid");
    return out;
  }

  static inline const std::string kFolder = "<folder>";
  static inline std::unique_ptr<std::string> host_;
};

// The per-file summary adds up (read = added + overwritten + kept +
// rejected), and a line names each rejection.
void ExpectSummary(const std::string& log, const std::string& file) {
  const std::regex summary("File '" + file +
                           "': ([0-9]+) read, ([0-9]+) added, ([0-9]+) overwritten, ([0-9]+) "
                           "kept, ([0-9]+) rejected\\.");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(log, m, summary)) << log;
  EXPECT_EQ(std::stoi(m[1]), std::stoi(m[2]) + std::stoi(m[3]) + std::stoi(m[4]) + std::stoi(m[5]))
      << m[0];
  EXPECT_EQ(Count(log, "Rejected record"), std::stoul(m[5])) << log;
}

// Per importer: the second record cut off at every byte of its head (named
// where it starts: stored incomplete, or too short to be a record), length
// prefixes that are not lengths, an empty file and a folder in place of a
// file (a line among its own says it was not found; the next file lands).
TEST_F(BadInput, CutRecordsFalseLengthsEmptyFilesAndFolders) {
  for (const Kind& kind : kKinds) {
    const std::string first = kind.record("FIRSTREC"), second = kind.record("SECONDREC");
    const std::string file = kind.file, at = std::to_string(first.size());
    for (int cut = 0; cut < layouts::kLengthDigits + kind.headSize; ++cut) {
      SCOPED_TRACE(file + ", second record cut after " + std::to_string(cut));
      const Outcome o = Import(kind, {{file, first + second.substr(0, cut)}});
      EXPECT_TRUE(o.result && o.With("FIRSTREC") == 1) << o.log;
      ExpectSummary(o.log, file);
      const bool named =
          Count(o.log, "record 2 of file '" + file + "' at byte " + at) +
          Count(o.log, "ends with " + std::to_string(cut) + " byte(s) at byte " + at);
      EXPECT_EQ(named, cut > 0) << o.log;
      if (HasFailure()) return;
    }
    for (const char* prefix : {"abcde", "99999", "-0001", " 12 3", "00000"}) {
      SCOPED_TRACE(file + ", length text '" + prefix + "'");
      const std::string bad = prefix + second.substr(layouts::kLengthDigits);
      const Outcome o = Import(kind, {{file, first + bad + kind.record("THIRDREC")}});
      EXPECT_TRUE(o.result && o.With("FIRSTREC") == 1) << o.log;
      ExpectSummary(o.log, file);  // whatever the walk made of the rest
    }
    SCOPED_TRACE(kind.name);
    Outcome o = Import(kind, {{kind.other, ""}, {file, first}});
    EXPECT_TRUE(o.result && o.With("FIRSTREC") == 1) << o.log;
    EXPECT_EQ(Count(o.log, "File '" + std::string(kind.other) + "': 0 read"), 1u) << o.log;
    o = Import(kind, {{kind.other, kFolder}, {file, first}});
    const std::size_t from =
        o.log.find("Attempting to import file: '" + std::string(kind.other) + "'");
    ASSERT_NE(from, std::string::npos) << o.log;
    const std::string own =
        o.log.substr(from, o.log.find("Attempting to import file", from + 1) - from);
    EXPECT_TRUE(std::regex_search(own, std::regex("NOT found|fail|could not"))) << o.log;
    EXPECT_EQ(o.With("FIRSTREC"), 1) << o.log;
  }
}

TEST_F(BadInput, NulAndCodePageBytesInEveryTextField) {
  // Windows-1252 bytes as the conversion to UTF-8 must store them.
  const char kBytes[] = "A\xE9\x80\x9F\xFF";
  const char* kUtf8[] = {"A", "\xC3\xA9", "\xE2\x82\xAC", "\xC5\xB8", "\xC3\xBF"};
  using Fields = std::vector<std::pair<layouts::Field, int>>;  // field, column (its position)
  namespace l = layouts::lender;
  // clang-format off
  Fields lenderFields = {
      {l::kName, l::kNameColumn}, {l::kAddress1, l::kAddress1Column},
      {l::kAddress2, l::kAddress2Column}, {l::kCityStateZip, l::kCityStateZipColumn},
      {l::kPhone, l::kPhoneColumn}, {l::kContactFirst, l::kContactFirstColumn},
      {l::kContactLast, l::kContactLastColumn}, {l::kReference, l::kReferenceColumn}},
      compFields, suppFields;
  // clang-format on
  for (const comps::Placed& p : comps::kFields)
    if (p.field.kind == layouts::FieldKind::Text && p.position != comps::kNotStored &&
        p.position != comps::kWcidColumn)
      compFields.push_back({p.field, p.position});
  for (const supp::TokenField& t : supp::kFields)
    if (t.field.kind == layouts::FieldKind::Text && t.position != supp::kWcid.position)
      suppFields.push_back({t.field, t.position});
  const std::tuple<const Kind&, layouts::Field, int, const Fields&> cases[] = {
      {kKinds[2], l::kLenderId, l::kRecordSize, lenderFields},
      {kKinds[4], comps::kWcid, comps::kRecordSize, compFields},
      {kKinds[5], supp::kWcid.field, supp::kRecordSize, suppFields}};
  // Every field with the code-page bytes, then with a NUL inside (the text
  // ends there).
  for (const auto& [kind, keyField, recordSize, fields] : cases) {
    for (const bool withNul : {false, true}) {
      SCOPED_TRACE(std::string(kind.name) + (withNul ? ", NUL inside" : ", code-page bytes"));
      RecordWriter r(recordSize);
      r.Text(keyField, "KEY");
      std::vector<std::string> expected;
      for (const auto& [field, position] : fields) {
        std::string bytes, utf8;
        for (int i = 0; i < field.width && i < 5; ++i) {
          bytes += kBytes[i];
          utf8 += kUtf8[i];
        }
        if (withNul && field.width >= 3) {
          bytes = bytes.substr(0, 2) + '\0' + bytes.substr(2);
          utf8 = std::string(kUtf8[0]) + kUtf8[1];
        }
        r.Text(field, bytes);
        expected.push_back(utf8);
      }
      const Outcome o = Import(kind, {{kind.file, Framed(r.bytes())}});
      EXPECT_TRUE(o.result) << o.log;
      EXPECT_EQ(o.log.find("Rejected"), std::string::npos) << o.log;
      ASSERT_EQ(o.rows.size(), 1u);
      for (std::size_t i = 0; i < fields.size(); ++i)
        EXPECT_EQ(o.rows[0].at(static_cast<std::size_t>(fields[i].second)), expected[i])
            << "column " << fields[i].second;
    }
  }
}

// Lenders (by ID) and neighborhoods (by name) find the existing row of a key
// of apostrophes and overwrite it, not duplicate it.
TEST_F(BadInput, KeysOfApostrophesAreLookedUpNotSpliced) {
  const std::string quotes(10, '\''), stored(20, '\'');
  Outcome o =
      Import(kKinds[2], {{kKinds[2].file, Lender(quotes, quotes) + Lender("PLAIN", "PLAIN")}},
             "INSERT INTO Lenders (LenderDBID, LenderName) VALUES ('" + stored + "', 'Old name')",
             {MsgAnswer::Yes, MsgAnswer::No});
  EXPECT_TRUE(o.result && o.With("PLAIN") == 1) << o.log;
  EXPECT_EQ(o.With(quotes), 1) << o.log;  // one row, its ID and its name
  for (const auto& row : o.rows)
    EXPECT_TRUE(row.at(layouts::lender::kIdColumn) != quotes ||
                row.at(layouts::lender::kNameColumn) == quotes);

  o = Import(kKinds[3], {{kKinds[3].file, Neighborhood(quotes) + Neighborhood(quotes + "x")}},
             "INSERT INTO Neighborhoods (NeighborhoodName, Zone) VALUES ('" + stored + "', 'old')",
             {MsgAnswer::Yes, MsgAnswer::No});
  EXPECT_TRUE(o.result && o.With(quotes) == 1 && o.With(quotes + "x") == 1) << o.log;
  EXPECT_EQ(o.With("old"), 0) << "the existing row was not overwritten\n" << o.log;
}

TEST(BadSettings, AHundredThousandSectionsAndTenMegabyteLines) {
  testing_doubles::TestWorld world;
  struct Case {
    std::string ini, section, key, value;  // ini "": the file of the case before
  };
  std::string many;
  for (int i = 0; i < 100000; ++i)
    many += "[S" + std::to_string(i) + "]\r\nKey=v" + std::to_string(i) + "\r\nOther=o\r\n";
  // A repeated section: the first one answers. Names compare without regard
  // to case, accented letters too.
  many +=
      "[S5]\r\nKey=late\r\n[Caf\xC3\xA9 \xC3\x9C"
      "ber]\r\nKey=accent\r\n";
  const std::string huge(10 << 20, 'x'), cut(modINIFile::kMaxValue, 'x');
  // clang-format off
  const Case cases[] = {
      {many, "S0", "Key", "v0"}, {"", "s49999", "KEY", "v49999"}, {"", "S99999", "Key", "v99999"},
      {"", "S5", "Key", "v5"}, {"", "S99999", "Other", "o"}, {"", "S100000", "Key", "<default>"},
      {"", "S1", "Missing", "<default>"}, {"", "CAF\xC3\x89 \xC3\xBC" "BER", "key", "accent"},
      {"", "Caf\xC3\xA9 Uber", "Key", "<default>"},
      // A value of 10 MB comes back cut; the lines after it still count.
      {"[A]\r\nLong=" + huge + "\r\nNext=ok\r\n", "A", "Long", cut}, {"", "A", "Next", "ok"},
      // A 10 MB section name or key matches nothing else; nor does one line
      // of 10 MB without a break and without '=' or brackets.
      {"[" + huge + "]\r\nK=1\r\n[B]\r\nK=2\r\n", "B", "K", "2"},
      {"[B]\r\n" + huge + "=1\r\nK=2\r\n", "B", "K", "2"},
      {huge, "A", "x", "<default>"}, {"[" + huge, "A", "K", "<default>"}};
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.section + "/" + c.key);
    if (!c.ini.empty()) {
      world.Write("big.ini", c.ini);
      modINIFile::ClearINICache();
    }
    // Many lookups against the cached parse, as a per-record lookup makes them.
    for (int round = 0; round < (c.ini.empty() ? 1000 : 1); ++round)
      ASSERT_EQ(modINIFile::GetINIString(world.ctx, c.section, c.key, "<default>",
                                         world.Program("big.ini")),
                c.value);
  }
  modINIFile::ClearINICache();
}

}  // namespace
