#include "ImporterHarness.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
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

// What the engine gets when it connects: a view of the harness's connection.
// Closing it leaves the connection (and its parsed schema) for the next input.
class SharedBackend final : public db::Backend {
 public:
  explicit SharedBackend(db::Backend& real) : real_(real) {}
  db::Dialect dialect() const override { return real_.dialect(); }
  std::unique_ptr<db::Statement> Prepare(const std::string& sql, std::string& error) override {
    return real_.Prepare(sql, error);
  }
  bool Execute(const std::string& sql, std::string& error) override {
    return real_.Execute(sql, error);
  }
  bool Begin(std::string& error) override { return real_.Begin(error); }
  bool Commit(std::string& error) override { return real_.Commit(error); }
  bool Rollback(std::string& error) override { return real_.Rollback(error); }
  std::string RowLocator() const override { return real_.RowLocator(); }
  db::Value LastInsertLocator() override { return real_.LastInsertLocator(); }
  int RowsPerInsert(int columns) const override { return real_.RowsPerInsert(columns); }
  std::unique_ptr<db::Statement> PrepareRowsInsert(const std::string& table,
                                                   const std::vector<std::string>& columns,
                                                   std::string& error) override {
    return real_.PrepareRowsInsert(table, columns, error);
  }
  bool InTransaction() override { return real_.InTransaction(); }
  std::string FatalCondition() const override { return real_.FatalCondition(); }
  bool LastFailureBusy() const override { return real_.LastFailureBusy(); }
  // The connection is this process's alone: it never waits.
  void SetBusyWait(double, std::function<void()>) override {}

 private:
  db::Backend& real_;
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
    return sqlite3_config(SQLITE_CONFIG_MALLOC, &kMethods) == SQLITE_OK;
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
  world.env.SetDatabaseOpener(
      [this](std::vector<std::string>&) { return std::make_unique<SharedBackend>(*live_); });
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
  live_.reset();
  std::vector<std::string> errors;
  live_ = db::OpenSqliteImage(database_, errors);
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
