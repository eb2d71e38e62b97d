// The two operations that protect and prepare the files an import touches.
#include <stdexcept>

#include "engine/CSImportEngine.h"
#include "support/Conversions.h"
#include "support/ResourceStrings.h"
#include "support/modFileIO.h"
#include "support/modINIFile.h"

namespace {

constexpr const char* kBackupSource = "BackupSourceFiles::CSImportEngine";
// Backup folders of one second tried before giving up.
constexpr int kMaxNumberedFolders = 1000;

std::string WithBackslash(std::string folder) {
  if (!support::EndsWith(folder, "\\")) folder += '\\';
  return folder;
}

}  // namespace

std::string CSImportEngine::HostConfigurationFile() {
  // The Windows folder first, the fixed path only when that file is missing.
  std::string ini = WithBackslash(ctx_.env.WindowsFolder()) + "Zev.ini";
  if (!modFileIO::FileExists(ctx_, ini, modFileIO::Missing::Report, modFileIO::Errors::Silent))
    ini = "C:\\Kestova\\Zev.ini";
  return ini;
}

bool CSImportEngine::CopyOverTemplate(std::string& copyReason) {
  return Trapped("CopyOverTemplate::CSImportEngine", false, [&] {
    std::string reason;
    const platform::Presence presence = ctx_.env.Lookup(outputDatabase_, reason);
    if (presence != platform::Presence::Missing) return presence == platform::Presence::Present;
    const std::string ini = HostConfigurationFile();
    std::string appDir = modINIFile::GetINIString(ctx_, ResourceString(res::kDirectoriesSection),
                                                  ResourceString(res::kAppDirKey), "", ini);
    if (appDir.empty()) {
      const bool noFile = ctx_.env.Lookup(ini, reason) == platform::Presence::Missing;
      copyReason = "the host's configuration file '" + ini +
                   (noFile ? "' does not exist" : "' names no AppDir");
      return false;
    }
    std::string file = ResourceString(res::kDatabaseFileBase + Number(dataType_));
    if (file.empty())
      throw std::runtime_error("The data type " + std::to_string(Number(dataType_)) +
                               " has no database file.");
    std::string templatePath = WithBackslash(appDir) + "Data\\" + file;
    // Placed only where no file is: a database that appeared meanwhile (a
    // second run placing the same template) is never replaced, but used.
    if (modFileIO::CopyFile(ctx_, templatePath, outputDatabase_, modFileIO::Existing::Keep,
                            modFileIO::Errors::Silent, copyReason))
      return true;
    return ctx_.env.Lookup(outputDatabase_, reason) == platform::Presence::Present;
  });
}

bool CSImportEngine::BackupSourceFiles() {
  return Trapped(kBackupSource, false, [&] {
    std::string stamp =
        support::FormatDateTime(ResourceString(res::kBackupFolderPattern), ctx_.env.LocalNow());
    std::string folder = outputFolder_ + stamp;
    // Two runs in the same second must not share a folder: the name is
    // claimed by creating it, and a taken one gets the next number. Only the
    // owner may enter it, since it holds copies of the user's data.
    std::string base = folder.substr(0, folder.size() - (support::EndsWith(folder, "\\") ? 1 : 0));
    std::string reason;
    for (int n = 2;; ++n) {
      platform::FolderResult made = ctx_.env.CreatePrivateFolder(folder, reason);
      if (made == platform::FolderResult::Created) break;
      if (made == platform::FolderResult::Failed || n > kMaxNumberedFolders) {
        FailRun("Could not create backup folder '" + folder + "': " + reason +
                "; nothing was imported.");
        return false;
      }
      folder = base + "-" + std::to_string(n) + "\\";
    }
    WriteToLog("Created backup folder '" + folder + "'", kBackupSource, -1);
    // Without its undo copy a run must not write: every copy is required.
    auto backUp = [&](const std::string& path) {
      const std::string name = modFileIO::GetFilenameFromPath(path);
      std::string why;
      if (modFileIO::CopyFile(ctx_, path, folder + name, modFileIO::Existing::Keep,
                              modFileIO::Errors::Silent, why))
        return true;
      FailRun("Could not back up source file '" + name + "'" + (why.empty() ? "" : ": " + why) +
              "; nothing was imported.");
      return false;
    };
    if (SourceIsFolder(source_)) {
      WriteToLog("Backing up source FILES...", kBackupSource, -1);
      for (const std::string& name : sourceFiles_)
        if (!backUp(WithBackslash(source_) + name)) return false;
    } else {
      WriteToLog("Backing up source FILE...", kBackupSource, -1);
      if (!backUp(source_)) return false;
    }
    if (!serverConnection_.empty()) {
      WriteToLog("The database is on a server: back it up with the server's own tools.",
                 kBackupSource, -1);
      return true;
    }
    WriteToLog("Backing up source database...", kBackupSource, -1);
    if (!ctx_.env.CopyDatabase(outputDatabase_,
                               folder + modFileIO::GetFilenameFromPath(outputDatabase_), reason)) {
      FailRun("Could not backup database: " + reason + "; nothing was imported.");
      return false;
    }
    WriteToLog("Successfully backed up database.", kBackupSource, -1);
    return true;
  });
}
