// One import from start to end: database, connection, sources, backup,
// extraction, extracted files, the importer of the data type, clean-up.
#include <algorithm>
#include <cstdio>
#include <optional>
#include <stdexcept>

#include "engine/CSImportEngine.h"
#include "engine/DbConnection.h"
#include "engine/modShellExecute.h"
#include "platform/FileChannels.h"
#include "support/Conversions.h"
#include "support/LikePattern.h"
#include "support/modFileIO.h"

namespace {

constexpr const char* kCrLf = "\r\n";

// Elapsed seconds as plain decimal text without trailing zeros ("12.5").
std::string Seconds(double seconds) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.3f", seconds);
  std::string text = buf;
  while (!text.empty() && text.back() == '0') text.pop_back();
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}

// Taken in the output folder for a whole run, so two imports never share
// (and delete or import) each other's extracted files. The file stays: an
// unlinked lock file could be locked again by a run that opened it earlier.
constexpr const char* kLockFileName = ".ingestor.lock";

std::string WithBackslash(std::string folder) {
  if (!support::EndsWith(folder, "\\")) folder += '\\';
  return folder;
}

// Files the host keeps beside its common responses that are not responses.
bool BypassedForCommonResponses(const std::string& name) {
  const std::string lower = support::LowerAscii(name);
  return support::MatchesLike(lower, "zazozur*.*") || lower == "global.dat" ||
         support::MatchesLike(lower, "*comps.dat") || support::MatchesLike(lower, "*rpt.dat") ||
         support::MatchesLike(lower, "*addm.dat");
}

std::string HeaderLine(const std::string& label, const std::string& value) {
  std::string line = "\t" + label;
  line.resize(1 + 20, ' ');
  return line + support::EscapeControls(value) + kCrLf;
}

// Where Import was when a failure ended it: the number is the index of its
// failure line. Folder and file sources have stages of their own.
enum class ImportStage : std::int16_t {
  Start = 0,
  LockAndHeader = 1,
  CheckDatabase = 2,
  Connect = 3,
  SourceKind = 4,
  FolderSource = 5,
  RemoveEarlierFiles = 6,
  BuildFolderCommandLine = 7,
  AddSourceFile = 8,
  CountFolderFiles = 9,
  ImportFolderFiles = 10,
  NoSourceFiles = 15,
  FileSource = 16,
  GuessType = 17,
  TestExtraction = 18,
  CountTestFiles = 19,
  GuessFromFile = 20,
  BuildFileCommandLine = 23,
  CountFileFiles = 24,
  ImportFileFiles = 25,
};

}  // namespace

bool CSImportEngine::LockOutputFolder(const std::string& folder) {
  if (folderLock_) return true;
  return Trapped("LockOutputFolder::CSImportEngine", false, [&] {
    bool busy = false;
    std::string reason;
    folderLock_ = ctx_.env.TryLock(WithBackslash(folder) + kLockFileName, busy, reason);
    if (folderLock_) return true;
    failure_ = busy ? "Another import is using the output folder '" + folder + "'."
                    : "The output folder '" + folder + "' cannot be locked: " + reason + ".";
    return false;
  });
}

void CSImportEngine::FailRun(const std::string& reason) {
  failure_ = reason;
  WriteToLog(reason, "", -1);
}

bool CSImportEngine::Import() {
  bool result = false;
  runProblems_ = 0;
  failure_.clear();
  auto log = [&](const std::string& text) { WriteToLog(text, "", -1); };
  // Runs the extraction program and logs its elapsed time and exit code.
  // False when it could not be started: the run has then failed.
  auto runExtractor = [&](const std::vector<std::string>& arguments, const std::string& what) {
    std::string reason;
    double t0 = ctx_.env.MonotonicSeconds();
    std::optional<std::int32_t> exitCode =
        modShellExecute::RunAndWait(ctx_, extractor_, arguments, reason);
    double t1 = ctx_.env.MonotonicSeconds();
    if (!exitCode) {
      FailRun("Extraction application could not be started: " + reason);
      return false;
    }
    log("ET for " + what + " was: " + Seconds(t1 - t0) + " s.");
    log("Extraction application returned: " + std::to_string(*exitCode));
    if (*exitCode != 0) {
      // Its files are still imported (the host relies on that), but the run
      // cannot count as clean.
      log("The extraction program reported a failure; its files may be incomplete.");
      CountRunProblem();
    }
    return true;
  };
  // The extracted files; a folder that cannot be searched holds none either.
  auto countExtracted = [&] {
    std::string mask = "*.tmp";
    return std::max(GetOutputFiles(outputFolder_, mask), std::int32_t{0});
  };
  // Extracted files an earlier run left behind would be imported as this
  // run's: each is deleted and named, and one that stays ends the run.
  auto removeEarlierExtracted = [&] {
    auto entries = ctx_.env.ListFolder(outputFolder_);
    if (!entries) return true;
    for (const platform::DirEntry& entry : *entries) {
      if (entry.isFolder || !support::MatchesFileWildcard(entry.name, "*.tmp")) continue;
      if (std::string why; !ctx_.env.DeleteFile(outputFolder_ + entry.name, why)) {
        FailRun("Could not remove the earlier extracted file '" + entry.name + "': " + why +
                "; it would be imported as this run's.");
        return false;
      }
      log("Removed the earlier extracted file '" + entry.name + "'.");
    }
    return true;
  };
  // A path with a quote or a control character cannot be passed on as one
  // argument of a command line, and a file name holding '\' would name
  // another file once separators are converted: neither reaches the
  // extraction program.
  auto refusedName = [&](const std::string& path, const std::string& name) {
    if (!support::HoldsQuoteOrControl(path) && name.find('\\') == std::string::npos) return false;
    log("File '" + name +
        "' is not handed to the extraction program: its name holds a quote, a control "
        "character or a '\\'.");
    CountRunProblem();
    return true;
  };
  // The lock is this run's own when the caller did not take it first.
  struct LockRelease {
    std::unique_ptr<platform::FileLock>* lock = nullptr;
    ~LockRelease() {
      if (lock != nullptr) lock->reset();
    }
  } release;
  bool failed = false;
  bool ok = support::Guard<ImportStage>(
      false,
      [&](ImportStage& step) -> bool {
        step = ImportStage::LockAndHeader;
        if (!folderLock_) {
          if (!LockOutputFolder(outputFolder_)) {
            log(failure_);
            return false;
          }
          release.lock = &folderLock_;
        }
        if (logfile_ != 0) {
          const std::string rule(80, '=');
          ctx_.files.Write(logfile_, rule + kCrLf + kCrLf);
          ctx_.files.Write(
              logfile_,
              HeaderLine("Data type:", GetDataType(static_cast<std::int16_t>(Number(dataType_)))));
          ctx_.files.Write(logfile_, HeaderLine("Source:", source_));
          ctx_.files.Write(logfile_, HeaderLine("Output folder:", outputFolder_));
          ctx_.files.Write(logfile_,
                           HeaderLine("Database:", serverConnection_.empty() ? outputDatabase_
                                                                             : serverConnection_));
          ctx_.files.Write(logfile_, HeaderLine("Extractor:", extractor_) + kCrLf);
          ctx_.files.Write(logfile_, rule + kCrLf + kCrLf);
        }
        log("Checking database...");

        step = ImportStage::CheckDatabase;
        // Only "no such file" means missing: a database that is there but cannot
        // be read must never be replaced by the template, nor imported into.
        const std::string databaseName = modFileIO::GetFilenameFromPath(outputDatabase_);
        std::string reason;
        const platform::Presence presence = serverConnection_.empty()
                                                ? ctx_.env.Lookup(outputDatabase_, reason)
                                                : platform::Presence::Present;
        if (!serverConnection_.empty()) {
          // Nothing to look at here: the server is reached by the connection below.
        } else if (presence == platform::Presence::Missing) {
          log("Database '" + databaseName + "' DID NOT exist. Attempting to extract template...");
          if (std::string why; !CopyOverTemplate(why)) {
            FailRun("FAILED to create database '" + databaseName + "'" +
                    (why.empty() ? "" : ": " + why));
            log("Import operation failed.");
            return false;
          }
          log("Extracted database '" + databaseName + "' successfully.");
        } else if (presence == platform::Presence::Unknown) {
          FailRun("The database '" + outputDatabase_ + "' cannot be looked at: " + reason + ".");
          log("Import operation failed.");
          return false;
        } else if (!ctx_.env.CheckReadable(outputDatabase_, reason)) {
          FailRun("The database '" + outputDatabase_ + "' exists but cannot be read: " + reason +
                  ".");
          log("Import operation failed.");
          return false;
        }

        step = ImportStage::Connect;
        log("Beginning import...");
        bool connected = OpenConnection(serverConnection_, "", "", "", true);
        if (!connected) {
          // A server's refusal is named on the terminal too: it is most often
          // the thing to fix (an address, a password file, a server down).
          const std::vector<std::string> none;
          const std::vector<std::string>& why = connection_ ? connection_->Errors() : none;
          FailRun("Failed to connect to database, import aborted." +
                  (serverConnection_.empty() || why.empty() ? "" : " " + why.front()));
        }

        bool extract = connected;
        bool finalMessage = connected;
        std::vector<std::string> arguments;
        bool folderSource = false;
        if (connected) {
          step = ImportStage::SourceKind;
          log("Establishing whether source is a file or folder...");
          folderSource = SourceIsFolder(source_);
        }
        if (connected && folderSource) {
          step = ImportStage::FolderSource;
          log("Source is a folder.");
          if (!support::EndsWith(source_, "\\")) source_ += '\\';
          bool found = usingUI_ || LoadSourceFiles() != 0;
          if (!found) {
            step = ImportStage::NoSourceFiles;
            log("Could not locate any source files.");
            extract = false;
          } else {
            // Refused before the backup too: such a name cannot be copied
            // faithfully either, and a file not imported needs no undo copy.
            std::erase_if(sourceFiles_, [&](const std::string& name) {
              return refusedName(WithBackslash(source_) + name, name);
            });
            if (!BackupSourceFiles()) {
              log("Import operation failed.");
              return false;
            }
            step = ImportStage::RemoveEarlierFiles;
            if (!removeEarlierExtracted()) return false;
            step = ImportStage::BuildFolderCommandLine;
            log("Iterating through source files, running extraction...");
            arguments = {outputFolder_, terminateRecords_ ? "y" : "n"};
            for (const std::string& name : sourceFiles_) {
              if (dataType_ == DataType::CommonResponses && BypassedForCommonResponses(name)) {
                log("Bypassing file: '" + name + "'.");
                continue;
              }
              step = ImportStage::AddSourceFile;
              log("Adding file to command line: '" + name + "'...");
              arguments.push_back(source_ + name);
            }
            step = ImportStage::AddSourceFile;
          }
        } else if (connected) {
          step = ImportStage::FileSource;
          log("Source is a file.");
          if (!BackupSourceFiles()) {
            log("Import operation failed.");
            return false;
          }
          if (refusedName(source_, modFileIO::GetFilenameFromPath(source_))) {
            FailRun(
                "The source file cannot be handed to the extraction program; nothing was "
                "imported.");
            return false;
          }
          // A folder run always cleared them; a file run must not import them either.
          if (!removeEarlierExtracted()) return false;
          if (dataType_ == DataType::Guess) {
            step = ImportStage::GuessType;
            log("Import data type is unknown. Attempting to \"guess\" type...");
            log("Running test extraction.");
            step = ImportStage::TestExtraction;
            if (!runExtractor({outputFolder_, "y", source_}, "test extraction")) return false;
            step = ImportStage::CountTestFiles;
            std::int32_t count = countExtracted();
            if (count == 0) {
              log("Test extraction resulted in zero files. Exiting...");
              return false;
            }
            step = ImportStage::GuessFromFile;
            log("Test extraction produced " + std::to_string(count) + " file(s).");
            double t0 = ctx_.env.MonotonicSeconds();
            GuessImportType(outputFiles_[0]);
            double t1 = ctx_.env.MonotonicSeconds();
            log("ET for \"guessing\" process was: " + Seconds(t1 - t0) + "s.");
          }
          step = ImportStage::BuildFileCommandLine;
          arguments = {outputFolder_, terminateRecords_ ? "y" : "n", source_};
        }

        if (extract) {
          if (folderSource) log("Running extraction application...");
          if (!runExtractor(arguments, "extraction")) {
            modFileIO::Remove(ctx_, outputFolder_ + "*.tmp", modFileIO::Errors::Silent);
            return false;
          }
          step = folderSource ? ImportStage::CountFolderFiles : ImportStage::CountFileFiles;
          std::int32_t count = countExtracted();
          if (count == 0) {
            log("Extraction resulted in zero files. Exiting...");
            return false;
          }
          step = folderSource ? ImportStage::ImportFolderFiles : ImportStage::ImportFileFiles;
          log("Extraction produced " + std::to_string(count) + " file(s).");
          double t0 = ctx_.env.MonotonicSeconds();
          result = ImportSourceFiles();
          double t1 = ctx_.env.MonotonicSeconds();
          log("ET for import process was: " + Seconds(t1 - t0) + "s.");
        }

        if (finalMessage) {
          if (!result)
            log("Import did NOT complete successfully.");
          else if (runProblems_ == 0)
            log("Import finished successfully!");
          else
            log("Import finished, but not cleanly: " + std::to_string(runProblems_) +
                " problem(s) are named above.");
        }
        if (!leaveOutputFiles_)
          modFileIO::Remove(ctx_, outputFolder_ + "*.tmp", modFileIO::Errors::Silent);
        return result;
      },
      [&](const char* what, int step) {
        failed = true;
        LogFailure("Import::CSImportEngine", what, static_cast<std::int16_t>(step));
      });
  if (!failed) return ok;
  // After a failure the extracted files go whatever LeaveOutputFiles says.
  modFileIO::Remove(ctx_, outputFolder_ + "*.tmp", modFileIO::Errors::Silent);
  return result;
}

bool CSImportEngine::ImportSourceFiles() {
  return Trapped("ImportSourceFiles::CSImportEngine", false, [&] {
    SetConflictPolicy(conflictPolicy_);
    recordsRejected_ = 0;
    unansweredConflicts_ = 0;
    fileSummaries_.clear();
    databaseFailureLogged_ = false;
    if (progress_ != nullptr) {
      progress_->SetMin(0);
      progress_->SetMax(static_cast<std::int32_t>(outputFiles_.size()));
    }
    // Another program writing the database is waited for, visibly.
    if (connection_)
      connection_->SetWaitNotice(
          [this] { WriteToLog("Waiting for the database, locked by another program...", "", -1); });
    // An importer that an unexpected failure ended has left files unread: the
    // run did not complete, and says so instead of reporting success. So has
    // one that the database failed under.
    const auto importer = importers_.find(dataType_);
    const bool completed = importer == importers_.end() || importer->second(*this);
    return !DatabaseFailed() && completed;
  });
}

bool CSImportEngine::GuessImportType(const std::string&) {
  return Trapped("GuessImportType", false, [] { return true; });
}

void CSImportEngine::AdvanceProgress() {
  if (progress_ == nullptr) return;
  progress_->SetValue(progress_->Value() + 1);
  ctx_.ui.PumpEvents();
}
