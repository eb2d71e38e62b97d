// Process start-up: the command line, its validation, and the unattended
// import driver.
//
// The command tail is split at every '/' (no quoting: a '/' inside a path
// splits it, which is why paths are written with '\') and each piece is
// trimmed. Pieces: 0 extractor, 1 source (folder, file, or in window mode the
// host's INI file), 2 output folder, 3 data type, 4 database, 5 leave output
// files, 6 no comparisons, 7 terminate records.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/CSImportEngine.h"
#include "platform/Context.h"

namespace modIngestor {

// Exit statuses, for scripts; the host ignores them.
enum ExitStatus : int {
  kExitSuccess = 0,          // the import ended normally with every record written
  kExitIncomplete = 1,       // the unattended import did not complete
  kExitParameterError = 2,   // the command line was refused
  kExitRecordsRejected = 3,  // the import completed but some records were not written
};

// The module's argument list, shared with the main window.
struct Arguments {
  std::vector<std::string> pieces;  // pieces 0-2 are rewritten as normalised paths
  std::int16_t count = 0;
  bool iniMode = false;    // three pieces with an INI file as the source
  std::string outputNote;  // for the log: which folder an empty OUTPUT became
};

// The import settings the pieces stand for, defaults filled in.
struct ImportSettings {
  std::string extractor, source, outputFolder, database;
  // An ODBC connection string naming a database on a server; "" when the
  // database is the file `database`.
  std::string odbc;
  DataType dataType = DataType::CommonResponses;
  bool leaveOutputFiles = false;
  bool noComparisons = true;
  bool terminateRecords = false;
  // How conflicts are settled (the tail always asks).
  CSImportEngine::ConflictPolicy conflictPolicy = CSImportEngine::ConflictPolicy::Ask;
  // Lines the log gets before the import starts.
  std::vector<std::string> notes;
};

// Reads pieces 0-7 of validated arguments. An empty optional piece counts as
// absent. Throws std::runtime_error for a flag that is neither a number nor
// True/False.
ImportSettings ReadImportSettings(const Arguments& args);

// Adds the log's note that comparisons were asked for when `s`'s data type
// never compares (file index, comparables): the request is said, not dropped.
void NoteComparisonsNeverMade(ImportSettings& s);

// What an unattended import ended with, for the exit status.
struct ImportOutcome {
  bool completed = false;
  std::int64_t recordsRejected = 0;      // records that did not land exactly
  std::int64_t runProblems = 0;          // other problems of a completed run
  std::int64_t unansweredConflicts = 0;  // conflict questions nobody could answer
  std::string failure;                   // why the run did not complete, when known
  std::string logPath;                   // the log the run wrote, "" when none
  std::vector<FileSummary> files;        // each output file's counts, in import order
  double seconds = 0;                    // the import's elapsed time
};

// The main window of INI mode, provided by the user interface when a display
// is usable.
class MainWindowHost {
 public:
  virtual ~MainWindowHost() = default;
  // Loads and shows the window with the parsed arguments and the process's
  // engine, and returns when the window is gone (the engine released).
  virtual int Run(const Arguments& args, std::unique_ptr<CSImportEngine>& engine) = 0;
};

// Runs the program for one command tail and returns the exit status. INI
// mode needs `window`; without one (no display) it says so and ends with
// kExitParameterError.
int Main(const platform::Context& ctx, const std::string& tail, MainWindowHost* window = nullptr);

// Splits and validates the tail into `args`. A refused piece shows the
// parameter message box and gives false; fewer than three pieces give false
// silently.
bool ParseCommandLine(const platform::Context& ctx, const std::string& tail, Arguments& args);

// Runs one unattended import with the parsed arguments: opens the log file in
// the output folder, configures the engine, imports, releases the engine and
// closes the log. False when it could not get as far as importing.
bool ImportData(const platform::Context& ctx, const Arguments& args,
                std::unique_ptr<CSImportEngine>& engine, ImportOutcome& outcome);

// The same with settings made elsewhere (the option form).
bool ImportData(const platform::Context& ctx, const ImportSettings& settings,
                std::unique_ptr<CSImportEngine>& engine, ImportOutcome& outcome);

// The exit status of an unattended import that ImportData ran (`ran`: what
// it returned). Status 1 or 3 also prints its one line on stderr, after each
// file's summary line when a terminal listens and the count of conflict
// questions beyond the first that nobody could answer.
int ConcludeImport(const platform::Context& ctx, bool ran, const ImportOutcome& outcome);

// The text printed for --help.
std::string UsageText();

}  // namespace modIngestor
