// What an importer may use of the engine while it reads one import's output
// files: the run's settings, the log, the database session (one connection,
// one current record set; a file's transaction is made on the connection),
// the conflict question, the run's progress and counts. The engine implements
// it; the importers see nothing else of the engine.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "engine/DataType.h"
#include "platform/Context.h"

class DbConnection;
class Recordset;

// How a conflict between an incoming record and an existing row was settled.
struct ConflictAnswer {
  bool overwrite = false;   // write the record over the existing row
  bool unanswered = false;  // a question was due but nobody could answer it
};

// What one output file came to (the counts of its summary line).
struct FileSummary {
  std::string file;
  std::int64_t read = 0, added = 0, overwritten = 0, kept = 0, rejected = 0;
};

// The file's summary line, as the log and the terminal give it.
inline std::string SummaryLine(const FileSummary& s) {
  return "File '" + s.file + "': " + std::to_string(s.read) + " read, " + std::to_string(s.added) +
         " added, " + std::to_string(s.overwritten) + " overwritten, " + std::to_string(s.kept) +
         " kept, " + std::to_string(s.rejected) + " rejected.";
}

class ImportSession {
 public:
  virtual ~ImportSession() = default;

  // --- The run's settings.
  virtual const platform::Context& Context() const = 0;
  // The extracted files to read, in order, by name within OutputFolder.
  virtual const std::vector<std::string>& OutputFiles() const = 0;
  virtual const std::string& OutputFolder() const = 0;
  virtual const std::string& Source() const = 0;
  virtual const std::string& AdditionalFile() const = 0;
  virtual bool NoComparisons() const = 0;

  // The log file's path, "" when the run has none. What is kept for the
  // log's reader (rejected records) goes beside it, named after it.
  virtual const std::string& LogPath() const = 0;
  // One log line (see CSImportEngine::WriteToLog).
  virtual void WriteToLog(const std::string& text, const std::string& source,
                          std::int16_t index) = 0;

  // --- The database session.
  // Opens `source` as the current record set: -1 with rows, 1 empty, 0 failed.
  virtual int OpenRecordset(const std::string& source, bool writable) = 0;
  virtual void CloseRecordset() = 0;
  virtual Recordset* CurrentRecordset() = 0;
  virtual DbConnection* Connection() = 0;
  // Runs `script` with every "%s" replaced by `table`; false (logged) on failure.
  virtual bool ExecuteScript(const std::string& table, const std::string& script) = 0;
  // True once the database showed a condition no record can get past.
  virtual bool DatabaseFailed() = 0;

  // Settles a conflict by the run-wide "to all" answers or by asking.
  virtual ConflictAnswer AskConflict(const std::string& question, std::string_view keepAllQuestion,
                                     std::string_view overwriteAllQuestion) = 0;

  // --- Progress and counts of the run.
  // One output file further on the run's progress bar.
  virtual void AdvanceProgress() = 0;
  // A record that did not land exactly.
  virtual void CountRejectedRecord() = 0;
  // A problem that let the run complete, but not cleanly.
  virtual void CountRunProblem() = 0;
  // The counts of a file that has been imported (or rolled back), for the
  // run's summary.
  virtual void NoteFileSummary(const FileSummary& summary) = 0;
};

// An importer reads the session's output files of its data type; false when
// an unexpected failure ended it with files unread.
using Importer = std::function<bool(ImportSession&)>;
// The importer of each data type; a type without one imports nothing.
using ImporterTable = std::map<DataType, Importer>;
