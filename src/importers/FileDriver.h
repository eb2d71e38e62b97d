// The steps every importer takes around one output file, so that an importer
// itself is its record layout, its row mapping and its conflict key.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/ImportSession.h"
#include "importers/layouts/RecordFraming.h"
#include "platform/db/Value.h"

namespace ui {
class FileProgressWindow;
}

namespace importers {

// "SELECT * FROM [table] ORDER BY <order>": the record set an importer fills.
std::string TableQuery(const std::string& table, int orderId);

// A text field of a record: its bytes up to the first NUL, trimmed of
// spaces, as a database text value.
db::Value TextField(std::string_view record, layouts::Field field);

// Opens `query` as the current record set for the file `entry`. When it
// cannot be opened the table is named in the log and the file counted as not
// imported (none of its records can land). The OpenRecordset result: 0 when
// not opened, 1 when the table is empty, -1 when it has rows.
int OpenTableForFile(ImportSession& session, std::string_view source, const std::string& entry,
                     const std::string& query, const std::string& table);

// True when the output file at `path` is there; otherwise logs the missing
// file under `source`.
bool SourceFileFound(ImportSession& session, std::string_view source, const std::string& path);

// The file progress window of an importer: a status, a bar of one step per
// record and the count line "K of N records imported." (K records written
// before the current one). Importers differ in which number the word agrees
// with, and both have always been shown.
class FileProgress {
 public:
  enum class Plural { ByTotal, ByCount };
  FileProgress(const platform::Context& ctx, Plural plural);
  ~FileProgress();

  // Loads the window at the first call, then shows it for `status` with a
  // bar of `total` steps.
  void Show(const std::string& status, std::int64_t total);
  // The count line for the record after `k` written ones.
  void Count(std::int64_t k);
  // One record further on the bar.
  void Step();
  // Unloads the window.
  void Close();

 private:
  const platform::Context& ctx_;
  Plural plural_;
  std::unique_ptr<platform::FileProgressWindow> window_;
  std::int64_t total_ = 0;
  std::string line_;
};

}  // namespace importers
