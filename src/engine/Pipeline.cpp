// One import from start to end: database, connection, sources, backup,
// extraction, extracted files, the importer of the data type, clean-up.
#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "engine/CSImportEngine.h"
#include "engine/DbConnection.h"
#include "engine/modShellExecute.h"
#include "platform/FileChannels.h"
#include "support/Conversions.h"
#include "support/LikePattern.h"
#include "support/modFileIO.h"
#include "ui/CProgressBar.h"

namespace {

constexpr const char* kCrLf = "\r\n";
constexpr std::int32_t kNormalPriority = 32;

// Elapsed seconds as plain decimal text without trailing zeros ("12.5").
std::string Seconds(double seconds) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.3f", seconds);
  std::string text = buf;
  while (!text.empty() && text.back() == '0') text.pop_back();
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
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
  return line + value + kCrLf;
}

}  // namespace

bool CSImportEngine::Import() {
  int step = 0;
  bool result = false;
  auto log = [&](const std::string& text) { WriteToLog(text, "", -1); };
  // Runs the extraction program and logs its elapsed time and exit code.
  std::int32_t exitCode = 0;
  auto runExtractor = [&](const std::string& command, const std::string& what) {
    double t0 = ctx_.env.MonotonicSeconds();
    modShellExecute::LaunchApplication(ctx_, command, "", true, kNormalPriority, exitCode);
    double t1 = ctx_.env.MonotonicSeconds();
    log("ET for " + what + " was: " + Seconds(t1 - t0) + " s.");
    log("Extraction application returned: " + std::to_string(exitCode));
  };
  // The extracted files; a folder that cannot be searched holds none either.
  auto countExtracted = [&] {
    std::string mask = "*.tmp";
    return std::max(GetOutputFiles(outputFolder_, mask), std::int32_t{0});
  };
  try {
    step = 1;
    if (logfile_ != 0) {
      const std::string rule(80, '=');
      ctx_.files.Write(logfile_, rule + kCrLf + kCrLf);
      ctx_.files.Write(logfile_,
                       HeaderLine("Data type:", GetDataType(static_cast<std::int16_t>(dataType_))));
      ctx_.files.Write(logfile_, HeaderLine("Source:", source_));
      ctx_.files.Write(logfile_, HeaderLine("Output folder:", outputFolder_));
      ctx_.files.Write(logfile_, HeaderLine("Database:", outputDatabase_));
      ctx_.files.Write(logfile_, HeaderLine("Extractor:", extractor_) + kCrLf);
      ctx_.files.Write(logfile_, rule + kCrLf + kCrLf);
    }
    log("Checking database...");

    step = 2;
    const std::string databaseName = modFileIO::GetFilenameFromPath(outputDatabase_);
    if (!modFileIO::Exists(ctx_, outputDatabase_)) {
      log("Database '" + databaseName + "' DID NOT exist. Attempting to extract template...");
      if (!CopyOverTemplate()) {
        log("FAILED to create database '" + databaseName + "'");
        log("Import operation failed.");
        return false;
      }
      log("Extracted database '" + databaseName + "' successfully.");
    }

    step = 3;
    log("Beginning import...");
    bool connected = OpenConnection("", "", "", "", true);
    if (!connected) log("Failed to connect to database, import aborted.");

    bool extract = connected;
    bool finalMessage = connected;
    std::string commandLine;
    bool folderSource = false;
    if (connected) {
      step = 4;
      log("Establishing whether source is a file or folder...");
      folderSource = SourceIsFolder(source_);
    }
    if (connected && folderSource) {
      step = 5;
      log("Source is a folder.");
      if (!support::EndsWith(source_, "\\")) source_ += '\\';
      bool found = usingUI_ || LoadSourceFiles() != 0;
      if (!found) {
        step = 15;
        log("Could not locate any source files.");
        extract = false;
      } else {
        BackupSourceFiles();
        step = 6;
        modFileIO::Remove(ctx_, outputFolder_ + "*.tmp", true, true);
        step = 7;
        log("Iterating through source files, running extraction...");
        std::string built =
            " " + Quoted(outputFolder_) + " " + Quoted(terminateRecords_ ? "y" : "n") + " ";
        bool first = true;
        for (const std::string& name : sourceFiles_) {
          if (dataType_ == 0 && BypassedForCommonResponses(name)) {
            log("Bypassing file: '" + name + "'.");
            continue;
          }
          step = 8;
          log("Adding file to command line: '" + name + "'...");
          built += (first ? "" : " ") + Quoted(source_ + name);
          first = false;
        }
        commandLine = extractor_ + built;
        step = 8;
      }
    } else if (connected) {
      step = 16;
      log("Source is a file.");
      BackupSourceFiles();
      if (dataType_ == 9) {
        step = 17;
        log("Import data type is unknown. Attempting to \"guess\" type...");
        log("Running test extraction.");
        step = 18;
        std::string test =
            extractor_ + " " + Quoted(outputFolder_) + " " + Quoted("y") + " " + Quoted(source_);
        runExtractor(test, "test extraction");
        step = 19;
        std::int32_t count = countExtracted();
        if (count == 0) {
          log("Test extraction resulted in zero files. Exiting...");
          return false;
        }
        step = 20;
        log("Test extraction produced " + std::to_string(count) + " file(s).");
        double t0 = ctx_.env.MonotonicSeconds();
        GuessImportType(outputFiles_[0]);
        double t1 = ctx_.env.MonotonicSeconds();
        log("ET for \"guessing\" process was: " + Seconds(t1 - t0) + "s.");
      }
      step = 23;
      commandLine = extractor_ + " " + Quoted(outputFolder_) + " " +
                    Quoted(terminateRecords_ ? "y" : "n") + " " + Quoted(source_);
    }

    if (extract) {
      if (folderSource) log("Running extraction application...");
      runExtractor(commandLine, "extraction");
      step = folderSource ? 9 : 24;
      std::int32_t count = countExtracted();
      if (count == 0) {
        log("Extraction resulted in zero files. Exiting...");
        return false;
      }
      step = folderSource ? 10 : 25;
      log("Extraction produced " + std::to_string(count) + " file(s).");
      double t0 = ctx_.env.MonotonicSeconds();
      result = ImportSourceFiles();
      double t1 = ctx_.env.MonotonicSeconds();
      log("ET for import process was: " + Seconds(t1 - t0) + "s.");
    }

    if (finalMessage)
      log(result ? "Import finished successfully!" : "Import did NOT complete successfully.");
    if (!leaveOutputFiles_) modFileIO::Remove(ctx_, outputFolder_ + "*.tmp", true, true);
    return result;
  } catch (const std::exception& e) {
    LogFailure("Import::CSImportEngine", e.what(), static_cast<std::int16_t>(step));
  } catch (...) {
    LogFailure("Import::CSImportEngine", "Unknown error", static_cast<std::int16_t>(step));
  }
  // After a failure the extracted files go whatever LeaveOutputFiles says.
  modFileIO::Remove(ctx_, outputFolder_ + "*.tmp", true, true);
  return result;
}

bool CSImportEngine::ImportSourceFiles() {
  return Trapped("ImportSourceFiles::CSImportEngine", false, [&] {
    overwriteAllConflicts_ = false;
    keepAllExisting_ = false;
    recordsRejected_ = 0;
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
    bool completed = true;
    switch (dataType_) {
      case 0:
      case 1:
      case 2:
      case 3:
        completed = ImportCommonResponses();
        break;
      case 4:
        completed = ImportFileIndex() >= 0;
        break;
      case 5:
        completed = ImportLenderInformation() >= 0;
        break;
      case 6:
        completed = ImportNeighborhoodInformation() >= 0;
        break;
      case 7:
        completed = ImportZazOzurs() >= 0;
        break;
      default:
        break;  // a type without an importer imports nothing
    }
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
