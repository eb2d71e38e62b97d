#include "platform/db/SqliteBackend.h"

#include <sqlite3.h>

#include <cctype>

namespace db {

namespace {

ColumnKind KindOfDeclaredType(const char* declared) {
  if (declared == nullptr) return ColumnKind::Other;
  std::string t;
  for (const char* p = declared; *p != '\0'; ++p)
    t += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
  if (t.find("INT") != std::string::npos) return ColumnKind::Integer;
  if (t == "BIT" || t == "BOOLEAN" || t == "YESNO") return ColumnKind::Bit;
  if (t.find("DATE") != std::string::npos || t.find("TIME") != std::string::npos)
    return ColumnKind::Date;
  if (t.find("CHAR") != std::string::npos || t.find("CLOB") != std::string::npos ||
      t.find("TEXT") != std::string::npos)
    return ColumnKind::Text;
  if (t.find("REAL") != std::string::npos || t.find("FLOA") != std::string::npos ||
      t.find("DOUB") != std::string::npos || t.find("NUM") != std::string::npos ||
      t.find("DEC") != std::string::npos)
    return ColumnKind::Real;
  return ColumnKind::Other;
}

class SqliteStatement final : public Statement {
 public:
  SqliteStatement(sqlite3* db, sqlite3_stmt* stmt) : db_(db), stmt_(stmt) {}
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
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return StepResult::Row;
    if (rc == SQLITE_DONE) return StepResult::Done;
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
    error_ = sqlite3_errmsg(db_);
    return false;
  }

  sqlite3* db_;
  sqlite3_stmt* stmt_;
  std::string error_;
};

class SqliteBackend final : public Backend {
 public:
  explicit SqliteBackend(sqlite3* db) : db_(db) {}
  ~SqliteBackend() override { sqlite3_close_v2(db_); }

  Dialect dialect() const override { return Dialect::SQLite; }

  std::unique_ptr<Statement> Prepare(const std::string& sql, std::string& error) override {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr);
    if (rc != SQLITE_OK || stmt == nullptr) {
      error = rc == SQLITE_OK ? "The statement is empty." : sqlite3_errmsg(db_);
      sqlite3_finalize(stmt);
      return nullptr;
    }
    return std::make_unique<SqliteStatement>(db_, stmt);
  }

  bool Execute(const std::string& sql, std::string& error) override {
    char* message = nullptr;
    int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message);
    if (rc == SQLITE_OK) return true;
    error = message ? message : sqlite3_errmsg(db_);
    sqlite3_free(message);
    return false;
  }

  bool Begin(std::string& error) override { return Execute("BEGIN IMMEDIATE", error); }
  bool Commit(std::string& error) override { return Execute("COMMIT", error); }
  bool Rollback(std::string& error) override { return Execute("ROLLBACK", error); }

  std::string RowLocator() const override { return "rowid"; }
  Value LastInsertLocator() override { return Value::Integer(sqlite3_last_insert_rowid(db_)); }

 private:
  sqlite3* db_;
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
  auto backend = std::make_unique<SqliteBackend>(db);
  std::string error;
  // The database is only read when first used: make a file that is not one
  // of ours fail here, at the connection, with a clear reason. A busy
  // database is waited for a while instead of failing at once.
  sqlite3_busy_timeout(db, 10000);
  if (!backend->Execute("PRAGMA schema_version", error)) {
    errors.push_back("'" + nativePath + "' is not a database this program can open: " + error);
    return nullptr;
  }
  // The default rollback journal is kept on purpose: between transactions the
  // database file alone is complete, so a plain copy of it is a good backup.
  return backend;
}

}  // namespace db
