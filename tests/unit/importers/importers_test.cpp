// The importers: what they share (field values, record framing, the steps around one output file),
// the overwrite question of the comparing ones (one table for every data type), and where each puts
// a record's fields, with the rules of each that no end-to-end run or bad-input table pins.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "RecordWriter.h"
#include "doubles/TestWorld.h"
#include "engine/CSImportEngine.h"
#include "engine/DbConnection.h"
#include "engine/DirectImport.h"
#include "importers/ComparablesWcidSet.h"
#include "importers/FieldDecoding.h"
#include "importers/FileDriver.h"
#include "importers/Importers.h"
#include "importers/LenderContact.h"
#include "importers/LenderInformation.h"
#include "importers/NeighborhoodForms.h"
#include "importers/RowLanding.h"
#include "importers/layouts/ComparablesLayout.h"
#include "importers/layouts/FileIndexLayout.h"
#include "importers/layouts/LenderLayout.h"
#include "importers/layouts/NeighborhoodLayout.h"
#include "importers/layouts/SupplementLayout.h"
#include "platform/db/Backend.h"
#include "support/ResourceStrings.h"
#include "support/TemplateDatabase.h"
#include "support/modINIFile.h"
#include "ui/CProgressBar.h"

namespace {

namespace c = layouts::comparables;
namespace s = layouts::supplement;
using A = platform::MsgAnswer;
using importers::Framing;
using samplehost::Framed;
using samplehost::RecordWriter;
using std::string_literals::operator""s;
using testing_doubles::RecordingOutput;
using testing_doubles::TestWorld;
using Pairs = std::vector<std::pair<std::string, std::string>>;
using Row = std::vector<std::string>;
using Rows = std::vector<Row>;

std::string Resp(int line, int across, int code, const std::string& title,
                 const std::string& text = "x") {
  return samplehost::ResponseRecord(line, across, code, title, false, 0, text, 0);
}
std::string Lender(const std::string& id, const std::string& name,
                   const std::string& first = "Jane", const std::string& last = "Smith") {
  namespace l = layouts::lender;
  RecordWriter r(l::kRecordSize);
  // clang-format off
  r.Text(l::kLenderId, id).Text(l::kName, name).Text(l::kAddress1, "Loan Dept.", true)
      .Text(l::kPhone, "555-0100").Text(l::kContactFirst, first).Text(l::kContactLast, last)
      .Text(l::kNotImported, "x").Text(l::kReference, "REF-22");
  // clang-format on
  return Framed(r.bytes());
}
// In the field text "|" stands for character 2, "^" for 21.
std::string Neigh(const std::string& name, const std::string& description, std::string text = "") {
  namespace n = layouts::neighborhood;
  for (char& c : text) c = c == '|' ? n::kValueEnd : c == '^' ? n::kPreambleStart : c;
  RecordWriter h(n::kHeadSize);
  // clang-format off
  h.Text(n::kName, name).Text(n::kArea, "  North Shore", true).Text(n::kDescription, description)
      .Text(n::kZone, "R-1").Text(n::kCode, "NS-04")
      .Int16(n::kFieldTextLength, static_cast<std::int16_t>(text.size()));
  // clang-format on
  return Framed(h.bytes() + text);
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
    EXPECT_TRUE(DirectImport::Connect(engine));
  }
  ~ImporterWorld() { modINIFile::ClearINICache(); }
  // Writes `files` and lists `names` (by default the files) as the output; the log starts afresh.
  void SetOutputFiles(const Pairs& files, std::vector<std::string> names = {}) {
    const bool listFiles = names.empty();
    for (const auto& [name, bytes] : files) {
      world.Write("out/" + name, bytes);
      if (listFiles) names.push_back(name);
    }
    DirectImport::ListOutputFiles(engine, names);
    output.lines.clear();
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const std::string& line : output.lines) {
      auto at = line.find("[Text]");
      texts.push_back(at == line.npos ? line.substr(line.find(" - ") + 3) : line.substr(at + 6));
    }
    return texts;
  }
  // The lines of `want` not logged; one ending in "*" needs only to start a logged line.
  Row Unlogged(Row want) const {
    const Row texts = Texts();
    std::erase_if(want, [&](const std::string& w) {
      return std::ranges::any_of(texts, [&](const std::string& t) {
        return w.ends_with('*') ? t.starts_with(w.substr(0, w.size() - 1)) : t == w;
      });
    });
    return want;
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
  // The host's tables. The neighborhood conversion file maps form 1004's tags LOC, PROPVAL (one
  // value skipped after it), GROWTH, NOMAP (unmapped), GHOST (no such column); LAR has LOC, 2095
  // GROWTH, "bors" no list.
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

// Field values the imports below and the end-to-end runs do not show.
TEST(FieldDecoding, EdgesOfTextNumbersDatesAndLengths) {
  EXPECT_EQ(importers::CleanView("  A\t \0xyz"s), "A\t");  // spaces only are trimmed
  EXPECT_EQ(importers::ShortValue("A") + importers::LongValue("\x01"), 66);  // missing bytes: 0
  EXPECT_TRUE(std::isnan(importers::SingleValue("\x00\x00\xC0\x7F"s)));
  // clang-format off
  for (const auto& [in, out] : Pairs{{"\x00\x07\xD0\x07"s, ""}, {"\x0F\x00\xD0\x07"s, ""},
       {"\x1F\x02\xD0\x07", "02-31-2000"}, {"\x01\x7B\x39\x30", "123-01-12345"},
       {"\x02\x03", "03-02-0000"}})
    EXPECT_EQ(importers::DateText(in), out) << out;
  for (const auto& [in, out] : std::vector<std::pair<std::string, int>>{
           {"  42x", 42}, {"12.5", 12}, {"13.5", 14}, {"-0010", -10}, {"1E3", 1000}, {"9E99", 0},
           {"00627", 627}, {"12e", 12}, {"2147483647", 2147483647}, {"21474836470", 0}})
    // clang-format on
    EXPECT_EQ(importers::LeadingNumber(in), out) << in;  // halves to even, as the host did
}

// Each case: every record as "offset:length:head/body" ("*": cut short), then the bytes of a
// trailing fragment and those a stated length overran.
TEST(FramedRecords, EveryFramingRule) {
  using B = Framing::Body;
  using N = Framing::Next;
  const Framing padded{
      .headSize = 4, .minRemaining = 4, .body = B::NulText, .next = N::SkipPadding};
  const Framing fixed{.headSize = 4, .next = N::StartPlusLength};
  const Framing counted{
      .headSize = 4, .body = B::CountedText, .countField = {2, 2, layouts::FieldKind::Int16}};
  struct Case {
    Framing framing;
    std::string bytes;
    std::vector<std::string> records;
    std::int64_t fragment, overrun;
  };
  // clang-format off
  const Case cases[] = {
      // Padding is skipped forward only; text runs to a NUL or the end.
      {padded, "00010HEADab\0PAD"s + "00002HD02xyz\0"s + "abcdeHD03t\0"s + "00099HD04no nul",
       {"0:10:HEAD/ab", "15:2:HD02/xyz", "28:0:HD03/t", "39:99:HD04/no nul"}, 0, 0},
      {padded, "00005HEAD\0xyz"s, {"0:5:HEAD/"}, 3, 0},
      {padded, "00099HEADab\0"s + "00007HD02c\0"s, {"0:99:HEAD/ab"}, 0, 11},
      {fixed, "00006AAAAxx0000200004BBBB-0007CCCC",
       {"0:6:AAAA/", "11:2:0000/", "18:4:BB-0/", "27:7:CC\0\0/*"s}, 0, 0},
      {fixed, "00099AAAA00004BBBB", {"0:99:AAAA/"}, 0, 9},
      // The head's count says how much text follows; a negative one reads none.
      {counted, "00000AA\x02\0xy"s + "00000BB\xFF\xFF" + "00000DD\0\x80"s + "00000CC\x05\0abc"s,
       {"0:0:AA\x02\0/xy"s, "11:0:BB\xFF\xFF/", "20:0:DD\0\x80/"s, "29:0:CC\x05\0/abc*"s}, 0, 0}};
  // clang-format on
  TestWorld world;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    world.Write("f.tmp", c.bytes);
    importers::RecordReader reader(world.env, world.Program("f.tmp"));
    importers::FramedRecords records(reader, c.framing);
    std::vector<std::string> seen;
    for (importers::Record r; seen.size() < 10 && records.Next(r);)
      seen.push_back(std::to_string(r.offset) + ":" + std::to_string(r.length) + ":" +
                     std::string(r.head) + "/" + std::string(r.body) + (r.cutShort ? "*" : ""));
    EXPECT_EQ(seen, c.records);
    EXPECT_EQ(records.FragmentBytes(), c.fragment);
    EXPECT_EQ(records.OverrunBytes(), c.overrun);
  }
}

TEST_F(ImporterFixture, MissingTablesAndFilesAndTheTrap) {
  output.lines.clear();
  const std::string query = importers::TableQuery("T", res::kFileIndexOrder);
  EXPECT_EQ(query, "SELECT * FROM [T] ORDER BY FileID, Fullpath");
  // No table: 0, and the file counted as not imported; then empty, then not.
  EXPECT_EQ(importers::OpenTableForFile(engine, "Src", "a.tmp", query, "T"), 0);
  Exec("CREATE TABLE T (FileID TEXT, Fullpath TEXT)");
  EXPECT_EQ(importers::OpenTableForFile(engine, "Src", "a.tmp", query, "T"), 1);
  Exec("INSERT INTO T VALUES ('1', 'x')");
  EXPECT_EQ(importers::OpenTableForFile(engine, "Src", "a.tmp", query, "T"), -1);
  EXPECT_FALSE(importers::SourceFileFound(engine, "Src", engine.OutputFolder() + "gone.tmp"));
  // The trap logs what escaped, with the stage reached as the line's index.
  enum class Stage : int { Start = 0, Second = 7 };
  auto fails = [](Stage& stage) -> int {
    stage = Stage::Second;
    throw std::runtime_error("went wrong");
  };
  EXPECT_EQ(importers::Trapped<Stage>(engine, "Trap", -1, fails), -1);
  EXPECT_EQ(
      importers::Trapped<importers::NoStage>(engine, "Trap", 3, [](auto&) -> int { throw 1; }), 3);
  Row tails;
  for (const std::string& line : output.lines)
    tails.push_back(line.substr(line.find("[Source]") + 8));
  const std::string src = "Src [Index]na [Text]";
  // clang-format off
  EXPECT_EQ(tails, (Row{"OpenRecordset::CSImportEngine [Index]na [Text]no such table: T",
                        src + "Could not open table 'T'",
                        src + "File 'a.tmp': not imported: its table could not be opened.",
                        src + "Source file was NOT found during import process: No such file or "
                        "directory.", "Trap [Index]7 [Text]went wrong",
                        "Trap [Index]na [Text]Unknown error"}));
  // clang-format on
  EXPECT_EQ(engine.RecordsRejected(), 1);
}

// Records of four bytes, each landed as a row of T.
TEST_F(ImporterFixture, OneFileInOneTransaction) {
  Exec("CREATE TABLE T (V TEXT)");
  importers::LookupRule add;
  add.alwaysAdd = true;
  ui::CProgressBar bar;
  bar.SetMax(100);
  engine.SetProgress(&bar);
  // An operation failing from its next call on; whether the driver counts first, is given the
  // transaction, ends the import on a read failure; the steps reported: O(pen), C(ount), the total
  // it opened with, N(ext record), X (thrown); transactions begun, rows saved, records rejected.
  struct Case {
    const char* fault;
    bool countFirst, ownTransaction, endsImport;
    std::string steps;
    int begun, saved, rejected;
    Rows rows;
    std::vector<std::string> lines;
  };
  const std::string two = "00004AAAA00004BBBB", f = "File 'f.tmp': ", io = "Input/output error";
  const Rows ab = {{"AAAA"}, {"BBBB"}};
  const std::string summary = f + "2 read, 2 added, 0 overwritten, 0 kept, 0 rejected.";
  const std::string none = f + "0 read, 0 added, 0 overwritten, 0 kept, 0 rejected.";
  // clang-format off
  const Case cases[] = {
      {"", true, false, false, "OC2NNN", 1, 2, 0, ab, {summary}},
      // The importer's own transaction: the driver begins none.
      {"", false, true, false, "O0NNN", 0, 2, 0, ab, {summary}},
      {"Begin", false, false, false, "O0N", 1, 0, 1, {},
       {f + "not imported: the database refused to start a transaction (injected: Begin).", none}},
      {"Commit", false, false, false, "O0NNN", 1, 2, 1, {},
       {f + "not imported: the database refused to commit the file's rows (injected: Commit); "
            "none of its 2 record(s) were stored.",
        f + "2 read, 0 added, 0 overwritten, 0 kept, 2 rejected."}},
      {"ReadAt", false, false, false, "O0N", 1, 0, 1, {},
       {f + "not imported: reading the file failed (" + io + "); none of its 0 record(s) were "
            "stored.", none}},
      // A read failure that ends the import: no transaction, no summary.
      {"ReadAt", true, false, true, "OCX", 0, 0, 0, {},
       {"Reading the file 'f.tmp' failed: " + io + "."}},
      {"OpenForReading", true, false, true, "OX", 0, 0, 0, {},
       {"The file 'f.tmp' could not be opened: " + io + "."}}};
  // clang-format on
  auto land = [&](const importers::Record& r, importers::FileReport& report,
                  const FileTransaction&) {
    Recordset& rs = *static_cast<ImportSession&>(engine).CurrentRecordset();
    const importers::Landing landing = importers::PlaceRecord(rs, add);
    importers::RowWrite row(rs);
    row.Set(0, db::Value::Text(std::string(r.head)));
    return row.Finish(landing, report, r);
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("case " + std::to_string(&c - cases));
    Exec("DELETE FROM T");
    ASSERT_NE(engine.OpenRecordset("SELECT * FROM T", true), 0);
    SetOutputFiles({{"f.tmp", two}});
    const int rejected = engine.RecordsRejected(), begun = world.env.Calls("Begin");
    std::string steps;
    importers::FileResult result;
    std::optional<FileTransaction> own;
    if (c.ownTransaction) own.emplace(engine.Connection());
    const importers::FileRows rows{
        .framing = {.headSize = 4, .minRemaining = 9},
        .countFirst = c.countFirst,
        .readFailureEndsImport = c.endsImport,
        .begun = own ? &*own : nullptr,
        .reached = [&](importers::FileStep s) { steps += "OCN"[static_cast<int>(s)]; },
        .opened = [&](std::int64_t total) { steps += std::to_string(total); },
        .land = land};
    if (*c.fault) world.env.FailAlways(c.fault);
    importers::ForEachOutputFile(engine, engine.OutputFiles(), importers::Attempt::Plain,
                                 [&](const std::string& entry) {
                                   try {
                                     result = importers::ImportFileRows(
                                         engine, "Src", entry, engine.OutputFolder() + entry, rows);
                                   } catch (const std::exception& e) {
                                     steps += "X";
                                     engine.WriteToLog(e.what(), "", -1);
                                   }
                                 });
    world.env.Heal();
    own.reset();
    EXPECT_EQ(steps, c.steps);
    EXPECT_EQ(world.env.Calls("Begin") - begun, c.begun + c.ownTransaction);
    EXPECT_EQ(Query("SELECT V FROM T"), c.rows);
    const Row texts = Texts();
    EXPECT_EQ(Row(texts.begin() + 1, texts.end()), c.lines) << texts[0];
    EXPECT_EQ(texts[0], "Attempting to import file: 'f.tmp'.");
    EXPECT_EQ(result.committed, !c.rows.empty());
    EXPECT_EQ(result.saved, c.saved);
    EXPECT_EQ(engine.RecordsRejected() - rejected, c.rejected);
  }
  EXPECT_EQ(bar.Value(), static_cast<int>(std::size(cases)));
  engine.SetProgress(nullptr);
}

// A comparing importer: two file names; its table with one row valued "Old"; a record conflicting
// with it; the import; the query of every row's value; its question and its two "to all".
struct Kind {
  Row files;
  std::function<void(ImporterWorld&)> existing;
  std::function<std::string(const std::string&)> record;
  std::function<bool(ImportSession&)> import;
  std::string values, question, keepAll, overwriteAll;
};

const char* kReportData = "Do you wish to KEEP ALL EXISTING report data?";
const char* kReportInfo =
    "Do you wish to overwrite ALL conflicting report information?\r\nNOTE: This DOES NOT affect "
    "your actual reports.";

// clang-format off
const Kind kKinds[] = {
    {{"a.tmp", "b.tmp"},
     [](ImporterWorld& w) {
       w.MakeLenders();
       w.Exec("INSERT INTO Lenders (LenderDBID, LenderName, ContactFirst, ContactLast) "
              "VALUES ('FNB', 'Old', 'Jo', 'Li')");
     },
     [](const std::string& v) { return Lender("fnb", v, "Jo", "Li"); },
     [](ImportSession& s) { return importers::ImportLenderInformation(s) >= 0; },
     "SELECT LenderName FROM Lenders ORDER BY ID",
     "Importing lender with ID: 'fnb'\r\n\r\nThere is an existing lender which conflicts with "
     "this one:\r\n\r\n    ID: 'FNB'\r\n    Name: 'Old'\r\n    Contact: 'Jo Li'\r\n\r\n\r\n"
     "Do you wish to overwrite the information for this lender?", kReportData, kReportInfo},
    {{"neigh1004.tmp", "neighLAR.tmp"},
     [](ImporterWorld& w) {
       w.MakeNeighborhoods();
       w.Exec("INSERT INTO Neighborhoods (NeighborhoodName, Description) VALUES ('O''Ak', 'Old')");
     },
     [](const std::string& v) { return Neigh("o'aK", v); },
     [](ImportSession& s) { return importers::ImportNeighborhoodInformation(s) >= 0; },
     "SELECT Description FROM Neighborhoods ORDER BY ID",
     "Importing neighborhood with ID: 'o'aK'\r\n\r\nThere is an existing neighborhood which "
     "conflicts with this one:\r\n\r\nID: 'O'Ak'\r\nDescription: 'Old'\r\n\r\nDo you wish to "
     "overwrite the information for this neighborhood?", kReportData, kReportInfo},
    {{"resp.tmp", "resp.dat.tmp"},
     [](ImporterWorld& w) {
       ASSERT_TRUE(w.engine.ExecuteScript("resp", ResourceString(res::kCreateResponsesTable)));
       w.Exec("INSERT INTO resp (Line, Across, FunctionKey, Title) VALUES (7, 8, 2, 'Old')");
     },
     [](const std::string& v) { return Resp(7, 8, 5, v); },
     [](ImportSession& s) { return importers::ImportCommonResponses(s); },
     "SELECT Title FROM resp ORDER BY ID",
     "Importing response: 'A'\r\n\r\nThere is an existing response for this function key and "
     "field combination.\r\n\r\n    Title: 'Old'\r\n    Field: (7, 8)\r\n      Key: F5\r\n\r\n"
     "Do you wish to overwrite this response?", "Do you wish to KEEP ALL EXISTING responses?",
     "Do you wish to overwrite ALL conflicting responses?"}};
// clang-format on

TEST(ConflictAnswers, EveryAnswerForEveryComparingImporter) {
  // The answers; the records' values per file; the boxes shown, Q(uestion), K(eep all?) or
  // O(verwrite all?); the rows' values after; the last file's summary; someone to ask; comparing.
  struct Case {
    std::vector<A> answers;
    std::vector<Row> files;
    std::string boxes;
    Rows after;
    std::string summary;
    bool canAsk = true, compare = true;
  };
  auto S = [](int read, int added, int overwritten, int kept) {
    return std::to_string(read) + " read, " + std::to_string(added) + " added, " +
           std::to_string(overwritten) + " overwritten, " + std::to_string(kept) + " kept";
  };
  // clang-format off
  const Case cases[] = {
      // No, then no to keeping all: asked again.
      {{A::No, A::No, A::No, A::No}, {{"A", "B"}}, "QKQK", {{"Old"}}, S(2, 0, 0, 2)},
      // No, then yes to keeping all: later conflicts, in later files too, kept unasked.
      {{A::No, A::Yes}, {{"A"}, {"B", "C"}}, "QK", {{"Old"}}, S(2, 0, 0, 2)},
      // Yes, then no to overwriting all: asked again, about the row just written.
      {{A::Yes, A::No, A::Yes, A::No}, {{"A", "B"}}, "QOQO", {{"B"}}, S(2, 0, 2, 0)},
      // Yes, then yes to overwriting all: later files overwritten unasked.
      {{A::Yes, A::Yes}, {{"A"}, {"B", "C"}}, "QO", {{"C"}}, S(2, 0, 2, 0)},
      // Nobody to answer (the boxes answer no): kept, and the log says why.
      {{}, {{"A"}}, "QK", {{"Old"}}, S(1, 0, 0, 1), false},
      // Comparisons off: added beside it, nothing asked.
      {{}, {{"A"}}, "", {{"Old"}, {"A"}}, S(1, 1, 0, 0), true, false}};
  // clang-format on
  for (const Kind& kind : kKinds) {
    for (const Case& c : cases) {
      SCOPED_TRACE(kind.files[0] + ", case " + std::to_string(&c - cases));
      ImporterWorld w;
      kind.existing(w);
      Pairs files;
      for (const Row& values : c.files) {
        files.emplace_back(kind.files[files.size()], "");
        for (const std::string& value : values) files.back().second += kind.record(value);
      }
      w.world.ui.answers.assign(c.answers.begin(), c.answers.end());
      w.world.ui.canAsk = c.canAsk;
      w.engine.SetNoComparisons(!c.compare);
      w.SetOutputFiles(files);
      ASSERT_TRUE(kind.import(w.engine));
      EXPECT_EQ(w.Query(kind.values), c.after);
      std::string boxes;
      for (const auto& box : w.world.ui.boxes) {
        boxes += box.text == kind.keepAll ? 'K' : box.text == kind.overwriteAll ? 'O' : 'Q';
        EXPECT_EQ(box.title, ResourceString(res::kTitle));
        EXPECT_EQ(box.buttons, platform::MsgButtons::YesNo);
      }
      ASSERT_EQ(boxes, c.boxes);
      EXPECT_EQ(boxes.empty() ? kind.question : w.world.ui.boxes[0].text, kind.question);
      // The second question shows the row as the first answer left it.
      const std::string second = boxes.size() == 4 ? w.world.ui.boxes[2].text : "'Old'\r\n";
      EXPECT_NE(second.find(boxes.size() == 4 && boxes[1] == 'O' ? "'A'\r\n" : "'Old'\r\n"),
                std::string::npos);
      const std::string& last = files.back().first;
      const std::string kept = "Record 1 of file '" + last +
                               "' at byte 0 conflicts with an existing "
                               "row; nobody could answer the question (no terminal), so the "
                               "existing row was kept.";
      EXPECT_EQ(w.Unlogged({"File '" + last + "': " + c.summary + ", 0 rejected.", kept}),
                c.canAsk ? Row{kept} : Row{});
      EXPECT_EQ(w.engine.RecordsRejected(), 0);
    }
  }
  // The answers "to all" last for the run: the next run asks again.
  ImporterWorld w;
  kKinds[0].existing(w);
  w.world.ui.answers = {A::No, A::Yes, A::Yes, A::No};
  w.engine.SetDataType(DataType::Lenders);
  w.SetOutputFiles({{"a.tmp", kKinds[0].record("New")}});
  for (int run = 0; run < 2; ++run) ASSERT_TRUE(DirectImport::ImportListed(w.engine));
  EXPECT_EQ(w.world.ui.boxes.size(), 4u);
  EXPECT_EQ(w.Query(kKinds[0].values), (Rows{{"New"}}));
}

TEST_F(ImporterFixture, FileIndexColumnsAndCounts) {
  namespace fi = layouts::fileindex;
  auto Index = [](const std::string& id, const std::string& tail = "") {
    return Framed(RecordWriter(fi::kHeadSize).Text(fi::kFileId, id).bytes() + tail);
  };
  Exec(templatedb::FileIndexCreateSql());
  RecordWriter h(fi::kHeadSize);
  // clang-format off
  h.Text(fi::kFileId, "A12").Text(fi::kTrackingExtra, "  Rush  ", true)
      .Text(fi::kStreet, "1 Rue de l'\xC9glise").Text(fi::kCity, "Lyon")
      .Text(fi::kCensusTract, "0042.01").Text(fi::kZipCode, "02134").Text(fi::kLenderId, "FNB")
      .Text(fi::kLenderCaseNo, "C-88").Text(fi::kOwner, "Pat O'Neil", true)
      .Text(fi::kFormId, "1004").Date(fi::kDateReceived, 5, 1, 2006).Date(fi::kDateDue, 31, 2, 2006)
      .Date(fi::kDateDelivered, 2, 2, 2006).Date(fi::kDateAssigned, 6, 1, 2006)
      .Text(fi::kBuildingType, "Detached").Text(fi::kBuildingDesign, "Colonial")
      .Text(fi::kAppraiserId, "RL");
  // clang-format on
  const std::string longPath = "C:\\" + std::string(40000, 'p');
  SetOutputFiles(
      {{"f.dta.tmp", Framed(h.bytes() + "C:\\R\\A12.rpt") + Index("B7") + Index("L", longPath)}});
  EXPECT_EQ(importers::ImportFileIndex(engine), 3);
  const Rows rows = Query("SELECT * FROM FileIndex ORDER BY ID");
  ASSERT_EQ(rows.size(), 3u);
  // An impossible due date is refused; the rest of the row is saved.
  // clang-format off
  EXPECT_EQ(rows[0], (Row{"1", "A12", "1004", "A12.rpt", "C:\\R\\A12.rpt", "Pat O'Neil",
                          "1 Rue de l'\xC3\x89glise", "Lyon", "", "02134", "0042.01", "",
                          "Detached", "Colonial", "FNB", "C-88", "RL", "2006-01-05", "2006-01-06",
                          "<null>", "2006-02-02", "Rush"}));
  // clang-format on
  EXPECT_EQ(rows[2][4], longPath);
  EXPECT_EQ(Unlogged({"Rejected record 1 of file 'f.dta.tmp' at byte 0: column 19 refused its*"}),
            Row{});
  // The window counts by the file's total; the count is the last file's, even before a missing one.
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
              "[IP]\r\nFNB=Jane Smith/js@fnb.example\r\nfnb=not@this.one\r\nCRED=Loans "
              "pr\xEAts@c.example soir\r\n");
  RecordWriter padded(l::kRecordSize);
  padded.Text(l::kLenderId, "  CRED  ", true).Text(l::kName, "Cr\xE9" + "dit\0junk"s);
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
            (Rows{{"1", "FNB", "First", "Loan Dept.", "", "", "555-0100", "Jane", "Smith", "",
                   "REF-22", "", "js@fnb.example", "Jane Smith"},
                  {"2", "CRED", "Cr\xC3\xA9" "dit", "", "", "", "", "", "", "", "", "",
                   "ts@c.example", "Loans pr"},
                  {"3", "NO", "No", "Loan Dept.", "", "", "555-0100", "Jane", "Smith", "",
                   "REF-22", "", "", ""},
                  {"4", "FNB", "Again", "Loan Dept.", "", "", "555-0100", "Jane", "Smith", "",
                   "REF-22", "", "ann@fnb.example", "Ann"}}));
  // clang-format on
  // A refused row leaves an empty filtered view: the third record is still compared with the first.
  ImporterWorld w;
  w.MakeLenders(" CHECK (LenderName <> 'Bad')");
  w.SetOutputFiles({{"a.tmp", Lender("A", "Good") + Lender("B", "Bad") + Lender("a", "Again")}});
  EXPECT_EQ(importers::ImportLenderInformation(w.engine), 1);
  EXPECT_EQ(w.Query("SELECT LenderName FROM Lenders"), (Rows{{"Good"}}));
  EXPECT_EQ(w.Unlogged({"Rejected record 2 of file 'a.tmp' at byte 248: the database refused*",
                        "File 'a.tmp': 3 read, 1 added, 0 overwritten, 1 kept, 1 rejected."}),
            Row{});
}

TEST_F(ImporterFixture, NeighborhoodColumnsByFormCode) {
  MakeNeighborhoods(" CHECK (NeighborhoodName <> 'Bad')", " CHECK (NeighborhoodName <> 'No 2')");
  // Preamble, LOC, PROPVAL with its skipped value, GROWTH, NOMAP, GHOST.
  const std::string first =
      Neigh("  Beaus\xE9jour ", "Near", "^v2.1|N0Lakesid\xE9|N1Up|skip|N2Slow|N3x|N4y|...");
  const std::string lar = Neigh("Lar", "", "^p|N0Rural|.."), bad = Neigh("Bad", "", "N0x|..");
  SetOutputFiles(
      {{"neigh1004.tmp", first + Neigh("O'Neil %s", "", "N0Urban|N1Flat|s|N2Fast|N3|N4|..")},
       {"lender.tmp", Neigh("Misnamed", "")},
       {"neighANVL.tmp", lar + bad + Neigh("No 2", "", "N0Far|..")},
       {"NEIGH209.dat.tmp", Neigh("2095", "", "N0Boom|..")},
       {"neighbors.tmp", Neigh("Bors", "", "N0Lake|..")}});
  EXPECT_EQ(importers::ImportNeighborhoodInformation(engine), 6);
  EXPECT_EQ(Query("SELECT NeighborhoodName, Description, Location, PropertyValues, GrowthRate FROM "
                  "Neighborhoods ORDER BY ID"),
            // clang-format off
            (Rows{{"Beaus\xC3\xA9jour", "Near", "Lakesid\xC3\xA9", "Up", "Slow"},
                  {"O'Neil %s", "", "Urban", "Flat", "Fast"},
                  {"Lar", "", "Rural", "<null>", "<null>"},
                  {"No 2", "", "Far", "<null>", "<null>"}, {"2095", "", "<null>", "<null>", "Boom"},
                  {"Bors", "", "<null>", "<null>", "<null>"}}));
  // clang-format on
  // Each new neighborhood gets its secondary row, whatever its name holds.
  EXPECT_EQ(Query("SELECT NeighborhoodName FROM Neighborhoods2 ORDER BY ID"),
            (Rows{{"Beaus\xC3\xA9jour"}, {"O'Neil %s"}, {"Lar"}, {"2095"}, {"Bors"}}));
  const std::string at = " at byte " + std::to_string(lar.size());
  EXPECT_EQ(Unlogged({"File 'lender.tmp': its name gives no neighborhood form code (it must read "
                      "neigh<form code>.<extension>); the file was skipped.",
                      "Rejected record 2 of file 'neighANVL.tmp'" + at + ": the database refused*",
                      "Could not create additional record in secondary neighborhood table.",
                      "File 'neighANVL.tmp': record 3 at byte " +
                          std::to_string(lar.size() + bad.size()) +
                          " was added, but its row in Neighborhoods2 was not: *",
                      "Form map collection was empty."}),
            Row{});
  EXPECT_EQ(engine.RecordsRejected(), 3);
}

TEST_F(ImporterFixture, ResponsesFieldsAndTables) {
  std::string file =
      samplehost::ResponseRecord(10, 2, 999, "Default", false, 0, "See addendum.", 0) +
      samplehost::ResponseRecord(10, 3, 5, "Header\0more"s, false, 3, "  as is  ", 0) +
      samplehost::ResponseRecord(11, 1, 4, std::string(22, ' '), true, 0, "Caf\xE9", 9) +
      Resp(12, 1, 4, "Last", "to the end");
  file.pop_back();  // the last record ends at the end of the file without its NUL
  // Text files share one table, created by this import and so never compared.
  SetOutputFiles({{"ABC.DAT.tmp", file},
                  {"text.tmp", Resp(1, 1, 4, "A") + Resp(1, 1, 4, "B")},
                  {"TEXTB.tmp", Resp(1, 1, 4, "C")}},
                 {"ABC.DAT.tmp", "text.tmp", "TEXTB.tmp", "gone.tmp"});
  ASSERT_TRUE(importers::ImportCommonResponses(engine));
  EXPECT_EQ(Query("SELECT Line, Across, FunctionKey, Macro, Append, Title, Data, Vendor FROM ABC "
                  "ORDER BY ID"),
            (Rows{{"10", "2", "6", "0", "-1", "Default", "See addendum.", "-1"},
                  {"10", "3", "2", "-1", "0", "Header", "  as is  ", "-1"},
                  {"11", "1", "1", "0", "-1", "", "Caf\xC3\xA9", "-1"},
                  {"12", "1", "1", "0", "-1", "Last", "to the end", "-1"}}));
  EXPECT_EQ(Query("SELECT Title FROM TEXTA ORDER BY ID"), (Rows{{"A"}, {"B"}, {"C"}}));
  EXPECT_EQ(Unlogged({"Created table 'ABC' successfully."}), Row{});
  EXPECT_NE(
      output.lines.back().find("ImportCommonResponse::CSImportEngine [Index]na [Text]Source "),
      std::string::npos);
}

// A main record with a distinct value in every number and date field (the bad-input table fills
// the text fields); the text each position must then hold goes to `want`.
std::string MainRecord(const std::string& wcid, Row* want = nullptr) {
  RecordWriter r(c::kRecordSize);
  for (const c::Placed& p : c::kFields) {
    const int v = p.position < 0 ? 0 : p.position;
    std::string text;
    if (p.field.kind == layouts::FieldKind::Int16)
      r.Int16(p.field, static_cast<std::int16_t>(-v)), text = std::to_string(-v);
    if (p.field.kind == layouts::FieldKind::Int32)
      r.Int32(p.field, v * 100000), text = std::to_string(v * 100000);
    if (p.field.kind == layouts::FieldKind::Single)
      r.Single(p.field, v + 0.5f), text = std::to_string(v) + ".5";
    if (p.field.kind == layouts::FieldKind::Date)
      r.Date(p.field, v % 28 + 1, 3, 1900 + v), text = std::to_string(1900 + v) +
                                                       (v % 28 < 9 ? "-03-0" : "-03-") +
                                                       std::to_string(v % 28 + 1);
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
  // Supplements come last whatever the list's order; one update reaches both spellings of an ID.
  SetOutputFiles(
      {{"x.cp2.tmp", Supplement("Ab-\xE9", 7, "  Corner lot  ") + Supplement("NEW", -1)},
       {"x.dat.tmp", MainRecord("ab-\xC9", &want) + MainRecord("AB-\xE9") + MainRecord("X")}});
  EXPECT_EQ(importers::ImportZazOzurs(engine), 5);
  const Rows rows = Query("SELECT * FROM ZazOzurs ORDER BY ID");
  ASSERT_EQ(rows.size(), 4u);
  for (int p : s::kNamePositions) want[p] = "";  // the update writes every token
  // clang-format off
  for (const auto& [p, v] : std::vector<std::pair<int, std::string>>{{0, "1"},
       {c::kUnfedColumn, ""}, {c::kWcidColumn, "Ab-\xC3\xA9"}, {s::kComment.position, "Corner lot"},
       {s::kPhotoId.position, "PAb-\xC3\xA9"}, {s::kFinalListPrice.position, "7"}})
    want[p] = v;
  // clang-format on
  EXPECT_EQ(rows[0], want);
  EXPECT_EQ(rows[1][c::kWcidColumn] + rows[1][s::kComment.position],
            "Ab-\xC3\xA9"
            "Corner lot");
  EXPECT_EQ(rows[2][s::kComment.position], "<null>");
  EXPECT_EQ(Unlogged({"Created table 'ZazOzurs' successfully."}), Row{});
  ASSERT_EQ(world.ui.windows.size(), 2u);  // one window per pass, counting by the count
  EXPECT_EQ(world.ui.windows[1]->statuses, Row{"Importing date from file: x.cp2.tmp"});
  EXPECT_EQ(world.ui.windows[1]->counts,
            (Row{"0 of 2 records imported.", "1 of 2 record imported."}));
  // A main row the database refused, inside a statement of many rows: it alone is rejected,
  // and its supplement is reported. One without a main record of this import inserts, even
  // where an older row holds its identifier.
  ImporterWorld w;
  ASSERT_TRUE(w.engine.ExecuteScript("ZazOzurs", c::CreateTableScript()));
  w.Exec(
      "CREATE TRIGGER NoDup BEFORE INSERT ON ZazOzurs WHEN NEW.WCID = 'DUP' BEGIN SELECT "
      "RAISE(ABORT, 'no'); END");
  w.Exec("INSERT INTO ZazOzurs (WCID) VALUES ('OLD')");
  std::string many = MainRecord("OK") + MainRecord("DUP");
  for (int i = 0; i < 200; ++i) many += MainRecord("N" + std::to_string(i));
  w.SetOutputFiles(
      {{"m.dat.tmp", many}, {"m.cp2.tmp", Supplement("DUP", 1) + Supplement("OLD", 2)}});
  EXPECT_EQ(importers::ImportZazOzurs(w.engine), 202);
  EXPECT_EQ(w.Query("SELECT WCID, FLP FROM ZazOzurs WHERE WCID NOT LIKE 'N%' ORDER BY ID"),
            (Rows{{"OLD", "<null>"}, {"OK", "<null>"}, {"OLD", "2"}}));
  EXPECT_EQ(w.Query("SELECT COUNT(DISTINCT WCID), MIN(WCID), MAX(WCID) FROM ZazOzurs WHERE WCID "
                    "LIKE 'N%'"),
            (Rows{{"200", "N0", "N99"}}));
  EXPECT_EQ(w.Unlogged({"Rejected record 2 of file 'm.dat.tmp' at byte 627: the database refused*",
                        "File 'm.dat.tmp': 202 read, 201 added, 0 overwritten, 0 kept, 1 rejected.",
                        "Rejected record 1 of file 'm.cp2.tmp' at byte 0: its main record was not "
                        "saved, so no row of this import received its details"}),
            Row{});
  // A table of an older layout gets the main records, not the supplements.
  ImporterWorld legacy;
  ASSERT_TRUE(legacy.engine.ExecuteScript("ZazOzurs", ResourceString(504)));
  legacy.SetOutputFiles({{"l.cp2.tmp", Supplement("L", 1)}, {"l.dat.tmp", MainRecord("L")}});
  EXPECT_EQ(importers::ImportZazOzurs(legacy.engine), 1);
  EXPECT_EQ(legacy.Unlogged({"Table 'ZazOzurs' has 76 columns; this import expects 77, in this "
                             "order: ID, WCID,*",
                             "File 'l.cp2.tmp': not imported: table 'ZazOzurs' has 76 columns, "
                             "not the 77 supplement records are written to."}),
            Row{});
  EXPECT_EQ(legacy.Query("SELECT WCID FROM ZazOzurs"), (Rows{{"L"}}));
}

// Spellings and respelling are the comparables test's; here the table grows and settles by file.
TEST(WcidSet, GrowsSettlesByFileAndFoldsLettersOnly) {
  importers::WcidSet set;
  importers::WcidSet::Match m;
  auto state = [&](const std::string& id) {
    set.Find(id, m);
    return std::string(m.found ? (m.saved ? "saved" : "found") : "none");
  };
  // Enough identifiers to grow the table several times; a save counts once its file is settled.
  for (int i = 0; i < 5000; ++i) set.Add("ID-" + std::to_string(i), i % 2 == 0);
  EXPECT_EQ(state("ID-4998") + state("X"), "foundnone");
  set.SettleFile(true);
  for (int i = 0; i < 5000; ++i)
    ASSERT_EQ(state("id-" + std::to_string(i)), i % 2 ? "found" : "saved") << i;
  // A file rolled back: its identifiers are known, its saves forgotten. × and ÷ are no letters.
  for (const char* id : {"R-1", "ID-4999", "ZZ"}) set.Add(id, true);
  set.SettleFile(false);
  set.Add("\xD7", true);
  EXPECT_EQ(state("r-1") + state("ID-4999") + state("ID-4998") + state("ID-5000") + state("\xF7") +
                state("zz"),
            "foundfoundsavednonenonefound");
  EXPECT_EQ(set.size(), 5003u);
  // The longest identifier keeps its length beside its flags; longer text is cut.
  set.Add("ABCDEFGHIJKLmn", true);
  set.SettleFile(true);
  EXPECT_EQ(state("abcdefghijkl") + m.spellings.at(0), "savedABCDEFGHIJKL");
}

TEST(LenderContact, SplitsAConfigurationValueIntoAddressAndNote) {
  const std::string n(40000, 'n');
  // clang-format off
  const std::vector<Row> cases = {  // value, address, note
      {"Loans ann@bank.example desk", "ann@bank.example", "Loans"}, {"", "", ""},
      {"Call Ann on Mondays", "", "Call Ann on Mondays"}, {"\tAnn\t", "", "\tAnn\t"},
      {"ann@bank.example main office", "ann@bank.example", "main office"},
      {"Loans, ann@bank.example", "ann@bank.example", "Loans,"},
      {"Z Zed@b.example", "Zed@b.example", "Z"},
      {"ann@bank.example, desk", "ann@bank.example,", "desk"},
      {"x a.b-c_d&e!f@g.example y", "a.b-c_d&e!f@g.example", "x"},
      // Slashes go from both parts; only spaces are trimmed.
      {"Ann / ann@bank.example desk", "ann@bank.example desk", "Ann"},
      {"A/B/ann@bank.example", "Bann@bank.example", "A"}, {"  Ann / Loans  ", "", "Ann  Loans"},
      {"Loans ann@bank.example/desk/2", "Loans ann@bank.example", "desk2"},
      // A code-page letter is a boundary; past byte 32767 nothing is looked at.
      {"Ren\xE9" "e@bank.example", "e@bank.example", "Ren"},
      {"a@b " + n, "a@b", std::string(32767 - 4, 'n')}};
  // clang-format on
  for (const auto& c : cases) {
    const importers::LenderContact split = importers::SplitLenderContact(c[0]);
    EXPECT_EQ(split.email + "|" + split.note, c[1] + "|" + c[2]) << c[0].substr(0, 40);
  }
  EXPECT_EQ(importers::SplitLenderContact(n + "a@b").email, "");
  EXPECT_EQ(importers::Utf8ToWindows1252(
                "\xE2\x82\xAC \xC5\xBD \xC2\x81 \xC5\x82x\xC3y\xC0\xAF\xF0\x9F\x98\x80"),
            "\x80 \x8E \x81 ?x?y??");
}

TEST(NeighborhoodForms, FormCodesTagListsAndFieldText) {
  // clang-format off
  // A code starting with A is matched on four characters, any other on three, in any case.
  const std::vector<std::pair<std::string, std::optional<std::string>>> codes = {
      {"neigh2090.tmp", "2090"}, {"neighanvl2.tmp", "LAR"}, {"neighaLaR.tmp", "LAR"},
      {"neighnvlx.tmp", "LAR"}, {"neighecu1.tmp", "ICU"}, {"neighNeo9.tmp", "EOI"},
      {"neighNV.tmp", "NV"}, {"neighANV.tmp", "ANV"}, {"neighANRI.tmp", "ANRI"},
      {"neighXNRI.tmp", "XNRI"}, {"OldNeigh1004.tmp", "1004"}, {"neighneigh7.tmp", "neigh7"},
      {"x.neigh1004.tmp", std::nullopt}, {"neigh.tmp", std::nullopt}, {"neigh1004", std::nullopt}};
  // clang-format on
  for (const auto& [file, code] : codes)
    EXPECT_EQ(importers::TranslateFormCode(importers::GetFormName(file)), code) << file;
  EXPECT_EQ(importers::StringToCollection(" T1 ,,T3,", ','), (Row{" T1 ", "", "T3", ""}));
  EXPECT_TRUE(importers::StringToCollection("", ',').empty());
  // "|" stands for character 2, "^" for 21.
  auto F = [](std::string t) {
    for (char& c : t) c = c == '|' ? '\x02' : c == '^' ? '\x15' : c;
    return t;
  };
  const std::string body = "01Alpha|02Beta|Skipped|03Gamma|##";
  const Row three{"T1", "T2X", "T3"}, two{"T1", "T2"};
  const Pairs abc{{"T1", "Alpha"}, {"T2", "Beta"}, {"T3", "Gamma"}};
  struct Case {
    std::string text;
    Row tags;
    Pairs values;
  };
  // clang-format off
  const Case cases[] = {
      {"^pre^amble|" + body, three, abc}, {"0^V|##", {"T1"}, {{"T1", "V"}}},
      {"01^V|##", {"T1"}, {{"T1", F("^V")}}}, {body, {" T1"}, {{" T1", "Alpha"}}},
      // Only an upper-case X marks a skipped value; the name ends at the first.
      {body, {"T1XaX", "T2", "T3"}, {{"T1", "Alpha"}, {"T2", "ipped"}, {"T3", "Gamma"}}},
      {body, {"x1", "X", "T3"}, {{"x1", "Alpha"}, {"", "Beta"}, {"T3", "Gamma"}}},
      // The last two characters never belong to a value.
      {"01Alpha|", two, {{"T1", "Alph"}}}, {"01Alpha|x", two, {{"T1", "Alpha"}}},
      {"01Al|02Beta", two, {{"T1", "Al"}, {"T2", "Be"}}}, {"01A|02x", two, {{"T1", "A"}}},
      {"01A|02xy", two, {{"T1", "A"}, {"T2", ""}}}, {"01VV", two, {{"T1", ""}}}, {"01V", two, {}},
      {"^|01V", two, {}}, {"^01Alpha~02Beta##", two, {}},
      {"01A|Skipped to the end|", {"T1X", "T2"}, {{"T1", "A"}}},
      {"01A|S|02B|##", {"T1X", "T2"}, {{"T1", "A"}, {"T2", "B"}}}};
  // clang-format on
  for (const Case& c : cases)
    EXPECT_EQ(importers::WalkFieldText(F(c.text), c.tags), c.values) << c.text;
  TestWorld w;
  w.Write(
      "t.ini",
      "[1004]\r\nT1 = Location\r\nt2=\"  Built Up  \"\r\nT1=Ignored\r\nCaf\xE9=Caf\xE9 Column\r\n");
  const auto map = importers::INISectionToCollection(w.ctx, w.Program("t.ini"), "1004");
  EXPECT_EQ(map.entries(),
            (Pairs{{"T1", "Location"}, {"t2", "Built Up"}, {"Caf\xC3\xA9", "Caf\xC3\xA9 Column"}}));
  EXPECT_EQ(map.Find("CAF\xC3\x89").value_or("?") + map.Find(" T1").value_or("?"),
            "Caf\xC3\xA9 Column?");
  EXPECT_TRUE(importers::INISectionToCollection(w.ctx, w.Program("no.ini"), "1004").empty());
}
}  // namespace
