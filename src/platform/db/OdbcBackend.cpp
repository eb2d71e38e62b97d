#include "platform/db/OdbcBackend.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/db/Connect.h"

namespace db {

namespace {

// Rows a server gets in one statement run: enough that the round trip is no
// longer what a row costs, few enough to hold in memory.
constexpr int kRowsPerRun = 2000;

bool Ok(SQLRETURN rc) {
  return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

// One ODBC handle, freed with the handle it belongs to still alive (members
// of the owners below are declared parent first, so they are freed child first).
class Handle {
 public:
  Handle() = default;
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (handle_ != SQL_NULL_HANDLE) SQLFreeHandle(type_, handle_);
  }

  bool Allocate(SQLSMALLINT type, SQLHANDLE parent) {
    type_ = type;
    return Ok(SQLAllocHandle(type, parent, &handle_));
  }
  SQLHANDLE get() const { return handle_; }
  SQLSMALLINT type() const { return type_; }
  void Free() {
    if (handle_ != SQL_NULL_HANDLE) SQLFreeHandle(type_, handle_);
    handle_ = SQL_NULL_HANDLE;
  }

 private:
  SQLSMALLINT type_ = SQL_HANDLE_ENV;
  SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

// The message text of every diagnostic record on `handle`, in order;
// `firstState` (when given) receives the SQLSTATE of the first record.
std::vector<std::string> Diagnostics(const Handle& handle, std::string* firstState = nullptr) {
  std::vector<std::string> messages;
  if (handle.get() == SQL_NULL_HANDLE) return messages;
  for (SQLSMALLINT record = 1;; ++record) {
    SQLCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    std::string text(512, '\0');
    SQLRETURN rc = SQLGetDiagRec(handle.type(), handle.get(), record, state, &native,
                                 reinterpret_cast<SQLCHAR*>(text.data()),
                                 static_cast<SQLSMALLINT>(text.size()), &length);
    if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(text.size())) {
      // The message did not fit: ask again with room for all of it.
      text.assign(static_cast<std::size_t>(length) + 1, '\0');
      rc = SQLGetDiagRec(handle.type(), handle.get(), record, state, &native,
                         reinterpret_cast<SQLCHAR*>(text.data()),
                         static_cast<SQLSMALLINT>(text.size()), &length);
    }
    if (!Ok(rc)) break;
    if (firstState != nullptr && record == 1) *firstState = reinterpret_cast<const char*>(state);
    text.resize(std::min<std::size_t>(static_cast<std::size_t>(length), text.size()));
    text.resize(std::strlen(text.c_str()));
    messages.push_back(std::move(text));
  }
  return messages;
}

// The first diagnostic message, or `fallback` when the driver left none.
std::string FirstDiagnostic(const Handle& handle, const std::string& fallback,
                            std::string* state = nullptr) {
  std::vector<std::string> messages = Diagnostics(handle, state);
  return messages.empty() ? fallback : messages.front();
}

// Runs `body`, turning an escaping exception into `failure` with its reason in
// `error`: no routine of this backend lets one reach its caller.
template <typename Result, typename Body>
Result Guarded(std::string& error, Result failure, Body&& body) noexcept {
  try {
    return body();
  } catch (const std::exception& e) {
    error = e.what();
  } catch (...) {
    error = "Unexpected failure in the database driver layer.";
  }
  return failure;
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// A column name exactly as the engine reports it, quoted so that it stays one name.
std::string QuotedName(const std::string& name, Dialect dialect) {
  const char open = dialect == Dialect::SqlServer ? '[' : '"';
  const char close = dialect == Dialect::SqlServer ? ']' : '"';
  std::string quoted(1, open);
  for (char c : name) {
    if (c == close) quoted += close;
    quoted += c;
  }
  return quoted + close;
}

ColumnKind KindOfSqlType(SQLSMALLINT type) {
  switch (type) {
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIMESTAMP:
    case SQL_TYPE_TIME:
    case SQL_DATE:
    case SQL_TIMESTAMP:
    case SQL_TIME:
      return ColumnKind::Date;
    case SQL_BIT:
      return ColumnKind::Bit;
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
      return ColumnKind::Integer;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_NUMERIC:
    case SQL_DECIMAL:
      return ColumnKind::Real;
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_LONGVARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_WLONGVARCHAR:
    case SQL_GUID:
      return ColumnKind::Text;
    default:
      return ColumnKind::Other;
  }
}

// SQLite keeps the type name a column was declared with, and its driver
// reports it: a DATE or BIT column is one whatever storage the driver maps it to.
ColumnKind KindOfDeclaredName(const std::string& declared, ColumnKind fromSqlType) {
  const std::string t = Upper(declared);
  if (t == "BIT" || t == "BOOLEAN" || t == "YESNO") return ColumnKind::Bit;
  if (t.find("DATE") != std::string::npos || t.find("TIME") != std::string::npos)
    return ColumnKind::Date;
  return fromSqlType;
}

// The connection with its environment; shared by the backend and its
// statements so that no statement handle outlives the connection it runs on.
class Connection {
 public:
  Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection() {
    mark_.Free();  // before the connection it belongs to
    if (!connected_) return;
    // A transaction still open here was never committed: leave nothing of it.
    if (inTransaction_) {
      SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), SQL_ROLLBACK);
      SQLSetConnectAttr(dbc_.get(), SQL_ATTR_AUTOCOMMIT,
                        reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
    }
    SQLDisconnect(dbc_.get());
  }

  // Takes note of what a failure's SQLSTATE says about the database as a
  // whole: a lost connection, a full disk, damage end everything; a
  // serialization failure or deadlock has ended the transaction.
  void NoteFailure(const std::string& state) {
    busy_ = state == "HYT00" || state == "HYT01" || state == "55P03";
    const std::string cls = state.substr(0, 2);
    if (!fatal_.empty()) return;
    if (cls == "08")
      fatal_ = "the connection to the database was lost";
    else if (state == "53100")
      fatal_ = "the disk is full";
    else if (cls == "53")
      fatal_ = "the database server ran out of resources";
    else if (state == "58030")
      fatal_ = "an I/O error";
    else if (state == "XX001" || state == "XX002")
      fatal_ = "the database is damaged";
    else if (state == "25006")
      fatal_ = "the database is read-only";
    else if (state == "57P01" || state == "57P02" || state == "57P03")
      fatal_ = "the database server shut down";
    else if (state == "HY008")
      fatal_ = "the database cancelled the operation";
    else if ((cls == "40" || state == "25P02") && inTransaction_)
      lost_ = true;
  }
  // Runs `execute` (one statement run) so that a failure ends that statement
  // only. PostgreSQL ends the whole open transaction at a failed statement,
  // where the other engines end the statement alone: there, inside a
  // transaction, the statement runs under a savepoint that a failure rolls
  // back to. `execute` returns the ODBC result and notes its own failure.
  template <typename Execute>
  SQLRETURN StatementAlone(Execute&& execute) {
    const bool guarded = dialect_ == Dialect::PostgreSQL && inTransaction_ && !lost_;
    if (guarded && !Mark("SAVEPOINT ingestor_statement")) return SQL_ERROR;
    const SQLRETURN rc = execute();
    if (!guarded || !fatal_.empty()) return rc;
    Mark(Ok(rc) || rc == SQL_NO_DATA ? "RELEASE SAVEPOINT ingestor_statement"
                                     : "ROLLBACK TO SAVEPOINT ingestor_statement");
    return rc;
  }

  // Why no statement may run now, or "" when one may.
  std::string Refusal() const {
    if (!fatal_.empty()) return "The database cannot be used: " + fatal_ + ".";
    if (lost_) return "The database ended the transaction; nothing more is written.";
    return {};
  }

  Handle env_;  // declared before dbc_: freed after it
  Handle dbc_;
  Handle mark_;  // runs the savepoint statements
  bool connected_ = false;
  bool inTransaction_ = false;
  bool lost_ = false;  // the server rolled the open transaction back
  bool busy_ = false;  // the last failure was a lock wait that timed out
  std::string fatal_;
  Dialect dialect_ = Dialect::Access;

 private:
  bool Mark(const char* sql) {
    if (mark_.get() == SQL_NULL_HANDLE && !mark_.Allocate(SQL_HANDLE_STMT, dbc_.get()))
      return false;
    const SQLRETURN rc =
        SQLExecDirect(mark_.get(), reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql)), SQL_NTS);
    if (!Ok(rc)) {
      std::string state;
      FirstDiagnostic(mark_, "", &state);
      NoteFailure(state);
    }
    SQLFreeStmt(mark_.get(), SQL_CLOSE);
    return Ok(rc);
  }
};

class OdbcStatement final : public Statement {
 public:
  explicit OdbcStatement(std::shared_ptr<Connection> connection)
      : connection_(std::move(connection)) {}

  // Allocates the handle and prepares `sql` once.
  bool Prepare(const std::string& sql, std::string& error) {
    if (!HoldsOneStatement(sql)) {
      error = "The statement text holds more than one statement; it was not run.";
      return false;
    }
    if (!stmt_.Allocate(SQL_HANDLE_STMT, connection_->dbc_.get())) {
      error = FirstDiagnostic(connection_->dbc_, "Could not allocate a statement.");
      return false;
    }
    SQLRETURN rc =
        SQLPrepare(stmt_.get(), reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())),
                   static_cast<SQLINTEGER>(sql.size()));
    if (!Ok(rc)) {
      error = FirstDiagnostic(stmt_, "The statement could not be prepared.");
      return false;
    }
    return true;
  }

  bool Bind(int position, const Value& value) override {
    return Guarded(error_, false, [&] { return BindValue(position, value); });
  }

  StepResult Step() override {
    return Guarded(error_, StepResult::Error, [&] { return StepOnce(); });
  }

  bool Reset() override {
    return Guarded(error_, false, [&] {
      if (!executed_) return true;
      executed_ = false;
      done_ = false;
      row_.clear();
      // Closes the cursor only: the parameter bindings stay for the next run.
      if (!Ok(SQLFreeStmt(stmt_.get(), SQL_CLOSE))) {
        error_ = FirstDiagnostic(stmt_, "The statement could not be reset.");
        return false;
      }
      return true;
    });
  }

  int ColumnCount() override {
    return Guarded(error_, 0, [&] {
      Describe();
      return static_cast<int>(columns_.size());
    });
  }
  std::string ColumnName(int column) override {
    return Guarded(error_, std::string(), [&] {
      Describe();
      return InRange(column) ? columns_[column].name : std::string();
    });
  }
  ColumnKind ColumnType(int column) override {
    return Guarded(error_, ColumnKind::Other, [&] {
      Describe();
      return InRange(column) ? columns_[column].kind : ColumnKind::Other;
    });
  }
  Value Column(int column) override {
    return Guarded(error_, Value::Null(), [&] {
      if (column < 0 || column >= static_cast<int>(row_.size())) return Value::Null();
      return row_[column];
    });
  }
  std::string error() const override { return error_; }

  bool RunRows(const std::vector<std::vector<Value>>& rows,
               const std::vector<std::size_t>& positions) override {
    return Guarded(error_, false, [&] {
      return arrayColumns_ == 0 ? RunArrays(rows, positions) : RunAsColumnArrays(rows, positions);
    });
  }

  // Makes RunRows hand the rows to the server as one array text for each of
  // `columns` columns, the statement's parameters in column order.
  void TakeColumnArrays(std::size_t columns) { arrayColumns_ = columns; }

 private:
  struct ColumnInfo {
    std::string name;
    ColumnKind kind = ColumnKind::Other;
  };
  // A bound parameter's storage: its address is handed to the driver, which
  // reads it when the statement runs, so it lives in a node-stable map.
  struct Parameter {
    std::int64_t integer = 0;
    double real = 0;
    std::string text;
    SQLLEN indicator = 0;
  };

  bool InRange(int column) const {
    return column >= 0 && column < static_cast<int>(columns_.size());
  }

  bool BindValue(int position, const Value& value) {
    if (position < 1 || (ParameterCount() >= 0 && position > ParameterCount())) {
      error_ = "Parameter " + std::to_string(position) + " is out of range.";
      return false;
    }
    Parameter& p = parameters_[position];
    SQLSMALLINT cType;
    SQLSMALLINT sqlType;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    SQLPOINTER data;
    SQLLEN bufferLength = 0;
    if (value.IsNull()) {
      // The type of a NULL does not matter to the statement; text converts to any column.
      p.text.clear();
      p.indicator = SQL_NULL_DATA;
      cType = SQL_C_CHAR;
      sqlType = SQL_VARCHAR;
      size = 1;
      data = p.text.data();
    } else if (value.IsInteger()) {
      p.integer = value.integer();
      p.indicator = 0;
      cType = SQL_C_SBIGINT;
      sqlType = SQL_BIGINT;
      size = 19;
      data = &p.integer;
    } else if (value.IsReal()) {
      p.real = value.real();
      p.indicator = 0;
      cType = SQL_C_DOUBLE;
      sqlType = SQL_DOUBLE;
      size = 15;
      data = &p.real;
    } else {
      p.text = value.text();
      p.indicator = static_cast<SQLLEN>(p.text.size());
      cType = SQL_C_CHAR;
      sqlType = SQL_VARCHAR;
      size = p.text.empty() ? 1 : p.text.size();
      data = p.text.data();
      bufferLength = static_cast<SQLLEN>(p.text.size());
    }
    SQLRETURN rc =
        SQLBindParameter(stmt_.get(), static_cast<SQLUSMALLINT>(position), SQL_PARAM_INPUT, cType,
                         sqlType, size, digits, data, bufferLength, &p.indicator);
    if (!Ok(rc)) {
      error_ = FirstDiagnostic(stmt_, "The value could not be bound.");
      return false;
    }
    return true;
  }

  // The rows as one array text per column ('{"v1","v2",NULL}'), each bound
  // as one parameter: the server reads every row of them in one statement
  // run, each value by its column's own input rules (as it reads a file it
  // copies in).
  bool RunAsColumnArrays(const std::vector<std::vector<Value>>& rows,
                         const std::vector<std::size_t>& positions) {
    error_ = connection_->Refusal();
    if (!error_.empty()) return false;
    std::vector<std::string> arrays(arrayColumns_);
    std::vector<SQLLEN> lengths(arrayColumns_);
    std::string number;
    for (std::size_t c = 0; c < arrayColumns_; ++c) {
      std::string& a = arrays[c];
      a.reserve(rows.size() * 12);
      a = "{";
      for (std::size_t r = 0; r < rows.size(); ++r) {
        if (r) a += ',';
        const std::size_t at = c < positions.size() ? positions[c] : rows[r].size();
        const Value& v = at < rows[r].size() ? rows[r][at] : Value::Null();
        if (v.IsNull()) {
          a += "NULL";
          continue;
        }
        a += '"';
        const std::string_view text = v.IsText() ? v.text() : (number = v.ToText());
        for (std::size_t from = 0;;) {
          const std::size_t special = text.find_first_of("\"\\", from);
          a.append(text.substr(from, special - from));
          if (special == std::string_view::npos) break;
          a += '\\';
          a += text[special];
          from = special + 1;
        }
        a += '"';
      }
      a += '}';
      lengths[c] = static_cast<SQLLEN>(a.size());
      if (!Ok(SQLBindParameter(stmt_.get(), static_cast<SQLUSMALLINT>(c + 1), SQL_PARAM_INPUT,
                               SQL_C_CHAR, SQL_LONGVARCHAR, a.size(), 0, a.data(), lengths[c],
                               &lengths[c])))
        return Failed("The rows could not be bound.");
    }
    return RunOnce("The rows were not written.");
  }

  // Runs the statement as bound, alone (see StatementAlone), and closes it.
  bool RunOnce(const char* fallback) {
    std::string state;
    const SQLRETURN rc = connection_->StatementAlone([&] {
      const SQLRETURN result = SQLExecute(stmt_.get());
      if (!Ok(result) && result != SQL_NO_DATA) {
        error_ = FirstDiagnostic(stmt_, fallback, &state);
        connection_->NoteFailure(state);
      }
      return result;
    });
    SQLFreeStmt(stmt_.get(), SQL_CLOSE);
    SQLFreeStmt(stmt_.get(), SQL_RESET_PARAMS);
    parameters_.clear();
    if (Ok(rc) || rc == SQL_NO_DATA) return true;
    if (error_.empty()) error_ = connection_->Refusal();
    if (error_.empty()) error_ = fallback;
    return false;
  }

  // Binds each parameter once to an array of the rows' values, every value as
  // text (the server reads it as its column's type, as it reads a date), and
  // runs the statement over the array.
  bool RunArrays(const std::vector<std::vector<Value>>& rows,
                 const std::vector<std::size_t>& positions) {
    error_ = connection_->Refusal();
    if (!error_.empty() || rows.empty()) return error_.empty();
    const std::size_t count = rows.size();
    const std::size_t columns = positions.size();
    std::vector<std::string> texts(count * columns);
    std::vector<SQLLEN> lengths(count * columns);
    std::vector<std::size_t> widths(columns, 1);
    for (std::size_t r = 0; r < count; ++r)
      for (std::size_t c = 0; c < columns; ++c) {
        const Value& v = positions[c] < rows[r].size() ? rows[r][positions[c]] : Value::Null();
        std::string& text = texts[c * count + r];
        text = v.IsText() ? v.text() : v.ToText();
        lengths[c * count + r] = v.IsNull() ? SQL_NULL_DATA : static_cast<SQLLEN>(text.size());
        widths[c] = std::max(widths[c], text.size() + 1);
      }
    std::vector<std::vector<char>> buffers(columns);
    for (std::size_t c = 0; c < columns; ++c) {
      buffers[c].assign(widths[c] * count, '\0');
      for (std::size_t r = 0; r < count; ++r)
        std::memcpy(buffers[c].data() + r * widths[c], texts[c * count + r].data(),
                    texts[c * count + r].size());
    }
    // Column-wise arrays; a row's status is not needed: the rows land together or not at all.
    SQLFreeStmt(stmt_.get(), SQL_RESET_PARAMS);
    SQLSetStmtAttr(stmt_.get(), SQL_ATTR_PARAM_BIND_TYPE,
                   reinterpret_cast<SQLPOINTER>(SQL_PARAM_BIND_BY_COLUMN), 0);
    if (!Ok(SQLSetStmtAttr(stmt_.get(), SQL_ATTR_PARAMSET_SIZE,
                           reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(count)), 0)))
      return Failed("The driver takes no rows in arrays.");
    for (std::size_t c = 0; c < columns; ++c)
      if (!Ok(SQLBindParameter(stmt_.get(), static_cast<SQLUSMALLINT>(c + 1), SQL_PARAM_INPUT,
                               SQL_C_CHAR, SQL_VARCHAR, widths[c], 0, buffers[c].data(),
                               static_cast<SQLLEN>(widths[c]), lengths.data() + c * count)))
        return Failed("The values could not be bound.");
    const bool written = RunOnce("The rows were not written.");
    SQLSetStmtAttr(stmt_.get(), SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(1), 0);
    return written;
  }

  // The number of parameter markers, or -1 when the driver cannot tell.
  int ParameterCount() {
    if (parameterCount_ == kUnknown) {
      SQLSMALLINT n = 0;
      parameterCount_ = Ok(SQLNumParams(stmt_.get(), &n)) ? n : -1;
    }
    return parameterCount_;
  }

  StepResult StepOnce() {
    if (done_) return StepResult::Done;
    if (!executed_) {
      error_ = connection_->Refusal();
      if (!error_.empty()) return StepResult::Error;
      std::string state;
      const SQLRETURN rc = connection_->StatementAlone([&] {
        const SQLRETURN result = SQLExecute(stmt_.get());
        if (!Ok(result) && result != SQL_NO_DATA) {
          error_ = FirstDiagnostic(stmt_, "The statement failed.", &state);
          connection_->NoteFailure(state);
        }
        return result;
      });
      if (!Ok(rc) && rc != SQL_NO_DATA) {
        if (error_.empty()) error_ = connection_->Refusal();
        if (error_.empty()) error_ = "The statement could not be started.";
        // Leave the statement closed so that it can run again after new bindings.
        SQLFreeStmt(stmt_.get(), SQL_CLOSE);
        return StepResult::Error;
      }
      executed_ = true;
      SQLSMALLINT resultColumns = 0;
      if (!Ok(SQLNumResultCols(stmt_.get(), &resultColumns)) || resultColumns == 0) {
        done_ = true;
        return StepResult::Done;
      }
    }
    SQLRETURN rc = SQLFetch(stmt_.get());
    if (rc == SQL_NO_DATA) {
      done_ = true;
      row_.clear();
      return StepResult::Done;
    }
    if (!Ok(rc)) {
      error_ = FirstDiagnostic(stmt_, "The next row could not be read.");
      return StepResult::Error;
    }
    return ReadRow() ? StepResult::Row : StepResult::Error;
  }

  // Learns the result columns once (before or after the first run: some
  // drivers describe a result only once it exists).
  void Describe() {
    if (described_) return;
    SQLSMALLINT count = 0;
    if (!Ok(SQLNumResultCols(stmt_.get(), &count))) return;
    std::vector<ColumnInfo> columns;
    for (SQLUSMALLINT i = 1; i <= count; ++i) {
      ColumnInfo info;
      std::string name(256, '\0');
      SQLSMALLINT nameLength = 0;
      SQLSMALLINT type = 0;
      SQLULEN size = 0;
      SQLSMALLINT digits = 0;
      SQLSMALLINT nullable = 0;
      SQLRETURN rc = SQLDescribeCol(stmt_.get(), i, reinterpret_cast<SQLCHAR*>(name.data()),
                                    static_cast<SQLSMALLINT>(name.size()), &nameLength, &type,
                                    &size, &digits, &nullable);
      if (!Ok(rc)) return;
      if (nameLength >= static_cast<SQLSMALLINT>(name.size())) {
        name.assign(static_cast<std::size_t>(nameLength) + 1, '\0');
        SQLDescribeCol(stmt_.get(), i, reinterpret_cast<SQLCHAR*>(name.data()),
                       static_cast<SQLSMALLINT>(name.size()), &nameLength, &type, &size, &digits,
                       &nullable);
      }
      info.name = name.c_str();
      info.kind = KindOfSqlType(type);
      if (connection_->dialect_ == Dialect::SQLite) {
        char declared[256] = {};
        SQLSMALLINT declaredLength = 0;
        if (Ok(SQLColAttribute(stmt_.get(), i, SQL_DESC_TYPE_NAME, declared, sizeof declared,
                               &declaredLength, nullptr)))
          info.kind = KindOfDeclaredName(declared, info.kind);
      }
      columns.push_back(std::move(info));
    }
    columns_ = std::move(columns);
    // A statement described before it ran may report no columns yet.
    described_ = executed_ || !columns_.empty();
  }

  bool ReadRow() {
    Describe();
    row_.clear();
    row_.reserve(columns_.size());
    // Every column is read now, left to right: drivers need not allow
    // SQLGetData out of order or twice on a column.
    for (std::size_t i = 0; i < columns_.size(); ++i) {
      Value value;
      if (!ReadColumn(static_cast<SQLUSMALLINT>(i + 1), columns_[i].kind, value)) return false;
      row_.push_back(std::move(value));
    }
    return true;
  }

  bool ReadColumn(SQLUSMALLINT column, ColumnKind kind, Value& value) {
    SQLLEN indicator = 0;
    if (kind == ColumnKind::Integer || kind == ColumnKind::Bit) {
      SQLBIGINT n = 0;
      if (!Ok(SQLGetData(stmt_.get(), column, SQL_C_SBIGINT, &n, sizeof n, &indicator)))
        return Failed("The value could not be read.");
      if (indicator == SQL_NULL_DATA)
        value = Value::Null();
      else
        value = kind == ColumnKind::Bit ? Value::Bool(n != 0) : Value::Integer(n);
      return true;
    }
    if (kind == ColumnKind::Real) {
      double d = 0;
      if (!Ok(SQLGetData(stmt_.get(), column, SQL_C_DOUBLE, &d, sizeof d, &indicator)))
        return Failed("The value could not be read.");
      value = indicator == SQL_NULL_DATA ? Value::Null() : Value::Real(d);
      return true;
    }
    // Text, dates (as the driver writes them: ISO) and anything else, in pieces.
    std::string text;
    char buffer[4096];
    for (;;) {
      SQLRETURN rc = SQLGetData(stmt_.get(), column, SQL_C_CHAR, buffer, sizeof buffer, &indicator);
      if (rc == SQL_NO_DATA) break;
      if (!Ok(rc)) return Failed("The value could not be read.");
      if (indicator == SQL_NULL_DATA) {
        value = Value::Null();
        return true;
      }
      if (rc == SQL_SUCCESS && indicator != SQL_NO_TOTAL &&
          indicator < static_cast<SQLLEN>(sizeof buffer)) {
        text.append(buffer, static_cast<std::size_t>(indicator));
        break;
      }
      // A piece of a longer value, or its last piece of unknown length: the
      // buffer holds text up to its terminator.
      const std::size_t piece = strnlen(buffer, sizeof buffer - 1);
      text.append(buffer, piece);
      if (rc == SQL_SUCCESS || piece == 0) break;
    }
    value = Value::Text(std::move(text));
    return true;
  }

  bool Failed(const std::string& fallback) {
    error_ = FirstDiagnostic(stmt_, fallback);
    return false;
  }

  static constexpr int kUnknown = -2;

  std::shared_ptr<Connection> connection_;  // declared before stmt_: outlives it
  Handle stmt_;
  std::size_t arrayColumns_ = 0;  // see TakeColumnArrays
  std::map<int, Parameter> parameters_;
  int parameterCount_ = kUnknown;
  bool executed_ = false;
  bool done_ = false;
  bool described_ = false;
  std::vector<ColumnInfo> columns_;
  std::vector<Value> row_;
  std::string error_;
};

class OdbcBackend final : public Backend {
 public:
  explicit OdbcBackend(std::shared_ptr<Connection> connection)
      : connection_(std::move(connection)) {}

  Dialect dialect() const override { return connection_->dialect_; }

  std::unique_ptr<Statement> Prepare(const std::string& sql, std::string& error) override {
    return Guarded(error, std::unique_ptr<Statement>(), [&]() -> std::unique_ptr<Statement> {
      auto statement = std::make_unique<OdbcStatement>(connection_);
      if (!statement->Prepare(sql, error)) return nullptr;
      return statement;
    });
  }

  bool Execute(const std::string& sql, std::string& error) override {
    return Guarded(error, false, [&] {
      if (!HoldsOneStatement(sql)) {
        error = "The statement text holds more than one statement; it was not run.";
        return false;
      }
      error = connection_->Refusal();
      if (!error.empty()) return false;
      Handle stmt;
      if (!stmt.Allocate(SQL_HANDLE_STMT, connection_->dbc_.get())) {
        error = FirstDiagnostic(connection_->dbc_, "Could not allocate a statement.");
        return false;
      }
      const SQLRETURN rc = connection_->StatementAlone([&] {
        const SQLRETURN result =
            SQLExecDirect(stmt.get(), reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())),
                          static_cast<SQLINTEGER>(sql.size()));
        if (!Ok(result) && result != SQL_NO_DATA) {
          std::string state;
          error = FirstDiagnostic(stmt, "The statement failed.", &state);
          connection_->NoteFailure(state);
        }
        return result;
      });
      // SQL_NO_DATA: an UPDATE or DELETE that matched no row, which is no failure.
      if (Ok(rc) || rc == SQL_NO_DATA) return true;
      if (error.empty()) error = connection_->Refusal();
      if (error.empty()) error = "The statement could not be started.";
      return false;
    });
  }

  bool Begin(std::string& error) override {
    return Guarded(error, false, [&] {
      if (connection_->inTransaction_) {
        error = "A transaction is already open.";
        return false;
      }
      if (!SetAutocommit(false, error)) return false;
      connection_->inTransaction_ = true;
      return true;
    });
  }

  bool Commit(std::string& error) override {
    return Guarded(error, false, [&] { return EndTransaction(SQL_COMMIT, error); });
  }

  bool Rollback(std::string& error) override {
    return Guarded(error, false, [&] { return EndTransaction(SQL_ROLLBACK, error); });
  }

  std::string RowLocator() const override { return ""; }
  Value LastInsertLocator() override { return Value::Null(); }
  // Servers take many rows in one statement run (one round trip); other
  // engines through ODBC take them one by one.
  int RowsPerInsert(int) const override {
    const Dialect dialect = connection_->dialect_;
    return dialect == Dialect::PostgreSQL || dialect == Dialect::SqlServer ? kRowsPerRun : 1;
  }
  std::unique_ptr<Statement> PrepareRowsInsert(const std::string& table,
                                               const std::vector<std::string>& columns,
                                               std::string& error) override {
    return Guarded(error, std::unique_ptr<Statement>(), [&]() -> std::unique_ptr<Statement> {
      const Dialect dialect = connection_->dialect_;
      if (columns.empty() || (dialect != Dialect::PostgreSQL && dialect != Dialect::SqlServer))
        return nullptr;
      std::string names, marks, casts;
      if (dialect == Dialect::PostgreSQL) {
        // Each column's type without its length, so that a value too long
        // for its column is refused by the column, as a row alone would be.
        auto types = Prepare(
            "SELECT attname, format_type(atttypid, NULL) FROM pg_attribute "
            "WHERE attrelid = ?::regclass AND attnum > 0 AND NOT attisdropped",
            error);
        if (!types || !types->Bind(1, Value::Text(table))) return nullptr;
        std::map<std::string, std::string> typeOf;
        for (StepResult step; (step = types->Step()) == StepResult::Row;)
          typeOf[types->Column(0).ToText()] = types->Column(1).ToText();
        for (std::size_t i = 0; i < columns.size(); ++i) {
          const auto type = typeOf.find(columns[i]);
          if (type == typeOf.end()) return nullptr;
          // Set-returning functions side by side in the select list yield
          // their n-th elements together, row by row, without a stored copy;
          // each array is read with its column type's own input rules.
          casts += (i ? ", " : "") + std::string("unnest(?::") + type->second + "[])";
        }
      }
      for (const std::string& column : columns) {
        names += (names.empty() ? "" : ", ") + QuotedName(column, dialect);
        if (dialect == Dialect::SqlServer) marks += marks.empty() ? "?" : ", ?";
      }
      // PostgreSQL reads the rows from one array of each column's values;
      // SQL Server takes parameter arrays.
      const std::string sql =
          dialect == Dialect::PostgreSQL
              ? "INSERT INTO " + table + " (" + names + ") SELECT " + casts
              : "INSERT INTO " + table + " (" + names + ") VALUES (" + marks + ")";
      auto statement = std::make_unique<OdbcStatement>(connection_);
      if (!statement->Prepare(sql, error)) return nullptr;
      if (dialect == Dialect::PostgreSQL) statement->TakeColumnArrays(columns.size());
      return statement;
    });
  }

  bool InTransaction() override { return connection_->inTransaction_ && !connection_->lost_; }
  std::string FatalCondition() const override { return connection_->fatal_; }
  bool LastFailureBusy() const override { return connection_->busy_; }
  // The server's own lock waits apply; there is nothing to wait for here.
  void SetBusyWait(double, std::function<void()>) override {}

 private:
  bool SetAutocommit(bool on, std::string& error) {
    SQLRETURN rc = SQLSetConnectAttr(connection_->dbc_.get(), SQL_ATTR_AUTOCOMMIT,
                                     reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(
                                         on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF)),
                                     0);
    if (Ok(rc)) return true;
    error = FirstDiagnostic(connection_->dbc_, "The transaction mode could not be changed.");
    return false;
  }

  bool EndTransaction(SQLSMALLINT completion, std::string& error) {
    if (!connection_->inTransaction_) {
      error = "No transaction is open.";
      return false;
    }
    if (completion == SQL_COMMIT && connection_->lost_) {
      error = "The database ended the transaction before it was committed.";
      return false;  // the caller rolls back, which ends the lost transaction here too
    }
    if (!Ok(SQLEndTran(SQL_HANDLE_DBC, connection_->dbc_.get(), completion))) {
      // Still open: the caller may roll back.
      std::string state;
      error =
          FirstDiagnostic(connection_->dbc_,
                          completion == SQL_COMMIT ? "The transaction could not be committed."
                                                   : "The transaction could not be rolled back.",
                          &state);
      connection_->NoteFailure(state);
      return false;
    }
    connection_->inTransaction_ = false;
    connection_->lost_ = false;
    return SetAutocommit(true, error);
  }

  std::shared_ptr<Connection> connection_;
};

Dialect DialectOfDbms(const std::string& name) {
  const std::string upper = Upper(name);
  if (upper.rfind("SQLITE", 0) == 0) return Dialect::SQLite;
  if (upper.rfind("POSTGRESQL", 0) == 0) return Dialect::PostgreSQL;
  if (upper.find("SQL SERVER") != std::string::npos) return Dialect::SqlServer;
  return Dialect::Access;
}

std::unique_ptr<Backend> Connect(const std::string& connectionString,
                                 std::vector<std::string>& errors) {
  auto connection = std::make_shared<Connection>();
  if (!connection->env_.Allocate(SQL_HANDLE_ENV, SQL_NULL_HANDLE)) {
    errors.push_back("The ODBC driver manager could not be initialised.");
    return nullptr;
  }
  SQLSetEnvAttr(connection->env_.get(), SQL_ATTR_ODBC_VERSION,
                reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_OV_ODBC3)), 0);
  const std::size_t before = errors.size();
  if (!connection->dbc_.Allocate(SQL_HANDLE_DBC, connection->env_.get())) {
    for (std::string& m : Diagnostics(connection->env_)) errors.push_back(std::move(m));
    if (errors.size() == before) errors.push_back("Could not allocate an ODBC connection.");
    return nullptr;
  }
  SQLCHAR completed[1024];
  SQLSMALLINT completedLength = 0;
  SQLRETURN rc =
      SQLDriverConnect(connection->dbc_.get(), nullptr,
                       reinterpret_cast<SQLCHAR*>(const_cast<char*>(connectionString.c_str())),
                       SQL_NTS, completed, sizeof completed, &completedLength, SQL_DRIVER_NOPROMPT);
  if (!Ok(rc)) {
    for (std::string& m : Diagnostics(connection->dbc_)) errors.push_back(std::move(m));
    if (errors.size() == before) errors.push_back("The database connection could not be opened.");
    return nullptr;
  }
  connection->connected_ = true;

  char dbms[256] = {};
  SQLSMALLINT dbmsLength = 0;
  if (Ok(SQLGetInfo(connection->dbc_.get(), SQL_DBMS_NAME, dbms, sizeof dbms, &dbmsLength)))
    connection->dialect_ = DialectOfDbms(dbms);
  return std::make_unique<OdbcBackend>(std::move(connection));
}

}  // namespace

bool HoldsOneStatement(const std::string& sql) {
  bool ended = false;  // a ';' outside quotes was met
  for (std::size_t i = 0; i < sql.size(); ++i) {
    const char c = sql[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
      i = sql.find('\n', i);
      if (i == std::string::npos) break;
      continue;
    }
    if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
      i = sql.find("*/", i + 2);
      if (i == std::string::npos) break;
      ++i;
      continue;
    }
    if (ended) return false;
    if (c == ';') {
      ended = true;
      continue;
    }
    const char close = c == '\'' ? '\'' : c == '"' ? '"' : c == '[' ? ']' : c == '`' ? '`' : 0;
    if (close == 0) continue;
    // A doubled closing character stays inside the quotes.
    for (++i; i < sql.size(); ++i) {
      if (sql[i] != close) continue;
      if (i + 1 < sql.size() && sql[i + 1] == close) {
        ++i;
        continue;
      }
      break;
    }
  }
  return true;
}

std::unique_ptr<Backend> OpenOdbc(const std::string& connectionString,
                                  std::vector<std::string>& errors) {
  std::string error;
  auto backend =
      Guarded(error, std::unique_ptr<Backend>(), [&] { return Connect(connectionString, errors); });
  if (!backend && !error.empty()) errors.push_back(error);
  return backend;
}

bool OdbcDriverInstalled(const std::string& name) {
  std::string error;
  return Guarded(error, false, [&] {
    Handle env;
    if (!env.Allocate(SQL_HANDLE_ENV, SQL_NULL_HANDLE)) return false;
    SQLSetEnvAttr(env.get(), SQL_ATTR_ODBC_VERSION,
                  reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_OV_ODBC3)), 0);
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    for (;;) {
      SQLCHAR description[1024] = {};
      SQLSMALLINT descriptionLength = 0;
      SQLCHAR attributes[1024] = {};
      SQLSMALLINT attributesLength = 0;
      SQLRETURN rc =
          SQLDrivers(env.get(), direction, description, sizeof description, &descriptionLength,
                     attributes, sizeof attributes, &attributesLength);
      if (!Ok(rc)) return false;
      if (name == reinterpret_cast<const char*>(description)) return true;
      direction = SQL_FETCH_NEXT;
    }
  });
}

}  // namespace db
