// The empty appraisal-index database the program carries: the definition of
// its one user table, FileIndex, from which the tools make a template
// database. The file index importer fills this table.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace templatedb {

enum class ColumnType { AutoNumber, Text, DateTime };

struct Column {
  std::string_view name;
  ColumnType type;
  int width;                     // characters, for text columns; 0 otherwise
  std::string_view description;  // as stored with the column; may be empty
};

inline constexpr std::string_view kProjectName = "Appraisals";
inline constexpr std::string_view kTableName = "FileIndex";
inline constexpr std::string_view kDatabaseFile = "Appraisals.mdb";

// The columns of FileIndex in table order.
std::span<const Column> FileIndexColumns();

// "CREATE TABLE FileIndex (ID COUNTER, FileID TEXT(9), ...)" in the database
// dialect the string table's SQL is written in.
std::string FileIndexCreateSql();

}  // namespace templatedb
