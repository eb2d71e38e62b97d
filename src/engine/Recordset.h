// A keyed, updatable view of the rows a SELECT on one table returns, with the
// operations the importers use: position (Bof/Eof/MoveFirst/MoveNext), fields
// by position and by name, AddNew/Update/CancelUpdate with EditMode, and a
// Filter whose first matching row is the current row.
//
// Invariants:
// - A row added through the record set is seen by a later Filter on it.
// - Filter lookups cost no table scan per call, and n lookups against m rows
//   cost O(n + m): the first Filter on a set of columns indexes the rows once,
//   and AddNew/Update keep that index current.
// - Memory does not grow with the table where the engine names rows by a
//   locator (the embedded engine's rowid): the index then holds a hash of
//   each row's key and its locator (16 bytes a row), and a Filter reads only
//   the rows under its hash, keeping those whose key really matches. Only the
//   filtered rows and the current one are held. Without a locator the index
//   holds every row, all columns. Moving through all rows (MoveNext without a
//   filter) reads them all in either case.
// - Statements are prepared once per record set and shape, and re-used.
// - Values reach the database only as bound parameters.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/DbConnection.h"
#include "engine/KeyHashIndex.h"
#include "platform/db/Backend.h"

class Recordset {
 public:
  // EditMode values.
  static constexpr int kEditNone = 0;
  static constexpr int kEditInProgress = 1;
  static constexpr int kEditAdd = 2;

  // `hash` hashes filter keys where rows are indexed by locator; any function
  // gives the same rows (colliding keys are told apart by reading the rows).
  explicit Recordset(DbConnection& connection,
                     KeyHashIndex::HashFunction hash = &KeyHashIndex::HashOf);
  ~Recordset();
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  // Opens `source`: a SELECT of the host's SQL on one table (for example
  // "SELECT * FROM [Lenders] ORDER BY LenderDBID, LenderName") or a bare table
  // name. A read-only record set refuses AddNew and field writes. False with
  // the reason in error() when it cannot be opened.
  bool Open(const std::string& source, bool writable);
  int State() const { return open_ ? 1 : 0; }
  void Close();

  // Position within the rows (or the filtered rows): BOF and EOF.
  bool Bof() const;
  bool Eof() const;  // EOF is a macro of <cstdio>, hence the spelling
  bool MoveFirst();
  bool MoveNext();

  int FieldCount() const { return static_cast<int>(columns_.size()); }
  // "" for a position out of range.
  std::string FieldName(int position) const;
  // The position of a column named without regard to case; -1 when none.
  int FieldIndex(std::string_view name) const;
  // The value of the current row (or of the row being edited or added);
  // NULL without a current row.
  db::Value Field(int position) const;
  db::Value Field(std::string_view name) const;
  // Writes a field of the current row, starting an edit, or of the new row.
  // A value the column cannot hold (text in a number column, a date that
  // names no calendar day) is refused: false, error() says why, the field
  // keeps its value.
  bool SetField(int position, db::Value&& value);
  bool SetField(int position, const db::Value& value) {
    return SetField(position, db::Value(value));
  }
  bool SetField(std::string_view name, db::Value value);
  // The text of a text column of the row being added or edited, emptied,
  // for the caller to write in place: it keeps the storage of the field's
  // earlier text, so a long import fills its rows without allocating. The
  // field counts as set. Null when SetField must be used instead: no row is
  // being added or edited, or the column does not hold text.
  std::string* TextFieldToFill(int position);

  // Starts a new row (all fields NULL); EditMode becomes kEditAdd.
  bool AddNew();
  // Writes the new or edited row. The row stays current. False with the
  // database's reason in error(); the edit is then abandoned.
  bool Update();
  void CancelUpdate();
  int EditMode() const { return editMode_; }

  // New rows held back and written several to a statement: an import that
  // only adds rows spends much of its time starting one statement per row.
  // With holding on, Hold() takes a new row in place of Update(); WriteHeld()
  // writes every held row and gives each one's outcome, in the order held:
  // "" when it was written, else the database's reason, the one Update()
  // would have given (a statement the database refuses is taken back whole
  // and its rows written one at a time). A row is held only where no filter
  // has indexed the rows; rows listed so far are read again when needed. While
  // rows are held nothing else may be asked of the record set but AddNew,
  // SetField and Hold; Close() drops them unwritten.
  void HoldNewRows(bool on) { holdNewRows_ = on; }
  // False when the row was not held (holding is off, the row is not new or
  // writes other columns than the rows held): write it with Update().
  bool Hold();
  std::size_t HeldRows() const { return held_.size(); }
  // How many held rows make a full statement.
  std::size_t RowsPerStatement() const;
  void WriteHeld(std::vector<std::string>& outcomes);

  // Selects the rows matching a condition of the forms the importers build:
  // `Col = 5 AND Col2 = 'text'` (doubled apostrophes inside quotes); text
  // compares without regard to case. False when the condition cannot be read.
  bool SetFilter(const std::string& condition);
  // Filter = 0: every row again.
  void ClearFilter();

  const std::string& error() const { return error_; }
  // The table the record set reads and writes.
  const std::string& Table() const { return table_; }
  // The connection the record set reads and writes through.
  DbConnection& Connection() const { return connection_; }

 private:
  struct Row {
    db::Value locator;              // the engine's row locator, or NULL
    std::vector<db::Value> values;  // by position
    bool complete = true;           // false: columns the insert left to the engine are unknown
    std::vector<char> written;      // while incomplete: the columns the insert wrote (1/0)
  };
  using RowPtr = std::shared_ptr<Row>;
  // The values of the key columns, each tagged with its kind and ended by a
  // separator no text contains, in one string: one allocation per lookup.
  using Key = std::string;
  // Rows by the values of a set of columns, in record-set order.
  struct KeyIndex {
    std::vector<int> columns;
    std::unordered_map<Key, std::vector<RowPtr>> rows;
  };
  // Row locators by the hash of the values of a set of columns.
  struct LocatorIndex {
    std::vector<int> columns;
    KeyHashIndex locators;
  };

  bool Fail(std::string message) const;
  const std::vector<RowPtr>& View() const { return filtered_ ? *filtered_ : rows_; }
  Row* Current() const;
  // Reads every row of the source once (the first filter or MoveNext needs them).
  bool LoadAllRows();
  bool ReadRow(db::Statement& statement, Row& row) const;
  // Fills the columns of a row the engine chose itself (auto-numbers, defaults).
  bool Refresh(Row& row) const;
  // Reads `row` again by its locator (or values): false when the read failed
  // (error() says why); `found` false when there is no such row.
  bool Reread(Row& row, bool& found) const;
  db::Statement* Prepared(const std::string& hostSql) const;
  Key KeyOf(const std::vector<int>& columns, const std::vector<db::Value>& values) const;
  KeyIndex& IndexFor(const std::vector<int>& columns);
  static bool KnowsColumns(const Row& row, const std::vector<int>& columns);
  void IndexRow(const RowPtr& row);
  // Moves `row` to its new key in every key map (`before`: its values until now).
  void RekeyRow(const RowPtr& row, const std::vector<db::Value>& before);
  // Drops the rows the filter selected. Those nothing else holds (read by a
  // filter through the locator index) are kept for the next filter to read
  // into: reading a wide row afresh for every record allocates every column.
  void ReleaseFiltered();
  void KeepSpare(RowPtr row);
  RowPtr SpareRow();
  // The filter of SetFilter where rows are indexed by locator.
  bool FilterByLocator(const LocatorIndex& index, const std::vector<int>& columns,
                       const std::vector<db::Value>& probe);
  // nullptr when the index cannot be built (error() says why), or when the
  // rows' locators are not numbers (byLocator_ is then false).
  LocatorIndex* LocatorIndexFor(const std::vector<int>& columns);
  // Files a row added or changed through the record set under its new key
  // (`before`: its values until now, or nullptr for a new row).
  void IndexByLocator(Row& row, const std::vector<db::Value>* before);
  db::Statement* PrepareInsert();
  bool InsertPending();
  bool UpdateCurrent();
  // Appends "WHERE ..." naming `row` and binds its values from `position`.
  std::string RowCondition(const Row& row, std::vector<db::Value>& bindings) const;
  // Converts `value` in place to what the column holds; false (with error()) when it cannot.
  bool Coerce(int position, db::Value& value) const;
  bool Convert(int position, db::Value& value) const;  // Coerce's conversions

  DbConnection& connection_;
  bool open_ = false;
  bool writable_ = false;
  std::string table_;    // as named in the source, without brackets
  std::string tail_;     // WHERE / ORDER BY clauses of the source, host SQL
  std::string locator_;  // the engine's row locator expression, or ""
  std::vector<std::string> columns_;
  std::vector<db::ColumnKind> kinds_;
  // Positions by name, ignoring ASCII case: an open-addressed table of
  // position + 1 (0 is a free slot), a power of two at least twice the
  // columns. Built once at Open without copying a name, so a wide table opens
  // and looks a name up without allocating. The first of two names that
  // differ only in case wins.
  std::vector<int> positionSlots_;

  // Rows read so far in record-set order: the first row after Open, every row
  // once LoadAllRows ran. Rows added later are appended while every row is
  // loaded; before that only the last one is kept (as current_), so a long
  // import of new rows holds no rows in memory.
  std::vector<RowPtr> rows_;
  bool allRowsLoaded_ = false;
  // rows_ misses rows added, or changes made to rows filtered, through the
  // record set; the next MoveFirst reads the rows again.
  bool addedUnlisted_ = false;
  std::vector<KeyIndex> indexes_;  // without a locator
  // With a locator; dropped (and built again when needed) should a row come
  // without one.
  std::vector<LocatorIndex> locatorIndexes_;
  bool byLocator_ = false;  // filters use locatorIndexes_
  KeyHashIndex::HashFunction hash_;
  std::vector<KeyHashIndex::Locator> candidates_;  // re-used by every filter

  std::optional<std::vector<RowPtr>> filtered_;  // the rows a filter selected
  std::vector<RowPtr> spareRows_;                // see ReleaseFiltered
  std::vector<db::Value> probe_;  // a filter's values by position, kept for the next filter
  std::size_t position_ = 0;      // index into the view
  RowPtr current_;                // overrides the view after Update of a new row

  int editMode_ = kEditNone;
  std::vector<db::Value> pending_;  // the row being added or edited
  std::vector<char> touched_;

  mutable std::map<std::string, std::unique_ptr<db::Statement>> statements_;  // by host SQL
  // INSERT statements by the columns they write, so adding a row builds no SQL text.
  std::map<std::vector<char>, db::Statement*> insertByColumns_;
  std::vector<char> lastInsertColumns_;  // an import writes the same columns row after row
  db::Statement* lastInsert_ = nullptr;
  db::Statement* lastUpdate_ = nullptr;  // with the columns it sets and its WHERE text
  std::vector<char> lastUpdateColumns_;
  std::string lastUpdateWhere_;
  bool holdNewRows_ = false;
  std::vector<std::vector<db::Value>> held_;   // their values, by position
  std::vector<char> heldColumns_;              // the columns every held row writes
  std::vector<std::size_t> heldPositions_;     // the same, as positions
  std::unique_ptr<db::Statement> heldInsert_;  // writes a full run of them
  mutable std::size_t heldPerStatement_ = 0;   // RowsPerStatement(); 0 until asked
  bool pendingReused_ = false;                 // AddNew kept a written held row's values (Hold)
  std::vector<std::vector<db::Value>> spare_;  // storage of rows written, for new ones
  mutable std::string error_;
};
