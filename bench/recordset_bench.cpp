// Rows per second written through the record set (AddNew, eight fields,
// Update, one transaction) against a raw prepared-statement loop on the same
// table with the same values, and the cost of conflict-checked Filter lookups
// as the table grows. Every database is an embedded file under /tmp.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "doubles/RecordingUi.h"
#include "engine/AccessSql.h"
#include "engine/CSImportEngine.h"
#include "engine/DbConnection.h"
#include "engine/DirectImport.h"
#include "engine/Recordset.h"
#include "platform/Context.h"
#include "platform/FileChannels.h"
#include "platform/PosixEnv.h"
#include "platform/UserInterface.h"
#include "support/ResourceStrings.h"

namespace {

constexpr int kResponsesTable = 501;
constexpr const char* kTable = "Responses";
constexpr int kRowsPerRun = 20000;

using SilentUi = testing_doubles::RecordingUi;

// One row of a responses-like table; the ID counter is left to the database.
struct ResponseRow {
  int line, across, functionKey;
  bool macro, append, vendor;
  std::string title, data;
};

ResponseRow MakeRow(int i) {
  return {i / 80 + 1,
          i % 80,
          i % 13,
          i % 7 == 0,
          i % 3 == 0,
          false,
          "Field title " + std::to_string(i),
          "Response text as the appraisal forms hold it, entry number " + std::to_string(i)};
}

const std::vector<ResponseRow>& Rows() {
  static const std::vector<ResponseRow> rows = [] {
    std::vector<ResponseRow> r;
    for (int i = 0; i < kRowsPerRun; ++i) r.push_back(MakeRow(i));
    return r;
  }();
  return rows;
}

// A fresh folder under /tmp holding an empty database file, removed on exit.
class TempDatabase {
 public:
  TempDatabase() {
    char tmpl[] = "/tmp/ingestor-bench-XXXXXX";
    folder_ = ::mkdtemp(tmpl) ? tmpl : "/tmp";
    Reset();
  }
  ~TempDatabase() {
    std::error_code ec;
    if (folder_ != "/tmp") std::filesystem::remove_all(folder_, ec);
  }
  TempDatabase(const TempDatabase&) = delete;
  TempDatabase& operator=(const TempDatabase&) = delete;

  // Empties the database and creates the responses table in it.
  void Reset() {
    std::error_code ec;
    std::filesystem::remove(path(), ec);
    std::filesystem::remove(path() + "-journal", ec);
    if (std::FILE* f = std::fopen(path().c_str(), "wb")) std::fclose(f);
    sqlite3* db = Open();
    std::string create = ResourceString(kResponsesTable);
    create.replace(create.find("%s"), 2, kTable);
    sqlite3_exec(db, accesssql::Translate(create, db::Dialect::SQLite).c_str(), nullptr, nullptr,
                 nullptr);
    sqlite3_close_v2(db);
  }

  sqlite3* Open() const {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path().c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    return db;
  }

  const std::string& folder() const { return folder_; }
  std::string path() const { return folder_ + "/bench.mdb"; }

 private:
  std::string folder_;
};

// The raw loop: one prepared INSERT, bound and stepped per row, one transaction.
void InsertRaw(sqlite3* db, const std::vector<ResponseRow>& rows, int count) {
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db,
                     "INSERT INTO \"Responses\" (Line, Across, FunctionKey, Macro, Append, Title, "
                     "Data, Vendor) VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
                     -1, &insert, nullptr);
  sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  for (int i = 0; i < count; ++i) {
    const ResponseRow& r = rows[i];
    sqlite3_bind_int(insert, 1, r.line);
    sqlite3_bind_int(insert, 2, r.across);
    sqlite3_bind_int(insert, 3, r.functionKey);
    sqlite3_bind_int(insert, 4, r.macro ? -1 : 0);
    sqlite3_bind_int(insert, 5, r.append ? -1 : 0);
    sqlite3_bind_text(insert, 6, r.title.data(), static_cast<int>(r.title.size()),
                      SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 7, r.data.data(), static_cast<int>(r.data.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int(insert, 8, r.vendor ? -1 : 0);
    sqlite3_step(insert);
    sqlite3_reset(insert);
  }
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_finalize(insert);
}

// An engine connected to `database`, as the import pipeline leaves it.
struct ConnectedEngine {
  explicit ConnectedEngine(const TempDatabase& database) {
    std::string program = database.path();  // the engine takes paths in program form
    for (char& c : program)
      if (c == '/') c = '\\';
    engine.SetOutputDatabase(program);
    ok = DirectImport::Connect(engine);
  }
  platform::PosixEnv env;
  SilentUi ui;
  platform::FileChannels files;
  platform::Context ctx{env, ui, files};
  CSImportEngine engine{ctx};
  bool ok = false;
};

// Writes one row the way the importers do: by ordinal position.
bool AddRow(Recordset& set, const ResponseRow& r) {
  return set.AddNew() && set.SetField(1, db::Value::Integer(r.line)) &&
         set.SetField(2, db::Value::Integer(r.across)) &&
         set.SetField(3, db::Value::Integer(r.functionKey)) &&
         set.SetField(4, db::Value::Bool(r.macro)) && set.SetField(5, db::Value::Bool(r.append)) &&
         set.SetField(6, db::Value::Text(r.title)) && set.SetField(7, db::Value::Text(r.data)) &&
         set.SetField(8, db::Value::Bool(r.vendor)) && set.Update();
}

void BM_RawInsert(benchmark::State& state) {
  TempDatabase database;
  const auto& rows = Rows();
  for (auto _ : state) {
    state.PauseTiming();
    database.Reset();
    sqlite3* db = database.Open();
    state.ResumeTiming();
    InsertRaw(db, rows, kRowsPerRun);
    state.PauseTiming();
    sqlite3_close_v2(db);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kRowsPerRun);
}

void BM_RecordsetInsert(benchmark::State& state) {
  TempDatabase database;
  const auto& rows = Rows();
  for (auto _ : state) {
    state.PauseTiming();
    database.Reset();
    auto connected = std::make_unique<ConnectedEngine>(database);
    if (!connected->ok) {
      state.SkipWithError("the database did not open");
      break;
    }
    // What an importer holds of the engine.
    ImportSession& engine = connected->engine;
    state.ResumeTiming();
    bool ok = engine.OpenRecordset("SELECT * FROM [Responses] ORDER BY Line, Across", true) == 1;
    {
      FileTransaction transaction(engine.Connection());
      Recordset& set = *engine.CurrentRecordset();
      for (int i = 0; ok && i < kRowsPerRun; ++i) ok = AddRow(set, rows[i]);
      ok = transaction.Commit() && ok;
    }
    state.PauseTiming();
    connected.reset();
    state.ResumeTiming();
    if (!ok) {
      state.SkipWithError("a row was refused");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * kRowsPerRun);
}

// n lookups against a table of n rows: every other one finds its row, the
// rest are added, as an import with conflict checks does.
void BM_FilterLookups(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  TempDatabase database;
  std::vector<ResponseRow> existing;
  for (int i = 0; i < n; ++i) existing.push_back(MakeRow(i));
  std::vector<ResponseRow> lookups;
  for (int k = 0; k < n; ++k) {
    ResponseRow r = MakeRow(k);
    if (k % 2 == 1) r.line += 1000;  // not in the table yet
    lookups.push_back(r);
  }
  int added = 0;
  for (auto _ : state) {
    state.PauseTiming();
    database.Reset();
    sqlite3* db = database.Open();
    InsertRaw(db, existing, n);
    sqlite3_close_v2(db);
    auto connected = std::make_unique<ConnectedEngine>(database);
    if (!connected->ok) {
      state.SkipWithError("the database did not open");
      break;
    }
    // What an importer holds of the engine.
    ImportSession& engine = connected->engine;
    added = 0;
    state.ResumeTiming();
    bool ok = engine.OpenRecordset("SELECT * FROM [Responses] ORDER BY Line, Across, FunctionKey",
                                   true) == -1;
    {
      FileTransaction transaction(engine.Connection());
      Recordset& set = *engine.CurrentRecordset();
      char condition[96];
      for (int k = 0; ok && k < n; ++k) {
        const ResponseRow& r = lookups[k];
        std::snprintf(condition, sizeof condition, "Line = %d AND Across = %d AND FunctionKey = %d",
                      r.line, r.across, r.functionKey);
        ok = set.SetFilter(condition);
        if (ok && set.Eof()) {
          ok = AddRow(set, r);
          ++added;
        }
      }
      ok = transaction.Commit() && ok;
    }
    state.PauseTiming();
    connected.reset();
    state.ResumeTiming();
    if (!ok || added != n / 2) {
      state.SkipWithError("a lookup or a row failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * n);
  state.counters["added"] = added;
}

// Rates are per CPU second: the commit's wait for the disk is the same for both
// loops and would only add noise to their ratio (the Time column shows it).
BENCHMARK(BM_RawInsert)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecordsetInsert)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterLookups)->Arg(5000)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
