// The two operations that protect and prepare the files an import touches.
#include <stdexcept>

#include "engine/CSImportEngine.h"
#include "startup/ResourceStrings.h"
#include "support/Conversions.h"
#include "support/modFileIO.h"
#include "support/modINIFile.h"

namespace {

constexpr const char* kBackupSource = "BackupSourceFiles::CSImportEngine";

std::string WithBackslash(std::string folder) {
  if (!support::EndsWith(folder, "\\")) folder += '\\';
  return folder;
}

}  // namespace

std::string CSImportEngine::HostConfigurationFile() {
  // The Windows folder first, the fixed path only when that file is missing.
  std::string ini = WithBackslash(ctx_.env.WindowsFolder()) + "Zev.ini";
  if (!modFileIO::Exists(ctx_, ini, false, true)) ini = "C:\\Kestova\\Zev.ini";
  return ini;
}

bool CSImportEngine::CopyOverTemplate() {
  return Trapped("CopyOverTemplate::CSImportEngine", false, [&] {
    if (modFileIO::Exists(ctx_, outputDatabase_, false, false)) return true;
    const std::string ini = HostConfigurationFile();
    std::string appDir = modINIFile::GetINIString(ctx_, ResourceString(res::kDirectoriesSection),
                                                  ResourceString(res::kAppDirKey), "", ini);
    if (appDir.empty()) return false;
    std::string file = ResourceString(res::kDatabaseFileBase + dataType_);
    if (file.empty())
      throw std::runtime_error("The data type " + std::to_string(dataType_) +
                               " has no database file.");
    std::string templatePath = WithBackslash(appDir) + "Data\\" + file;
    return modFileIO::CopyFile(ctx_, templatePath, outputDatabase_, false, true);
  });
}

void CSImportEngine::BackupSourceFiles() {
  Trapped(kBackupSource, false, [&] {
    std::string stamp =
        support::FormatDateTime(ResourceString(res::kBackupFolderPattern), ctx_.env.LocalNow());
    std::string folder = outputFolder_ + stamp;
    // Two runs in the same second must not share a folder: the second run's
    // copies would fail and leave it without an undo copy.
    std::string base = folder.substr(0, folder.size() - (support::EndsWith(folder, "\\") ? 1 : 0));
    for (int n = 2; modFileIO::FolderExists(ctx_, folder, true); ++n)
      folder = base + "-" + std::to_string(n) + "\\";
    if (!modFileIO::CreateDirectoryStructure(ctx_, folder, true)) {
      WriteToLog("Could not create backup folder '" + folder + "'", kBackupSource, -1);
      return false;
    }
    WriteToLog("Created backup folder '" + folder + "'", kBackupSource, -1);
    if (SourceIsFolder(source_)) {
      WriteToLog("Backing up source FILES...", kBackupSource, -1);
      for (const std::string& name : sourceFiles_)
        if (!modFileIO::CopyFile(ctx_, source_ + name, folder + name, true, true))
          WriteToLog("Could not back up source file '" + name + "'.", kBackupSource, -1);
    } else {
      WriteToLog("Backing up source FILE...", kBackupSource, -1);
      const std::string name = modFileIO::GetFilenameFromPath(source_);
      // A run without its undo copy must say so: the copy is the only way back.
      if (!modFileIO::CopyFile(ctx_, source_, folder + name, true, true))
        WriteToLog("Could not back up source file '" + name + "'.", kBackupSource, -1);
    }
    WriteToLog("Backing up source database...", kBackupSource, -1);
    bool copied =
        modFileIO::CopyFile(ctx_, outputDatabase_,
                            folder + modFileIO::GetFilenameFromPath(outputDatabase_), true, true);
    WriteToLog(copied ? "Successfully backed up database." : "Could not backup database.",
               kBackupSource, -1);
    return true;
  });
}
