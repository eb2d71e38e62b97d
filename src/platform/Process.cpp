// Starting other programs: the extraction program above all.
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "platform/PosixEnv.h"

namespace platform {

namespace {

// An argument the program wrote as a path: it has a '\' or a drive prefix.
bool LooksLikePath(const std::string& argument) {
  if (argument.find('\\') != std::string::npos) return true;
  return argument.size() >= 2 && argument[1] == ':' &&
         std::isalpha(static_cast<unsigned char>(argument[0]));
}

// Spawn attributes that give the child a clean signal state: nothing
// blocked, and every signal this process ignores back at its default
// (an ignored disposition would otherwise survive exec).
class CleanSignals {
 public:
  CleanSignals() {
    ok_ = ::posix_spawnattr_init(&attr_) == 0;
    if (!ok_) return;
    sigset_t none, ignored;
    sigemptyset(&none);
    sigemptyset(&ignored);
    for (int sig = 1; sig < NSIG; ++sig) {
      struct sigaction current;
      if (::sigaction(sig, nullptr, &current) == 0 && current.sa_handler == SIG_IGN)
        sigaddset(&ignored, sig);
    }
    ok_ = ::posix_spawnattr_setsigmask(&attr_, &none) == 0 &&
          ::posix_spawnattr_setsigdefault(&attr_, &ignored) == 0 &&
          ::posix_spawnattr_setflags(&attr_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) == 0;
  }
  ~CleanSignals() { ::posix_spawnattr_destroy(&attr_); }
  CleanSignals(const CleanSignals&) = delete;
  CleanSignals& operator=(const CleanSignals&) = delete;
  const posix_spawnattr_t* get() const { return ok_ ? &attr_ : nullptr; }

 private:
  posix_spawnattr_t attr_;
  bool ok_ = false;
};

}  // namespace

bool PosixEnv::IsExecutableFile(const std::string& path) {
  if (path.empty()) return false;
  std::string native = Native(path);
  struct stat st;
  return ::stat(native.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         ::access(native.c_str(), X_OK) == 0;
}

void PosixEnv::ReapUnwaited() {
  std::erase_if(unwaited_, [](pid_t pid) {
    int status = 0;
    pid_t r = ::waitpid(pid, &status, WNOHANG);
    return r == pid || (r < 0 && errno != EINTR);
  });
}

std::optional<int> PosixEnv::RunProcess(const std::string& program,
                                        const std::vector<std::string>& arguments, bool wait,
                                        std::string& reason) {
  ReapUnwaited();
  if (program.empty()) {
    reason = std::strerror(ENOENT);
    return std::nullopt;
  }

  std::vector<std::string> argv;
  argv.reserve(arguments.size() + 1);
  argv.push_back(Native(program));
  for (const std::string& a : arguments) argv.push_back(LooksLikePath(a) ? Native(a) : a);
  std::vector<char*> argvPtrs;
  for (std::string& a : argv) argvPtrs.push_back(a.data());
  argvPtrs.push_back(nullptr);
  char* noEnvironment[] = {nullptr};

  CleanSignals attributes;
  pid_t pid = 0;
  // posix_spawn, not posix_spawnp: with no environment there is no PATH to
  // search, and a relative program path means the current folder.
  // posix_spawn reports an exec failure (missing, not executable, bad
  // format) as its own result, so the reason is the exec's.
  if (int error = ::posix_spawn(&pid, argvPtrs[0], nullptr, attributes.get(), argvPtrs.data(),
                                noEnvironment);
      error != 0) {
    reason = std::strerror(error);
    return std::nullopt;
  }

  if (!wait) {
    unwaited_.push_back(pid);
    return 0;
  }
  int status = 0;
  for (;;) {
    if (::waitpid(pid, &status, 0) == pid) break;
    if (errno != EINTR) {
      reason = std::strerror(errno);
      return std::nullopt;
    }
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  reason = "the program's end could not be observed";
  return std::nullopt;
}

}  // namespace platform
