#include "startup/modIngestor.h"

#include <stdexcept>

#include "importers/Importers.h"
#include "platform/FileProgressWindow.h"
#include "platform/Paths.h"
#include "support/Conversions.h"
#include "support/ErrorReport.h"
#include "support/RegStore.h"
#include "support/ResourceStrings.h"
#include "support/modFileIO.h"

namespace modIngestor {

namespace {

constexpr const char* kCrLf = "\r\n";

// The highest data type the command line accepts: 6, or 7 (comparables) for
// batch use when INGESTOR_ALLOW_COMPARABLES is 1; the host itself imports
// comparables only from the window.
std::int32_t LastCommandLineDataType(const platform::Context& ctx) {
  const auto allow = ctx.env.Variable("INGESTOR_ALLOW_COMPARABLES");
  return Number(allow && *allow == "1" ? DataType::Comparables : DataType::Neighborhoods);
}

// The parameter message: shown, then the program ends without importing.
bool Refuse(const platform::Context& ctx, const std::string& message) {
  ctx.ui.MessageBox("The specified command line parameter is invalid: \r\n\r\n" + message,
                    ResourceString(res::kTitle), platform::MsgButtons::OK,
                    platform::MsgIcon::Information);
  return false;
}

void ShowStandAloneMessage(const platform::Context& ctx) {
  std::string text = "This application cannot be run as a standalone application.";
  text += kCrLf;
  text += "You must run this application either directly from " + ResourceString(res::kProductName);
  text += kCrLf;
  text += "or via its commandline interface.";
  ctx.ui.MessageBox(text, ResourceString(res::kTitle), platform::MsgButtons::OK,
                    platform::MsgIcon::Information);
}

std::vector<std::string> SplitAtSlash(const std::string& tail) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  for (;;) {
    std::size_t slash = tail.find('/', start);
    pieces.push_back(tail.substr(start, slash == std::string::npos ? slash : slash - start));
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  return pieces;
}

void AppendBackslash(std::string& path) {
  if (!support::EndsWith(path, "\\")) path += '\\';
}

// An empty OUTPUT: the program's folder, as the host has always had it. After
// an installation that folder is the system's, so a user who may not write
// there gets ${XDG_STATE_HOME:-~/.local/state}/ingestor instead. The log says
// which (args.outputNote). False when neither can be used.
bool DefaultOutputFolder(const platform::Context& ctx, Arguments& args) {
  std::string& output = args.pieces[2];
  const std::string program = ctx.env.ProgramFolder();
  std::string reason;
  if (ctx.env.CanWriteFolder(program, reason)) {
    output = program + "\\";
    args.outputNote = "No output folder was given: using the program's folder '" + output + "'.";
    return true;
  }
  const std::string state = support::UserStateFolder(ctx.env);
  if (state.empty()) return false;
  output = state + "\\ingestor\\";
  if (!modFileIO::FolderExists(ctx, output) &&
      !(modFileIO::CreateDirectoryStructure(ctx, output) && modFileIO::FolderExists(ctx, output)))
    return false;
  args.outputNote = "No output folder was given and the program's folder cannot be written (" +
                    reason + "): using '" + output + "'.";
  return true;
}

// A present, non-empty optional piece, or nullptr.
const std::string* OptionalPiece(const Arguments& args, std::size_t index) {
  if (index >= args.pieces.size() || args.pieces[index].empty()) return nullptr;
  return &args.pieces[index];
}

bool TruthPiece(const Arguments& args, std::size_t index, bool fallback) {
  const std::string* piece = OptionalPiece(args, index);
  if (piece == nullptr) return fallback;
  auto value = support::ParseTruth(*piece);
  if (!value) throw std::runtime_error("Type mismatch: '" + *piece + "' is not a truth value.");
  return *value;
}

bool ParseCommandLineUntrapped(const platform::Context& ctx, const std::string& tail,
                               Arguments& args) {
  args = Arguments{};
  if (tail.empty()) return false;
  args.pieces = SplitAtSlash(tail);
  args.count = static_cast<std::int16_t>(std::min<std::size_t>(args.pieces.size(), INT16_MAX));
  if (args.count < 3) return false;
  for (std::string& piece : args.pieces) piece = support::TrimSpaces(piece);
  // The flags are checked before any folder is created for the run.
  for (const auto& [index, name] :
       {std::pair<std::size_t, const char*>{5, "LEAVE"}, {6, "NOCOMPARE"}, {7, "TERMINATE"}}) {
    const std::string* flag = OptionalPiece(args, index);
    if (flag != nullptr && !support::ParseTruth(*flag))
      return Refuse(ctx, std::string("Expected True, False or a number for ") + name +
                             ", but found '" + *flag + "' instead.");
  }

  // Extractor: a bare name is looked for in the program's own folder, never on the search path.
  std::string& extractor = args.pieces[0];
  if (extractor.empty()) return Refuse(ctx, "Missing extractor.");
  if (extractor.find('\\') == std::string::npos)
    extractor = ctx.env.ProgramFolder() + "\\" + extractor;
  if (!modFileIO::FileExists(ctx, extractor)) return Refuse(ctx, "Extractor DOES NOT exist.");

  std::string& source = args.pieces[1];
  if (source.empty()) return Refuse(ctx, "Missing source.");
  args.iniMode = support::ContainsIgnoringCase(source, ".ini");
  if (args.iniMode && args.count >= 4)
    return Refuse(ctx, "Expected source file / folder but found INI file instead.");

  // The data type too is checked before a folder is created: a refused line
  // leaves nothing behind.
  if (args.count >= 4) {
    auto number = support::ParseNumber(args.pieces[3]);
    if (!number)
      return Refuse(ctx, "Expected data type to be numeric, but found a string instead.");
    auto type = support::RoundToLong(*number);
    if (!type || *type < 0 || *type > LastCommandLineDataType(ctx))
      return Refuse(ctx, "Import data type is invalid.");
  } else if (!args.iniMode) {
    return Refuse(ctx, "Expected data type to import but found no more parameters.");
  }

  if (args.iniMode) {
    // The INI file is neither examined nor normalised.
  } else if (modFileIO::FolderExists(ctx, source)) {
    AppendBackslash(source);
  } else if (source.find('.') != std::string::npos) {
    if (!modFileIO::FileExists(ctx, source)) return Refuse(ctx, "Source file DOES NOT exist.");
  } else if (modFileIO::FileExists(ctx, source)) {
    // A file without an extension: a single source, left as it is.
  } else {
    // Folder creation also answers true for a name a file already holds.
    if (!modFileIO::CreateDirectoryStructure(ctx, source) || !modFileIO::FolderExists(ctx, source))
      return Refuse(ctx, "Source folder DOES NOT exist and COULD NOT be created.");
    AppendBackslash(source);
  }

  std::string& output = args.pieces[2];
  if (!output.empty()) {
    if (!modFileIO::FolderExists(ctx, output) &&
        !(modFileIO::CreateDirectoryStructure(ctx, output) && modFileIO::FolderExists(ctx, output)))
      return Refuse(ctx, "Output folder DOES NOT exist and COULD NOT be created.");
    AppendBackslash(output);
  } else if (!DefaultOutputFolder(ctx, args)) {
    return Refuse(ctx, "Output folder DOES NOT exist and COULD NOT be created.");
  }
  return true;
}

}  // namespace

bool ParseCommandLine(const platform::Context& ctx, const std::string& tail, Arguments& args) {
  return support::Trap(ctx.ui, "ParseCommandLine::modIngestor", false, false,
                       [&] { return ParseCommandLineUntrapped(ctx, tail, args); });
}

ImportSettings ReadImportSettings(const Arguments& args) {
  ImportSettings s;
  s.extractor = args.pieces.at(0);
  s.source = args.pieces.at(1);
  s.outputFolder = args.pieces.at(2);
  if (!args.outputNote.empty()) s.notes.push_back(args.outputNote);
  auto number = support::ParseNumber(args.pieces.at(3));
  auto dataType = number ? support::RoundToLong(*number) : std::nullopt;
  if (!dataType) throw std::runtime_error("Type mismatch: the data type is not a number.");
  s.dataType = static_cast<DataType>(*dataType);
  const std::string* database = OptionalPiece(args, 4);
  s.database = database ? *database : ResourceString(res::kDatabaseFileBase + Number(s.dataType));
  s.leaveOutputFiles = TruthPiece(args, 5, false);
  s.noComparisons = TruthPiece(args, 6, true);
  s.terminateRecords = TruthPiece(args, 7, false);
  NoteComparisonsNeverMade(s);
  return s;
}

void NoteComparisonsNeverMade(ImportSettings& s) {
  if (s.noComparisons) return;
  const char* type = s.dataType == DataType::FileIndex     ? "file-index"
                     : s.dataType == DataType::Comparables ? "comparables"
                                                           : nullptr;
  if (type != nullptr)
    s.notes.push_back("Comparisons were asked for, but " + std::string(type) +
                      " imports never compare: every record is added as a new row.");
}

namespace {

// Where ImportData was when a failure ended it (shown in its error box).
enum class ImportStep { Start = 1, Folders = 2, Log = 3, Configure = 4, Import = 5, Release = 6 };

// The one line a script's terminal gets about a run that was not clean.
void ReportOutcome(const platform::Context& ctx, int status, const ImportOutcome& outcome) {
  std::string line;
  if (status == kExitIncomplete) {
    line = outcome.failure.empty() ? "The import did not complete." : outcome.failure;
  } else if (status == kExitRecordsRejected) {
    line = "The import completed, but not cleanly: " + std::to_string(outcome.recordsRejected) +
           " record(s) rejected or stored incomplete, " + std::to_string(outcome.runProblems) +
           " other problem(s).";
  } else {
    return;
  }
  if (!line.empty() && line.back() != '.') line += '.';
  // The terminal gets the path a shell can open.
  if (!outcome.logPath.empty())
    line += " The log is '" +
            platform::ToNative(outcome.logPath,
                               [&](const std::string& name) { return ctx.env.Variable(name); }) +
            "'.";
  ctx.env.PrintError("ingestor: " + support::EscapeControls(line));
}

}  // namespace

namespace {

template <class SettingsOf>
bool ImportWith(const platform::Context& ctx, SettingsOf settingsOf,
                std::unique_ptr<CSImportEngine>& engine, ImportOutcome& outcome) {
  outcome = ImportOutcome{};
  return support::TrapStages<ImportStep>(
      ctx.ui, "ImportData::modIngestor", false, [&](ImportStep& step) {
        // A failure closes the log before it is reported.
        struct LogCloser {
          const platform::Context& ctx;
          std::int16_t logfile = 0;
          ~LogCloser() {
            if (logfile != 0) ctx.files.Close(logfile);
          }
        } log{ctx};
        std::int16_t& logfile = log.logfile;
        const ImportSettings settings = settingsOf();

        step = ImportStep::Folders;
        const std::string& output = settings.outputFolder;
        if (!modFileIO::FolderExists(ctx, output) &&
            !(modFileIO::CreateDirectoryStructure(ctx, output) &&
              modFileIO::FolderExists(ctx, output))) {
          outcome.failure = "Cannot create the output folder '" + output + "'.";
          return false;
        }

        // One run per output folder, decided before anything in it is touched
        // (the log included).
        if (!engine->LockOutputFolder(output)) {
          outcome.failure = engine->Failure();
          return false;
        }

        step = ImportStep::Log;
        std::string logPath = output + support::FormatDateTime(ResourceString(res::kLogFilePattern),
                                                               ctx.env.LocalNow());
        std::string reason;
        logfile = ctx.files.Open(ctx.env, logPath, &outcome.logPath, &reason);
        if (logfile == 0) {
          outcome.failure = "Cannot create the log file '" + logPath + "': " + reason + ".";
          return false;
        }
        engine->SetLogPath(outcome.logPath);

        step = ImportStep::Configure;
        engine->Configure(settings.dataType, settings.database, settings.outputFolder,
                          settings.source, settings.extractor, logfile, settings.leaveOutputFiles,
                          settings.noComparisons, settings.terminateRecords);
        engine->SetServerConnection(settings.odbc);
        // Neighborhoods need the host's configuration file (its AppDir names the
        // conversion file); only the window used to set it, so no command-line
        // run could import them.
        if (settings.dataType == DataType::Neighborhoods)
          engine->SetAdditionalFile(engine->HostConfigurationFile());
        engine->SetConflictPolicy(settings.conflictPolicy);
        for (const std::string& note : settings.notes) engine->WriteToLog(note, "", -1);

        step = ImportStep::Import;
        {
          // The run's own progress line, one step per output file, where a
          // terminal can show it.
          std::unique_ptr<platform::FileProgressWindow> runProgress = ctx.ui.LoadFileProgress();
          runProgress->SetStatus("Importing " + engine->GetDataType(static_cast<std::int16_t>(
                                                    Number(settings.dataType))));
          runProgress->Show();
          engine->SetProgress(&runProgress->Bar());
          const double started = ctx.env.MonotonicSeconds();
          outcome.completed = engine->Import();
          outcome.seconds = ctx.env.MonotonicSeconds() - started;
          outcome.files = engine->FileSummaries();
          engine->SetProgress(nullptr);
        }
        outcome.recordsRejected = engine->RecordsRejected();
        outcome.runProblems = engine->RunProblems();
        outcome.unansweredConflicts = engine->UnansweredConflicts();
        outcome.failure = engine->Failure();

        step = ImportStep::Release;
        engine.reset();
        ctx.files.Close(logfile);
        logfile = 0;
        return true;
      });
}

}  // namespace

bool ImportData(const platform::Context& ctx, const Arguments& args,
                std::unique_ptr<CSImportEngine>& engine, ImportOutcome& outcome) {
  return ImportWith(
      ctx, [&] { return ReadImportSettings(args); }, engine, outcome);
}

bool ImportData(const platform::Context& ctx, const ImportSettings& settings,
                std::unique_ptr<CSImportEngine>& engine, ImportOutcome& outcome) {
  return ImportWith(
      ctx, [&] { return settings; }, engine, outcome);
}

int ConcludeImport(const platform::Context& ctx, bool ran, const ImportOutcome& outcome) {
  int status = kExitSuccess;
  if (!ran || !outcome.completed)
    status = kExitIncomplete;
  else if (outcome.recordsRejected > 0 || outcome.runProblems > 0)
    status = kExitRecordsRejected;
  // A terminal hears what each file came to, in the log's words.
  if (ctx.ui.TerminalListens())
    for (const FileSummary& file : outcome.files)
      ctx.env.PrintError("ingestor: " + support::EscapeControls(SummaryLine(file)));
  // Only the first unanswerable question was shown; the rest are counted here.
  if (outcome.unansweredConflicts > 1)
    ctx.env.PrintError("ingestor: " + std::to_string(outcome.unansweredConflicts - 1) +
                       " more conflict question(s) could not be asked (no terminal); the "
                       "existing rows were kept.");
  ReportOutcome(ctx, status, outcome);
  return status;
}

int Main(const platform::Context& ctx, const std::string& tail, MainWindowHost* window) {
  return support::Trap(ctx.ui, "Main::modIngestor", false, int{kExitIncomplete}, [&]() -> int {
    if (tail.empty()) {
      ShowStandAloneMessage(ctx);
      return kExitParameterError;
    }
    if (SplitAtSlash(tail).size() < 3) {
      ctx.env.PrintError(
          "ingestor: the command tail needs at least EXTRACTOR/SOURCE/OUTPUT, separated by '/'. "
          "Try 'ingestor --help'.");
      return kExitParameterError;
    }
    Arguments args;
    if (!ParseCommandLine(ctx, tail, args)) return kExitParameterError;
    auto engine = std::make_unique<CSImportEngine>(ctx, importers::Table());
    if (args.count == 3) {
      // INI mode: the host opens the main window with its configuration file.
      if (window != nullptr) return window->Run(args, engine);
      ctx.ui.MessageBox(
          "The main window needs a display, and none is usable (DISPLAY and WAYLAND_DISPLAY are "
          "unset or point to no running display server). Start Ingestor from a desktop session, "
          "or run an unattended import by adding the data type to the command line, for "
          "example: extractor/source\\/output\\/5",
          ResourceString(res::kTitle), platform::MsgButtons::OK, platform::MsgIcon::Information);
      return kExitParameterError;
    }
    ImportOutcome outcome;
    const bool ran = ImportData(ctx, args, engine, outcome);
    return ConcludeImport(ctx, ran, outcome);
  });
}

std::string UsageText() {
  return R"(Usage: ingestor --type TYPE --extractor PROGRAM --source PATH --output DIR
                [--database FILE | --odbc CONNECTION] [--keep-extracted]
                [--no-compare] [--terminate-records] [--on-conflict ask|keep|overwrite]
                [--summary text|json] [--quiet]
       ingestor 'EXTRACTOR/SOURCE/OUTPUT/TYPE[/DATABASE[/LEAVE[/NOCOMPARE[/TERMINATE]]]]'
       ingestor 'EXTRACTOR/HOST.INI/OUTPUT'      (main window)
       ingestor --help | -h | --version

Imports the host application's data with an extraction program.

The option form takes ordinary paths, relative to the current folder:
  --type TYPE          responses, private-responses, global-responses,
                       private-global-responses, file-index, lenders,
                       neighborhoods, comparables, or the number 0 to 7
  --extractor PROGRAM  extraction program; a bare name is looked for beside
                       ingestor, never on PATH
  --source PATH        source folder or file; it must exist
  --output DIR         folder for the extracted files and the log; created
                       when missing
  --database FILE      target database (default: the data type's database
                       file in the current folder)
  --odbc CONNECTION    target database on a server, as an ODBC connection
                       string ('DSN=office' or 'Driver={PostgreSQL Unicode};
                       Server=host;Database=office'); the password comes
                       from the DSN, ~/.pgpass (PGPASSFILE) or PGPASSWORD,
                       never from the command line (PWD= is refused)
  --keep-extracted     keep the extracted files after the import
  --no-compare         add rows without looking for existing ones (by default
                       a record that is already there is a conflict, so a
                       re-run adds nothing twice)
  --terminate-records  ask the extraction program to terminate records
  --on-conflict ask|keep|overwrite
                       ask on the terminal (default; without one the existing
                       row is kept), or keep / overwrite every existing row
  --summary text|json  print the run's outcome to stdout at the end
  --quiet              no progress line
Options may also be written --name=value. Every argument is checked before
anything is created; a refused command line changes nothing.

The command tail (as the host passes it) is split at every '/', so its paths
are written with '\' separators:
  EXTRACTOR  extraction program; a bare name is looked for beside ingestor
  SOURCE     source folder (created when missing) or one source file
  OUTPUT     folder for extracted files and the log (empty: beside ingestor)
  TYPE       0 common responses, 1 private common responses, 2 global
             responses, 3 private global responses, 4 appraisal index,
             5 lenders, 6 neighborhoods; 7 comparables when the
             environment has INGESTOR_ALLOW_COMPARABLES=1
  DATABASE   target database (default: the data type's database file in the
             current folder)
  LEAVE      True/False or a number: keep the extracted files (default False)
  NOCOMPARE  True/False or a number: add rows without looking for existing
             ones (default True)
  TERMINATE  True/False or a number: passed to the extraction program as
             y/n (default False)
A drive prefix X: in the tail maps to the folder in INGESTOR_DRIVE_X
(default /).

Exit status: 0 success, 1 import not completed, 2 command line refused,
3 completed, but some records were rejected or stored incomplete, or the
extraction program reported a failure. Status 1, 2 and 3 print the reason on
stderr.

Examples:
  ingestor --type lenders --extractor sample-extractor --source ~/data \
           --output /tmp/out --database ~/Lenders.mdb --summary json
  ingestor 'sample-extractor/\home\me\data\/\tmp\out\/5'
)";
}

}  // namespace modIngestor
