#include "platform/db/SqliteBackend.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <functional>
#include <map>
#include <string_view>

namespace db {

namespace {

ColumnKind KindOfTypeText(const char* declared) {
  // Declared types are short: upper-cased on the stack, a longer one on the heap.
  char small[32];
  std::string large;
  const std::size_t length = std::strlen(declared);
  char* upper = small;
  if (length > sizeof small) {
    large.resize(length);
    upper = large.data();
  }
  for (std::size_t i = 0; i < length; ++i)
    upper[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(declared[i])));
  const std::string_view t(upper, length);
  auto has = [&t](std::string_view part) { return t.find(part) != std::string_view::npos; };
  if (has("INT")) return ColumnKind::Integer;
  if (t == "BIT" || t == "BOOLEAN" || t == "YESNO") return ColumnKind::Bit;
  if (has("DATE") || has("TIME")) return ColumnKind::Date;
  if (has("CHAR") || has("CLOB") || has("TEXT")) return ColumnKind::Text;
  if (has("REAL") || has("FLOA") || has("DOUB") || has("NUM") || has("DEC"))
    return ColumnKind::Real;
  return ColumnKind::Other;
}

ColumnKind KindOfDeclaredType(const char* declared) {
  if (declared == nullptr) return ColumnKind::Other;
  // The columns of a wide table mostly share a few types: the last one asked
  // about is remembered.
  thread_local std::string lastDeclared;
  thread_local ColumnKind lastKind = ColumnKind::Other;
  if (lastDeclared == declared) return lastKind;
  lastKind = KindOfTypeText(declared);
  lastDeclared = declared;
  return lastKind;
}

// What the connection's failures say about the database as a whole, shared
// by the backend and its statements (which never outlive it).
struct Health {
  explicit Health(sqlite3* connection) : db(connection) {}

  // Takes note of a failed call's result code (extended codes are on).
  void Note(int rc) {
    busy = (rc & 0xff) == SQLITE_BUSY;
    if (!fatal.empty()) return;
    std::string what;
    switch (rc & 0xff) {
      case SQLITE_FULL:
        what = "the disk is full";
        break;
      case SQLITE_IOERR:
        what = "an I/O error";
        break;
      case SQLITE_READONLY:
        what = "the database is read-only";
        break;
      case SQLITE_CORRUPT:
        what = "the database file is damaged";
        break;
      case SQLITE_NOTADB:
        what = "the file is not a database";
        break;
      case SQLITE_CANTOPEN:
        what = "a file of the database could not be opened";
        break;
      default:
        return;
    }
    fatal = what + " (" + sqlite3_errmsg(db) + ")";
  }
  // Why no statement may run now, or "" when one may. After a failure that
  // ended the transaction the engine is back in autocommit: a statement now
  // would be committed on its own, outside the file's transaction.
  std::string Refusal() const {
    if (!fatal.empty()) return "The database cannot be used: " + fatal + ".";
    if (began && sqlite3_get_autocommit(db) != 0)
      return "The database ended the transaction; nothing more is written.";
    return {};
  }

  sqlite3* db;
  bool began = false;  // Begin succeeded and no Commit or Rollback followed
  bool busy = false;   // the last failure was the database being locked
  std::string fatal;
  double waitSeconds = 0;
  std::function<void()> waiting;
  std::chrono::steady_clock::time_point waitStart;
};

// Waits with growing pauses while another program holds the database; says
// so once at the start of each wait.
int WaitWhileBusy(void* arg, int count) {
  auto* health = static_cast<Health*>(arg);
  const auto now = std::chrono::steady_clock::now();
  if (count == 0) {
    health->waitStart = now;
    if (health->waitSeconds > 0 && health->waiting) health->waiting();
  }
  if (std::chrono::duration<double>(now - health->waitStart).count() >= health->waitSeconds)
    return 0;
  static constexpr int kPauseMs[] = {1, 2, 5, 10, 15, 20, 25, 25, 25, 50, 50};
  constexpr int kPauses = static_cast<int>(sizeof kPauseMs / sizeof kPauseMs[0]);
  sqlite3_sleep(count < kPauses ? kPauseMs[count] : 100);
  return 1;
}

// True when `tail`, the text after a prepared statement, holds no further
// statement (only white space, comments or empty statements).
bool NothingFollows(sqlite3* db, const char* tail) {
  while (tail != nullptr && *tail != '\0') {
    sqlite3_stmt* next = nullptr;
    const char* after = nullptr;
    if (sqlite3_prepare_v2(db, tail, -1, &next, &after) != SQLITE_OK || next != nullptr) {
      sqlite3_finalize(next);
      return false;
    }
    if (after == tail) return false;
    tail = after;
  }
  return true;
}

// Rows one INSERT carries at most: beyond a few dozen, starting a statement
// is no longer what a row costs.
constexpr int kMostRowsPerInsert = 64;

constexpr const char* kMoreThanOne =
    "The statement text holds more than one statement; it was not run.";

class SqliteStatement final : public Statement {
 public:
  SqliteStatement(Health& health, sqlite3_stmt* stmt)
      : db_(health.db), health_(health), stmt_(stmt) {}
  ~SqliteStatement() override { sqlite3_finalize(stmt_); }

  bool Bind(int position, const Value& value) override {
    int rc;
    if (value.IsNull())
      rc = sqlite3_bind_null(stmt_, position);
    else if (value.IsInteger())
      rc = sqlite3_bind_int64(stmt_, position, value.integer());
    else if (value.IsReal())
      rc = sqlite3_bind_double(stmt_, position, value.real());
    else
      rc = sqlite3_bind_text(stmt_, position, value.text().data(),
                             static_cast<int>(value.text().size()), SQLITE_STATIC);
    return Check(rc);
  }

  StepResult Step() override {
    error_ = health_.Refusal();
    if (!error_.empty()) return StepResult::Error;
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return StepResult::Row;
    if (rc == SQLITE_DONE) return StepResult::Done;
    health_.Note(rc);
    error_ = sqlite3_errmsg(db_);
    return StepResult::Error;
  }

  bool Reset() override {
    sqlite3_reset(stmt_);  // its result repeats the last step's error, already reported
    return true;
  }

  int ColumnCount() override { return sqlite3_column_count(stmt_); }
  std::string ColumnName(int column) override {
    const char* name = sqlite3_column_name(stmt_, column);
    return name ? name : "";
  }
  ColumnKind ColumnType(int column) override {
    return KindOfDeclaredType(sqlite3_column_decltype(stmt_, column));
  }
  Value Column(int column) override {
    switch (sqlite3_column_type(stmt_, column)) {
      case SQLITE_INTEGER:
        return Value::Integer(sqlite3_column_int64(stmt_, column));
      case SQLITE_FLOAT:
        return Value::Real(sqlite3_column_double(stmt_, column));
      case SQLITE_NULL:
        return Value::Null();
      default: {
        const unsigned char* text = sqlite3_column_text(stmt_, column);
        int size = sqlite3_column_bytes(stmt_, column);
        return Value::Text(std::string(reinterpret_cast<const char*>(text), size));
      }
    }
  }
  std::string error() const override { return error_; }

 private:
  bool Check(int rc) {
    if (rc == SQLITE_OK) return true;
    health_.Note(rc);
    error_ = sqlite3_errmsg(db_);
    return false;
  }

  sqlite3* db_;
  Health& health_;
  sqlite3_stmt* stmt_;
  std::string error_;
};

// Many rows in one INSERT ... VALUES (...), (...): a statement is atomic in
// SQLite, so a refused one is taken back whole. One prepared statement per
// row count met (a file's runs are full but for its last).
class SqliteRowsInsert final : public Statement {
 public:
  using PrepareFn = std::function<std::unique_ptr<Statement>(const std::string&, std::string&)>;
  SqliteRowsInsert(PrepareFn prepare, std::string head, std::string marks, int most)
      : prepare_(std::move(prepare)),
        head_(std::move(head)),
        marks_(std::move(marks)),
        most_(most) {}

  bool RunRows(const std::vector<std::vector<Value>>& rows,
               const std::vector<std::size_t>& positions) override {
    error_.clear();
    if (rows.empty()) return true;
    if (rows.size() > static_cast<std::size_t>(most_)) {
      error_ = "More rows than one statement carries.";
      return false;
    }
    std::unique_ptr<Statement>& insert = byCount_[rows.size()];
    if (!insert) {
      std::string sql = head_ + marks_;
      for (std::size_t r = 1; r < rows.size(); ++r) sql += ", " + marks_;
      insert = prepare_(sql, error_);
      if (!insert) return false;
    }
    int parameter = 0;
    bool ok = true;
    for (const std::vector<Value>& row : rows)
      for (std::size_t at : positions)
        ok = ok && at < row.size() && insert->Bind(++parameter, row[at]);
    ok = ok && insert->Step() != StepResult::Error;
    if (!ok) error_ = insert->error();
    insert->Reset();
    return ok;
  }
  bool Bind(int, const Value&) override { return false; }
  StepResult Step() override { return StepResult::Error; }
  bool Reset() override { return true; }
  int ColumnCount() override { return 0; }
  std::string ColumnName(int) override { return ""; }
  ColumnKind ColumnType(int) override { return ColumnKind::Other; }
  Value Column(int) override { return Value::Null(); }
  std::string error() const override { return error_; }

 private:
  PrepareFn prepare_;
  std::string head_, marks_;
  int most_;
  std::map<std::size_t, std::unique_ptr<Statement>> byCount_;
  std::string error_;
};

class SqliteBackend final : public Backend {
 public:
  explicit SqliteBackend(sqlite3* db) : db_(db), health_(db) {}
  ~SqliteBackend() override { sqlite3_close_v2(db_); }

  Dialect dialect() const override { return Dialect::SQLite; }

  std::unique_ptr<Statement> Prepare(const std::string& sql, std::string& error) override {
    error = health_.Refusal();
    if (!error.empty()) return nullptr;
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, &tail);
    if (rc != SQLITE_OK || stmt == nullptr) {
      if (rc != SQLITE_OK) health_.Note(rc);
      error = rc == SQLITE_OK ? "The statement is empty." : sqlite3_errmsg(db_);
      sqlite3_finalize(stmt);
      return nullptr;
    }
    if (!NothingFollows(db_, tail)) {
      error = kMoreThanOne;
      sqlite3_finalize(stmt);
      return nullptr;
    }
    return std::make_unique<SqliteStatement>(health_, stmt);
  }

  // Exactly one statement: text after the first one is refused, not run.
  bool Execute(const std::string& sql, std::string& error) override {
    std::unique_ptr<Statement> statement = Prepare(sql, error);
    if (!statement) {
      // An empty text (only spaces or comments) runs nothing and fails nothing.
      return error == "The statement is empty.";
    }
    StepResult r;
    while ((r = statement->Step()) == StepResult::Row) {
    }
    if (r == StepResult::Done) return true;
    error = statement->error();
    return false;
  }

  bool Begin(std::string& error) override {
    if (!Execute("BEGIN IMMEDIATE", error)) return false;
    health_.began = true;
    return true;
  }
  bool Commit(std::string& error) override {
    if (health_.began && sqlite3_get_autocommit(db_) != 0) {
      health_.began = false;
      error = "The database ended the transaction before it was committed" +
              (health_.fatal.empty() ? std::string() : ": " + health_.fatal) + ".";
      return false;
    }
    if (!Run("COMMIT", error)) return false;
    health_.began = false;
    return true;
  }
  bool Rollback(std::string& error) override {
    health_.began = false;
    if (sqlite3_get_autocommit(db_) != 0) return true;  // nothing is open
    return Run("ROLLBACK", error);
  }

  std::string RowLocator() const override { return "rowid"; }
  int RowsPerInsert(int columns) const override {
    if (columns <= 0) return 1;
    const int parameters = sqlite3_limit(db_, SQLITE_LIMIT_VARIABLE_NUMBER, -1);
    return std::clamp(parameters / columns, 1, kMostRowsPerInsert);
  }
  std::unique_ptr<Statement> PrepareRowsInsert(const std::string& table,
                                               const std::vector<std::string>& columns,
                                               std::string& error) override {
    error = health_.Refusal();
    const int most = RowsPerInsert(static_cast<int>(columns.size()));
    if (!error.empty() || columns.empty() || most < 2) return nullptr;
    std::string names, marks;
    for (const std::string& column : columns) {
      names += names.empty() ? "\"" : ", \"";
      for (char c : column) names += c == '"' ? std::string(2, c) : std::string(1, c);
      names += '"';
      marks += marks.empty() ? "(?" : ", ?";
    }
    return std::make_unique<SqliteRowsInsert>(
        [this](const std::string& sql, std::string& e) { return Prepare(sql, e); },
        "INSERT INTO " + table + " (" + names + ") VALUES ", marks + ")", most);
  }
  Value LastInsertLocator() override { return Value::Integer(sqlite3_last_insert_rowid(db_)); }

  bool InTransaction() override { return health_.began && sqlite3_get_autocommit(db_) == 0; }
  std::string FatalCondition() const override { return health_.fatal; }
  bool LastFailureBusy() const override { return health_.busy; }
  void SetBusyWait(double seconds, std::function<void()> waiting) override {
    health_.waitSeconds = seconds;
    health_.waiting = std::move(waiting);
    sqlite3_busy_handler(db_, &WaitWhileBusy, &health_);
  }

 private:
  // COMMIT and ROLLBACK run whatever failed before: they end what is open.
  bool Run(const char* sql, std::string& error) {
    const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) return true;
    health_.Note(rc);
    error = sqlite3_errmsg(db_);
    return false;
  }

  sqlite3* db_;
  Health health_;
};

}  // namespace

std::unique_ptr<Backend> OpenSqlite(const std::string& nativePath,
                                    std::vector<std::string>& errors) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(nativePath.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                           nullptr);
  if (rc != SQLITE_OK) {
    errors.push_back(rc == SQLITE_CANTOPEN
                         ? "Could not find or open file '" + nativePath + "'."
                         : std::string(db ? sqlite3_errmsg(db) : "out of memory"));
    sqlite3_close_v2(db);
    return nullptr;
  }
  sqlite3_extended_result_codes(db, 1);
  auto backend = std::make_unique<SqliteBackend>(db);
  std::string error;
  // The database is only read when first used: make a file that is not one
  // of ours fail here, at the connection, with a clear reason. A database
  // another program holds locked now is not checked here: its first statement
  // waits for it like any other (SetBusyWait), and says so.
  sqlite3_busy_timeout(db, 0);
  if (!backend->Execute("PRAGMA schema_version", error) && !backend->LastFailureBusy()) {
    errors.push_back("'" + nativePath + "' is not a database this program can open: " + error);
    return nullptr;
  }
  sqlite3_busy_timeout(db, 10000);
  // The default rollback journal is kept on purpose: between transactions the
  // database file alone is complete, so a plain copy of it is a good backup.
  return backend;
}

std::unique_ptr<Backend> OpenSqliteImage(std::string_view image, std::vector<std::string>& errors) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  // SQLite owns the copy (freed on close) and may grow it as rows are added.
  auto* bytes =
      rc == SQLITE_OK ? static_cast<unsigned char*>(sqlite3_malloc64(image.size() + 1)) : nullptr;
  if (bytes != nullptr) {
    std::memcpy(bytes, image.data(), image.size());
    rc = sqlite3_deserialize(db, "main", bytes, static_cast<sqlite3_int64>(image.size()),
                             static_cast<sqlite3_int64>(image.size() + 1),
                             SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_RESIZEABLE);
  }
  if (rc != SQLITE_OK || bytes == nullptr) {
    errors.push_back(db && rc != SQLITE_OK ? sqlite3_errmsg(db) : "out of memory");
    sqlite3_close_v2(db);
    return nullptr;
  }
  sqlite3_extended_result_codes(db, 1);
  return std::make_unique<SqliteBackend>(db);
}

}  // namespace db
