#include "engine/DbConnection.h"

#include <cstdlib>
#include <memory>
#include <optional>

#include "engine/AccessSql.h"
#include "support/Conversions.h"

std::string OneLine(std::string message) {
  if (message.find_first_of("\r\n") == std::string::npos) return message;
  std::string out;
  out.reserve(message.size());
  bool inBreak = false;
  for (char c : message) {
    if (c == '\r' || c == '\n') {
      inBreak = true;
      continue;
    }
    if (inBreak && !out.empty()) out += ' ';
    inBreak = false;
    out += c;
  }
  return out;
}

namespace {

constexpr double kDefaultBusySeconds = 600;

// INGESTOR_BUSY_TIMEOUT as a number of seconds (0 or more); the default when
// it is unset or not such a number.
double BusySeconds(platform::Env& env) {
  const std::optional<std::string> text = env.Variable("INGESTOR_BUSY_TIMEOUT");
  if (!text || text->empty()) return kDefaultBusySeconds;
  char* end = nullptr;
  const double seconds = std::strtod(text->c_str(), &end);
  if (end == text->c_str() || *end != '\0' || !(seconds >= 0) || seconds > 1e9)
    return kDefaultBusySeconds;
  return seconds;
}

// On SQLite a table's INTEGER PRIMARY KEY is the row's own key, unique
// already; a unique index on that column alone is a second copy of it that
// every insert pays for and no look-up uses. The column must be the whole
// key: an index on one column of a key of several is kept.
bool DuplicatesRowKey(db::Backend& backend, const accesssql::IndexedColumn& index) {
  std::string error;
  std::unique_ptr<db::Statement> query = backend.Prepare(
      "SELECT SUM(pk > 0) = 1 AND SUM(pk = 1 AND name = ?2 COLLATE NOCASE AND "
      "upper(type) = 'INTEGER') = 1 FROM pragma_table_info(?1)",
      error);
  const db::Value table = db::Value::Text(index.table);
  const db::Value column = db::Value::Text(index.column);
  if (!query || !query->Bind(1, table) || !query->Bind(2, column) ||
      query->Step() != db::StepResult::Row)
    return false;  // the index is made, as asked
  const db::Value answer = query->Column(0);
  return answer.IsInteger() && answer.integer() == 1;
}

}  // namespace

bool DbConnection::Open() {
  errors_.clear();
  Close();
  backend_ = env_.OpenDatabase(connectionString_, errors_);
  for (std::string& e : errors_) e = OneLine(std::move(e));
  if (backend_ == nullptr) return false;
  backend_->SetBusyWait(BusySeconds(env_), [this] {
    if (waitNoticed_ || !waitNotice_) return;
    waitNoticed_ = true;
    waitNotice_();
  });
  return true;
}

std::string DbConnection::FatalCondition() const {
  return backend_ ? backend_->FatalCondition() : std::string();
}

bool DbConnection::LastFailureBusy() const {
  return backend_ && backend_->LastFailureBusy();
}

bool DbConnection::Broken() {
  if (!backend_) return false;
  return !backend_->FatalCondition().empty() || (inTransaction_ && !backend_->InTransaction());
}

void DbConnection::Close() {
  if (inTransaction_) CommitTransaction();
  backend_.reset();
}

std::string DbConnection::Translate(const std::string& sql) const {
  return backend_ ? accesssql::TranslateRemembered(sql, backend_->dialect()) : sql;
}

bool DbConnection::Execute(const std::string& sql) {
  errors_.clear();
  if (!backend_) {
    errors_.push_back("The connection is not open.");
    return false;
  }
  if (backend_->dialect() == db::Dialect::SQLite) {
    // Most statements are not index definitions: a word search settles that
    // before the statement is tokenized.
    const std::optional<accesssql::IndexedColumn> index =
        support::ContainsIgnoringCase(sql, "UNIQUE") ? accesssql::UniqueIndexOfOneColumn(sql)
                                                     : std::nullopt;
    if (index && DuplicatesRowKey(*backend_, *index)) return true;
  }
  std::string error;
  if (backend_->Execute(Translate(sql), error)) return true;
  errors_.push_back(OneLine(std::move(error)));
  return false;
}

bool DbConnection::HoldTable(const std::string& table) {
  if (!backend_ || !inTransaction_) return true;
  const db::Dialect dialect = backend_->dialect();
  if (dialect != db::Dialect::PostgreSQL && dialect != db::Dialect::SqlServer) return true;
  // A lock on the name rather than on the table: it also covers a table that
  // does not exist yet, so two imports never both try to create it. It is
  // released by the server when the transaction ends, whichever way.
  std::string name = "ingestor table ";
  for (char c : table) name += c == '\'' ? std::string("''") : std::string(1, c);
  const std::string sql =
      dialect == db::Dialect::PostgreSQL
          ? "SELECT pg_advisory_xact_lock(hashtext(lower('" + name + "')))"
          : "EXEC sp_getapplock @Resource = N'" + name +
                "', @LockMode = 'Exclusive', @LockOwner = 'Transaction', @LockTimeout = -1";
  errors_.clear();
  std::string error;
  if (backend_->Execute(sql, error)) return true;
  errors_.push_back(OneLine(std::move(error)));
  return false;
}

bool DbConnection::BeginTransaction() {
  if (!backend_) return false;
  if (inTransaction_) return true;
  waitNoticed_ = false;
  std::string error;
  if (!backend_->Begin(error)) {
    errors_.assign(1, error);
    return false;
  }
  inTransaction_ = true;
  return true;
}

bool DbConnection::CommitTransaction() {
  if (!inTransaction_) return true;
  inTransaction_ = false;
  waitNoticed_ = false;
  if (!backend_) return false;
  std::string error;
  if (backend_->Commit(error)) return true;
  errors_.assign(1, error);
  // A commit that failed leaves nothing half-written: the engine rolls back.
  std::string ignored;
  backend_->Rollback(ignored);
  return false;
}

bool DbConnection::RollbackTransaction() {
  if (!inTransaction_) return true;
  inTransaction_ = false;
  waitNoticed_ = false;
  if (!backend_) return false;
  std::string error;
  if (backend_->Rollback(error)) return true;
  errors_.assign(1, OneLine(std::move(error)));
  return false;
}

FileTransaction::FileTransaction(DbConnection* connection) : connection_(connection) {
  if (connection_ == nullptr || connection_->InTransaction()) return;
  open_ = connection_->BeginTransaction();
  beginFailed_ = !open_;
  if (!beginFailed_) return;
  beginBusy_ = connection_->LastFailureBusy();
  if (!connection_->Errors().empty()) beginError_ = OneLine(connection_->Errors().front());
}

bool FileTransaction::Stopped() const {
  return beginFailed_ || (connection_ != nullptr && connection_->Broken());
}

FileTransaction::~FileTransaction() {
  Commit();
}

bool FileTransaction::Commit() {
  if (!open_) return true;
  open_ = false;
  if (connection_->CommitTransaction()) return true;
  commitError_ =
      connection_->Errors().empty() ? "no reason given" : OneLine(connection_->Errors().front());
  return false;
}

void FileTransaction::Rollback() {
  if (!open_) return;
  open_ = false;
  connection_->RollbackTransaction();
}
