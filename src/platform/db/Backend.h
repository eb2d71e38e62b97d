// The database seam: what a database engine must offer so the record-set
// layer can work on it. Two implementations exist: the embedded SQLite
// engine and ODBC. SQL handed to a backend is already in its own dialect;
// translation from the host's SQL happens above this seam.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/db/Value.h"

namespace db {

enum class Dialect { SQLite, PostgreSQL, SqlServer, Access };

// What a column holds, from its declared type.
enum class ColumnKind { Integer, Real, Text, Date, Bit, Other };

enum class StepResult { Row, Done, Error };

// A prepared statement. Parameters are bound by 1-based position; a statement
// is re-used by Reset() and new bindings. A bound text is not copied: it must
// stay alive and unchanged until the statement is reset or bound again. Every
// failure is a value: the message is available from error().
class Statement {
 public:
  virtual ~Statement() = default;
  virtual bool Bind(int position, const Value& value) = 0;
  // Runs the statement (first call) or moves to the next row.
  virtual StepResult Step() = 0;
  // Makes the statement ready to run again; bindings are kept.
  virtual bool Reset() = 0;
  virtual int ColumnCount() = 0;
  virtual std::string ColumnName(int column) = 0;  // 0-based
  virtual ColumnKind ColumnType(int column) = 0;
  virtual Value Column(int column) = 0;
  virtual std::string error() const = 0;
  // Runs the statement once per row of `rows`, parameter i taking the value
  // at `positions[i]` of the row, in as few round trips as the engine allows,
  // all or nothing: false with error() when any row failed, and then none of
  // them is written. Only statements of Backend::PrepareRowsInsert run rows
  // so; others answer false without running anything.
  virtual bool RunRows(const std::vector<std::vector<Value>>& rows,
                       const std::vector<std::size_t>& positions) {
    (void)rows;
    (void)positions;
    return false;
  }
};

class Backend {
 public:
  virtual ~Backend() = default;
  virtual Dialect dialect() const = 0;
  // nullptr on failure, with the reason in `error`.
  virtual std::unique_ptr<Statement> Prepare(const std::string& sql, std::string& error) = 0;
  // Runs one statement that returns no rows.
  virtual bool Execute(const std::string& sql, std::string& error) = 0;
  virtual bool Begin(std::string& error) = 0;
  virtual bool Commit(std::string& error) = 0;
  virtual bool Rollback(std::string& error) = 0;
  // The expression that names a row of `table` stably for an UPDATE (SQLite:
  // "rowid"), or "" when the engine has none; the record set then names a
  // row by its original values.
  virtual std::string RowLocator() const = 0;
  // The locator value of the row the last INSERT added (SQLite: its rowid);
  // NULL when the engine cannot tell.
  virtual Value LastInsertLocator() = 0;
  // How many rows of `columns` values one RunRows of PrepareRowsInsert's
  // statement carries at most; 1 where rows are best added one at a time.
  virtual int RowsPerInsert(int columns) const = 0;
  // A statement that adds many rows to `table` (named in this engine's
  // dialect) in one RunRows, each row the values of `columns` (named exactly
  // as the engine reports them). A refused run leaves the transaction and
  // earlier rows as they were, so that its rows can be written again one by
  // one. nullptr where rows are added one at a time, or when it cannot be
  // prepared (`error` says why).
  virtual std::unique_ptr<Statement> PrepareRowsInsert(const std::string& table,
                                                       const std::vector<std::string>& columns,
                                                       std::string& error) = 0;

  // --- Failures that end more than one statement.
  // True while a transaction Begin started is open in the engine. False once
  // the engine ended it on its own after a failure (a full disk, an I/O
  // error roll it back): the backend then refuses every further write until
  // Commit or Rollback, so nothing lands outside the transaction.
  virtual bool InTransaction() = 0;
  // The condition that no later statement can get past, in a few words ("the
  // disk is full"), once a failure of this backend or its statements showed
  // one (full disk, I/O error, read-only, damaged or not a database); "" until
  // then. It stays set: the backend refuses every statement after it.
  virtual std::string FatalCondition() const = 0;
  // True when the last failure was the database being locked by another
  // program past the wait.
  virtual bool LastFailureBusy() const = 0;
  // How long a statement waits for another program that holds the database
  // before it fails as busy; `waiting` is called when such a wait begins.
  virtual void SetBusyWait(double seconds, std::function<void()> waiting) = 0;
};

}  // namespace db
