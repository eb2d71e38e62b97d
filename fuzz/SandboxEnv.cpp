#include "SandboxEnv.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "doubles/MemoryFile.h"

namespace fuzzing {

std::string SandboxEnv::FolderKey(const std::string& path) {
  std::string key = path;
  for (char& c : key) {
    if (c == '/') c = '\\';
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  while (key.size() > 1 && key.back() == '\\') key.pop_back();
  return key;
}

std::optional<platform::FileInfo> SandboxEnv::Stat(const std::string& path) {
  if (createdFolders_.count(FolderKey(path))) return platform::FileInfo{.isFolder = true};
  return real_.Stat(path);
}

bool SandboxEnv::CanOpenForReading(const std::string& path, std::string& reason) {
  return real_.CanOpenForReading(path, reason);
}

// Creating is a change to the disk: only an existing file counts.
bool SandboxEnv::OpenOrCreate(const std::string& path, std::string& reason) {
  return real_.CanOpenForReading(path, reason);
}

bool SandboxEnv::CanEnterFolder(const std::string& path, std::string& reason) {
  return createdFolders_.count(FolderKey(path)) > 0 || real_.CanEnterFolder(path, reason);
}

bool SandboxEnv::CanWriteFolder(const std::string& path, std::string& reason) {
  return createdFolders_.count(FolderKey(path)) > 0 || real_.CanWriteFolder(path, reason);
}

platform::FolderResult SandboxEnv::CreateFolder(const std::string& path, std::string& reason) {
  if (path.empty()) {
    reason = "no name";
    return platform::FolderResult::Failed;
  }
  if (CanEnterFolder(path)) return platform::FolderResult::AlreadyExists;
  createdFolders_.insert(FolderKey(path));
  return platform::FolderResult::Created;
}

std::optional<std::vector<platform::DirEntry>> SandboxEnv::ListFolder(const std::string& path,
                                                                      std::string& reason) {
  return real_.ListFolder(path, reason);
}

std::optional<std::string> SandboxEnv::ReadWholeFile(const std::string& path, std::string& reason) {
  return real_.ReadWholeFile(path, reason);
}

std::unique_ptr<platform::ReadableFile> SandboxEnv::OpenForReading(const std::string& path,
                                                                   std::string& reason) {
  if (!memoryPath_.empty() && path == memoryPath_)
    return std::make_unique<testing_doubles::MemoryFile>(memoryBytes_);
  return real_.OpenForReading(path, reason);
}

std::unique_ptr<db::Backend> SandboxEnv::OpenDatabase(const std::string&,
                                                      std::vector<std::string>& errors) {
  errors.push_back("no databases in the sandbox");
  return nullptr;
}

std::optional<std::string> SandboxEnv::Variable(const std::string& name) {
  return real_.Variable(name);
}

bool SandboxEnv::IsExecutableFile(const std::string& path) {
  return executable_ ? executable_(path) : real_.IsExecutableFile(path);
}

void MapDrivesTo(const std::string& nativeRoot) {
  for (char drive = 'A'; drive <= 'Z'; ++drive) {
    const std::string name = std::string("INGESTOR_DRIVE_") + drive;
    ::setenv(name.c_str(), nativeRoot.c_str(), 1);
  }
}

}  // namespace fuzzing
