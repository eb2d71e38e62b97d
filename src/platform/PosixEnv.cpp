#include "platform/PosixEnv.h"

#include <dirent.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/Paths.h"
#include "platform/db/Connect.h"

namespace platform {

namespace {

// Owns a descriptor; closes it on every path.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

mode_t CurrentUmask() {
  // umask() can only be read by setting it; the process is single-threaded.
  mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
}

// Keeps the system's reason for `error` and gives false, so a failed step
// reads `return Failed(errno, reason);`.
bool Failed(int error, std::string& reason) {
  reason = std::strerror(error);
  return false;
}

// What a name that is no regular file is instead.
std::string NotRegular(mode_t mode) {
  return S_ISDIR(mode) ? std::strerror(EISDIR) : "not a regular file";
}

bool IsRegularFile(int fd, std::string& reason) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return Failed(errno, reason);
  if (S_ISREG(st.st_mode)) return true;
  reason = NotRegular(st.st_mode);
  return false;
}

class PosixWritableFile final : public WritableFile {
 public:
  explicit PosixWritableFile(int fd) : fd_(fd) {}
  ~PosixWritableFile() override { Close(); }
  bool Append(std::string_view bytes) override {
    if (!fd_.ok()) return Failed("the file is closed");
    return WriteAll(fd_.get(), bytes.data(), bytes.size()) || Failed(std::strerror(errno));
  }
  bool Flush() override { return fd_.ok(); }  // writes go straight to the kernel
  bool Close() override {
    if (!fd_.ok()) return false;
    return ::close(fd_.release()) == 0 || Failed(std::strerror(errno));
  }
  std::string Error() const override { return error_; }

 private:
  bool Failed(const char* why) {
    error_ = why;
    return false;
  }

  Fd fd_;
  std::string error_;
};

class PosixReadableFile final : public ReadableFile {
 public:
  PosixReadableFile(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
  std::uint64_t Size() const override { return size_; }
  std::int64_t ReadAt(std::uint64_t offset, char* buffer, std::size_t n,
                      std::string& reason) override {
    std::size_t done = 0;
    while (done < n) {
      ssize_t got = ::pread(fd_.get(), buffer + done, n - done, static_cast<off_t>(offset + done));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        reason = std::strerror(errno);
        return -1;
      }
      if (got == 0) break;
      done += static_cast<std::size_t>(got);
    }
    return static_cast<std::int64_t>(done);
  }

 private:
  Fd fd_;
  std::uint64_t size_;
};

std::string ParentOf(const std::string& native) {
  auto slash = native.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return native.substr(0, slash);
}

// Creates a uniquely named hidden file in the folder of `native` and stores
// its name in `tmp`. A short fixed name, so a target whose own name is near
// the system's limit still gets one, and two writers never share it.
int CreateTempBeside(const std::string& native, std::string& tmp) {
  tmp = ParentOf(native) + "/.ingestor-XXXXXX";
  return ::mkostemp(tmp.data(), O_CLOEXEC);
}

// Gives the file at `tmp` the name `dst` only when that name is free; the
// check and the naming are one step, so nothing that appears meanwhile is
// replaced. link() where the file system has hard links, else a rename that
// refuses to replace.
bool PlaceWithoutReplacing(const std::string& tmp, const std::string& dst) {
  if (::link(tmp.c_str(), dst.c_str()) == 0) return true;
  if (errno != EPERM && errno != EOPNOTSUPP) return false;
  return ::renameat2(AT_FDCWD, tmp.c_str(), AT_FDCWD, dst.c_str(), RENAME_NOREPLACE) == 0;
}

std::string Reason(int error) {
  return std::strerror(error);
}

// Opens for reading without waiting on a FIFO or device that has no writer.
int OpenForReadingNoWait(const std::string& native) {
  return ::open(native.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}

}  // namespace

std::string PosixEnv::Native(const std::string& path) {
  return ResolveCase(ToNative(path, [this](const std::string& n) { return Variable(n); }));
}

std::optional<FileInfo> PosixEnv::Stat(const std::string& path) {
  struct stat st;
  if (::stat(Native(path).c_str(), &st) != 0) return std::nullopt;
  FileInfo info;
  info.isFolder = S_ISDIR(st.st_mode);
  info.size = static_cast<std::uint64_t>(st.st_size);
  info.modifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  info.fileId =
      static_cast<std::uint64_t>(st.st_ino) ^ (static_cast<std::uint64_t>(st.st_dev) << 40);
  return info;
}

bool PosixEnv::CanOpenForReading(const std::string& path, std::string& reason) {
  if (path.empty()) return Failed(ENOENT, reason);
  Fd fd(OpenForReadingNoWait(Native(path)));
  if (!fd.ok()) return Failed(errno, reason);
  return IsRegularFile(fd.get(), reason);
}

bool PosixEnv::OpenOrCreate(const std::string& path, std::string& reason) {
  if (path.empty()) return Failed(ENOENT, reason);
  Fd fd(::open(Native(path).c_str(), O_RDONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666));
  if (!fd.ok()) return Failed(errno, reason);
  return IsRegularFile(fd.get(), reason);
}

bool PosixEnv::CanEnterFolder(const std::string& path, std::string& reason) {
  if (path.empty()) return Failed(ENOENT, reason);
  std::string native = Native(path);
  struct stat st;
  if (::stat(native.c_str(), &st) != 0) return Failed(errno, reason);
  if (!S_ISDIR(st.st_mode)) return Failed(ENOTDIR, reason);
  return ::access(native.c_str(), X_OK) == 0 || Failed(errno, reason);
}

bool PosixEnv::CanWriteFolder(const std::string& path, std::string& reason) {
  if (!CanEnterFolder(path, reason)) return false;
  return ::access(Native(path).c_str(), W_OK | X_OK) == 0 || Failed(errno, reason);
}

bool PosixEnv::CopyFile(const std::string& from, const std::string& to, bool failIfExists,
                        std::string& reason) {
  std::string src = Native(from);
  std::string dst = Native(to);
  Fd in(OpenForReadingNoWait(src));
  if (!in.ok()) return Failed(errno, reason);
  if (!IsRegularFile(in.get(), reason)) return false;
  struct stat st;
  if (::fstat(in.get(), &st) != 0) return Failed(errno, reason);
  struct stat dstSt;
  bool dstExists = ::stat(dst.c_str(), &dstSt) == 0;
  if (dstExists && failIfExists) return Failed(EEXIST, reason);
  if (dstExists && dstSt.st_dev == st.st_dev && dstSt.st_ino == st.st_ino) {
    reason = "the source and the destination are the same file";
    return false;
  }
  // Written under a temporary name and renamed, so a failed or interrupted
  // copy never leaves a partial destination behind.
  std::string tmp;
  Fd out(CreateTempBeside(dst, tmp));
  if (!out.ok()) return Failed(errno, reason);
  // Reading a regular file never blocks; the flag only guarded the open.
  ::fcntl(in.get(), F_SETFL, ::fcntl(in.get(), F_GETFL) & ~O_NONBLOCK);
  bool ok = true;
  // The kernel copies without passing the bytes through this process; where
  // it cannot (another file system type, an old kernel), nothing has been
  // written yet and the plain read/write loop below does the work.
  // It copies a piece at a time and starts each piece's write to the disk
  // at once, so the disk writes while the next piece is copied and the
  // fsync below waits only for the last piece; the hint's failure costs
  // only that overlap, since the fsync still reports any write error.
  constexpr off_t kPiece = off_t{8} << 20;
  bool copied = false;
  for (off_t left = st.st_size, at = 0; left > 0;) {
    ssize_t n = ::copy_file_range(in.get(), nullptr, out.get(), nullptr,
                                  static_cast<std::size_t>(std::min(left, kPiece)), 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && !copied &&
        (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP))
      break;
    if (n < 0) ok = Failed(errno, reason);
    if (n <= 0) break;  // an error, or the file shrank meanwhile
    ::sync_file_range(out.get(), at, n, SYNC_FILE_RANGE_WRITE);
    copied = true;
    left -= n;
    at += n;
  }
  char buffer[1 << 16];
  // Also picks up anything appended to the source while it was copied.
  for (; ok;) {
    ssize_t n = ::read(in.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = Failed(errno, reason);
    if (n <= 0) break;
    if (!WriteAll(out.get(), buffer, static_cast<std::size_t>(n))) {
      ok = Failed(errno, reason);
      break;
    }
  }
  ok = ok &&
       (::fchmod(out.get(), st.st_mode & 0777 & ~CurrentUmask()) == 0 || Failed(errno, reason));
  ok = ok && (::fsync(out.get()) == 0 || Failed(errno, reason));
  ok = (::close(out.release()) == 0 || (ok && Failed(errno, reason))) && ok;
  if (ok) {
    if (failIfExists) {
      ok = PlaceWithoutReplacing(tmp, dst) || Failed(errno, reason);
    } else
      ok = ::rename(tmp.c_str(), dst.c_str()) == 0 || Failed(errno, reason);
  }
  ::unlink(tmp.c_str());
  return ok;
}

bool PosixEnv::DeleteFile(const std::string& path, std::string& reason) {
  std::string native = Native(path);
  struct stat st;
  if (::lstat(native.c_str(), &st) != 0) return Failed(errno, reason);
  if (S_ISDIR(st.st_mode)) return Failed(EISDIR, reason);
  return ::unlink(native.c_str()) == 0 || Failed(errno, reason);
}

FolderResult PosixEnv::CreateFolder(const std::string& path, std::string& reason) {
  std::string native = Native(path);
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  if (::mkdir(native.c_str(), 0777) == 0) return FolderResult::Created;
  const int error = errno;
  Failed(error, reason);
  if (error == EEXIST) {
    struct stat st;
    if (::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return FolderResult::AlreadyExists;
  }
  return FolderResult::Failed;
}

std::optional<std::vector<DirEntry>> PosixEnv::ListFolder(const std::string& path,
                                                          std::string& reason) {
  std::string native = Native(path);
  // push_back, not assignment: GCC 12 at -O2 warns falsely (-Wrestrict) on
  // `native = "."` and `native + "/"` here.
  if (native.empty()) native.push_back('.');
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(native.c_str()), ::closedir);
  if (!dir) {
    Failed(errno, reason);
    return std::nullopt;
  }
  std::vector<DirEntry> entries;
  std::string base = native;
  if (base.back() != '/') base.push_back('/');
  while (struct dirent* e = ::readdir(dir.get())) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    bool folder = e->d_type == DT_DIR;
    if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
      struct stat st;
      folder = ::stat((base + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    entries.push_back({std::move(name), folder});
  }
  return entries;
}

std::optional<std::string> PosixEnv::ReadWholeFile(const std::string& path, std::string& reason) {
  Fd fd(OpenForReadingNoWait(Native(path)));
  if (!fd.ok()) {
    Failed(errno, reason);
    return std::nullopt;
  }
  if (!IsRegularFile(fd.get(), reason)) return std::nullopt;
  ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
  std::string data;
  char buffer[1 << 16];
  for (;;) {
    ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      Failed(errno, reason);
      return std::nullopt;
    }
    if (n == 0) break;
    data.append(buffer, static_cast<std::size_t>(n));
  }
  return data;
}

bool PosixEnv::ReplaceFile(const std::string& path, std::string_view contents,
                           std::string& reason) {
  std::string native = Native(path);
  std::string tmp;
  Fd out(CreateTempBeside(native, tmp));
  if (!out.ok()) return Failed(errno, reason);
  // The replacement keeps the permissions of the file it replaces; a new
  // file gets those of any file the process creates.
  struct stat old;
  mode_t mode = ::stat(native.c_str(), &old) == 0 ? (old.st_mode & 0777) : (0666 & ~CurrentUmask());
  bool ok = ::fchmod(out.get(), mode) == 0 || Failed(errno, reason);
  ok = ok && ((WriteAll(out.get(), contents.data(), contents.size()) && ::fsync(out.get()) == 0) ||
              Failed(errno, reason));
  ok = (::close(out.release()) == 0 || (ok && Failed(errno, reason))) && ok;
  ok = ok && (::rename(tmp.c_str(), native.c_str()) == 0 || Failed(errno, reason));
  if (!ok) {
    ::unlink(tmp.c_str());
    return false;
  }
  // Make the rename itself durable.
  Fd dir(::open(ParentOf(native).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.ok()) ::fsync(dir.get());
  return true;
}

std::unique_ptr<ReadableFile> PosixEnv::OpenForReading(const std::string& path,
                                                       std::string& reason) {
  Fd fd(OpenForReadingNoWait(Native(path)));
  struct stat st {};
  if (!fd.ok() || ::fstat(fd.get(), &st) != 0) {
    Failed(errno, reason);
    return nullptr;
  }
  if (!S_ISREG(st.st_mode)) {
    reason = NotRegular(st.st_mode);
    return nullptr;
  }
  ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
  return std::make_unique<PosixReadableFile>(fd.release(), static_cast<std::uint64_t>(st.st_size));
}

std::unique_ptr<WritableFile> PosixEnv::OpenForWriting(const std::string& path, bool& taken,
                                                       std::string& reason) {
  taken = false;
  if (path.empty()) {
    reason = Reason(ENOENT);
    return nullptr;
  }
  // O_EXCL also refuses a symbolic link, dangling or not, at the name.
  int fd = ::open(Native(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    taken = errno == EEXIST;
    reason = Reason(errno);
    return nullptr;
  }
  return std::make_unique<PosixWritableFile>(fd);
}

Presence PosixEnv::Lookup(const std::string& path, std::string& reason) {
  struct stat st;
  if (::lstat(Native(path).c_str(), &st) == 0) return Presence::Present;
  reason = Reason(errno);
  return errno == ENOENT ? Presence::Missing : Presence::Unknown;
}

bool PosixEnv::CheckReadable(const std::string& path, std::string& reason) {
  Fd fd(OpenForReadingNoWait(Native(path)));
  if (!fd.ok()) {
    reason = Reason(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    reason = S_ISDIR(st.st_mode) ? Reason(EISDIR) : "not a regular file";
    return false;
  }
  char byte;
  if (::pread(fd.get(), &byte, 1, 0) < 0) {
    reason = Reason(errno);
    return false;
  }
  return true;
}

FolderResult PosixEnv::CreatePrivateFolder(const std::string& path, std::string& reason) {
  std::string native = Native(path);
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  if (::mkdir(native.c_str(), 0700) == 0) return FolderResult::Created;
  reason = Reason(errno);
  return errno == EEXIST ? FolderResult::AlreadyExists : FolderResult::Failed;
}

namespace {

// A whole-file shared lock for as long as it lives.
class SharedFlock {
 public:
  explicit SharedFlock(int fd) : fd_(fd), ok_(::flock(fd, LOCK_SH | LOCK_NB) == 0) {}
  ~SharedFlock() {
    if (ok_) ::flock(fd_, LOCK_UN);
  }
  SharedFlock(const SharedFlock&) = delete;
  SharedFlock& operator=(const SharedFlock&) = delete;
  bool ok() const { return ok_; }

 private:
  int fd_;
  bool ok_;
};

// Copies the embedded database `src` into the empty file `dst` with SQLite's
// backup, which reads the source under a read lock (retried while a writer
// holds it) so the copy is one committed state.
bool BackupSqlite(const std::string& src, const std::string& dst, std::string& reason) {
  auto closer = [](sqlite3* db) { sqlite3_close_v2(db); };
  sqlite3* raw = nullptr;
  // Read-write when possible: a journal left by a killed writer must be
  // rolled back before the file reads as one state.
  int rc = sqlite3_open_v2(src.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_close_v2(raw);
    raw = nullptr;
    rc = sqlite3_open_v2(src.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
  }
  std::unique_ptr<sqlite3, decltype(closer)> from(raw, closer);
  if (rc != SQLITE_OK) {
    reason = raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc);
    return false;
  }
  raw = nullptr;
  rc = sqlite3_open_v2(dst.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
  std::unique_ptr<sqlite3, decltype(closer)> to(raw, closer);
  if (rc != SQLITE_OK) {
    reason = raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc);
    return false;
  }
  sqlite3_busy_timeout(from.get(), 1000);
  sqlite3_backup* backup = sqlite3_backup_init(to.get(), "main", from.get(), "main");
  if (backup == nullptr) {
    reason = sqlite3_errmsg(to.get());
    return false;
  }
  // Whole in one step, so no write can slip in between pages; a busy source
  // is waited for up to a minute.
  for (int tries = 0; tries < 600; ++tries) {
    rc = sqlite3_backup_step(backup, -1);
    if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED) break;
    sqlite3_sleep(100);
  }
  sqlite3_backup_finish(backup);
  if (rc != SQLITE_DONE) {
    reason = sqlite3_errstr(rc);
    return false;
  }
  return true;
}

}  // namespace

bool PosixEnv::CopyDatabase(const std::string& from, const std::string& to, std::string& reason) {
  const std::string src = Native(from);
  const std::string dst = Native(to);
  Fd in(OpenForReadingNoWait(src));
  if (!in.ok()) {
    reason = Reason(errno);
    return false;
  }
  ::fcntl(in.get(), F_SETFL, ::fcntl(in.get(), F_GETFL) & ~O_NONBLOCK);
  char header[16] = {};
  const bool embedded = ::pread(in.get(), header, sizeof header, 0) == sizeof header &&
                        std::memcmp(header, "SQLite format 3", sizeof header) == 0;
  if (!embedded) {
    // Not a file SQLite reads: whatever writes it is kept out meanwhile by a
    // shared lock. CopyFile places the copy without replacing anything.
    SharedFlock lock(in.get());
    if (!lock.ok()) {
      reason = errno == EWOULDBLOCK ? "the database is locked by another program" : Reason(errno);
      return false;
    }
    if (!CopyFile(from, to, true)) {
      reason = Lookup(to, reason) == Presence::Present ? Reason(EEXIST) : "the copy failed";
      return false;
    }
    return true;
  }
  std::string tmp;
  Fd out(CreateTempBeside(dst, tmp));
  if (!out.ok()) {
    reason = Reason(errno);
    return false;
  }
  bool ok = BackupSqlite(src, tmp, reason);
  if (ok && ::fsync(out.get()) != 0) {
    reason = Reason(errno);
    ok = false;
  }
  if (ok && !PlaceWithoutReplacing(tmp, dst)) {
    reason = Reason(errno);
    ok = false;
  }
  ::unlink(tmp.c_str());
  return ok;
}

namespace {

class PosixFileLock final : public FileLock {
 public:
  explicit PosixFileLock(int fd) : fd_(fd) {}

 private:
  Fd fd_;  // closing the descriptor releases the lock
};

}  // namespace

std::unique_ptr<FileLock> PosixEnv::TryLock(const std::string& path, bool& busy,
                                            std::string& reason) {
  busy = false;
  Fd fd(::open(Native(path).c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666));
  if (!fd.ok()) {
    reason = Reason(errno);
    return nullptr;
  }
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    busy = errno == EWOULDBLOCK;
    reason = Reason(errno);
    return nullptr;
  }
  return std::make_unique<PosixFileLock>(fd.release());
}

void PosixEnv::PrintError(const std::string& line) {
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
}

std::unique_ptr<db::Backend> PosixEnv::OpenDatabase(const std::string& connectionString,
                                                    std::vector<std::string>& errors) {
  return db::OpenBackend(
      connectionString, [this](const std::string& path) { return Native(path); }, errors);
}

std::string PosixEnv::CurrentFolder() {
  char buffer[PATH_MAX];
  if (::getcwd(buffer, sizeof buffer) == nullptr) return "";
  return ToProgramForm(buffer);
}

std::string PosixEnv::ProgramFolder() {
  char buffer[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return CurrentFolder();
  std::string exe(buffer, static_cast<std::size_t>(n));
  return ToProgramForm(ParentOf(exe));
}

std::string PosixEnv::WindowsFolder() {
  auto windir = Variable("WINDIR");
  std::string folder = (windir && !windir->empty()) ? ToProgramForm(*windir) : "\\etc";
  while (folder.size() > 1 && folder.back() == '\\') folder.pop_back();
  return folder;
}

std::string PosixEnv::SystemFolder() {
  return "\\usr\\lib";
}

std::optional<std::string> PosixEnv::Variable(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

double PosixEnv::MonotonicSeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

LocalTime PosixEnv::LocalNow() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  ::localtime_r(&now, &tm);
  return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

}  // namespace platform
