#include "engine/Recordset.h"

#include "engine/AccessSql.h"
#include "support/Conversions.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool StartsWithWord(std::string_view text, std::string_view word) {
  if (text.size() < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(text[i])) != word[i]) return false;
  return text.size() == word.size() ||
         !(std::isalnum(static_cast<unsigned char>(text[word.size()])) || text[word.size()] == '_');
}

// Column names compare as the engine compares them: ASCII letters without
// regard to case, every other byte as it is.
unsigned char LowerAscii(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
}

// FNV-1a over the lower-cased bytes.
std::size_t NameHash(std::string_view name) {
  std::size_t h = 14695981039346656037ULL;
  for (char c : name) {
    h ^= LowerAscii(c);
    h *= 1099511628211ULL;
  }
  return h;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

std::string_view SkipSpaces(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  return s;
}

// A table or column name at the start of `s`: [bracketed], "quoted" or a
// plain identifier. Advances `s` past it.
std::optional<std::string> TakeName(std::string_view& s) {
  s = SkipSpaces(s);
  if (s.empty()) return std::nullopt;
  if (s.front() == '[' || s.front() == '"') {
    // A doubled closing character stands for one inside the name.
    const char close = s.front() == '[' ? ']' : '"';
    std::string name;
    for (std::size_t i = 1; i < s.size(); ++i) {
      if (s[i] != close) {
        name += s[i];
      } else if (i + 1 < s.size() && s[i + 1] == close) {
        name += close;
        ++i;
      } else {
        s.remove_prefix(i + 1);
        return name;
      }
    }
    return std::nullopt;
  }
  std::size_t n = 0;
  while (n < s.size() && (std::isalnum(static_cast<unsigned char>(s[n])) || s[n] == '_')) ++n;
  if (n == 0) return std::nullopt;
  std::string name(s.substr(0, n));
  s.remove_prefix(n);
  return name;
}

std::string Bracketed(const std::string& name) {
  return accesssql::Bracket(name);
}

// The canonical text of a number, so 5, 5.0 and '5' make the same key.
std::string NumberKey(double v) {
  char buf[32];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  return ec == std::errc() ? std::string(buf, end) : std::to_string(v);
}

bool IsLeap(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

bool IsCalendarDate(int y, int m, int d) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
  return d <= kDays[m - 1] + (m == 2 && IsLeap(y) ? 1 : 0);
}

// Reads up to `maxDigits` digits; false when there are none.
bool TakeNumber(std::string_view& s, int maxDigits, int& out) {
  int n = 0;
  out = 0;
  while (n < maxDigits && n < static_cast<int>(s.size()) &&
         std::isdigit(static_cast<unsigned char>(s[n]))) {
    out = out * 10 + (s[n] - '0');
    ++n;
  }
  s.remove_prefix(n);
  return n > 0;
}

// A date text as the importers write it (MM-DD-YYYY, MM/DD/YYYY) or ISO
// (YYYY-MM-DD), optionally followed by a time; ISO text when it names a
// calendar day, nullopt otherwise.
std::optional<std::string> IsoDate(std::string_view text) {
  std::string_view s = SkipSpaces(text);
  int a, b, c;
  std::string_view rest = s;
  if (!TakeNumber(rest, 4, a) || rest.empty() || (rest[0] != '-' && rest[0] != '/'))
    return std::nullopt;
  char sep = rest[0];
  bool isoOrder = s.size() - rest.size() == 4;
  rest.remove_prefix(1);
  if (!TakeNumber(rest, 2, b) || rest.empty() || rest[0] != sep) return std::nullopt;
  rest.remove_prefix(1);
  if (!TakeNumber(rest, isoOrder ? 2 : 4, c)) return std::nullopt;
  int y = isoOrder ? a : c, m = isoOrder ? b : a, d = isoOrder ? c : b;
  if (!isoOrder && s.size() - rest.size() < 8)
    return std::nullopt;  // two-digit years are ambiguous
  std::string time;
  rest = SkipSpaces(rest);
  if (!rest.empty()) {
    int hh, mm, ss = 0;
    if (!TakeNumber(rest, 2, hh) || rest.empty() || rest[0] != ':') return std::nullopt;
    rest.remove_prefix(1);
    if (!TakeNumber(rest, 2, mm)) return std::nullopt;
    if (!rest.empty() && rest[0] == ':') {
      rest.remove_prefix(1);
      if (!TakeNumber(rest, 2, ss)) return std::nullopt;
    }
    if (!SkipSpaces(rest).empty() || hh > 23 || mm > 59 || ss > 59) return std::nullopt;
    if (hh != 0 || mm != 0 || ss != 0) {
      time += ' ';
      support::AppendPadded(time, static_cast<unsigned>(hh), 2);
      time += ':';
      support::AppendPadded(time, static_cast<unsigned>(mm), 2);
      time += ':';
      support::AppendPadded(time, static_cast<unsigned>(ss), 2);
    }
  }
  if (!IsCalendarDate(y, m, d)) return std::nullopt;
  std::string date;
  date.reserve(10 + time.size());
  support::AppendPadded(date, static_cast<unsigned>(y), 4);
  date += '-';
  support::AppendPadded(date, static_cast<unsigned>(m), 2);
  date += '-';
  support::AppendPadded(date, static_cast<unsigned>(d), 2);
  return date + time;
}

// Rewrites a date's text as "YYYY-MM-DD[ hh:mm:ss]"; false, the text
// unchanged, when it is no calendar date.
bool ToIsoDate(std::string& text) {
  // MM-DD-YYYY exactly, the form every imported date has, is reordered where
  // it stands: the same ten characters, so nothing is allocated.
  auto digit = [&](std::size_t i) { return text[i] >= '0' && text[i] <= '9'; };
  if (text.size() == 10 && (text[2] == '-' || text[2] == '/') && text[5] == text[2] && digit(0) &&
      digit(1) && digit(3) && digit(4) && digit(6) && digit(7) && digit(8) && digit(9)) {
    auto number = [&](std::size_t at, std::size_t n) {
      int v = 0;
      for (std::size_t i = at; i < at + n; ++i) v = v * 10 + (text[i] - '0');
      return v;
    };
    if (!IsCalendarDate(number(6, 4), number(0, 2), number(3, 2))) return false;
    const char iso[] = {text[6], text[7], text[8], text[9], '-',
                        text[0], text[1], '-',     text[3], text[4]};
    text.assign(iso, sizeof iso);
    return true;
  }
  std::optional<std::string> iso = IsoDate(text);
  if (!iso) return false;
  text = std::move(*iso);
  return true;
}

// One "Col = literal" term of a filter condition.
struct Term {
  std::string column;
  db::Value value;
};

std::optional<std::vector<Term>> ParseCondition(std::string_view s) {
  std::vector<Term> terms;
  for (;;) {
    Term term;
    auto name = TakeName(s);
    if (!name) return std::nullopt;
    term.column = *name;
    s = SkipSpaces(s);
    if (s.empty() || s.front() != '=') return std::nullopt;
    s = SkipSpaces(s.substr(1));
    if (s.empty()) return std::nullopt;
    if (s.front() == '\'') {
      std::string text;
      std::size_t i = 1;
      for (;;) {
        if (i >= s.size()) return std::nullopt;
        if (s[i] == '\'') {
          if (i + 1 < s.size() && s[i + 1] == '\'') {
            text += '\'';
            i += 2;
            continue;
          }
          break;
        }
        text += s[i++];
      }
      s.remove_prefix(i + 1);
      term.value = db::Value::Text(std::move(text));
    } else {
      std::size_t n = 0;
      while (n < s.size() && (std::isdigit(static_cast<unsigned char>(s[n])) || s[n] == '-' ||
                              s[n] == '+' || s[n] == '.' || s[n] == 'e' || s[n] == 'E'))
        ++n;
      double v = 0;
      auto [end, ec] = std::from_chars(s.data() + (s[0] == '+' ? 1 : 0), s.data() + n, v);
      if (n == 0 || ec != std::errc() || end != s.data() + n) return std::nullopt;
      s.remove_prefix(n);
      term.value = db::Value::Real(v);
    }
    terms.push_back(std::move(term));
    s = SkipSpaces(s);
    if (s.empty()) return terms;
    if (!StartsWithWord(s, "AND")) return std::nullopt;
    s.remove_prefix(3);
  }
}

}  // namespace

Recordset::Recordset(DbConnection& connection, KeyHashIndex::HashFunction hash)
    : connection_(connection), hash_(hash) {}

Recordset::~Recordset() {
  Close();
}

bool Recordset::Fail(std::string message) const {
  error_ = OneLine(std::move(message));
  return false;
}

void Recordset::Close() {
  open_ = false;
  insertByColumns_.clear();
  lastInsert_ = nullptr;
  lastUpdate_ = nullptr;
  statements_.clear();
  columns_.clear();
  kinds_.clear();
  positionSlots_.clear();
  rows_.clear();
  indexes_.clear();
  locatorIndexes_.clear();
  byLocator_ = false;
  filtered_.reset();
  spareRows_.clear();
  probe_.clear();
  current_.reset();
  pending_.clear();
  touched_.clear();
  held_.clear();
  spare_.clear();
  heldInsert_.reset();
  heldPerStatement_ = 0;
  allRowsLoaded_ = false;
  addedUnlisted_ = false;
  position_ = 0;
  editMode_ = kEditNone;
}

bool Recordset::Open(const std::string& source, bool writable) {
  Close();
  error_.clear();
  db::Backend* backend = connection_.backend();
  if (backend == nullptr) return Fail("The connection is not open.");

  std::string_view s = SkipSpaces(source);
  if (StartsWithWord(s, "SELECT")) {
    s = SkipSpaces(s.substr(6));
    if (s.empty() || s.front() != '*') return Fail("Only SELECT * FROM one table can be opened.");
    s = SkipSpaces(s.substr(1));
    if (!StartsWithWord(s, "FROM")) return Fail("Only SELECT * FROM one table can be opened.");
    s.remove_prefix(4);
  }
  auto table = TakeName(s);
  s = SkipSpaces(s);
  if (!table || !(s.empty() || StartsWithWord(s, "WHERE") || StartsWithWord(s, "ORDER")))
    return Fail("Only SELECT * FROM one table can be opened: " + source);
  table_ = *table;
  tail_ = std::string(s);
  // Held before the first row is read: another import's rows are then either
  // all visible here or none of them.
  if (writable && !connection_.HoldTable(table_)) return Fail(connection_.Errors().front());
  locator_ = backend->RowLocator();
  byLocator_ = !locator_.empty();
  writable_ = writable;

  db::Statement* select = Prepared("SELECT * FROM " + Bracketed(table_) + " " + tail_);
  if (select == nullptr) return false;
  const int first = locator_.empty() ? 0 : 1;
  const int count = select->ColumnCount();
  columns_.reserve(static_cast<std::size_t>(std::max(count - first, 0)));
  kinds_.reserve(columns_.capacity());
  for (int c = first; c < count; ++c) {
    columns_.push_back(select->ColumnName(c));
    kinds_.push_back(select->ColumnType(c));
  }
  std::size_t slots = 8;
  while (slots < 2 * columns_.size()) slots *= 2;
  positionSlots_.assign(slots, 0);
  for (std::size_t c = 0; c < columns_.size(); ++c) {
    std::size_t at = NameHash(columns_[c]) & (slots - 1);
    for (; positionSlots_[at] != 0; at = (at + 1) & (slots - 1))
      if (SameName(columns_[positionSlots_[at] - 1], columns_[c])) break;
    if (positionSlots_[at] == 0) positionSlots_[at] = static_cast<int>(c) + 1;
  }
  auto row = std::make_shared<Row>();
  switch (select->Step()) {
    case db::StepResult::Row:
      ReadRow(*select, *row);
      rows_.push_back(std::move(row));
      break;
    case db::StepResult::Done:
      allRowsLoaded_ = true;
      break;
    case db::StepResult::Error:
      select->Reset();
      return Fail(select->error());
  }
  // The cursor is not kept open: some engines allow one active statement only.
  select->Reset();
  open_ = true;
  return true;
}

db::Statement* Recordset::Prepared(const std::string& hostSql) const {
  auto it = statements_.find(hostSql);
  if (it != statements_.end()) return it->second.get();
  db::Backend* backend = connection_.backend();
  if (backend == nullptr) {
    Fail("The connection is not open.");
    return nullptr;
  }
  std::string sql = connection_.Translate(hostSql);
  // The locator is selected first so that row identity survives any column list.
  if (!locator_.empty() && sql.rfind("SELECT * ", 0) == 0)
    sql = "SELECT " + locator_ + " AS ingestor_locator, * " + sql.substr(9);
  std::string error;
  auto statement = backend->Prepare(sql, error);
  if (!statement) {
    Fail(error);
    return nullptr;
  }
  return statements_.emplace(hostSql, std::move(statement)).first->second.get();
}

bool Recordset::ReadRow(db::Statement& statement, Row& row) const {
  const int first = locator_.empty() ? 0 : 1;
  row.locator = first ? statement.Column(0) : db::Value::Null();
  row.values.resize(columns_.size());
  for (std::size_t c = 0; c < columns_.size(); ++c)
    row.values[c] = statement.Column(static_cast<int>(c) + first);
  row.complete = true;
  row.written.clear();
  return true;
}

bool Recordset::LoadAllRows() {
  db::Statement* select = Prepared("SELECT * FROM " + Bracketed(table_) + " " + tail_);
  if (select == nullptr) return false;
  std::vector<RowPtr> rows;
  for (;;) {
    db::StepResult r = select->Step();
    if (r == db::StepResult::Done) break;
    if (r == db::StepResult::Error) {
      select->Reset();
      return Fail(select->error());
    }
    auto row = std::make_shared<Row>();
    ReadRow(*select, *row);
    rows.push_back(std::move(row));
  }
  select->Reset();
  rows_ = std::move(rows);
  allRowsLoaded_ = true;
  addedUnlisted_ = false;
  indexes_.clear();
  filtered_.reset();
  current_.reset();
  position_ = 0;
  return true;
}

Recordset::Row* Recordset::Current() const {
  if (current_) return current_.get();
  const auto& view = View();
  return position_ < view.size() ? view[position_].get() : nullptr;
}

bool Recordset::Bof() const {
  return Current() == nullptr && position_ == 0;
}
bool Recordset::Eof() const {
  return Current() == nullptr;
}

bool Recordset::MoveFirst() {
  if (!open_) return Fail("The record set is not open.");
  current_.reset();
  if (addedUnlisted_ && !filtered_ && !LoadAllRows()) return false;
  position_ = 0;
  return true;
}

bool Recordset::MoveNext() {
  if (!open_) return Fail("The record set is not open.");
  if (!allRowsLoaded_ && !filtered_) {
    // Only the first row was read: read them all, then step past the current one.
    Row* before = Current();
    db::Value locator = before ? before->locator : db::Value::Null();
    if (!LoadAllRows()) return false;
    position_ = 0;
    if (before && !locator.IsNull()) {
      while (position_ < rows_.size() && !(rows_[position_]->locator == locator)) ++position_;
    }
  }
  current_.reset();
  if (position_ < View().size()) ++position_;
  return true;
}

std::string Recordset::FieldName(int position) const {
  if (position < 0 || position >= FieldCount()) return "";
  return columns_[position];
}

int Recordset::FieldIndex(std::string_view name) const {
  if (positionSlots_.empty()) return -1;
  const std::size_t mask = positionSlots_.size() - 1;
  for (std::size_t at = NameHash(name) & mask; positionSlots_[at] != 0; at = (at + 1) & mask)
    if (SameName(columns_[positionSlots_[at] - 1], name)) return positionSlots_[at] - 1;
  return -1;
}

db::Value Recordset::Field(int position) const {
  if (position < 0 || position >= FieldCount()) return db::Value::Null();
  if (editMode_ == kEditAdd && !touched_[position]) return db::Value::Null();
  if (editMode_ != kEditNone) return pending_[position];
  Row* row = Current();
  if (row == nullptr) return db::Value::Null();
  if (!row->complete) Refresh(*row);
  return row->values[position];
}

db::Value Recordset::Field(std::string_view name) const {
  return Field(FieldIndex(name));
}

bool Recordset::SetField(std::string_view name, db::Value value) {
  int position = FieldIndex(name);
  if (position < 0)
    return Fail("Item cannot be found: there is no column '" + std::string(name) + "'.");
  return SetField(position, std::move(value));
}

bool Recordset::SetField(int position, db::Value&& value) {
  if (!open_) return Fail("The record set is not open.");
  if (!writable_) return Fail("The record set is read-only.");
  if (position < 0 || position >= FieldCount())
    return Fail("Item cannot be found: there is no column " + std::to_string(position) + ".");
  if (editMode_ == kEditNone) {
    Row* row = Current();
    if (row == nullptr) return Fail("Either BOF or EOF is true: there is no current row.");
    if (!row->complete) Refresh(*row);
    pending_ = row->values;
    touched_.assign(columns_.size(), false);
    editMode_ = kEditInProgress;
  }
  if (!Coerce(position, value)) return false;
  pending_[position] = std::move(value);
  touched_[position] = true;
  return true;
}

std::string* Recordset::TextFieldToFill(int position) {
  if (!open_ || !writable_ || editMode_ == kEditNone || position < 0 || position >= FieldCount() ||
      kinds_[position] != db::ColumnKind::Text)
    return nullptr;
  db::Value& value = pending_[position];
  if (!value.IsText()) value = db::Value::Text({});
  value.text().clear();
  touched_[position] = true;
  return &value.text();
}

bool Recordset::Coerce(int position, db::Value& value) const {
  // Nearly every value already has its column's kind: settled here, without
  // the conversions' set-up, since this runs for every field of every record.
  switch (kinds_[position]) {
    case db::ColumnKind::Text:
      if (value.IsText()) return true;
      break;
    case db::ColumnKind::Integer:
      if (value.IsInteger()) return true;
      break;
    case db::ColumnKind::Real:
      if (value.IsReal()) return true;
      break;
    default:
      break;
  }
  return value.IsNull() || Convert(position, value);
}

bool Recordset::Convert(int position, db::Value& value) const {
  const std::string& column = columns_[position];
  auto mismatch = [&](const char* what) {
    return Fail("Data type mismatch: '" + value.ToText() + "' is not " + what + " (column '" +
                column + "').");
  };
  const db::ColumnKind kind = kinds_[position];
  // Blank text in a number, truth or date column is no value at all.
  if (kind != db::ColumnKind::Text && kind != db::ColumnKind::Other && value.IsText() &&
      SkipSpaces(value.text()).empty()) {
    value = db::Value::Null();
    return true;
  }
  switch (kind) {
    case db::ColumnKind::Integer: {
      if (value.IsInteger()) return true;
      auto n = value.ToNumber();
      if (!n || std::fabs(*n) > 9.2e18) return mismatch("a whole number");
      value = db::Value::Integer(static_cast<std::int64_t>(std::nearbyint(*n)));
      return true;
    }
    case db::ColumnKind::Bit: {
      if (value.IsText()) {
        std::string t = Lower(SkipSpaces(value.text()));
        if (t == "true" || t == "yes" || t == "false" || t == "no") {
          value = db::Value::Bool(t == "true" || t == "yes");
          return true;
        }
      }
      auto n = value.ToNumber();
      if (!n) return mismatch("a truth value");
      value = db::Value::Bool(*n != 0);
      return true;
    }
    case db::ColumnKind::Real: {
      if (value.IsReal()) return true;
      auto n = value.ToNumber();
      if (!n) return mismatch("a number");
      value = db::Value::Real(*n);
      return true;
    }
    case db::ColumnKind::Date: {
      if (!value.IsText()) return mismatch("a date");
      if (!ToIsoDate(value.text())) return mismatch("a calendar date");
      return true;
    }
    case db::ColumnKind::Text:
      if (!value.IsText()) value = db::Value::Text(value.ToText());
      return true;
    case db::ColumnKind::Other:
      break;
  }
  return true;
}

bool Recordset::AddNew() {
  if (!open_) return Fail("The record set is not open.");
  if (!writable_) return Fail("The record set is read-only.");
  if (editMode_ != kEditNone && !Update()) return false;
  // A row re-used from held rows already written (Hold) keeps its values'
  // storage: a column this row does not set reads as NULL (Field,
  // InsertPending) and is never bound, so an old value is never seen.
  pendingReused_ = pending_.size() == columns_.size();
  if (!pendingReused_) pending_.assign(columns_.size(), db::Value::Null());
  touched_.assign(columns_.size(), false);
  editMode_ = kEditAdd;
  return true;
}

void Recordset::CancelUpdate() {
  editMode_ = kEditNone;
  // The values keep their storage for the next AddNew, which reads its
  // untouched columns as NULL (see there).
  touched_.clear();
}

bool Recordset::Update() {
  if (editMode_ == kEditNone) return true;
  bool ok = editMode_ == kEditAdd ? InsertPending() : UpdateCurrent();
  // A refused row is abandoned, so the next record starts clean.
  CancelUpdate();
  return ok;
}

db::Statement* Recordset::PrepareInsert() {
  std::string names, marks;
  for (std::size_t c = 0; c < columns_.size(); ++c) {
    if (!touched_[c]) continue;
    names += names.empty() ? "" : ", ";
    marks += marks.empty() ? "?" : ", ?";
    names += Bracketed(columns_[c]);
  }
  return Prepared(names.empty() ? "INSERT INTO " + Bracketed(table_) + " DEFAULT VALUES"
                                : "INSERT INTO " + Bracketed(table_) + " (" + names + ") VALUES (" +
                                      marks + ")");
}

std::size_t Recordset::RowsPerStatement() const {
  // Asked after every held row: known once for the held columns.
  if (heldPerStatement_ == 0) {
    const db::Backend* backend = connection_.backend();
    const int columns = static_cast<int>(std::count(heldColumns_.begin(), heldColumns_.end(), 1));
    heldPerStatement_ =
        backend == nullptr ? 1 : static_cast<std::size_t>(backend->RowsPerInsert(columns));
  }
  return heldPerStatement_;
}

bool Recordset::Hold() {
  if (!holdNewRows_ || editMode_ != kEditAdd || !indexes_.empty() || !locatorIndexes_.empty())
    return false;
  if (held_.empty()) {
    if (touched_ != heldColumns_) {
      heldInsert_.reset();
      heldPerStatement_ = 0;
    }
    heldColumns_ = touched_;
  } else if (touched_ != heldColumns_) {
    return false;
  }
  // Rows listed so far are read again when next needed: held rows have no
  // locator to be listed by.
  if (!rows_.empty() || allRowsLoaded_) {
    rows_.clear();
    allRowsLoaded_ = false;
    addedUnlisted_ = true;
  }
  held_.push_back(std::move(pending_));
  // The storage of rows written before is re-used: a long import allocates no
  // row per record.
  if (!spare_.empty()) {
    pending_ = std::move(spare_.back());
    spare_.pop_back();
  } else {
    pending_.clear();
  }
  editMode_ = kEditNone;
  touched_.clear();
  return true;
}

void Recordset::WriteHeld(std::vector<std::string>& outcomes) {
  outcomes.assign(held_.size(), std::string());
  if (held_.empty()) return;
  // A row being added or edited meanwhile stays as it is.
  std::vector<db::Value> editing = std::move(pending_);
  std::vector<char> editingColumns = std::move(touched_);
  const int editMode = editMode_;
  db::Backend* backend = connection_.backend();
  bool written = false;
  if (backend != nullptr && held_.size() > 1 && held_.size() == RowsPerStatement()) {
    if (!heldInsert_) {
      std::vector<std::string> names;
      heldPositions_.clear();
      for (std::size_t c = 0; c < columns_.size(); ++c) {
        if (!heldColumns_[c]) continue;
        names.push_back(columns_[c]);
        heldPositions_.push_back(c);
      }
      std::string error;
      heldInsert_ =
          backend->PrepareRowsInsert(connection_.Translate(Bracketed(table_)), names, error);
    }
    written = heldInsert_ && heldInsert_->RunRows(held_, heldPositions_);
    if (written) current_.reset();  // nothing lists or indexes held rows (Hold)
  }
  // Rows one statement could not carry, or that it refused whole, one by one:
  // each then has its own outcome, the one Update() gives.
  for (std::size_t r = 0; !written && r < held_.size(); ++r) {
    pending_ = std::move(held_[r]);
    touched_ = heldColumns_;
    editMode_ = kEditAdd;
    pendingReused_ = true;  // it may be a re-used one (AddNew)
    if (!Update()) outcomes[r] = error_;
  }
  if (written)
    for (std::vector<db::Value>& row : held_) spare_.push_back(std::move(row));
  held_.clear();
  pending_ = std::move(editing);
  touched_ = std::move(editingColumns);
  editMode_ = editMode;
}

bool Recordset::InsertPending() {
  if (lastInsert_ == nullptr || touched_ != lastInsertColumns_) {
    lastInsert_ = nullptr;
    db::Statement*& cached = insertByColumns_[touched_];
    if (cached == nullptr) cached = PrepareInsert();
    if (cached == nullptr) {
      insertByColumns_.erase(touched_);
      return false;
    }
    lastInsert_ = cached;
    lastInsertColumns_ = touched_;
  }
  db::Statement* insert = lastInsert_;
  int parameter = 0;
  for (std::size_t c = 0; c < columns_.size(); ++c) {
    if (!touched_[c]) continue;
    if (!insert->Bind(++parameter, pending_[c])) {
      insert->Reset();
      return Fail(insert->error());
    }
  }
  db::StepResult r = insert->Step();
  insert->Reset();
  if (r == db::StepResult::Error) return Fail(insert->error());

  // While rows are not listed, the last added row is held only as the current
  // one; its storage is re-used for the next, so a long import allocates no
  // row per record.
  RowPtr row = !allRowsLoaded_ && current_ && current_.use_count() == 1 ? std::move(current_)
                                                                        : std::make_shared<Row>();
  row->locator = connection_.backend()->LastInsertLocator();
  // Untouched columns hold whatever the engine chose (an auto-number, a default).
  row->complete = parameter == static_cast<int>(columns_.size());
  for (std::size_t c = 0; pendingReused_ && c < columns_.size(); ++c)
    if (!touched_[c]) pending_[c] = db::Value::Null();
  row->values.swap(pending_);
  if (!row->complete) row->written = touched_;
  // Rows are listed only when something already looks them up (a filter's key
  // map) or the listing holds rows; a table opened empty and only appended to
  // would otherwise keep every imported row in memory.
  if (allRowsLoaded_ && (!indexes_.empty() || !rows_.empty())) {
    rows_.push_back(row);
    IndexRow(row);
  } else {
    allRowsLoaded_ = false;
    addedUnlisted_ = true;
  }
  IndexByLocator(*row, nullptr);
  current_ = row;
  return true;
}

std::string Recordset::RowCondition(const Row& row, std::vector<db::Value>& bindings) const {
  std::string where;
  auto add = [&](const std::string& expression, const db::Value& v) {
    where += where.empty() ? " WHERE " : " AND ";
    if (v.IsNull()) {
      where += expression + " IS NULL";
    } else {
      where += expression + " = ?";
      bindings.push_back(v);
    }
  };
  if (!row.locator.IsNull()) {
    add(locator_, row.locator);
    return where;
  }
  // Without a locator a row is named by its values: an ID column when it has
  // one, else every column except approximate numbers.
  // Columns an insert left to the engine are unknown and name nothing.
  auto known = [&](std::size_t c) { return row.complete || row.written[c]; };
  int id = FieldIndex("ID");
  if (id >= 0 && known(id) && !row.values[id].IsNull()) {
    add(Bracketed(columns_[id]), row.values[id]);
    return where;
  }
  for (std::size_t c = 0; c < columns_.size(); ++c)
    if (known(c) && kinds_[c] != db::ColumnKind::Real) add(Bracketed(columns_[c]), row.values[c]);
  return where;
}

bool Recordset::Refresh(Row& row) const {
  bool found = false;
  return Reread(row, found) && found;
}

bool Recordset::Reread(Row& row, bool& found) const {
  found = false;
  std::vector<db::Value> bindings;
  std::string where = RowCondition(row, bindings);
  db::Statement* select = Prepared("SELECT * FROM " + Bracketed(table_) + where);
  if (select == nullptr) return false;
  for (std::size_t i = 0; i < bindings.size(); ++i) {
    if (!select->Bind(static_cast<int>(i) + 1, bindings[i])) {
      select->Reset();
      return Fail(select->error());
    }
  }
  const db::StepResult r = select->Step();
  found = r == db::StepResult::Row;
  if (found) ReadRow(*select, row);
  select->Reset();
  return r != db::StepResult::Error || Fail(select->error());
}

bool Recordset::UpdateCurrent() {
  Row* row = Current();
  if (row == nullptr) return Fail("Either BOF or EOF is true: there is no current row.");
  if (std::find(touched_.begin(), touched_.end(), true) == touched_.end()) return true;
  std::vector<db::Value> naming;
  const std::string where = RowCondition(*row, naming);
  // An import updates the same columns row after row, each named the same
  // way: the statement of the last update is used again without building its text.
  if (lastUpdate_ == nullptr || touched_ != lastUpdateColumns_ || where != lastUpdateWhere_) {
    std::string set;
    for (std::size_t c = 0; c < columns_.size(); ++c) {
      if (!touched_[c]) continue;
      set += set.empty() ? "" : ", ";
      set += Bracketed(columns_[c]) + " = ?";
    }
    lastUpdate_ = Prepared("UPDATE " + Bracketed(table_) + " SET " + set + where);
    if (lastUpdate_ == nullptr) return false;
    lastUpdateColumns_ = touched_;
    lastUpdateWhere_ = where;
  }
  db::Statement* update = lastUpdate_;
  int parameter = 0;
  auto bind = [&](const db::Value& value) {
    if (update->Bind(++parameter, value)) return true;
    update->Reset();
    return Fail(update->error());
  };
  for (std::size_t c = 0; c < columns_.size(); ++c)
    if (touched_[c] && !bind(pending_[c])) return false;
  for (const db::Value& value : naming)
    if (!bind(value)) return false;
  db::StepResult r = update->Step();
  update->Reset();
  if (r == db::StepResult::Error) return Fail(update->error());

  // Keep the key maps current: the row may have moved to another key. The
  // old values change places with the edit's, which keep their storage for
  // the next edit (CancelUpdate).
  RowPtr shared = current_ ? current_ : View()[position_];
  row->values.swap(pending_);
  const std::vector<db::Value>& before = pending_;
  if (shared && allRowsLoaded_) RekeyRow(shared, before);
  IndexByLocator(*row, &before);
  // Filtered rows were read on their own, not from the listing: it now holds
  // an old copy of this one.
  if (byLocator_ && filtered_ && !current_ && !rows_.empty()) addedUnlisted_ = true;
  return true;
}

Recordset::Key Recordset::KeyOf(const std::vector<int>& columns,
                                const std::vector<db::Value>& values) const {
  Key key;
  for (int c : columns) {
    const db::Value& v = values[c];
    if (v.IsNull()) {
      key += 'N';
    } else if (auto n = v.ToNumber(); n && (!v.IsText() || kinds_[c] != db::ColumnKind::Text)) {
      key += '#';
      key += NumberKey(*n);
    } else {
      // Text compares without regard to case, as the host's filters do.
      key += '\'';
      key += Lower(v.ToText());
    }
    key += '\0';
  }
  return key;
}

// Only a key column the insert left to the engine needs the row read back.
bool Recordset::KnowsColumns(const Row& row, const std::vector<int>& columns) {
  return row.complete ||
         std::all_of(columns.begin(), columns.end(), [&](int c) { return row.written[c]; });
}

Recordset::KeyIndex& Recordset::IndexFor(const std::vector<int>& columns) {
  for (auto& index : indexes_)
    if (index.columns == columns) return index;
  KeyIndex& index = indexes_.emplace_back();
  index.columns = columns;
  for (const auto& row : rows_) {
    if (!KnowsColumns(*row, columns)) Refresh(*row);
    index.rows[KeyOf(columns, row->values)].push_back(row);
  }
  return index;
}

void Recordset::IndexRow(const RowPtr& row) {
  for (auto& index : indexes_) {
    if (!KnowsColumns(*row, index.columns)) Refresh(*row);
    index.rows[KeyOf(index.columns, row->values)].push_back(row);
  }
}

void Recordset::RekeyRow(const RowPtr& row, const std::vector<db::Value>& before) {
  for (auto& index : indexes_) {
    Key old = KeyOf(index.columns, before);
    Key key = KeyOf(index.columns, row->values);
    // A row keeps its place among the rows of an unchanged key.
    if (old == key) continue;
    if (auto it = index.rows.find(old); it != index.rows.end()) {
      std::erase(it->second, row);
      if (it->second.empty()) index.rows.erase(it);
    }
    index.rows[std::move(key)].push_back(row);
  }
}

bool Recordset::SetFilter(const std::string& condition) {
  if (!open_) return Fail("The record set is not open.");
  if (editMode_ != kEditNone && !Update()) return false;
  auto terms = ParseCondition(condition);
  if (!terms || terms->empty()) return Fail("The filter cannot be read: " + condition);
  std::vector<std::pair<int, db::Value>> wanted;
  for (auto& term : *terms) {
    int position = FieldIndex(term.column);
    if (position < 0) return Fail("The filter names no column of the record set: " + term.column);
    wanted.emplace_back(position, std::move(term.value));
  }
  // Sorted by column, so "A = 1 AND B = 2" and "B = 2 AND A = 1" share a map.
  std::sort(wanted.begin(), wanted.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<int> columns;
  // Only the filter's columns of the probe are read (KeyOf): the others may
  // hold an earlier filter's values.
  std::vector<db::Value>& probe = probe_;
  probe.resize(columns_.size());
  for (auto& [position, value] : wanted) {
    columns.push_back(position);
    probe[position] = std::move(value);
  }
  if (byLocator_) {
    if (LocatorIndex* index = LocatorIndexFor(columns))
      return FilterByLocator(*index, columns, probe);
    // Still by locator: the index could not be built. Otherwise the rows
    // came without locators, and the key map serves instead.
    if (byLocator_) return false;
  }
  if (!allRowsLoaded_ || addedUnlisted_) {
    if (!LoadAllRows()) return false;
  }
  KeyIndex& index = IndexFor(columns);
  auto it = index.rows.find(KeyOf(columns, probe));
  filtered_ = it == index.rows.end() ? std::vector<RowPtr>() : it->second;
  current_.reset();
  position_ = 0;
  return true;
}

void Recordset::ClearFilter() {
  ReleaseFiltered();
  current_.reset();
  position_ = 0;
}

void Recordset::ReleaseFiltered() {
  if (filtered_)
    for (RowPtr& row : *filtered_)
      if (row.use_count() == 1) KeepSpare(std::move(row));
  filtered_.reset();
}

void Recordset::KeepSpare(RowPtr row) {
  // A filter selects one row or a few: a handful kept is enough.
  constexpr std::size_t kMostSpareRows = 4;
  if (spareRows_.size() < kMostSpareRows) spareRows_.push_back(std::move(row));
}

Recordset::RowPtr Recordset::SpareRow() {
  if (spareRows_.empty()) return std::make_shared<Row>();
  RowPtr row = std::move(spareRows_.back());
  spareRows_.pop_back();
  return row;
}

Recordset::LocatorIndex* Recordset::LocatorIndexFor(const std::vector<int>& columns) {
  for (auto& index : locatorIndexes_)
    if (index.columns == columns) return &index;
  // One pass over the locator and the key columns, in record-set order so
  // that rows of one key keep it.
  std::string names;
  for (int c : columns) names += ", " + Bracketed(columns_[c]);
  db::Statement* select =
      Prepared("SELECT " + locator_ + names + " FROM " + Bracketed(table_) + " " + tail_);
  if (select == nullptr) return nullptr;
  LocatorIndex index;
  index.columns = columns;
  std::vector<db::Value> values(columns_.size());
  for (;;) {
    const db::StepResult r = select->Step();
    if (r == db::StepResult::Done) break;
    if (r == db::StepResult::Error) {
      select->Reset();
      Fail(select->error());
      return nullptr;
    }
    db::Value locator = select->Column(0);
    if (!locator.IsInteger()) {
      // Not a locator this index can hold: filters fall back to the key map.
      select->Reset();
      byLocator_ = false;
      locatorIndexes_.clear();
      return nullptr;
    }
    for (std::size_t k = 0; k < columns.size(); ++k)
      values[columns[k]] = select->Column(static_cast<int>(k) + 1);
    index.locators.Append(hash_(KeyOf(columns, values)), locator.integer());
  }
  select->Reset();
  index.locators.Seal();
  return &locatorIndexes_.emplace_back(std::move(index));
}

void Recordset::IndexByLocator(Row& row, const std::vector<db::Value>* before) {
  if (locatorIndexes_.empty()) return;
  if (!row.locator.IsInteger()) {
    // The row cannot be filed: build the indexes again when next needed.
    locatorIndexes_.clear();
    return;
  }
  for (auto& index : locatorIndexes_) {
    if (!KnowsColumns(row, index.columns)) Refresh(row);
    const Key key = KeyOf(index.columns, row.values);
    if (before != nullptr) {
      const Key old = KeyOf(index.columns, *before);
      // A row keeps its place among the rows of an unchanged key.
      if (old == key) continue;
      index.locators.Remove(hash_(old), row.locator.integer());
    }
    index.locators.Add(hash_(key), row.locator.integer());
  }
}

bool Recordset::FilterByLocator(const LocatorIndex& index, const std::vector<int>& columns,
                                const std::vector<db::Value>& probe) {
  const Key key = KeyOf(columns, probe);
  candidates_.clear();
  index.locators.Find(hash_(key), candidates_);
  ReleaseFiltered();
  std::vector<RowPtr> matches;
  for (KeyHashIndex::Locator locator : candidates_) {
    RowPtr row = SpareRow();
    row->locator = db::Value::Integer(locator);
    bool found = false;
    if (!Reread(*row, found)) return false;
    // Gone (rolled back), another key of the same hash, or listed twice.
    if (!found || KeyOf(columns, row->values) != key ||
        std::any_of(matches.begin(), matches.end(),
                    [&](const RowPtr& m) { return m->locator == row->locator; })) {
      KeepSpare(std::move(row));
      continue;
    }
    matches.push_back(std::move(row));
  }
  filtered_ = std::move(matches);
  current_.reset();
  position_ = 0;
  return true;
}
