// The operating-system seam. The core reaches files, folders, the clock and
// the process environment only through an Env, so tests can wrap the real one
// and inject failures (a copy that fails, a folder that cannot be created, a
// clock at 23:59:59).
//
// Every path an Env receives or returns is in program form: '\' separators
// (a '/' is accepted too) and an optional drive prefix such as "C:". The POSIX
// implementation converts to native form only at the system call.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/Backend.h"

namespace platform {

struct DirEntry {
  std::string name;
  bool isFolder = false;
};

struct FileInfo {
  bool isFolder = false;
  std::uint64_t size = 0;
  std::int64_t modifiedNs = 0;  // modification time, nanoseconds since the epoch
  std::uint64_t fileId = 0;     // identifies the file on its device (a replaced file differs)
};

struct LocalTime {
  int year = 1970, month = 1, day = 1;
  int hour = 0, minute = 0, second = 0;
};

enum class FolderResult { Created, AlreadyExists, Failed };

// Whether a name is taken. Only "no such file" is Missing; a path that cannot
// be looked at (no permission to search a folder, an I/O error) is Unknown.
enum class Presence { Missing, Present, Unknown };

// An advisory lock held on a file until destroyed.
class FileLock {
 public:
  virtual ~FileLock() = default;
};

// A file opened for writing. Closing happens on destruction when not done
// explicitly; a failed write is reported, never thrown.
class WritableFile {
 public:
  virtual ~WritableFile() = default;
  virtual bool Append(std::string_view bytes) = 0;
  virtual bool Flush() = 0;
  virtual bool Close() = 0;
  // Why the last failed call failed: the system's text ("" when not known).
  virtual std::string Error() const { return ""; }
};

// A file opened for reading at any offset. Closing happens on destruction.
class ReadableFile {
 public:
  virtual ~ReadableFile() = default;
  // The size when the file was opened.
  virtual std::uint64_t Size() const = 0;
  // Reads up to `n` bytes at `offset` into `buffer`: the number read (fewer
  // only at end of file), or -1 on a read error with the system's reason.
  virtual std::int64_t ReadAt(std::uint64_t offset, char* buffer, std::size_t n,
                              std::string& reason) = 0;
  std::int64_t ReadAt(std::uint64_t offset, char* buffer, std::size_t n) {
    std::string reason;
    return ReadAt(offset, buffer, n, reason);
  }
};

class Env {
 public:
  virtual ~Env() = default;

  // --- Files and folders
  // Each operation that can fail gives the system's reason in `reason` (the
  // text of errno, e.g. "Permission denied") when it does; the forms without
  // it are for callers that only need to know whether it worked.
  //
  // Size, kind and modification time; nullopt when the path names nothing.
  virtual std::optional<FileInfo> Stat(const std::string& path) = 0;
  // True when `path` is a file (not a folder) that can be opened for reading.
  virtual bool CanOpenForReading(const std::string& path, std::string& reason) = 0;
  // Opens `path` for reading, creating an empty file when it is missing.
  // True when the file exists and is readable afterwards.
  virtual bool OpenOrCreate(const std::string& path, std::string& reason) = 0;
  // True when `path` is a folder that could be made the current directory.
  virtual bool CanEnterFolder(const std::string& path, std::string& reason) = 0;
  // True when `path` is a folder in which this process may create files.
  virtual bool CanWriteFolder(const std::string& path, std::string& reason) = 0;
  // Copies a regular file. With failIfExists an existing destination is left
  // untouched and the copy fails. A partial destination never remains.
  virtual bool CopyFile(const std::string& from, const std::string& to, bool failIfExists,
                        std::string& reason) = 0;
  // Deletes one file (never a folder).
  virtual bool DeleteFile(const std::string& path, std::string& reason) = 0;
  // Creates one folder; its parent must exist.
  virtual FolderResult CreateFolder(const std::string& path, std::string& reason) = 0;
  // Every entry of a folder except "." and "..", in the order the system
  // returns them; nullopt when the folder cannot be searched.
  virtual std::optional<std::vector<DirEntry>> ListFolder(const std::string& path,
                                                          std::string& reason) = 0;
  // The whole contents of a file; nullopt when it cannot be read.
  virtual std::optional<std::string> ReadWholeFile(const std::string& path,
                                                   std::string& reason) = 0;
  // Replaces `path` with `contents` so that a reader sees either the old or the
  // new file, never a partial one (temporary file, flush, rename). The parent
  // folder must exist.
  virtual bool ReplaceFile(const std::string& path, std::string_view contents,
                           std::string& reason) = 0;
  // Opens a regular file for reading; nullptr when it cannot be.
  virtual std::unique_ptr<ReadableFile> OpenForReading(const std::string& path,
                                                       std::string& reason) = 0;
  // Creates `path` as a new, empty file and opens it for writing. A name that
  // exists (a symbolic link included) is never opened, emptied or followed:
  // nullptr with `taken` set. Any failure gives the system's reason.
  virtual std::unique_ptr<WritableFile> OpenForWriting(const std::string& path, bool& taken,
                                                       std::string& reason) = 0;

  bool CanOpenForReading(const std::string& path) {
    std::string reason;
    return CanOpenForReading(path, reason);
  }
  bool OpenOrCreate(const std::string& path) {
    std::string reason;
    return OpenOrCreate(path, reason);
  }
  bool CanEnterFolder(const std::string& path) {
    std::string reason;
    return CanEnterFolder(path, reason);
  }
  bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) {
    std::string reason;
    return CopyFile(from, to, failIfExists, reason);
  }
  bool DeleteFile(const std::string& path) {
    std::string reason;
    return DeleteFile(path, reason);
  }
  FolderResult CreateFolder(const std::string& path) {
    std::string reason;
    return CreateFolder(path, reason);
  }
  std::optional<std::vector<DirEntry>> ListFolder(const std::string& path) {
    std::string reason;
    return ListFolder(path, reason);
  }
  std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::string reason;
    return ReadWholeFile(path, reason);
  }
  bool ReplaceFile(const std::string& path, std::string_view contents) {
    std::string reason;
    return ReplaceFile(path, contents, reason);
  }
  std::unique_ptr<ReadableFile> OpenForReading(const std::string& path) {
    std::string reason;
    return OpenForReading(path, reason);
  }

  // --- Operations that say why they failed (`reason`: the system's text)
  // Whether `path` names anything, itself not followed when it is a link.
  virtual Presence Lookup(const std::string& path, std::string& reason) = 0;
  // True when `path` is a regular file whose first bytes can be read.
  virtual bool CheckReadable(const std::string& path, std::string& reason) = 0;
  // Creates one folder that only its owner may enter; its parent must exist.
  // AlreadyExists when the name is taken by anything.
  virtual FolderResult CreatePrivateFolder(const std::string& path, std::string& reason) = 0;
  // Copies a database file to `to`, which must not exist. The copy is taken
  // as one consistent state: an embedded database through its own backup
  // under a read lock, any other file under a shared lock, so a writer at
  // work cannot leave a torn copy. A partial destination never remains.
  virtual bool CopyDatabase(const std::string& from, const std::string& to,
                            std::string& reason) = 0;
  // Takes an exclusive advisory lock on the file `path` (created when
  // missing, never through a link) without waiting. nullptr when it cannot:
  // `busy` set when another holder has it.
  virtual std::unique_ptr<FileLock> TryLock(const std::string& path, bool& busy,
                                            std::string& reason) = 0;
  // One line on the process's error stream (the terminal of a script).
  virtual void PrintError(const std::string& line) = 0;

  // --- Databases
  // Opens the database a connection string names (see platform/db/Connect.h);
  // nullptr with the driver's messages in `errors` when it cannot be opened.
  virtual std::unique_ptr<db::Backend> OpenDatabase(const std::string& connectionString,
                                                    std::vector<std::string>& errors) = 0;

  // --- Folders the platform names (program form, no trailing separator)
  virtual std::string CurrentFolder() = 0;
  virtual std::string ProgramFolder() = 0;
  virtual std::string WindowsFolder() = 0;
  virtual std::string SystemFolder() = 0;

  // --- Process environment
  virtual std::optional<std::string> Variable(const std::string& name) = 0;

  // --- Other programs
  // True when `path` names a regular file the user may execute.
  virtual bool IsExecutableFile(const std::string& path) = 0;
  // Starts `program` with `arguments` (argument 0, the program path, is
  // supplied here). The program path and every argument that contains '\' or
  // starts with a drive prefix ("X:") are paths and reach the program in
  // native form; other arguments pass unchanged. The program gets an empty
  // environment and inherits the current folder and the standard streams.
  // With `wait` the call returns when the program has ended: its exit status,
  // or 128 + the signal number when a signal ended it. Without `wait` it
  // returns 0 as soon as the program has started. nullopt with the system's
  // reason when the program could not be started (or, with `wait`, its end
  // could not be observed).
  virtual std::optional<int> RunProcess(const std::string& program,
                                        const std::vector<std::string>& arguments, bool wait,
                                        std::string& reason) = 0;

  // --- Time
  // Seconds from an arbitrary fixed point; never goes backwards.
  virtual double MonotonicSeconds() = 0;
  virtual LocalTime LocalNow() = 0;
};

}  // namespace platform
