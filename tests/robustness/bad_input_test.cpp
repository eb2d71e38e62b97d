// Hostile extracted files, every importer: records cut off at every byte of
// the head, length prefixes that are not lengths, empty files, a folder where
// a file should be, NUL and Windows-1252 bytes in every text field, field-text
// lengths out of range, keys made of apostrophes and a 10 MB unbroken line.
// Each must end the run (a loop shows as a ctest timeout) with a log line
// saying what happened, and the records before the bad one must land.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "RecordWriter.h"
#include "doubles/TestWorld.h"
#include "e2e/RunProgram.h"
#include "engine/CSImportEngine.h"
#include "engine/DbConnection.h"
#include "engine/DirectImport.h"
#include "importers/Importers.h"
#include "importers/layouts/ComparablesLayout.h"
#include "importers/layouts/FileIndexLayout.h"
#include "importers/layouts/LenderLayout.h"
#include "importers/layouts/NeighborhoodLayout.h"
#include "importers/layouts/ResponsesLayout.h"
#include "importers/layouts/SupplementLayout.h"
#include "support/modINIFile.h"

namespace {

namespace fs = std::filesystem;
namespace comps = layouts::comparables;
namespace supp = layouts::supplement;
using platform::MsgAnswer;
using samplehost::Framed;
using samplehost::LengthPrefix;
using samplehost::RecordWriter;
using samplehost::ResponseRecord;
using std::string_literals::operator""s;

// One importer: its data type, database template, output file names, and a
// record whose text `marker` lands in a column of its row.
struct Kind {
  const char* name;
  int type;
  const char* database;
  const char* file;   // the usual output file
  const char* other;  // a second name the same importer takes
  int headSize;       // bytes after the length prefix read as the head
  std::function<std::string(const std::string& marker)> record;
};

std::string LenderRec(const std::string& marker) {
  namespace l = layouts::lender;
  RecordWriter r(l::kRecordSize);
  r.Text(l::kLenderId, marker.substr(0, 10)).Text(l::kName, marker);
  return Framed(r.bytes());
}

std::string IndexRec(const std::string& marker) {
  namespace i = layouts::fileindex;
  RecordWriter head(i::kHeadSize);
  head.Text(i::kFileId, marker.substr(0, 9)).Text(i::kStreet, marker);
  return Framed(head.bytes() + "C:\\Reports\\r.rpt");
}

std::string NeighRec(const std::string& marker, std::optional<int> count = std::nullopt,
                     const std::string& text = "N0Urban\x02N1Stable\x02\0\0"s) {
  namespace n = layouts::neighborhood;
  RecordWriter head(n::kHeadSize);
  head.Text(n::kName, marker)
      .Int16(n::kFieldTextLength, static_cast<std::int16_t>(count.value_or(text.size())));
  return Framed(head.bytes() + text);
}

std::string CompRec(const std::string& marker) {
  RecordWriter r(comps::kRecordSize);
  r.Text(comps::kWcid, marker.substr(0, 12));
  return Framed(r.bytes());
}

std::string SuppRec(const std::string& marker) {
  RecordWriter r(supp::kRecordSize);
  r.Text(supp::kWcid.field, marker.substr(0, 12)).Text(supp::kComment.field, marker);
  return Framed(r.bytes());
}

const Kind kKinds[] = {
    {"responses", 0, "CommonResponses.mdb", "resp.dat.tmp", "other.dat.tmp",
     layouts::responses::kHeadSize,
     [](const std::string& m) { return ResponseRecord(1, 1, 4, "T", false, 0, m, 0); }},
    {"file index", 4, "Appraisals.mdb", "didovuro.dta.tmp", "second.dta.tmp",
     layouts::fileindex::kHeadSize, IndexRec},
    {"lenders", 5, "Lenders.mdb", "lender.dta.tmp", "lender2.dta.tmp", layouts::lender::kRecordSize,
     LenderRec},
    {"neighborhoods", 6, "Neighborhoods.mdb", "neigh1004.dta.tmp", "neigh1004.dtb.tmp",
     layouts::neighborhood::kHeadSize, [](const std::string& m) { return NeighRec(m); }},
    {"comparables", 7, "Comparables.mdb", "xcomps.dat.tmp", "ycomps.dat.tmp", comps::kRecordSize,
     CompRec},
    {"supplement", 7, "Comparables.mdb", "xcomps.cp2.tmp", "ycomps.cp2.tmp", supp::kRecordSize,
     SuppRec},
};

// Every row of every table, each value as text, column 0 first.
using Rows = std::vector<std::vector<std::string>>;

Rows TableRows(const std::string& dbPath, const std::string& table) {
  Rows rows;
  sqlite3* db = nullptr;
  sqlite3_stmt* st = nullptr;
  if (sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
      sqlite3_prepare_v2(db, ("SELECT * FROM \"" + table + "\" ORDER BY rowid").c_str(), -1, &st,
                         nullptr) == SQLITE_OK) {
    while (sqlite3_step(st) == SQLITE_ROW) {
      std::vector<std::string> row;
      for (int c = 0; c < sqlite3_column_count(st); ++c) {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
        row.emplace_back(t ? std::string(t, static_cast<std::size_t>(sqlite3_column_bytes(st, c)))
                           : "");
      }
      rows.push_back(std::move(row));
    }
  }
  sqlite3_finalize(st);
  sqlite3_close_v2(db);
  return rows;
}

class BadInput : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string tmpl = (fs::temp_directory_path() / "ingestor-hosts-XXXXXX").string();
    host_ = new std::string(::mkdtemp(tmpl.data()) ? tmpl : "");
    e2e::Run(INGESTOR_SAMPLE_HOST, {*host_});
  }
  static void TearDownTestSuite() {
    std::error_code ec;
    fs::remove_all(*host_, ec);
    delete host_;
  }

  struct Outcome {
    bool result = false;
    std::string log;
    std::string db;  // native path of the database afterwards
  };

  // Imports `files` (name, bytes; a name without bytes is made a folder)
  // with the importer of `kind` into a fresh copy of its template database.
  Outcome Import(const Kind& kind, const std::vector<std::pair<std::string, std::string>>& files,
                 const std::vector<std::string>& setup = {}, bool compare = false,
                 std::vector<MsgAnswer> answers = {}) {
    Outcome out;
    world_ = std::make_unique<testing_doubles::TestWorld>();
    testing_doubles::TestWorld& w = *world_;
    w.MakeFolder("out");
    w.MakeFolder("src");
    fs::copy_file(*host_ + "/Data/" + kind.database, w.Native("db.mdb"));
    if (!fs::exists(w.Native("db.mdb"))) return out;
    {
      sqlite3* db = nullptr;
      sqlite3_open(w.Native("db.mdb").c_str(), &db);
      for (const std::string& sql : setup)
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
      sqlite3_close(db);
    }
    std::vector<std::string> names;
    for (const auto& [name, bytes] : files) {
      if (bytes == kFolder)
        w.MakeFolder("out/" + name);
      else
        w.Write("out/" + name, bytes);
      names.push_back(name);
    }
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
      engine.SetNoComparisons(!compare);
      w.Write("Zev.ini", "[Directories]\r\nAppDir=" + e2e::TailPath(*host_) + "\\\r\n");
      EXPECT_TRUE(DirectImport::Connect(engine));
      // Thousands of short imports: no disk syncs (what lands is read back
      // through the same file, and nothing here is about crashes).
      engine.Connection()->Execute("PRAGMA synchronous = OFF");
      DirectImport::ListOutputFiles(engine, names);
      out.result = DirectImport::ImportListed(engine);
      if (engine.RecordsRejected() > 0) out.log += "(rejections)\n";
    }
    for (const std::string& line : log.lines) out.log += line + "\n";
    out.db = w.Native("db.mdb");
    return out;
  }

  // Rows of the table an importer of `kind` writes.
  Rows RowsOf(const Kind& kind, const Outcome& o) {
    const std::string table = kind.type == 0   ? "resp"
                              : kind.type == 4 ? "FileIndex"
                              : kind.type == 5 ? "Lenders"
                              : kind.type == 6 ? "Neighborhoods"
                                               : "ZazOzurs";
    return TableRows(o.db, table);
  }
  // How many rows hold `marker` in some column.
  int RowsWith(const Kind& kind, const Outcome& o, const std::string& marker) {
    int n = 0;
    for (const auto& row : RowsOf(kind, o))
      for (const auto& v : row)
        if (v == marker) {
          ++n;
          break;
        }
    return n;
  }

  static inline const std::string kFolder = "<folder>";
  static std::string* host_;
  std::unique_ptr<testing_doubles::TestWorld> world_;
};

std::string* BadInput::host_ = nullptr;

// The per-file summary adds up: read = added + overwritten + kept + rejected.
void ExpectSummary(const std::string& log, const std::string& file) {
  const std::regex summary("File '" + file +
                           "': ([0-9]+) read, ([0-9]+) added, ([0-9]+) overwritten, ([0-9]+) "
                           "kept, ([0-9]+) rejected\\.");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(log, m, summary)) << log;
  EXPECT_EQ(std::stoi(m[1]), std::stoi(m[2]) + std::stoi(m[3]) + std::stoi(m[4]) + std::stoi(m[5]))
      << m[0];
}

TEST_F(BadInput, RecordsCutOffAtEveryByteOfTheHead) {
  for (const Kind& kind : kKinds) {
    const std::string first = kind.record("FIRSTREC");
    const std::string second = kind.record("SECONDREC");
    for (int cut = 0; cut < layouts::kLengthDigits + kind.headSize; ++cut) {
      SCOPED_TRACE(std::string(kind.name) + ", second record cut after " + std::to_string(cut) +
                   " bytes");
      const Outcome o = Import(kind, {{kind.file, first + second.substr(0, cut)}});
      EXPECT_TRUE(o.result) << o.log;
      EXPECT_EQ(RowsWith(kind, o, "FIRSTREC"), 1) << o.log;
      ExpectSummary(o.log, kind.file);
      // The cut record is named, where it starts: stored incomplete, or too
      // short to be a record.
      const std::string at = std::to_string(first.size());
      const bool named =
          o.log.find("record 2 of file '" + std::string(kind.file) + "' at byte " + at) !=
              std::string::npos ||
          o.log.find("ends with " + std::to_string(cut) + " byte(s) at byte " + at) !=
              std::string::npos;
      EXPECT_EQ(named, cut > 0) << o.log;
      if (HasFailure()) return;
    }
  }
}

TEST_F(BadInput, LengthPrefixesThatAreNotLengths) {
  for (const Kind& kind : kKinds) {
    for (const char* prefix : {"abcde", "99999", "-0001", " 12 3", "00000"}) {
      SCOPED_TRACE(std::string(kind.name) + ", length text '" + prefix + "'");
      const std::string bad = prefix + kind.record("SECONDREC").substr(layouts::kLengthDigits);
      const Outcome o =
          Import(kind, {{kind.file, kind.record("FIRSTREC") + bad + kind.record("THIRDREC")}});
      EXPECT_TRUE(o.result) << o.log;
      EXPECT_EQ(RowsWith(kind, o, "FIRSTREC"), 1) << o.log;
      ExpectSummary(o.log, kind.file);
      // Whatever the walk made of the rest, each rejection was logged.
      std::smatch m;
      std::regex_search(o.log, m, std::regex("([0-9]+) rejected\\."));
      std::size_t lines = 0;
      for (auto at = o.log.find("Rejected record"); at != std::string::npos;
           at = o.log.find("Rejected record", at + 1))
        ++lines;
      EXPECT_EQ(lines, m.empty() ? 0u : std::stoul(m[1]));
    }
  }
}

TEST_F(BadInput, EmptyFilesAndFoldersInPlaceOfFiles) {
  for (const Kind& kind : kKinds) {
    SCOPED_TRACE(kind.name);
    const std::string good = kind.record("GOODREC");
    // An empty file reads nothing and says so; the next file still lands.
    Outcome o = Import(kind, {{kind.other, ""}, {kind.file, good}});
    EXPECT_TRUE(o.result) << o.log;
    EXPECT_NE(o.log.find("File '" + std::string(kind.other) + "': 0 read"), std::string::npos)
        << o.log;
    EXPECT_EQ(RowsWith(kind, o, "GOODREC"), 1) << o.log;

    // A folder by a file's name: a line among its own says it was not
    // found; the file after it lands.
    o = Import(kind, {{kind.other, kFolder}, {kind.file, good}});
    const std::string start = "Attempting to import file: '" + std::string(kind.other) + "'";
    const std::size_t from = o.log.find(start);
    ASSERT_NE(from, std::string::npos) << o.log;
    const std::string own =
        o.log.substr(from, o.log.find("Attempting to import file", from + 1) - from);
    EXPECT_TRUE(std::regex_search(own, std::regex("NOT found|fail|could not"))) << o.log;
    EXPECT_EQ(RowsWith(kind, o, "GOODREC"), 1) << o.log;
  }
}

// Windows-1252 bytes as the conversion to UTF-8 must store them.
const std::pair<char, const char*> kCodePage[] = {{'A', "A"},
                                                  {'\xE9', "\xC3\xA9"},
                                                  {'\x80', "\xE2\x82\xAC"},
                                                  {'\x9F', "\xC5\xB8"},
                                                  {'\xFF', "\xC3\xBF"}};

TEST_F(BadInput, NulAndCodePageBytesInEveryTextField) {
  struct TextField {
    layouts::Field field;
    int position;  // column position; 0 = not stored
  };
  struct Case {
    const Kind& kind;
    std::string key;  // a text the key field gets (so the row can be found)
    layouts::Field keyField;
    int recordSize;
    std::vector<TextField> fields;
  };
  std::vector<TextField> compFields, suppFields;
  for (const comps::Placed& p : comps::kFields)
    if (p.field.kind == layouts::FieldKind::Text && p.position != comps::kNotStored &&
        p.position != comps::kWcidColumn)
      compFields.push_back({p.field, p.position});
  for (const supp::TokenField& t : supp::kFields)
    if (t.field.kind == layouts::FieldKind::Text && t.position != supp::kWcid.position)
      suppFields.push_back({t.field, t.position});
  namespace l = layouts::lender;
  const std::vector<TextField> lenderFields = {{l::kName, l::kNameColumn},
                                               {l::kAddress1, l::kAddress1Column},
                                               {l::kAddress2, l::kAddress2Column},
                                               {l::kCityStateZip, l::kCityStateZipColumn},
                                               {l::kPhone, l::kPhoneColumn},
                                               {l::kContactFirst, l::kContactFirstColumn},
                                               {l::kContactLast, l::kContactLastColumn},
                                               {l::kReference, l::kReferenceColumn}};
  const Case cases[] = {
      {kKinds[2], "LKEY", l::kLenderId, l::kRecordSize, lenderFields},
      {kKinds[4], "WKEY", comps::kWcid, comps::kRecordSize, compFields},
      {kKinds[5], "WKEY", supp::kWcid.field, supp::kRecordSize, suppFields},
  };
  for (const Case& c : cases) {
    // Two records: every field with the code-page bytes, then every field
    // with a NUL inside (the text ends there).
    for (const bool withNul : {false, true}) {
      SCOPED_TRACE(std::string(c.kind.name) + (withNul ? ", NUL inside" : ", code-page bytes"));
      RecordWriter r(c.recordSize);
      r.Text(c.keyField, c.key);
      std::vector<std::string> expected;
      for (const TextField& f : c.fields) {
        std::string bytes, utf8;
        for (int i = 0; i < f.field.width && i < 5; ++i) {
          bytes += kCodePage[i].first;
          utf8 += kCodePage[i].second;
        }
        if (withNul && f.field.width >= 3) {
          bytes = bytes.substr(0, 2) + '\0' + bytes.substr(2);
          utf8 = std::string(kCodePage[0].second) + kCodePage[1].second;
        }
        r.Text(f.field, bytes);
        expected.push_back(utf8);
      }
      const Outcome o = Import(c.kind, {{c.kind.file, Framed(r.bytes())}});
      EXPECT_TRUE(o.result) << o.log;
      EXPECT_EQ(o.log.find("Rejected"), std::string::npos) << o.log;
      const Rows rows = RowsOf(c.kind, o);
      ASSERT_EQ(rows.size(), 1u);
      for (std::size_t i = 0; i < c.fields.size(); ++i)
        EXPECT_EQ(rows[0].at(static_cast<std::size_t>(c.fields[i].position)), expected[i])
            << "column " << c.fields[i].position;
    }
  }
}

TEST_F(BadInput, NeighborhoodFieldTextLengthsOutOfRange) {
  const Kind& kind = kKinds[3];
  // A negative length reads no text: the next record follows the head.
  for (int count : {-1, -2, -32768}) {
    SCOPED_TRACE("field-text length " + std::to_string(count));
    const Outcome o =
        Import(kind, {{kind.file, NeighRec("FIRSTREC", count, "") + NeighRec("SECONDREC")}});
    EXPECT_TRUE(o.result) << o.log;
    EXPECT_EQ(RowsWith(kind, o, "FIRSTREC"), 1) << o.log;
    EXPECT_EQ(RowsWith(kind, o, "SECONDREC"), 1) << o.log;
    ExpectSummary(o.log, kind.file);
  }
  // A length past the end of the file: the record is saved and reported stored incomplete.
  for (int count : {40, 32767}) {
    SCOPED_TRACE("field-text length " + std::to_string(count));
    const Outcome o = Import(
        kind, {{kind.file, NeighRec("FIRSTREC") + NeighRec("LASTREC", count, "N0Urban\x02")}});
    EXPECT_TRUE(o.result) << o.log;
    EXPECT_EQ(RowsWith(kind, o, "FIRSTREC"), 1) << o.log;
    EXPECT_EQ(RowsWith(kind, o, "LASTREC"), 1) << o.log;
    EXPECT_NE(o.log.find("Warning: record 2 of file '" + std::string(kind.file) + "' at byte " +
                         std::to_string(NeighRec("FIRSTREC").size()) + " is cut short"),
              std::string::npos)
        << o.log;
  }
}

TEST_F(BadInput, KeysOfApostrophesAreLookedUpNotSpliced) {
  const std::string quotes(10, '\'');
  // Lenders: the existing row of that ID is found and overwritten, not
  // duplicated.
  {
    const Kind& kind = kKinds[2];
    const Outcome o = Import(kind, {{kind.file, LenderRec(quotes) + LenderRec("PLAIN")}},
                             {"INSERT INTO Lenders (LenderDBID, LenderName) VALUES ('" +
                              std::string(20, '\'') + "', 'Old name')"},
                             true, {MsgAnswer::Yes, MsgAnswer::No});
    EXPECT_TRUE(o.result) << o.log;
    int withId = 0;
    for (const auto& row : RowsOf(kind, o))
      if (row.at(layouts::lender::kIdColumn) == quotes) {
        ++withId;
        EXPECT_EQ(row.at(layouts::lender::kNameColumn), quotes);
      }
    EXPECT_EQ(withId, 1) << o.log;
    EXPECT_EQ(RowsWith(kind, o, "PLAIN"), 1);
  }
  // Neighborhoods are compared by name the same way.
  {
    const Kind& kind = kKinds[3];
    const Outcome o = Import(kind, {{kind.file, NeighRec(quotes) + NeighRec(quotes + "x")}},
                             {"INSERT INTO Neighborhoods (NeighborhoodName, Zone) VALUES ('" +
                              std::string(20, '\'') + "', 'old')"},
                             true, {MsgAnswer::Yes, MsgAnswer::No});
    EXPECT_TRUE(o.result) << o.log;
    EXPECT_EQ(RowsWith(kind, o, quotes), 1) << o.log;
    EXPECT_EQ(RowsWith(kind, o, quotes + "x"), 1) << o.log;
    EXPECT_EQ(RowsWith(kind, o, "old"), 0) << "the existing row was not overwritten\n" << o.log;
  }
}

TEST_F(BadInput, TenMegabytesWithoutABreak) {
  rusage before{};
  ::getrusage(RUSAGE_SELF, &before);
  const std::string huge(10 << 20, 'x');
  // A response text of 10 MB without its NUL: the record before lands, the
  // long one is read to the end of the file and the run ends.
  {
    const Kind& kind = kKinds[0];
    const Outcome o = Import(kind, {{kind.file, kind.record("FIRSTREC") + LengthPrefix(40) +
                                                    std::string(30, '\0') + huge}});
    EXPECT_TRUE(o.result) << o.log;
    EXPECT_EQ(RowsWith(kind, o, "FIRSTREC"), 1) << o.log;
    ExpectSummary(o.log, kind.file);
  }
  // A lender file that is one 10 MB line: every 248 bytes are read as a
  // record, the remainder reported as a fragment.
  {
    const Kind& kind = kKinds[2];
    const Outcome o = Import(kind, {{kind.file, kind.record("FIRSTREC") + huge}});
    EXPECT_TRUE(o.result) << o.log;
    EXPECT_EQ(RowsWith(kind, o, "FIRSTREC"), 1);
    const std::size_t pitch = layouts::lender::kRecordPitch;
    EXPECT_NE(o.log.find("File '" + std::string(kind.file) +
                         "': " + std::to_string(1 + huge.size() / pitch) + " read"),
              std::string::npos)
        << o.log.substr(o.log.size() - std::min<std::size_t>(o.log.size(), 2000));
    EXPECT_NE(o.log.find("ends with " + std::to_string(huge.size() % pitch) + " byte(s)"),
              std::string::npos);
  }
  rusage after{};
  ::getrusage(RUSAGE_SELF, &after);
  // Memory stays within a small multiple of the input, not growing with it
  // quadratically (ru_maxrss is in kilobytes).
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 400L * 1024);
}

}  // namespace
