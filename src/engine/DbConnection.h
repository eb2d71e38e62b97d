// The engine's connection to its one database: opened from a connection
// string of the host's forms, it runs the host's SQL (translated for the
// engine behind it) and keeps the messages of its last operation, as the
// host's database objects do in their error collection.
#pragma once

#include <functional>
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
  // Ends the open transaction leaving nothing of it; true when none is open.
  bool RollbackTransaction();
  bool InTransaction() const { return inTransaction_; }
  // On a database server several imports may write at once. Inside a
  // transaction there, waits until no other import's transaction holds
  // `table` and then holds it until this transaction ends, so that what a
  // file looks up stays true until its rows are committed. True at once
  // outside a transaction or on a database file. False with the reason in
  // Errors().
  bool HoldTable(const std::string& table);

  // Called when a statement starts waiting for another program that holds
  // the database (once per transaction at most). How long it waits is
  // INGESTOR_BUSY_TIMEOUT seconds (600 when unset), read at Open.
  void SetWaitNotice(std::function<void()> notice) { waitNotice_ = std::move(notice); }
  // The condition that ended the database's use for this run ("the disk is
  // full (...)"), or "" while there is none.
  std::string FatalCondition() const;
  // True when the last failure was the database being locked past the wait.
  bool LastFailureBusy() const;
  // True when no further row can land as the caller meant: the database has
  // a fatal condition, or it ended the open transaction on its own.
  bool Broken();

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
  std::function<void()> waitNotice_;
  bool waitNoticed_ = false;  // in this transaction (or outside one)
};

// Keeps one transaction open for its lifetime and commits it on every exit
// path: a file's rows are either all in the database or (after a crash) none.
class FileTransaction {
 public:
  explicit FileTransaction(DbConnection* connection);
  ~FileTransaction();
  FileTransaction(const FileTransaction&) = delete;
  FileTransaction& operator=(const FileTransaction&) = delete;
  // Commits now; false when the commit failed (CommitError() says why).
  bool Commit();
  // Rolls back now: nothing of the file stays.
  void Rollback();
  const std::string& CommitError() const { return commitError_; }
  // True when the database refused to start the transaction: nothing of
  // the file may then be written.
  bool BeginFailed() const { return beginFailed_; }
  // The database's reason when BeginFailed().
  const std::string& BeginError() const { return beginError_; }
  // True when BeginFailed() because another program held the database past the wait.
  bool BeginBusy() const { return beginBusy_; }
  // True when writing must stop: the transaction could not start, or the
  // database ended it (or became unusable) since; the file then lands whole
  // or not at all.
  bool Stopped() const;

 private:
  DbConnection* connection_;
  bool open_ = false;
  bool beginFailed_ = false;
  bool beginBusy_ = false;
  std::string beginError_;
  std::string commitError_;
};
