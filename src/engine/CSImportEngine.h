// The import engine: every setting of one import, its working file lists, its
// database connection, the run-wide conflict answers, and the log writer
// through which every engine routine reports progress and failures.
//
// One engine per process. Configured (properties or Configure) -> Import (may
// be repeated from the main window) -> destroyed. The log file is opened and
// closed by the caller; the engine only writes to it through its number.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/DataType.h"
#include "engine/ImportSession.h"
#include "platform/Context.h"
#include "platform/ProgressSink.h"
#include "support/ErrorReport.h"

class DbConnection;
class Recordset;

class CSImportEngine final : public ImportSession {
 public:
  // Sets UsingUI, NoComparisons, LeaveOutputFiles and TerminateRecords to
  // false; everything else starts empty, zero or nothing. `importers` holds
  // the importer of each data type (the importers library gives them).
  explicit CSImportEngine(const platform::Context& ctx, ImporterTable importers = {});
  // Closes the current record set, then the connection, then clears both file lists.
  ~CSImportEngine() override;
  CSImportEngine(const CSImportEngine&) = delete;
  CSImportEngine& operator=(const CSImportEngine&) = delete;

  // --- Properties: setters store the value unchanged, getters return it.
  void SetUsingUI(bool value) { usingUI_ = value; }
  void SetDataType(::DataType value) { dataType_ = value; }
  ::DataType DataType() const { return dataType_; }
  void SetLeaveOutputFiles(bool value) { leaveOutputFiles_ = value; }
  bool LeaveOutputFiles() const { return leaveOutputFiles_; }
  void SetLogfile(std::int16_t value) { logfile_ = value; }
  std::int16_t Logfile() const { return logfile_; }
  void SetLogPath(const std::string& value) { logPath_ = value; }
  const std::string& LogPath() const override { return logPath_; }
  void SetTerminateRecords(bool value) { terminateRecords_ = value; }
  bool TerminateRecords() const { return terminateRecords_; }
  void SetNoComparisons(bool value) { noComparisons_ = value; }
  bool NoComparisons() const override { return noComparisons_; }
  void SetSource(const std::string& value) { source_ = value; }
  const std::string& Source() const override { return source_; }
  void SetOutputDatabase(const std::string& value) { outputDatabase_ = value; }
  const std::string& OutputDatabase() const { return outputDatabase_; }
  void SetOutputFolder(const std::string& value) { outputFolder_ = value; }
  const std::string& OutputFolder() const override { return outputFolder_; }
  // A database on a server, named by an ODBC connection string that is used
  // as it stands; "" (the default) imports into the file OutputDatabase.
  // There is then no template to copy and no database file to back up.
  void SetServerConnection(const std::string& value) { serverConnection_ = value; }
  const std::string& ServerConnection() const { return serverConnection_; }
  void SetExtractor(const std::string& value) { extractor_ = value; }
  const std::string& Extractor() const { return extractor_; }
  // Owned by the caller; must outlive the engine or be reset to nullptr.
  void SetOutputObject(platform::OutputObject* value) { outputObject_ = value; }
  platform::OutputObject* OutputObject() const { return outputObject_; }
  void SetProgress(platform::ProgressSink* value) { progress_ = value; }
  platform::ProgressSink* Progress() const { return progress_; }
  void SetAdditionalFile(const std::string& value) { additionalFile_ = value; }
  const std::string& AdditionalFile() const override { return additionalFile_; }

  // --- Source and output file sets
  // The source-file names in list order; nullopt while the list is unsized.
  std::optional<std::vector<std::string>> GetSourceFiles();
  // Unsizes the source-file list. Always false.
  bool ClearSourceFiles();

  // The one-call configuration. Assigns, in this order: Logfile, OutputFolder
  // (with '\' appended when missing), LeaveOutputFiles, TerminateRecords,
  // NoComparisons, OutputDatabase, Source, Extractor, DataType. Checks and
  // opens nothing. Failures are logged as "CSImportEngine::CSImportEngine".
  void Configure(::DataType dataType, const std::string& database, const std::string& outputFolder,
                 const std::string& source, const std::string& extractor, std::int16_t logfile,
                 bool leaveOutputFiles = false, bool noComparisons = false,
                 bool terminateRecords = false);

  // Runs one import; true only when the import stage reported success.
  bool Import();
  // The name of a data type (resource 601 + type), or "Unknown".
  std::string GetDataType(std::int16_t dataType);
  // Fills the source-file list from the Source folder with the data type's
  // masks; returns the number found.
  std::int16_t LoadSourceFiles();
  // Copies the entries of the main window's list; nullptr leaves the list
  // unchanged and gives 0.
  std::int32_t LoadSourceFilesFromList(const std::vector<std::string>* list);
  // Copies every source file and the target database into a new
  // time-stamped folder under OutputFolder (only its owner may enter it), so
  // a run can be undone by hand. False, with the reason logged, when any copy
  // could not be made: the run must then write nothing.
  bool BackupSourceFiles();

  // --- Engine operations that the start-up code uses.
  // The host's configuration file: "Zev.ini" in the Windows folder when it
  // exists there, else the fixed C:\Kestova\Zev.ini. May throw (the caller traps).
  std::string HostConfigurationFile();
  // One log line: to the log file (CR LF) when Logfile is not 0, and to the
  // OutputObject, after which pending window events run once. Never fails.
  void WriteToLog(const std::string& text, const std::string& source, std::int16_t index) override;
  const std::vector<std::string>& OutputFiles() const override { return outputFiles_; }

  // --- Database access: one connection and one current record set at a time.
  // Every outcome is logged; nothing is raised and no box is shown.
  // Closes the current record set, then opens `source` (SQL text or table
  // name) on the engine connection as the new current one: -1 when it has
  // rows (the first one current), 1 when it is empty, 0 when it could not be
  // opened (the reason is logged). The new record set stays current whatever
  // the outcome.
  int OpenRecordset(const std::string& source, bool writable) override;
  // Closes and releases the current record set, if any.
  void CloseRecordset() override;
  // Runs `script` with every "%s" replaced by `table` on the engine
  // connection. False (and logged) when the script is empty, there is no
  // connection, or the statement failed.
  bool ExecuteScript(const std::string& table, const std::string& script) override;
  // The engine connection; nullptr when none.
  DbConnection* Connection() override { return connection_.get(); }

  // --- The conflict question, shared by the comparing importers.
  // Settles a conflict: by the run-wide "to all" answers when one is set,
  // else by asking `question` (Yes overwrites), then the keep-all question
  // after No or the overwrite-all question after Yes. Boxes are Yes/No with
  // the question icon and the program's title.
  ConflictAnswer AskConflict(const std::string& question, std::string_view keepAllQuestion,
                             std::string_view overwriteAllQuestion) override;

  // --- Records that did not land exactly in this run (reset by ImportSourceFiles).
  void CountRejectedRecord() override { ++recordsRejected_; }
  std::int64_t RecordsRejected() const { return recordsRejected_; }
  // Conflict questions of the last run nobody could answer (no terminal).
  std::int64_t UnansweredConflicts() const { return unansweredConflicts_; }

  // How a run settles conflicts: by asking (where nobody can answer, the
  // existing row stays), or with every question answered "No to all" or
  // "Yes to all" from the start. Each run begins from this policy.
  enum class ConflictPolicy { Ask, KeepAll, OverwriteAll };
  void SetConflictPolicy(ConflictPolicy value);
  ConflictPolicy GetConflictPolicy() const { return conflictPolicy_; }

  bool OverwriteAllConflicts() const { return overwriteAllConflicts_; }
  bool KeepAllExisting() const { return keepAllExisting_; }

  bool UsingUI() const { return usingUI_; }
  const platform::Context& Context() const override { return ctx_; }

  // --- Run safety: one run per output folder, and how a run ended beyond its
  // records (the caller turns them into the exit status).
  // Takes the lock of `folder` for this engine, unless it holds one already.
  // Import takes it itself when the caller did not, and then lets it go when
  // it ends; a lock the caller took lasts as long as the engine. False with
  // Failure() set when another import holds it or it cannot be taken.
  bool LockOutputFolder(const std::string& folder);
  // A problem that let the run complete, but not cleanly (status 3 at best).
  // Reset by Import.
  void CountRunProblem() override { ++runProblems_; }
  void NoteFileSummary(const FileSummary& summary) override { fileSummaries_.push_back(summary); }
  // The files of the last import stage, in the order they were imported.
  const std::vector<FileSummary>& FileSummaries() const { return fileSummaries_; }
  std::int64_t RunProblems() const { return runProblems_; }
  // Why the last run ended without completing, as one line for the terminal;
  // "" when nothing beyond the log says why. Reset by Import.
  const std::string& Failure() const { return failure_; }
  // Logs `reason` and keeps it as the run's failure.
  void FailRun(const std::string& reason);

  // --- The database as a whole. True once the database showed a condition
  // no record can get past (full disk, I/O error, read-only, damaged, not a
  // database); the first call that sees it logs the one line naming it. The
  // import then ends as failed.
  bool DatabaseFailed() override;

 private:
  // The import stage without the extraction, for code that writes the
  // output files itself (see DirectImport.h).
  friend class DirectImport;

  bool databaseFailureLogged_ = false;  // DatabaseFailed's line was written

  // Builds the connection string (Access form on OutputDatabase when `server`
  // is empty, SQL Server form otherwise, and `server` itself, unchanged and
  // without user or password, when it is a whole connection string: it holds
  // a '='; user and password scrambled when
  // `scramble` is set and they are not empty), replaces the engine connection
  // with a new one (releasing the current record set, which reads through the
  // old one) and opens it. Logs each of the driver's messages as "Info: ...".
  // True when the connection is open.
  bool OpenConnection(const std::string& server, const std::string& database,
                      const std::string& user, const std::string& password, bool scramble);
  // Closes and releases the engine connection, if any, and then logs
  // "Connection closed.". A record set still current is released first: it
  // cannot outlive the connection it reads through. A transaction still open
  // is committed; when that fails its reason is logged instead.
  void CloseConnection();
  // Starts the run-wide conflict answers from the conflict policy, sets the
  // progress range and runs the importer of the data type over the
  // output-file list.
  bool ImportSourceFiles();
  // Empty path -> false; an existing folder -> true; otherwise true when the
  // path has no '.' (a folder still to be created).
  bool SourceIsFolder(const std::string& path);
  // Makes sure OutputDatabase exists, copying the host's empty database of
  // the data type (AppDir of Zev.ini + "Data\" + its file name) when it is
  // missing. True when the database exists afterwards; otherwise `reason`
  // says why when it is known (no AppDir, or the system's reason the copy
  // failed).
  bool CopyOverTemplate(std::string& reason);
  // Collects the files of `folder` whose lower-cased name matches `mask`
  // ("" becomes "*.*", also in the caller's variable) into the output-file
  // list; -1 when the folder cannot be searched.
  std::int32_t GetOutputFiles(const std::string& folder, std::string& mask);
  // The hook that is to recognise a data type from an extracted file;
  // recognises nothing and leaves DataType as it is. Always true.
  bool GuessImportType(const std::string& fileName);
  // The current record set (nullptr when none): importers reach it through
  // ImportSession.
  Recordset* CurrentRecordset() override { return recordset_.get(); }

  // One output file further on the run's progress bar (when there is one).
  void AdvanceProgress() override;

  // Logs a trapped failure the engine's way: description as text, the routine
  // as source, index as given. Never throws.
  void LogFailure(std::string_view source, const char* description, std::int16_t index = -1);

  // Runs `body`; a failure escaping it is logged with `source` and index -1,
  // and `failure` is returned instead. The engine routines' error trap.
  template <class R, class F>
  R Trapped(std::string_view source, R failure, F&& body) noexcept {
    return support::Guard<support::NoStage>(
        std::move(failure), std::forward<F>(body),
        [&](const char* what, int) { LogFailure(source, what); });
  }

  platform::Context ctx_;
  ImporterTable importers_;
  // Declared before the record set, so that it is destroyed after it.
  std::unique_ptr<DbConnection> connection_;
  std::unique_ptr<Recordset> recordset_;
  platform::OutputObject* outputObject_ = nullptr;
  platform::ProgressSink* progress_ = nullptr;
  ::DataType dataType_ = ::DataType::CommonResponses;
  bool usingUI_ = false;
  bool noComparisons_ = false;
  bool leaveOutputFiles_ = false;
  bool terminateRecords_ = false;
  bool overwriteAllConflicts_ = false;
  bool keepAllExisting_ = false;
  ConflictPolicy conflictPolicy_ = ConflictPolicy::Ask;
  std::int64_t recordsRejected_ = 0;
  std::int64_t unansweredConflicts_ = 0;
  std::vector<FileSummary> fileSummaries_;
  std::int16_t logfile_ = 0;
  std::string logPath_;
  std::vector<std::string> sourceFiles_;  // empty means unsized
  std::vector<std::string> outputFiles_;
  std::string outputDatabase_;
  std::string serverConnection_;
  std::string outputFolder_;
  std::string source_;
  std::string extractor_;
  std::string additionalFile_;

  // --- Run safety (see LockOutputFolder).
  std::unique_ptr<platform::FileLock> folderLock_;
  std::int64_t runProblems_ = 0;
  std::string failure_;
};
