// The SQLite databases the robustness suites look into, read through SQLite's
// own interface, and the state of a whole database for comparing runs.
#pragma once

#include <sqlite3.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace robustness {

using Rows = std::vector<std::vector<std::string>>;

// The rows `sql` gives on the database at `path`, each value as text (NULL as
// "<null>"), the counter column "ID" left out when `skipId`; `error` receives
// why the statement did not run to its end.
inline Rows Query(const std::string& path, const std::string& sql, bool skipId = false,
                  std::string* error = nullptr) {
  Rows rows;
  sqlite3* db = nullptr;
  sqlite3_stmt* st = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
  while (rc == SQLITE_OK && (rc = sqlite3_step(st)) == SQLITE_ROW) {
    rc = SQLITE_OK;
    auto& row = rows.emplace_back();
    for (int c = 0; c < sqlite3_column_count(st); ++c) {
      if (skipId && std::string_view(sqlite3_column_name(st, c)) == "ID") continue;
      const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
      row.emplace_back(t ? std::string(t, static_cast<std::size_t>(sqlite3_column_bytes(st, c)))
                         : "<null>");
    }
  }
  if (rc != SQLITE_DONE && error) *error = db ? sqlite3_errmsg(db) : "cannot open";
  sqlite3_finalize(st);
  sqlite3_close_v2(db);
  return rows;
}

// Runs `sql` (any number of statements) on the database at `path`.
inline bool Exec(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  const bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
                  sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close_v2(db);
  return ok;
}

// SQLite's verdict on the file: "ok", or why it cannot be read.
inline std::string Integrity(const std::string& path) {
  std::string error;
  const Rows r = Query(path, "PRAGMA integrity_check", false, &error);
  return r.size() == 1 && r[0].size() == 1 ? r[0][0] : "integrity check failed: " + error;
}

// Every non-empty table's rows, each row its values joined by '|' (without
// "ID": a rolled-back insert may use up numbers), sorted, by table name.
using DbState = std::map<std::string, std::vector<std::string>>;

inline DbState ReadState(const std::string& path, std::string& integrity) {
  DbState state;
  integrity = Integrity(path);
  for (const auto& table : Query(path,
                                 "SELECT name FROM sqlite_master WHERE type = 'table' AND name "
                                 "NOT LIKE 'sqlite_%'")) {
    std::vector<std::string> rows;
    for (const auto& row : Query(path, "SELECT * FROM \"" + table[0] + "\"", true)) {
      std::string joined;
      for (const auto& v : row) joined += v + "|";
      rows.push_back(joined);
    }
    std::sort(rows.begin(), rows.end());
    if (!rows.empty()) state[table[0]] = std::move(rows);
  }
  return state;
}

// Rows in one state and not the other, counted both ways.
inline std::size_t Distance(const DbState& a, const DbState& b) {
  auto flat = [](const DbState& s) {
    std::vector<std::string> all;
    for (const auto& [table, rows] : s)
      for (const auto& row : rows) all.push_back(table + "\n" + row);
    std::sort(all.begin(), all.end());
    return all;
  };
  const auto x = flat(a), y = flat(b);
  std::vector<std::string> diff;
  std::set_symmetric_difference(x.begin(), x.end(), y.begin(), y.end(), std::back_inserter(diff));
  return diff.size();
}

}  // namespace robustness
