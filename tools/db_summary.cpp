// Prints every table of an embedded database with its number of rows, for the
// demo: db-summary FILE
#include <sqlite3.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ToolOptions.h"

namespace {

constexpr char kUsage[] =
    "Usage: db-summary DATABASE\n"
    "Lists every table of an embedded database file with its number of rows.\n"
    "The file is opened read-only and never created.\n";

}  // namespace

int main(int argc, char** argv) {
  if (const auto status = AnswerOption(argc, argv, "db-summary", kUsage)) return *status;
  if (argc != 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "db-summary: cannot open %s: %s\n", argv[1], sqlite3_errmsg(db));
    sqlite3_close(db);
    return 1;
  }
  std::vector<std::string> tables;
  sqlite3_stmt* list = nullptr;
  sqlite3_prepare_v2(db,
                     "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE "
                     "'sqlite_%' ORDER BY name",
                     -1, &list, nullptr);
  while (list && sqlite3_step(list) == SQLITE_ROW)
    tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(list, 0)));
  sqlite3_finalize(list);

  int status = 0;
  for (const std::string& table : tables) {
    std::string sql = "SELECT COUNT(*) FROM \"";
    for (char c : table) sql += c == '"' ? std::string("\"\"") : std::string(1, c);
    sql += "\"";
    sqlite3_stmt* count = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &count, nullptr) == SQLITE_OK &&
        sqlite3_step(count) == SQLITE_ROW) {
      std::printf("  %-20s %lld rows\n", table.c_str(), sqlite3_column_int64(count, 0));
    } else {
      std::fprintf(stderr, "db-summary: %s: %s\n", table.c_str(), sqlite3_errmsg(db));
      status = 1;
    }
    sqlite3_finalize(count);
  }
  sqlite3_close(db);
  return status;
}
