// The steps every importer takes around one output file, so that an importer
// itself is its record layout, its row mapping and its conflict key.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ImportSession.h"
#include "importers/FramedRecords.h"
#include "importers/layouts/RecordFraming.h"
#include "platform/db/Value.h"

class FileTransaction;

namespace ui {
class FileProgressWindow;
}

namespace importers {

class FileReport;

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

// How the line announcing a file ends: comparables files can be large.
enum class Attempt { Plain, MayTakeMinutes };

// Runs `file` for each of `files` in order, after the line announcing it and
// before a step of the run's progress bar; stops once the database has failed.
void ForEachOutputFile(ImportSession& session, const std::vector<std::string>& files,
                       Attempt attempt, const std::function<void(const std::string&)>& file);

// Where ImportFileRows is, for an importer whose failure lines name its stage.
enum class FileStep { Open, Count, NextRecord };

// How an importer reads the records of one output file; ImportFileRows does
// the rest.
struct FileRows {
  const Framing& framing;
  // Read the file once first to count its records (for a progress window).
  bool countFirst = false;
  // A file that cannot be opened or read ends the import (an exception for
  // the importer's trap) instead of being rolled back and reported.
  bool readFailureEndsImport = false;
  // The file's transaction when the importer began it itself, to make the
  // file's table inside it; otherwise one begins once the file is counted.
  FileTransaction* begun = nullptr;
  std::function<void(FileStep)> reached = {};
  // Once the file is open (and counted: `total`, else 0), before its
  // transaction begins.
  std::function<void(std::int64_t total)> opened = {};
  // Lands one record; true when its row was saved.
  std::function<bool(const Record&, FileReport&, const FileTransaction&)> land = {};
  // After the last record, before the file is committed or rolled back:
  // the records `land` held back land now.
  std::function<void(FileReport&)> drained = {};
};

struct FileResult {
  bool committed = false;
  std::int64_t saved = 0;  // rows saved, committed or not
};

// The records of the output file `entry` at `path`, in one transaction: each
// is handed to `rows.land`, then FinishFile commits the file or rolls it back
// and writes its summary line.
FileResult ImportFileRows(ImportSession& session, std::string_view source, const std::string& entry,
                          const std::string& path, const FileRows& rows);

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
  // One record further on the bar (drawn a few dozen times a second, and
  // when it is full).
  void Step();
  // Unloads the window.
  void Close();

 private:
  const platform::Context& ctx_;
  Plural plural_;
  std::unique_ptr<platform::FileProgressWindow> window_;
  static constexpr double kPumpSeconds = 0.02;
  static constexpr std::int64_t kStepsPerClockReading = 16;

  std::int64_t total_ = 0;
  std::string line_;
  double pumped_ = -kPumpSeconds;  // when Step last pumped events
  std::int64_t steps_ = -1;        // so that the first step reads the clock
  std::int32_t barMax_ = 0;
  std::int64_t unshown_ = 0;  // steps not yet drawn on the bar
};

}  // namespace importers
