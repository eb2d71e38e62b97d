#include "engine/DbConnection.h"

#include "engine/AccessSql.h"

std::string OneLine(std::string message) {
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

bool DbConnection::Open() {
  errors_.clear();
  Close();
  backend_ = env_.OpenDatabase(connectionString_, errors_);
  for (std::string& e : errors_) e = OneLine(std::move(e));
  return backend_ != nullptr;
}

void DbConnection::Close() {
  if (inTransaction_) CommitTransaction();
  backend_.reset();
}

std::string DbConnection::Translate(const std::string& sql) const {
  return backend_ ? accesssql::Translate(sql, backend_->dialect()) : sql;
}

bool DbConnection::Execute(const std::string& sql) {
  errors_.clear();
  if (!backend_) {
    errors_.push_back("The connection is not open.");
    return false;
  }
  std::string error;
  if (backend_->Execute(Translate(sql), error)) return true;
  errors_.push_back(OneLine(std::move(error)));
  return false;
}

bool DbConnection::BeginTransaction() {
  if (!backend_) return false;
  if (inTransaction_) return true;
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
  if (!backend_) return false;
  std::string error;
  if (backend_->Commit(error)) return true;
  errors_.assign(1, error);
  // A commit that failed leaves nothing half-written: the engine rolls back.
  std::string ignored;
  backend_->Rollback(ignored);
  return false;
}

FileTransaction::FileTransaction(DbConnection* connection) : connection_(connection) {
  if (connection_ == nullptr || connection_->InTransaction()) return;
  open_ = connection_->BeginTransaction();
  beginFailed_ = !open_;
  if (beginFailed_ && !connection_->Errors().empty())
    beginError_ = OneLine(connection_->Errors().front());
}

FileTransaction::~FileTransaction() {
  Commit();
}

bool FileTransaction::Commit() {
  if (!open_) return true;
  open_ = false;
  return connection_->CommitTransaction();
}
