#include "platform/PosixEnv.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
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

bool IsRegularFile(int fd) {
  struct stat st;
  return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

class PosixWritableFile final : public WritableFile {
 public:
  explicit PosixWritableFile(int fd) : fd_(fd) {}
  ~PosixWritableFile() override { Close(); }
  bool Append(std::string_view bytes) override {
    return fd_.ok() && WriteAll(fd_.get(), bytes.data(), bytes.size());
  }
  bool Flush() override { return fd_.ok(); }  // writes go straight to the kernel
  bool Close() override {
    if (!fd_.ok()) return false;
    return ::close(fd_.release()) == 0;
  }

 private:
  Fd fd_;
};

class PosixReadableFile final : public ReadableFile {
 public:
  PosixReadableFile(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
  std::uint64_t Size() const override { return size_; }
  std::int64_t ReadAt(std::uint64_t offset, char* buffer, std::size_t n) override {
    std::size_t done = 0;
    while (done < n) {
      ssize_t got = ::pread(fd_.get(), buffer + done, n - done, static_cast<off_t>(offset + done));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return -1;
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

bool PosixEnv::CanOpenForReading(const std::string& path) {
  if (path.empty()) return false;
  Fd fd(OpenForReadingNoWait(Native(path)));
  return fd.ok() && IsRegularFile(fd.get());
}

bool PosixEnv::OpenOrCreate(const std::string& path) {
  if (path.empty()) return false;
  Fd fd(::open(Native(path).c_str(), O_RDONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666));
  return fd.ok() && IsRegularFile(fd.get());
}

bool PosixEnv::CanEnterFolder(const std::string& path) {
  if (path.empty()) return false;
  std::string native = Native(path);
  struct stat st;
  return ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         ::access(native.c_str(), X_OK) == 0;
}

bool PosixEnv::CopyFile(const std::string& from, const std::string& to, bool failIfExists) {
  std::string src = Native(from);
  std::string dst = Native(to);
  Fd in(OpenForReadingNoWait(src));
  if (!in.ok() || !IsRegularFile(in.get())) return false;
  struct stat st;
  if (::fstat(in.get(), &st) != 0) return false;
  struct stat dstSt;
  bool dstExists = ::stat(dst.c_str(), &dstSt) == 0;
  if (dstExists && failIfExists) return false;
  if (dstExists && dstSt.st_dev == st.st_dev && dstSt.st_ino == st.st_ino) return false;
  // Written under a temporary name and renamed, so a failed or interrupted
  // copy never leaves a partial destination behind.
  std::string tmp;
  Fd out(CreateTempBeside(dst, tmp));
  if (!out.ok()) return false;
  // Reading a regular file never blocks; the flag only guarded the open.
  ::fcntl(in.get(), F_SETFL, ::fcntl(in.get(), F_GETFL) & ~O_NONBLOCK);
  bool ok = true;
  // The kernel copies without passing the bytes through this process; where
  // it cannot (another file system type, an old kernel), nothing has been
  // written yet and the plain read/write loop below does the work.
  bool copied = false;
  for (off_t left = st.st_size; left > 0;) {
    ssize_t n =
        ::copy_file_range(in.get(), nullptr, out.get(), nullptr, static_cast<std::size_t>(left), 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && !copied &&
        (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP))
      break;
    if (n < 0) ok = false;
    if (n <= 0) break;  // an error, or the file shrank meanwhile
    copied = true;
    left -= n;
  }
  char buffer[1 << 16];
  // Also picks up anything appended to the source while it was copied.
  for (; ok;) {
    ssize_t n = ::read(in.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    if (!WriteAll(out.get(), buffer, static_cast<std::size_t>(n))) {
      ok = false;
      break;
    }
  }
  ok = ok && ::fchmod(out.get(), st.st_mode & 0777 & ~CurrentUmask()) == 0;
  ok = ok && ::fsync(out.get()) == 0;
  ok = (::close(out.release()) == 0) && ok;
  if (ok) {
    if (failIfExists) {
      // link() refuses an existing destination atomically; where the file
      // system has no hard links, check and rename instead.
      if (::link(tmp.c_str(), dst.c_str()) != 0) {
        ok = (errno == EPERM || errno == EOPNOTSUPP) && ::access(dst.c_str(), F_OK) != 0 &&
             ::rename(tmp.c_str(), dst.c_str()) == 0;
      }
    } else
      ok = ::rename(tmp.c_str(), dst.c_str()) == 0;
  }
  ::unlink(tmp.c_str());
  return ok;
}

bool PosixEnv::DeleteFile(const std::string& path) {
  std::string native = Native(path);
  struct stat st;
  if (::lstat(native.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  return ::unlink(native.c_str()) == 0;
}

FolderResult PosixEnv::CreateFolder(const std::string& path) {
  std::string native = Native(path);
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  if (::mkdir(native.c_str(), 0777) == 0) return FolderResult::Created;
  if (errno == EEXIST) {
    struct stat st;
    if (::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return FolderResult::AlreadyExists;
  }
  return FolderResult::Failed;
}

std::optional<std::vector<DirEntry>> PosixEnv::ListFolder(const std::string& path) {
  std::string native = Native(path);
  // push_back, not assignment: GCC 12 at -O2 warns falsely (-Wrestrict) on
  // `native = "."` and `native + "/"` here.
  if (native.empty()) native.push_back('.');
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(native.c_str()), ::closedir);
  if (!dir) return std::nullopt;
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

std::optional<std::string> PosixEnv::ReadWholeFile(const std::string& path) {
  Fd fd(OpenForReadingNoWait(Native(path)));
  if (!fd.ok() || !IsRegularFile(fd.get())) return std::nullopt;
  ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
  std::string data;
  char buffer[1 << 16];
  for (;;) {
    ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    data.append(buffer, static_cast<std::size_t>(n));
  }
  return data;
}

bool PosixEnv::ReplaceFile(const std::string& path, std::string_view contents) {
  std::string native = Native(path);
  std::string tmp;
  Fd out(CreateTempBeside(native, tmp));
  if (!out.ok()) return false;
  // The replacement keeps the permissions of the file it replaces; a new
  // file gets those of any file the process creates.
  struct stat old;
  mode_t mode = ::stat(native.c_str(), &old) == 0 ? (old.st_mode & 0777) : (0666 & ~CurrentUmask());
  bool ok = ::fchmod(out.get(), mode) == 0;
  ok = ok && WriteAll(out.get(), contents.data(), contents.size()) && ::fsync(out.get()) == 0;
  ok = (::close(out.release()) == 0) && ok;
  ok = ok && ::rename(tmp.c_str(), native.c_str()) == 0;
  if (!ok) {
    ::unlink(tmp.c_str());
    return false;
  }
  // Make the rename itself durable.
  Fd dir(::open(ParentOf(native).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.ok()) ::fsync(dir.get());
  return true;
}

std::unique_ptr<ReadableFile> PosixEnv::OpenForReading(const std::string& path) {
  Fd fd(OpenForReadingNoWait(Native(path)));
  struct stat st {};
  if (!fd.ok() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
  ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
  return std::make_unique<PosixReadableFile>(fd.release(), static_cast<std::uint64_t>(st.st_size));
}

std::unique_ptr<WritableFile> PosixEnv::OpenForWriting(const std::string& path) {
  if (path.empty()) return nullptr;
  int fd = ::open(Native(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  return std::make_unique<PosixWritableFile>(fd);
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
