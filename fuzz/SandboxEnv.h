// An Env for inputs that name arbitrary paths: queries go to the real system
// (they only read), while everything that would change the disk stays in
// memory or fails. A folder "created" here exists only for this Env, so a
// fuzzed command line can never litter the file system.
#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Env.h"
#include "platform/PosixEnv.h"

namespace fuzzing {

class SandboxEnv final : public platform::Env {
 public:
  using Env::CanEnterFolder, Env::CanOpenForReading, Env::CopyFile, Env::CreateFolder,
      Env::DeleteFile, Env::ListFolder, Env::OpenForReading, Env::OpenOrCreate, Env::ReadWholeFile,
      Env::ReplaceFile;
  // `programFolder` (program form) is what ProgramFolder reports.
  explicit SandboxEnv(std::string programFolder) : programFolder_(std::move(programFolder)) {}

  // Forgets the folders created so far.
  void Reset() { createdFolders_.clear(); }
  const std::set<std::string>& CreatedFolders() const { return createdFolders_; }
  // Serves `bytes` (copied) as the contents of the file `path`, for reading
  // only; the path must be spelled as the reader spells it.
  void SetFileInMemory(std::string path, std::string_view bytes) {
    memoryPath_ = std::move(path);
    memoryBytes_.assign(bytes);
  }
  // Replaces the real executable check (nullptr restores it).
  void SetExecutableCheck(std::function<bool(const std::string&)> check) {
    executable_ = std::move(check);
  }

  std::optional<platform::FileInfo> Stat(const std::string& path) override;
  bool CanOpenForReading(const std::string& path, std::string& reason) override;
  bool OpenOrCreate(const std::string& path, std::string& reason) override;
  bool CanEnterFolder(const std::string& path, std::string& reason) override;
  bool CanWriteFolder(const std::string& path, std::string& reason) override;
  bool CopyFile(const std::string&, const std::string&, bool, std::string& reason) override {
    reason = "sandboxed";
    return false;
  }
  bool DeleteFile(const std::string&, std::string& reason) override {
    reason = "sandboxed";
    return false;
  }
  platform::FolderResult CreateFolder(const std::string& path, std::string& reason) override;
  std::optional<std::vector<platform::DirEntry>> ListFolder(const std::string& path,
                                                            std::string& reason) override;
  std::optional<std::string> ReadWholeFile(const std::string& path, std::string& reason) override;
  bool ReplaceFile(const std::string&, std::string_view, std::string& reason) override {
    reason = "sandboxed";
    return false;
  }
  std::unique_ptr<platform::ReadableFile> OpenForReading(const std::string& path,
                                                         std::string& reason) override;
  std::unique_ptr<platform::WritableFile> OpenForWriting(const std::string&, bool& taken,
                                                         std::string& reason) override {
    taken = false;
    reason = "sandboxed";
    return nullptr;
  }
  platform::Presence Lookup(const std::string& path, std::string& reason) override {
    return real_.Lookup(path, reason);
  }
  bool CheckReadable(const std::string& path, std::string& reason) override {
    return real_.CheckReadable(path, reason);
  }
  platform::FolderResult CreatePrivateFolder(const std::string&, std::string& reason) override {
    reason = "sandboxed";
    return platform::FolderResult::Failed;
  }
  bool CopyDatabase(const std::string&, const std::string&, std::string& reason) override {
    reason = "sandboxed";
    return false;
  }
  std::unique_ptr<platform::FileLock> TryLock(const std::string&, bool& busy,
                                              std::string& reason) override {
    busy = false;
    reason = "sandboxed";
    return nullptr;
  }
  void PrintError(const std::string&) override {}
  std::unique_ptr<db::Backend> OpenDatabase(const std::string&,
                                            std::vector<std::string>& errors) override;
  std::string CurrentFolder() override { return programFolder_; }
  std::string ProgramFolder() override { return programFolder_; }
  std::string WindowsFolder() override { return programFolder_; }
  std::string SystemFolder() override { return programFolder_; }
  std::optional<std::string> Variable(const std::string& name) override;
  bool IsExecutableFile(const std::string& path) override;
  std::optional<int> RunProcess(const std::string&, const std::vector<std::string>&, bool,
                                std::string& reason) override {
    reason = "sandboxed";
    return std::nullopt;
  }
  double MonotonicSeconds() override { return 0; }
  platform::LocalTime LocalNow() override { return {2006, 1, 5, 12, 0, 0}; }

 private:
  // The key a created folder is remembered by: lower case, '\' separators,
  // no trailing separator.
  static std::string FolderKey(const std::string& path);

  platform::PosixEnv real_;
  std::string programFolder_;
  std::set<std::string> createdFolders_;
  std::function<bool(const std::string&)> executable_;
  std::string memoryPath_, memoryBytes_;
};

// Maps every drive prefix ("C:" ... "Z:") to `nativeRoot` for the whole
// process, so that a path with a drive names something inside that folder.
void MapDrivesTo(const std::string& nativeRoot);

}  // namespace fuzzing
