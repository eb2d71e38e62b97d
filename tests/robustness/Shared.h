// What the robustness suites share: the records of each importer's output
// files as the extraction program writes them, and the SQLite databases they
// look into, read through SQLite's own interface (with the state of a whole
// database for comparing runs).
#pragma once

#include <sqlite3.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "RecordWriter.h"
#include "importers/layouts/ComparablesLayout.h"
#include "importers/layouts/FileIndexLayout.h"
#include "importers/layouts/LenderLayout.h"
#include "importers/layouts/NeighborhoodLayout.h"
#include "importers/layouts/SupplementLayout.h"

namespace robustness {

using samplehost::Framed;
using samplehost::RecordWriter;

inline std::string Lender(const std::string& id, const std::string& name,
                          const std::string& first = "", const std::string& last = "",
                          const std::string& city = "") {
  namespace l = layouts::lender;
  RecordWriter r(l::kRecordSize);
  r.Text(l::kLenderId, id).Text(l::kName, name).Text(l::kContactFirst, first);
  r.Text(l::kContactLast, last).Text(l::kCityStateZip, city);
  return Framed(r.bytes());
}

inline std::string FileIndex(const std::string& id, const std::string& street,
                             const std::string& path, bool due = true) {
  namespace i = layouts::fileindex;
  RecordWriter head(i::kHeadSize);
  head.Text(i::kFileId, id).Text(i::kStreet, street);
  if (due) head.Date(i::kDateDue, 9, 3, 2011);
  return Framed(head.bytes() + path);
}

// A head naming the neighborhood and `count` (the text's size unless given)
// as the length of the field text that follows.
inline std::string Neighborhood(const std::string& name, std::optional<int> count = {},
                                const std::string& text = std::string("N0Urban\x02N1Stable\x02\0\0",
                                                                      19)) {
  namespace n = layouts::neighborhood;
  RecordWriter head(n::kHeadSize);
  head.Text(n::kName, name)
      .Int16(n::kFieldTextLength, static_cast<std::int16_t>(count.value_or(text.size())));
  return Framed(head.bytes() + text);
}

inline std::string Comparable(const std::string& wcid, int price = 0,
                              const std::string& street = "") {
  namespace c = layouts::comparables;
  RecordWriter r(c::kRecordSize);
  r.Text(c::kWcid, wcid);
  for (int position = 0; position < c::kColumnCount; ++position) {
    const std::string_view column = c::kColumns[position].name;
    if (column == "Price") r.Int32(c::FieldAt(position), price);
    if (column == "xStreet") r.Text(c::FieldAt(position), street);
  }
  return Framed(r.bytes());
}

inline std::string Supplement(const std::string& wcid, const std::string& comment, int price = 0) {
  namespace s = layouts::supplement;
  RecordWriter r(s::kRecordSize);
  r.Text(s::kWcid.field, wcid)
      .Text(s::kComment.field, comment)
      .Int32(s::kFinalListPrice.field, price);
  return Framed(r.bytes());
}

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

// Every row of every table as "table\nvalue|value|...|" (without "ID": a
// rolled-back insert may use up numbers), sorted.
using DbState = std::vector<std::string>;

inline DbState ReadState(const std::string& path, std::string& integrity) {
  DbState state;
  integrity = Integrity(path);
  for (const auto& table :
       Query(path,
             "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%'"))
    for (const auto& row : Query(path, "SELECT * FROM \"" + table[0] + "\"", true)) {
      std::string joined = table[0] + "\n";
      for (const auto& v : row) joined += v + "|";
      state.push_back(joined);
    }
  std::sort(state.begin(), state.end());
  return state;
}

// How many times `what` occurs in `text`.
inline std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Rows in one state and not the other, counted both ways.
inline std::size_t Distance(const DbState& a, const DbState& b) {
  std::vector<std::string> diff;
  std::set_symmetric_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(diff));
  return diff.size();
}

}  // namespace robustness
