// The engine's connection to its one database: opened from a connection
// string of the host's forms, it runs the host's SQL (translated for the
// engine behind it) and keeps the messages of its last operation, as the
// host's database objects do in their error collection.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/Env.h"
#include "platform/db/Backend.h"

// A driver message folded onto one line (some drivers' messages span lines;
// each becomes one log line).
std::string OneLine(std::string message);

class DbConnection {
 public:
  explicit DbConnection(platform::Env& env) : env_(env) {}
  // Closes, committing an open transaction: rows written stay written.
  ~DbConnection() { Close(); }
  DbConnection(const DbConnection&) = delete;
  DbConnection& operator=(const DbConnection&) = delete;

  void SetConnectionString(std::string text) { connectionString_ = std::move(text); }
  const std::string& ConnectionString() const { return connectionString_; }

  // Opens the database named by the connection string. On failure the
  // reasons are in Errors() and State() stays 0.
  bool Open();
  // 1 while open, 0 otherwise.
  int State() const { return backend_ ? 1 : 0; }
  // The messages of the last Open or Execute (empty after a clean one).
  const std::vector<std::string>& Errors() const { return errors_; }
  // Commits an open transaction, then closes.
  void Close();

  // Runs one statement of the host's SQL. False with the reason in Errors().
  bool Execute(const std::string& sql);

  // One transaction at a time: each output file is written in one. Begin on
  // an open transaction and Commit with none are no-ops that succeed.
  bool BeginTransaction();
  bool CommitTransaction();
  bool InTransaction() const { return inTransaction_; }

  // The engine behind an open connection; nullptr while closed.
  db::Backend* backend() { return backend_.get(); }
  // The host's SQL in this engine's dialect.
  std::string Translate(const std::string& sql) const;

 private:
  platform::Env& env_;
  std::string connectionString_;
  std::unique_ptr<db::Backend> backend_;
  std::vector<std::string> errors_;
  bool inTransaction_ = false;
};

// Keeps one transaction open for its lifetime and commits it on every exit
// path: a file's rows are either all in the database or (after a crash) none.
class FileTransaction {
 public:
  explicit FileTransaction(DbConnection* connection);
  ~FileTransaction();
  FileTransaction(const FileTransaction&) = delete;
  FileTransaction& operator=(const FileTransaction&) = delete;
  // Commits now; false when the commit failed (the reason is in Errors()).
  bool Commit();
  // True when the database refused to start the transaction: the rows are
  // then written one by one, and a crash could leave part of the file.
  bool BeginFailed() const { return beginFailed_; }
  // The database's reason when BeginFailed().
  const std::string& BeginError() const { return beginError_; }

 private:
  DbConnection* connection_;
  bool open_ = false;
  bool beginFailed_ = false;
  std::string beginError_;
};
