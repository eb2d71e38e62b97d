// A whole unattended import run in-process (modIngestor::Main) against a
// sample host installation, with the platform seam's faults at hand, and a
// reader of what the database then holds.
#pragma once

#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "doubles/TestWorld.h"
#include "e2e/RunProgram.h"
#include "startup/modIngestor.h"
#include "support/modINIFile.h"

namespace robustness {

// Every non-empty table's rows, each row its values joined by '|' (the
// counter column "ID" left out: a rolled-back insert may use up numbers),
// sorted, by table name.
using DbState = std::map<std::string, std::vector<std::string>>;

inline std::vector<std::vector<std::string>> Query(sqlite3* db, const std::string& sql) {
  std::vector<std::vector<std::string>> rows;
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) return rows;
  while (sqlite3_step(st) == SQLITE_ROW) {
    std::vector<std::string> row;
    for (int c = 0; c < sqlite3_column_count(st); ++c) {
      const char* name = sqlite3_column_name(st, c);
      if (name != nullptr && std::string(name) == "ID") continue;
      const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
      row.emplace_back(t ? std::string(t, static_cast<std::size_t>(sqlite3_column_bytes(st, c)))
                         : "<null>");
    }
    rows.push_back(std::move(row));
  }
  sqlite3_finalize(st);
  return rows;
}

// The state of the database at `path`; `integrity` receives SQLite's verdict
// ("ok", or why the file cannot be read).
inline DbState ReadState(const std::string& path, std::string& integrity) {
  DbState state;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    integrity = db ? sqlite3_errmsg(db) : "cannot open";
    sqlite3_close_v2(db);
    return state;
  }
  auto check = Query(db, "PRAGMA integrity_check");
  integrity = check.size() == 1 && !check[0].empty() ? check[0][0] : "integrity check failed";
  for (const auto& table :
       Query(db,
             "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE "
             "'sqlite_%'")) {
    std::vector<std::string> rows;
    for (const auto& row : Query(db, "SELECT * FROM \"" + table[0] + "\"")) {
      std::string joined;
      for (const auto& v : row) joined += v + "|";
      rows.push_back(joined);
    }
    std::sort(rows.begin(), rows.end());
    if (!rows.empty()) state[table[0]] = std::move(rows);
  }
  sqlite3_close_v2(db);
  return state;
}

// Rows in one state and not the other, counted both ways.
inline std::size_t Distance(const DbState& a, const DbState& b) {
  std::size_t d = 0;
  auto rowsOf = [](const DbState& s, const std::string& t) {
    auto it = s.find(t);
    return it == s.end() ? std::vector<std::string>{} : it->second;
  };
  std::vector<std::string> tables;
  for (const auto& [t, rows] : a) tables.push_back(t);
  for (const auto& [t, rows] : b) tables.push_back(t);
  std::sort(tables.begin(), tables.end());
  tables.erase(std::unique(tables.begin(), tables.end()), tables.end());
  for (const std::string& t : tables) {
    const auto x = rowsOf(a, t), y = rowsOf(b, t);
    std::vector<std::string> diff;
    std::set_symmetric_difference(x.begin(), x.end(), y.begin(), y.end(), std::back_inserter(diff));
    d += diff.size();
  }
  return d;
}

// One import setting: the data type, the source files, the database before
// the import and the command-line switches.
struct Scenario {
  std::string name;
  std::string dataType;
  std::string database;  // file name; its template comes from the sample host
  std::vector<std::pair<std::string, std::string>> sources;  // name, bytes
  // Files copied into every source folder, never imported (lender.ini).
  std::vector<std::pair<std::string, std::string>> companions;
  // SQL run on the template copy before the import.
  std::vector<std::string> baseline;
  std::string noComparisons = "True";
  // Answers given to the questions (an overwrite for every conflict).
  std::vector<platform::MsgAnswer> answers;
};

struct RunResult {
  int status = -1;
  std::string log;  // the log file and every message box, one line each
  DbState state;
  std::string integrity;
};

class ImportWorld {
 public:
  explicit ImportWorld(Scenario scenario) : scenario_(std::move(scenario)) {
    hostReady_ = e2e::Run(INGESTOR_SAMPLE_HOST, {world.Native("host")}).status == 0;
    // A fixed clock: runs write the same log lines and backup folder name.
    world.env.SetLocalNow({2011, 4, 5, 10, 20, 30});
    world.env.SetMonotonic(1.0);
    world.env.SetVariable("WINDIR", world.Native("host"));
    world.env.SetVariable("INGESTOR_ALLOW_COMPARABLES", "1");
    if (!hostReady_) return;
    std::filesystem::copy_file(world.Native("host/Data/" + scenario_.database),
                               world.Native("baseline.mdb"));
    sqlite3* db = nullptr;
    if (sqlite3_open(world.Native("baseline.mdb").c_str(), &db) == SQLITE_OK)
      for (const std::string& sql : scenario_.baseline)
        baselineOk_ =
            sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK && baselineOk_;
    sqlite3_close(db);
  }
  bool Ready() const { return hostReady_ && baselineOk_; }

  // Runs the import of the source files whose bit is set in `mask`, from the
  // database's state before the import, with whatever faults are set.
  RunResult Run(unsigned mask) {
    namespace fs = std::filesystem;
    const std::string source = "src" + std::to_string(mask);
    fs::remove_all(world.Native(source));
    for (std::size_t i = 0; i < scenario_.sources.size(); ++i)
      if (mask & (1u << i))
        world.Write(source + "/" + scenario_.sources[i].first, scenario_.sources[i].second);
    for (const auto& [name, bytes] : scenario_.companions) world.Write(source + "/" + name, bytes);
    world.MakeFolder(source);
    fs::remove_all(world.Native("out"));
    world.MakeFolder("out");
    for (const char* leftover : {"db.mdb", "db.mdb-journal"}) fs::remove(world.Native(leftover));
    fs::copy_file(world.Native("baseline.mdb"), world.Native("db.mdb"));
    modINIFile::ClearINICache();
    world.ui.boxes.clear();
    world.env.printed.clear();
    world.ui.answers.assign(scenario_.answers.begin(), scenario_.answers.end());

    const std::string tail = e2e::TailPath(INGESTOR_SAMPLE_EXTRACTOR) + "/" +
                             world.Program(source) + "\\/" + world.Program("out") + "\\/" +
                             scenario_.dataType + "/" + world.Program("db.mdb") + "/False/" +
                             scenario_.noComparisons;
    RunResult r;
    r.status = modIngestor::Main(world.ctx, tail);
    if (afterImport) afterImport();
    r.log = e2e::LogIn(world.Native("out"));
    for (const auto& box : world.ui.boxes) r.log += box.text + "\n";
    for (const auto& line : world.env.printed) r.log += line + "\n";
    r.state = ReadState(world.Native("db.mdb"), r.integrity);
    return r;
  }
  unsigned AllFiles() const { return (1u << scenario_.sources.size()) - 1; }
  const Scenario& scenario() const { return scenario_; }

  testing_doubles::TestWorld world;
  // Runs between the import and the reading of its database.
  std::function<void()> afterImport;

 private:
  Scenario scenario_;
  bool hostReady_ = false;
  bool baselineOk_ = true;
};

}  // namespace robustness
