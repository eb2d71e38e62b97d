// The Env of a real Linux process.
#pragma once

#include <sys/types.h>

#include <vector>

#include "platform/Env.h"

namespace platform {

class PosixEnv final : public Env {
 public:
  using Env::CanEnterFolder, Env::CanOpenForReading, Env::CopyFile, Env::CreateFolder,
      Env::DeleteFile, Env::ListFolder, Env::OpenForReading, Env::OpenOrCreate, Env::ReadWholeFile,
      Env::ReplaceFile;

  std::optional<FileInfo> Stat(const std::string& path) override;
  bool CanOpenForReading(const std::string& path, std::string& reason) override;
  bool OpenOrCreate(const std::string& path, std::string& reason) override;
  bool CanEnterFolder(const std::string& path, std::string& reason) override;
  bool CanWriteFolder(const std::string& path, std::string& reason) override;
  bool CopyFile(const std::string& from, const std::string& to, bool failIfExists,
                std::string& reason) override;
  bool DeleteFile(const std::string& path, std::string& reason) override;
  FolderResult CreateFolder(const std::string& path, std::string& reason) override;
  std::optional<std::vector<DirEntry>> ListFolder(const std::string& path,
                                                  std::string& reason) override;
  std::optional<std::string> ReadWholeFile(const std::string& path, std::string& reason) override;
  bool ReplaceFile(const std::string& path, std::string_view contents,
                   std::string& reason) override;
  std::unique_ptr<ReadableFile> OpenForReading(const std::string& path,
                                               std::string& reason) override;
  std::unique_ptr<WritableFile> OpenForWriting(const std::string& path, bool& taken,
                                               std::string& reason) override;

  Presence Lookup(const std::string& path, std::string& reason) override;
  bool CheckReadable(const std::string& path, std::string& reason) override;
  FolderResult CreatePrivateFolder(const std::string& path, std::string& reason) override;
  bool CopyDatabase(const std::string& from, const std::string& to, std::string& reason) override;
  std::unique_ptr<FileLock> TryLock(const std::string& path, bool& busy,
                                    std::string& reason) override;
  void PrintError(const std::string& line) override;

  std::unique_ptr<db::Backend> OpenDatabase(const std::string& connectionString,
                                            std::vector<std::string>& errors) override;

  std::string CurrentFolder() override;
  std::string ProgramFolder() override;
  std::string WindowsFolder() override;
  std::string SystemFolder() override;

  std::optional<std::string> Variable(const std::string& name) override;

  bool IsExecutableFile(const std::string& path) override;
  std::optional<int> RunProcess(const std::string& program,
                                const std::vector<std::string>& arguments, bool wait,
                                std::string& reason) override;

  double MonotonicSeconds() override;
  LocalTime LocalNow() override;

  // Program form -> the native path the system is called with: separators
  // and drive converted, then case resolved when the path does not exist as
  // written.
  std::string Native(const std::string& path);

 private:
  // Programs started without waiting; reaped when they have ended, at the
  // next start, so none lingers as a zombie for long.
  std::vector<pid_t> unwaited_;
  void ReapUnwaited();
};

}  // namespace platform
