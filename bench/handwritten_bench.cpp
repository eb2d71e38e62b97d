// The hand-written baseline of each import in bench/run-all.sh: the same load
// file decoded with the same layouts and framing, the same values written by
// the same INSERT (and, for supplement records, UPDATE-by-WCID) statements
// into the same table and indexes, one transaction per file, each statement
// prepared once. No record set, no progress window, no log, no conflict
// checks: what an import costs beyond this is the cost of those.
//
//   handwritten_bench comparables   DATABASE DIR      DIR/src/xcomps.dat, then xcomps.cp2
//   handwritten_bench responses     DATABASE FILE
//   handwritten_bench fileindex     DATABASE FILE
//   handwritten_bench lenders       DATABASE DIR      DIR/lender.dta and DIR/lender.ini
//   handwritten_bench neighborhoods DATABASE FILE TAGS_INI
//
// DATABASE is a fresh copy of the host's template (file index, lenders,
// neighborhoods) or an empty file (comparables, responses: the table is made
// with the import's own scripts, as the import makes it). Prints the seconds
// the loop took, from opening the load file to the commit; for comparables
// the main file's and the supplement file's, on one line. Exit status 0, 1
// when a step fails (the message says which), 2 for a usage error.
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/AccessSql.h"
#include "importers/FieldDecoding.h"
#include "importers/FramedRecords.h"
#include "importers/LenderInformation.h"
#include "importers/NeighborhoodForms.h"
#include "importers/RecordReader.h"
#include "importers/layouts/ComparablesLayout.h"
#include "importers/layouts/FileIndexLayout.h"
#include "importers/layouts/LenderLayout.h"
#include "importers/layouts/NeighborhoodLayout.h"
#include "importers/layouts/ResponsesLayout.h"
#include "importers/layouts/SupplementLayout.h"
#include "platform/PosixEnv.h"
#include "support/Conversions.h"
#include "support/IniFile.h"
#include "support/ResourceStrings.h"
#include "support/Windows1252.h"

namespace {

using importers::CleanView;
using importers::Slice;
using std::string_view;

// --- SQLite, by hand ---------------------------------------------------------

[[noreturn]] void Die(const std::string& what) {
  throw std::runtime_error(what);
}

class Database {
 public:
  explicit Database(const std::string& path) {
    // Opened as the import opens its database (one thread uses the connection).
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK)
      Die("cannot open " + path);
  }
  ~Database() { sqlite3_close(db_); }
  void Run(const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
      const std::string why = message ? message : "?";
      sqlite3_free(message);
      Die(sql + ": " + why);
    }
  }
  sqlite3* get() { return db_; }
  // The column names of `table`, by position.
  std::vector<std::string> Columns(const std::string& table);

 private:
  sqlite3* db_ = nullptr;
};

// One prepared statement: values bound by position, run, reset. Bound text
// lives in `texts_` until the next row.
class Statement {
 public:
  Statement(Database& db, const std::string& sql) {
    if (sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK)
      Die(sql + ": " + sqlite3_errmsg(db.get()));
    texts_.resize(static_cast<std::size_t>(sqlite3_bind_parameter_count(stmt_)));
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  void Null(int i) { sqlite3_bind_null(stmt_, i); }
  void Integer(int i, std::int64_t v) { sqlite3_bind_int64(stmt_, i, v); }
  void Real(int i, double v) { sqlite3_bind_double(stmt_, i, v); }
  void Text(int i, std::string v) {
    std::string& kept = texts_[static_cast<std::size_t>(i - 1)];
    kept = std::move(v);
    sqlite3_bind_text(stmt_, i, kept.data(), static_cast<int>(kept.size()), SQLITE_STATIC);
  }
  // Record bytes (Windows-1252) as UTF-8 text.
  void Bytes(int i, string_view bytes) { Text(i, support::Windows1252ToUtf8(bytes)); }
  // A packed date as ISO text, NULL when empty (as the import stores it).
  void Date(int i, string_view field) {
    const std::string mdy = importers::DateText(field);  // MM-DD-YYYY
    if (mdy.size() != 10) return Null(i);
    Text(i, mdy.substr(6) + "-" + mdy.substr(0, 2) + "-" + mdy.substr(3, 2));
  }
  // Runs the statement; the rows it changed.
  int Step() {
    const int rc = sqlite3_step(stmt_);
    sqlite3_reset(stmt_);
    if (rc != SQLITE_DONE) Die(std::string("step: ") + sqlite3_errmsg(sqlite3_db_handle(stmt_)));
    return sqlite3_changes(sqlite3_db_handle(stmt_));
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  std::vector<std::string> texts_;
};

std::vector<std::string> Database::Columns(const std::string& table) {
  sqlite3_stmt* stmt = nullptr;
  const std::string sql = "SELECT * FROM \"" + table + "\"";
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
    Die(sql + ": " + sqlite3_errmsg(db_));
  std::vector<std::string> names;
  for (int i = 0; i < sqlite3_column_count(stmt); ++i)
    names.emplace_back(sqlite3_column_name(stmt, i));
  sqlite3_finalize(stmt);
  return names;
}

// "INSERT INTO "table" ("a", "b") VALUES (?, ?)".
std::string InsertSql(const std::string& table, const std::vector<std::string>& names) {
  std::string cols, marks;
  for (const std::string& n : names) {
    cols += (cols.empty() ? "\"" : ", \"") + n + "\"";
    marks += marks.empty() ? "?" : ", ?";
  }
  return "INSERT INTO \"" + table + "\" (" + cols + ") VALUES (" + marks + ")";
}

// A host script for `table` in SQLite's SQL.
std::string Script(const std::string& script, const std::string& table) {
  std::string sql = script;
  for (std::size_t at = sql.find("%s"); at != std::string::npos;
       at = sql.find("%s", at + table.size()))
    sql.replace(at, 2, table);
  return accesssql::Translate(sql, db::Dialect::SQLite);
}

// --- The loop ----------------------------------------------------------------

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Every record of `path` handed to `row`, in one transaction.
// `first` runs inside the transaction before the first record.
template <typename Row>
double Load(Database& db, const std::string& path, const importers::Framing& framing, Row row,
            const std::function<void()>& first = {}) {
  const auto start = std::chrono::steady_clock::now();
  platform::PosixEnv env;
  importers::RecordReader reader(env, path);
  if (reader.Failed()) Die("cannot read " + path + ": " + reader.Error());
  importers::FramedRecords records(reader, framing);
  db.Run("BEGIN");
  if (first) first();
  importers::Record record;
  while (records.Next(record)) row(record);
  db.Run("COMMIT");
  return Seconds(start);
}

namespace comps = layouts::comparables;
namespace supp = layouts::supplement;

void Comparables(Database& db, const std::filesystem::path& dir) {
  const std::string table = ResourceString(res::kComparablesTable);
  const auto start = std::chrono::steady_clock::now();
  // The table and index the import makes (its unique index on ID is the
  // INTEGER PRIMARY KEY itself on SQLite, so there is none).
  for (const std::string& script :
       {comps::CreateTableScript(), std::string(comps::kWcidIndexScript)})
    db.Run(Script(script, table));
  const double created = Seconds(start);
  std::vector<std::string> names;
  std::vector<const comps::Placed*> placed;
  for (int position = 1; position < comps::kColumnCount; ++position) {
    for (const comps::Placed& p : comps::kFields)
      if (p.position == position) placed.push_back(&p);
    if (position == comps::kUnfedColumn) placed.push_back(nullptr);
    if (placed.size() > names.size()) names.emplace_back(comps::kColumns[position].name);
  }
  Statement insert(db, InsertSql(table, names));
  // Each WCID of the main file, lower-cased, with its spelling in the table.
  std::unordered_map<std::string, std::string> wcids;
  const double main =
      created +
      Load(db, (dir / "src" / "xcomps.dat").string(),
           {.headSize = comps::kRecordSize, .next = importers::Framing::Next::StartPlusLength},
           [&](const importers::Record& r) {
             for (std::size_t i = 0; i < placed.size(); ++i) {
               const int at = static_cast<int>(i) + 1;
               if (placed[i] == nullptr) {
                 insert.Text(at, "");
                 continue;
               }
               const layouts::Field f = placed[i]->field;
               const string_view bytes = Slice(r.head, f);
               switch (f.kind) {
                 case layouts::FieldKind::Int16:
                   insert.Integer(at, importers::ShortValue(bytes));
                   break;
                 case layouts::FieldKind::Int32:
                   insert.Integer(at, importers::LongValue(bytes));
                   break;
                 case layouts::FieldKind::Single:
                   insert.Real(at, importers::SingleValue(bytes));
                   break;
                 case layouts::FieldKind::Date:
                   insert.Date(at, bytes);
                   break;
                 case layouts::FieldKind::Text:
                   insert.Bytes(at, CleanView(bytes));
                   break;
               }
             }
             insert.Step();
             const std::string wcid(CleanView(Slice(r.head, comps::kWcid)));
             wcids.emplace(support::LowerAscii(wcid), wcid);
           });

  const std::filesystem::path extra = dir / "src" / "xcomps.cp2";
  double supplement = 0;
  if (std::filesystem::exists(extra)) {
    constexpr int kNames = static_cast<int>(std::size(supp::kNamePositions));
    std::string set;
    std::vector<std::string> supplementNames;
    for (int i = 0; i < kNames; ++i) {
      supplementNames.emplace_back(comps::kColumns[supp::kNamePositions[i]].name);
      set += (i ? ", \"" : "\"") + supplementNames.back() + "\" = ?";
    }
    Statement update(db, "UPDATE \"" + table + "\" SET " + set + " WHERE \"WCID\" = ?");
    Statement add(db, InsertSql(table, supplementNames));
    supplement =
        Load(db, extra.string(),
             {.headSize = supp::kRecordSize, .next = importers::Framing::Next::StartPlusLength},
             [&](const importers::Record& r) {
               const std::string wcid(CleanView(Slice(r.head, supp::kWcid.field)));
               const auto found = wcids.find(support::LowerAscii(wcid));
               Statement& s = found != wcids.end() ? update : add;
               for (int i = 0; i < kNames; ++i) {
                 const int k = supp::FieldForName(i);
                 if (k < 0) {
                   s.Text(i + 1, "");
                   continue;
                 }
                 const supp::TokenField& f = supp::kFields[k];
                 const string_view bytes = Slice(r.head, f.field);
                 if (f.field.kind == layouts::FieldKind::Int32)
                   s.Integer(i + 1, importers::LongValue(bytes));
                 else
                   s.Bytes(i + 1, CleanView(bytes));
               }
               if (found == wcids.end()) {
                 add.Step();
                 return;
               }
               update.Bytes(kNames + 1, found->second);
               update.Step();
               found->second = wcid;
             });
  }
  std::printf("%.6f %.6f\n", main, supplement);
}

namespace resp = layouts::responses;

double Responses(Database& db, const std::string& path) {
  // The table is named by the file up to its first "." and made in the
  // file's transaction, as the import makes it.
  const std::string file = std::filesystem::path(path).filename().string();
  const std::string table = file.substr(0, file.find('.'));
  std::vector<std::string> names;
  for (const char* name :
       {"Line", "Across", "FunctionKey", "Macro", "Append", "Title", "Data", "Vendor"})
    names.emplace_back(name);
  std::unique_ptr<Statement> made;
  return Load(
      db, path,
      {.headSize = resp::kHeadSize,
       .minRemaining = resp::kHeadSize,
       .body = importers::Framing::Body::NulText,
       .next = importers::Framing::Next::SkipPadding},
      [&](const importers::Record& r) {
        Statement& insert = *made;
        const int code = importers::ShortValue(Slice(r.head, resp::kKeyCode));
        const int flags = importers::ShortValue(Slice(r.head, resp::kFlags));
        insert.Integer(1, importers::ShortValue(Slice(r.head, resp::kLine)));
        insert.Integer(2, importers::ShortValue(Slice(r.head, resp::kAcross)));
        insert.Integer(3, code == resp::kKeyCodeF9 ? 6 : code - resp::kKeyCodeOffset);
        // Truth values as the host stores them: -1 and 0.
        insert.Integer(4, (flags & resp::kFlagMacro) ? -1 : 0);
        insert.Integer(5, (flags & resp::kFlagNoAppend) ? 0 : -1);
        insert.Bytes(6, CleanView(Slice(r.head, resp::kTitle)));
        insert.Bytes(7, r.body);
        insert.Integer(8, -1);
        insert.Step();
      },
      [&] {
        // As the import makes it: no unique index duplicating the INTEGER PRIMARY KEY.
        db.Run(Script(ResourceString(res::kCreateResponsesTable), table));
        made = std::make_unique<Statement>(db, InsertSql(table, names));
      });
}

namespace fi = layouts::fileindex;

double FileIndex(Database& db, const std::string& path) {
  const std::string table = ResourceString(res::kFileIndexTable);
  std::vector<std::string> names = db.Columns(table);
  names.erase(names.begin());
  Statement insert(db, InsertSql(table, names));
  return Load(db, path, {.headSize = fi::kHeadSize, .body = importers::Framing::Body::LengthTail},
              [&](const importers::Record& r) {
                const string_view h = r.head;
                const string_view id = CleanView(Slice(h, fi::kFileId));
                auto text = [&](int at, layouts::Field f) {
                  insert.Bytes(at, CleanView(Slice(h, f)));
                };
                insert.Bytes(1, id);
                text(2, fi::kFormId);
                insert.Bytes(3, std::string(id) + fi::kReportExtension);
                insert.Bytes(4, CleanView(r.body));
                text(5, fi::kOwner);
                text(6, fi::kStreet);
                text(7, fi::kCity);
                insert.Text(8, "");
                text(9, fi::kZipCode);
                text(10, fi::kCensusTract);
                insert.Text(11, "");
                text(12, fi::kBuildingType);
                text(13, fi::kBuildingDesign);
                text(14, fi::kLenderId);
                text(15, fi::kLenderCaseNo);
                text(16, fi::kAppraiserId);
                insert.Date(17, Slice(h, fi::kDateReceived));
                insert.Date(18, Slice(h, fi::kDateAssigned));
                insert.Date(19, Slice(h, fi::kDateDue));
                insert.Date(20, Slice(h, fi::kDateDelivered));
                text(21, fi::kTrackingExtra);
                insert.Step();
              });
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  if (!in) Die("cannot read " + path.string());
  return bytes.str();
}

namespace ld = layouts::lender;

double Lenders(Database& db, const std::filesystem::path& dir) {
  const auto start = std::chrono::steady_clock::now();
  // The contacts by lower-cased lender ID, the first of a name winning.
  const support::IniFile ini =
      support::IniFile::Parse(ReadFile(dir / ResourceString(res::kLenderIni)));
  std::unordered_map<std::string, const std::string*> contacts;
  if (const support::IniSection* s = ini.FindSection(ResourceString(res::kLenderIniSection)))
    for (const support::IniKey& k : s->keys)
      contacts.emplace(support::LowerAscii(k.name), &k.value);
  const double parsed = Seconds(start);
  const std::string table = ResourceString(res::kLendersTable);
  std::vector<std::string> names = db.Columns(table);
  names.resize(ld::kLastColumn + 1);
  names.erase(names.begin());
  Statement insert(db, InsertSql(table, names));
  return parsed + Load(db, (dir / ResourceString(206)).string(),
                       {.headSize = ld::kRecordSize, .minRemaining = ld::kRecordSize},
                       [&](const importers::Record& r) {
                         auto text = [&](int at, layouts::Field f) {
                           insert.Bytes(at, CleanView(Slice(r.head, f)));
                         };
                         const std::string id =
                             support::Windows1252ToUtf8(CleanView(Slice(r.head, ld::kLenderId)));
                         insert.Text(ld::kIdColumn, id);
                         text(ld::kNameColumn, ld::kName);
                         text(ld::kAddress1Column, ld::kAddress1);
                         text(ld::kAddress2Column, ld::kAddress2);
                         text(ld::kCityStateZipColumn, ld::kCityStateZip);
                         text(ld::kPhoneColumn, ld::kPhone);
                         text(ld::kContactFirstColumn, ld::kContactFirst);
                         text(ld::kContactLastColumn, ld::kContactLast);
                         insert.Text(ld::kEmptyColumn9, "");
                         text(ld::kReferenceColumn, ld::kReference);
                         insert.Text(ld::kEmptyColumn11, "");
                         const auto found = contacts.find(support::LowerAscii(id));
                         const importers::LenderContact contact = importers::SplitLenderContactUtf8(
                             found == contacts.end() ? string_view()
                                                     : support::Utf8Prefix(*found->second, 254));
                         insert.Text(ld::kEmailColumn, contact.email);
                         insert.Text(ld::kNoteColumn, contact.note);
                         insert.Step();
                       });
}

namespace nb = layouts::neighborhood;

double Neighborhoods(Database& db, const std::string& path, const std::string& tagsIni) {
  const auto start = std::chrono::steady_clock::now();
  const std::string form = *importers::TranslateFormCode(
      importers::GetFormName(std::filesystem::path(path).filename().string()));
  const support::IniFile ini = support::IniFile::Parse(ReadFile(tagsIni));
  const support::IniSection* list =
      ini.FindSection(ResourceString(res::kNeighborhoodFormListSection));
  const support::IniKey* tagKey = list ? support::IniFile::FindKey(*list, form) : nullptr;
  const std::vector<std::string> tags =
      importers::StringToCollection(tagKey ? tagKey->value : "", nb::kTagListSeparator);
  const support::IniSection* map = ini.FindSection(form);
  const std::string table = ResourceString(res::kNeighborhoodsTable);
  const std::vector<std::string> columns = db.Columns(table);
  // The statement's parameter of each column written, and of each tag (0: none).
  std::vector<std::string> names;
  auto parameter = [&](const std::string& column) {
    for (std::size_t i = 0; i < names.size(); ++i)
      if (support::EqualsIgnoringCase(names[i], column)) return static_cast<int>(i) + 1;
    for (const std::string& c : columns)
      if (support::EqualsIgnoringCase(c, column)) {
        names.push_back(c);
        return static_cast<int>(names.size());
      }
    return 0;
  };
  const int name = parameter(columns[nb::kNameColumn]), code = parameter(columns[nb::kCodeColumn]),
            area = parameter(columns[nb::kAreaColumn]),
            description = parameter(columns[nb::kDescriptionColumn]),
            zone = parameter(columns[nb::kZoneColumn]);
  std::vector<int> tagParameters;
  for (const std::string& tag : tags) {
    const support::IniKey* k =
        map ? support::IniFile::FindKey(*map,
                                        string_view(tag).substr(0, tag.find(nb::kExtraValueMark)))
            : nullptr;
    tagParameters.push_back(k ? parameter(support::TrimSpaces(k->value)) : 0);
  }
  Statement insert(db, InsertSql(table, names));
  Statement secondary(
      db, InsertSql(ResourceString(res::kSecondaryNeighborhoodsTable), {columns[nb::kNameColumn]}));
  const double prepared = Seconds(start);
  return prepared + Load(db, path,
                         {.headSize = nb::kHeadSize,
                          .minRemaining = nb::kHeadSize,
                          .body = importers::Framing::Body::CountedText,
                          .countField = nb::kFieldTextLength},
                         [&](const importers::Record& r) {
                           for (std::size_t i = 0; i < names.size(); ++i)
                             insert.Null(static_cast<int>(i) + 1);
                           const std::string n =
                               support::Windows1252ToUtf8(CleanView(Slice(r.head, nb::kName)));
                           insert.Text(name, n);
                           insert.Bytes(code, CleanView(Slice(r.head, nb::kCode)));
                           insert.Bytes(area, CleanView(Slice(r.head, nb::kArea)));
                           insert.Bytes(description, CleanView(Slice(r.head, nb::kDescription)));
                           insert.Bytes(zone, CleanView(Slice(r.head, nb::kZone)));
                           const auto values = importers::WalkFieldText(r.body, tags);
                           for (std::size_t i = 0; i < values.size(); ++i)
                             if (tagParameters[i] > 0)
                               insert.Bytes(tagParameters[i], values[i].second);
                           insert.Step();
                           secondary.Text(1, n);
                           secondary.Step();
                         });
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() < 3 || (args[0] == "neighborhoods") != (args.size() == 4) || args.size() > 4) {
    std::fprintf(
        stderr,
        "usage: handwritten_bench comparables|responses|fileindex|lenders DATABASE SOURCE\n"
        "       handwritten_bench neighborhoods DATABASE FILE TAGS_INI\n");
    return 2;
  }
  try {
    Database db(args[1]);
    if (args[0] == "comparables")
      Comparables(db, args[2]);
    else if (args[0] == "responses")
      std::printf("%.6f\n", Responses(db, args[2]));
    else if (args[0] == "fileindex")
      std::printf("%.6f\n", FileIndex(db, args[2]));
    else if (args[0] == "lenders")
      std::printf("%.6f\n", Lenders(db, args[2]));
    else if (args[0] == "neighborhoods")
      std::printf("%.6f\n", Neighborhoods(db, args[2], args[3]));
    else
      Die("unknown kind '" + args[0] + "'");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "handwritten_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
