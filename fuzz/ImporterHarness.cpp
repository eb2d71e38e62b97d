#include "ImporterHarness.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>

#include "engine/DbConnection.h"
#include "engine/DirectImport.h"
#include "platform/db/SqliteBackend.h"

// The C library's allocator, which the sanitizer does not replace.
extern "C" void* __libc_malloc(std::size_t);
extern "C" void* __libc_realloc(void*, std::size_t);
extern "C" void __libc_free(void*);

namespace fuzzing {

namespace {

// A harness that cannot lay down its database would fuzz nothing: stop loudly.
[[noreturn]] void SetupFailed(const std::string& what) {
  std::fprintf(stderr, "fuzz harness set-up failed: %s\n", what.c_str());
  std::abort();
}

// The first column of every row `sql` gives, as text; nullopt on a failure.
std::optional<std::vector<std::string>> FirstColumn(db::Backend& backend, const std::string& sql) {
  std::string error;
  std::unique_ptr<db::Statement> statement = backend.Prepare(sql, error);
  if (!statement) return std::nullopt;
  std::vector<std::string> values;
  db::StepResult r;
  while ((r = statement->Step()) == db::StepResult::Row)
    values.push_back(statement->Column(0).ToText());
  if (r == db::StepResult::Error) return std::nullopt;
  return values;
}

}  // namespace

// The statements inputs prepared, kept for later inputs that prepare the same
// text: preparing (parsing the SQL, naming a wide table's columns) is most of
// what opening a record set costs, and every input opens the same ones. A
// statement is handed out only while the schema is the one it was prepared
// for: a changed schema version drops them all, as does a fresh connection.
class StatementPool : public std::enable_shared_from_this<StatementPool> {
 public:
  explicit StatementPool(db::Backend& real) : real_(real) {}
  ~StatementPool() { Drop(); }

  std::unique_ptr<db::Statement> Prepare(const std::string& sql, std::string& error);
  std::unique_ptr<db::Statement> PrepareRowsInsert(const std::string& table,
                                                   const std::vector<std::string>& columns,
                                                   std::string& error);
  // Takes a statement back; dropped unless the schema is still its own.
  void Return(std::string key, std::unique_ptr<db::Statement> statement, std::int64_t version) {
    if (version == version_) idle_.emplace(std::move(key), std::move(statement));
  }
  void Drop() {
    idle_.clear();
    versionQuery_.reset();
    version_ = -1;
  }

 private:
  // Drops the kept statements when the schema changed since they were kept;
  // the schema version now.
  std::int64_t Check() {
    std::string error;
    if (!versionQuery_) versionQuery_ = real_.Prepare("PRAGMA schema_version", error);
    std::int64_t now = -2;  // unknown: matches nothing kept
    if (versionQuery_ && versionQuery_->Step() == db::StepResult::Row)
      now = versionQuery_->Column(0).ToNumber().value_or(-2);
    if (versionQuery_) versionQuery_->Reset();
    if (now != version_) {
      idle_.clear();
      version_ = now;
    }
    return now;
  }
  std::unique_ptr<db::Statement> Take(const std::string& key) {
    auto it = idle_.find(key);
    if (it == idle_.end()) return nullptr;
    std::unique_ptr<db::Statement> statement = std::move(it->second);
    idle_.erase(it);
    return statement;
  }

  db::Backend& real_;
  std::unordered_multimap<std::string, std::unique_ptr<db::Statement>> idle_;
  std::unique_ptr<db::Statement> versionQuery_;
  std::int64_t version_ = -1;
};

namespace {

// A kept statement while the engine uses it. Given back, it is reset and its
// parameters bound to NULL again, as a fresh one's are.
class PooledStatement final : public db::Statement {
 public:
  PooledStatement(std::weak_ptr<StatementPool> pool, std::string key,
                  std::unique_ptr<db::Statement> real, std::int64_t version)
      : pool_(std::move(pool)), key_(std::move(key)), real_(std::move(real)), version_(version) {}
  ~PooledStatement() override {
    const std::shared_ptr<StatementPool> pool = pool_.lock();
    if (!pool) return;  // the connection was replaced meanwhile
    real_->Reset();
    for (int p = 1; p <= mostBound_; ++p) real_->Bind(p, db::Value::Null());
    pool->Return(std::move(key_), std::move(real_), version_);
  }
  bool Bind(int position, const db::Value& value) override {
    mostBound_ = std::max(mostBound_, position);
    return real_->Bind(position, value);
  }
  db::StepResult Step() override { return real_->Step(); }
  bool Reset() override { return real_->Reset(); }
  int ColumnCount() override { return real_->ColumnCount(); }
  std::string ColumnName(int column) override { return real_->ColumnName(column); }
  db::ColumnKind ColumnType(int column) override { return real_->ColumnType(column); }
  db::Value Column(int column) override { return real_->Column(column); }
  std::string error() const override { return real_->error(); }
  bool RunRows(const std::vector<std::vector<db::Value>>& rows,
               const std::vector<std::size_t>& positions) override {
    return real_->RunRows(rows, positions);
  }

 private:
  std::weak_ptr<StatementPool> pool_;
  std::string key_;
  std::unique_ptr<db::Statement> real_;
  std::int64_t version_;
  int mostBound_ = 0;
};

}  // namespace

std::unique_ptr<db::Statement> StatementPool::Prepare(const std::string& sql, std::string& error) {
  const std::int64_t version = Check();
  std::string key = "P" + sql;
  std::unique_ptr<db::Statement> statement = Take(key);
  if (!statement) statement = real_.Prepare(sql, error);
  if (!statement) return nullptr;
  return std::make_unique<PooledStatement>(weak_from_this(), std::move(key), std::move(statement),
                                           version);
}

std::unique_ptr<db::Statement> StatementPool::PrepareRowsInsert(
    const std::string& table, const std::vector<std::string>& columns, std::string& error) {
  const std::int64_t version = Check();
  std::string key = "R" + table;
  for (const std::string& column : columns) key += '\0' + column;
  std::unique_ptr<db::Statement> statement = Take(key);
  if (!statement) statement = real_.PrepareRowsInsert(table, columns, error);
  if (!statement) return nullptr;
  return std::make_unique<PooledStatement>(weak_from_this(), std::move(key), std::move(statement),
                                           version);
}

namespace {

constexpr int kRowsPerInsert = 3;

// What the engine gets when it connects: a view of the harness's connection.
// Closing it leaves the connection (and its parsed schema, and the statements
// prepared on it) for the next input.
class SharedBackend final : public db::Backend {
 public:
  SharedBackend(db::Backend& real, StatementPool& pool) : real_(real), pool_(pool) {}
  // The statements outlive this view: the pool keeps them.
  db::Dialect dialect() const override { return real_.dialect(); }
  std::unique_ptr<db::Statement> Prepare(const std::string& sql, std::string& error) override {
    return pool_.Prepare(sql, error);
  }
  bool Execute(const std::string& sql, std::string& error) override {
    return real_.Execute(sql, error);
  }
  bool Begin(std::string& error) override { return real_.Begin(error); }
  bool Commit(std::string& error) override { return real_.Commit(error); }
  bool Rollback(std::string& error) override { return real_.Rollback(error); }
  std::string RowLocator() const override { return real_.RowLocator(); }
  db::Value LastInsertLocator() override { return real_.LastInsertLocator(); }
  // Rows written together fill a statement at a few rows instead of dozens,
  // so an input of a few records already meets a full statement, the rows
  // left after it, and the statement reused for the next run.
  int RowsPerInsert(int columns) const override {
    return std::min(real_.RowsPerInsert(columns), kRowsPerInsert);
  }
  std::unique_ptr<db::Statement> PrepareRowsInsert(const std::string& table,
                                                   const std::vector<std::string>& columns,
                                                   std::string& error) override {
    return pool_.PrepareRowsInsert(table, columns, error);
  }
  bool InTransaction() override { return real_.InTransaction(); }
  std::string FatalCondition() const override { return real_.FatalCondition(); }
  bool LastFailureBusy() const override { return real_.LastFailureBusy(); }
  // The connection is this process's alone: it never waits.
  void SetBusyWait(double, std::function<void()>) override {}

 private:
  db::Backend& real_;
  StatementPool& pool_;
};

// SQLite is not instrumented, yet under the sanitizer's allocator its many
// small allocations cost more than the rest of an input. Given straight to
// the C library they cost little; each block keeps its size in front.
void* SqliteMalloc(int n) {
  auto* block = static_cast<std::int64_t*>(__libc_malloc(static_cast<std::size_t>(n) + 8));
  if (block == nullptr) return nullptr;
  *block = n;
  return block + 1;
}
void SqliteFree(void* p) {
  if (p != nullptr) __libc_free(static_cast<std::int64_t*>(p) - 1);
}
void* SqliteRealloc(void* p, int n) {
  auto* block = static_cast<std::int64_t*>(
      __libc_realloc(static_cast<std::int64_t*>(p) - 1, static_cast<std::size_t>(n) + 8));
  if (block == nullptr) return nullptr;
  *block = n;
  return block + 1;
}
int SqliteSize(void* p) {
  return static_cast<int>(*(static_cast<std::int64_t*>(p) - 1));
}
int SqliteRoundup(int n) {
  return (n + 7) & ~7;
}
int SqliteInit(void*) {
  return SQLITE_OK;
}
void SqliteShutdown(void*) {}

}  // namespace

ImporterHarness::InMemoryTemp::InMemoryTemp() {
  std::error_code ec;
  if (std::filesystem::is_directory("/dev/shm", ec)) ::setenv("TMPDIR", "/dev/shm", 1);
  // Once, before the first connection (a second harness finds SQLite in use).
  static const bool configured = [] {
    static const sqlite3_mem_methods kMethods = {SqliteMalloc,   SqliteFree,    SqliteRealloc,
                                                 SqliteSize,     SqliteRoundup, SqliteInit,
                                                 SqliteShutdown, nullptr};
    sqlite3_shutdown();
    // Without the memory statistics nothing locks a mutex around every allocation.
    return sqlite3_config(SQLITE_CONFIG_MALLOC, &kMethods) == SQLITE_OK &&
           sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;
  }();
  (void)configured;
}

ImporterHarness::ImporterHarness(std::int32_t dataType, const std::vector<std::string>& schema) {
  engine.SetOutputObject(&output);
  engine.SetDataType(static_cast<DataType>(dataType));
  world.MakeFolder("out");
  engine.SetOutputDatabase(world.Program("out.mdb"));
  engine.SetOutputFolder(world.Program("out") + "\\");
  world.Write("out.mdb", "");
  if (!DirectImport::Connect(engine)) SetupFailed("cannot open out.mdb");
  for (const std::string& sql : schema)
    if (!engine.Connection()->Execute(sql)) SetupFailed(sql);
  DirectImport::Disconnect(engine);
  database_ = world.Read("out.mdb");
  if (!Restore(true)) SetupFailed("cannot load out.mdb into memory");
  std::optional<std::vector<std::string>> tables =
      FirstColumn(*live_, "SELECT name FROM sqlite_master WHERE type = 'table'");
  std::optional<std::vector<std::string>> version = FirstColumn(*live_, "PRAGMA schema_version");
  if (!tables || !version || version->size() != 1) SetupFailed("cannot read the schema");
  tables_ = std::move(*tables);
  schemaVersion_ = version->front();
  for (const std::string& table : tables_) {
    auto rows = FirstColumn(*live_, "SELECT COUNT(*) FROM \"" + table + "\"");
    // Emptying the tables is how an input's rows are undone.
    if (!rows || rows->size() != 1 || rows->front() != "0") SetupFailed(table + " is not empty");
  }
  world.env.SetDatabaseOpener([this](std::vector<std::string>&) {
    return std::make_unique<SharedBackend>(*live_, *pool_);
  });
}

bool ImporterHarness::Restore(bool afresh) {
  std::string error;
  if (!afresh && live_ && live_->FatalCondition().empty() && live_->Rollback(error) &&
      FirstColumn(*live_, "PRAGMA schema_version") == std::vector<std::string>{schemaVersion_}) {
    bool emptied = true;
    for (const std::string& table : tables_)
      emptied = emptied && live_->Execute("DELETE FROM \"" + table + "\"", error);
    if (emptied) return true;
  }
  // The input changed the schema or broke the connection: start from the bytes.
  pool_.reset();  // its statements belong to the old connection
  live_.reset();
  std::vector<std::string> errors;
  live_ = db::OpenSqliteImage(database_, errors);
  if (live_) pool_ = std::make_shared<StatementPool>(*live_);
  return live_ != nullptr;
}

void ImporterHarness::Finish() {
  DirectImport::Disconnect(engine);
  DirectImport::ListOutputFiles(engine, {});
  auto release = [](auto& list) {
    list.clear();
    list.shrink_to_fit();
  };
  release(output.lines);
  release(world.ui.boxes);
  release(world.ui.windows);
  world.ui.answers.clear();
  for (const std::string& name : written_) std::remove(world.Native("out/" + name).c_str());
  release(written_);
}

bool ImporterHarness::PrepareOneFile(InputReader& in, const char* const (&names)[4]) {
  const std::uint8_t flags = in.Byte();
  const std::string name = names[flags & 3];
  std::vector<std::string> listed{name};
  if (flags & 4) listed.push_back(name);
  return Prepare({{name, in.Rest()}}, std::move(listed), static_cast<std::uint8_t>(flags >> 4));
}

bool ImporterHarness::Prepare(const std::vector<std::pair<std::string, std::string_view>>& files,
                              std::vector<std::string> names, std::uint8_t answers) {
  Finish();
  if (!Restore(false)) return false;
  const bool listFiles = names.empty();
  for (const auto& [name, bytes] : files) {
    world.Write("out/" + name, std::string(bytes));
    written_.push_back(name);
    if (listFiles) names.push_back(name);
  }
  DirectImport::ListOutputFiles(engine, std::move(names));
  engine.SetConflictPolicy(CSImportEngine::ConflictPolicy::Ask);

  world.ui.boxes.clear();
  world.ui.windows.clear();
  world.ui.answers.clear();
  for (int i = 0; i < 4; ++i)
    world.ui.answers.push_back((answers >> i) & 1 ? platform::MsgAnswer::Yes
                                                  : platform::MsgAnswer::No);
  const bool opened = DirectImport::Connect(engine);
  output.lines.clear();
  return opened;
}

}  // namespace fuzzing
