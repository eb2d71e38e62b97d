// The host's SQL (the Access dialect the string table is written in) turned
// into the dialect of the engine that runs it. Statements are accepted as
// they stand: bracketed names, COUNTER, SHORT, BYTE, BIT, TEXT(n), MEMO,
// SINGLE, DATE, and index names that are per table.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/db/Backend.h"

namespace accesssql {

// Translates one statement. Text inside '...' literals is never changed.
//  SQLite:     [x] -> "x"; COUNTER -> INTEGER PRIMARY KEY AUTOINCREMENT;
//              SHORT/BYTE/BIT/LONG -> INTEGER (declared types kept where they
//              tell the record set a column's kind: BIT, DATE); TEXT(n) ->
//              VARCHAR(n); TEXT -> VARCHAR(255); MEMO -> TEXT (never numeric
//              affinity, so '00123' stays text); SINGLE/DOUBLE -> REAL;
//              CREATE [UNIQUE] INDEX name ON t -> index "t_name".
//  PostgreSQL: brackets dropped (names fold to lower case consistently);
//              COUNTER -> SERIAL PRIMARY KEY; SHORT/BYTE/BIT -> SMALLINT;
//              TEXT(n) -> VARCHAR(n); MEMO -> TEXT; SINGLE -> REAL; DATE ->
//              DATE; per-table index names as for SQLite; ORDER BY items get
//              NULLS FIRST (ascending) or NULLS LAST (descending), so NULLs
//              sort as in SQLite.
//  Access:     unchanged.
std::string Translate(std::string_view sql, db::Dialect dialect);
// Translate, with the latest translations (a bounded number) kept for the
// whole process: an import translates the same few statements again and
// again (each record set of each file prepares the same SELECT, INSERT and
// UPDATE; values are bound, never part of the text). Safe from any thread.
std::string TranslateRemembered(const std::string& sql, db::Dialect dialect);

// The table and the column of "CREATE UNIQUE INDEX name ON table (column)",
// an index of one column (ASC allowed), names without brackets; nullopt for
// any other statement.
struct IndexedColumn {
  std::string table, column;
};
std::optional<IndexedColumn> UniqueIndexOfOneColumn(std::string_view sql);

// A name as the host's SQL writes it whatever it holds: in brackets, a ']'
// of the name doubled. Translate turns it into the engine's quoted form.
std::string Bracket(std::string_view name);
// The inside of Bracket(name), for a statement that has the brackets already.
std::string EscapeBracketed(std::string_view name);

}  // namespace accesssql
