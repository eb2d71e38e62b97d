// An Env that forwards to a real one and can be told to fail chosen
// operations (the Nth call, or every call), and to report a fixed clock.
// A failed file operation gives the reason of an I/O error (EIO), so a test
// can see the system's reason reach the log. Files opened for reading fail
// their reads as "ReadAt" is told to, and databases fail as "Prepare",
// "Step", "Execute", "Begin" and "Commit" are told to (the message is
// "injected: <operation>").
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Env.h"

namespace testing_doubles {

class FaultyEnv final : public platform::Env {
 public:
  explicit FaultyEnv(platform::Env& real) : real_(real) {}
  using Env::CanEnterFolder, Env::CanOpenForReading, Env::CopyFile, Env::CreateFolder,
      Env::DeleteFile, Env::ListFolder, Env::OpenForReading, Env::OpenOrCreate, Env::ReadWholeFile,
      Env::ReplaceFile;

  // Makes call number `n` (1-based, counted from now) of operation `op` fail.
  // Operation names are the method names ("CopyFile", "CreateFolder", ...).
  void FailNth(const std::string& op, int n) { failAt_[op] = calls_[op] + n; }
  // Makes every call of `op` fail until Heal().
  void FailAlways(const std::string& op) { failAlways_.insert(op); }
  // Makes every call of `op` throw std::runtime_error("injected: <op>") until
  // Heal(), to check that a routine traps what escapes the Env (CurrentFolder too).
  void ThrowOn(const std::string& op) { throwOn_.insert(op); }
  void Heal() { failAt_.clear(), failAlways_.clear(), throwOn_.clear(); }
  int Calls(const std::string& op) const {
    auto it = calls_.find(op);
    return it == calls_.end() ? 0 : it->second;
  }
  // The local time and monotonic seconds reported from now on.
  void SetLocalNow(platform::LocalTime t) { now_ = t; }
  void SetMonotonic(double seconds) { monotonic_ = seconds; }
  // Answers for Variable(); a value of nullopt hides a real variable.
  void SetVariable(const std::string& name, std::optional<std::string> value) {
    variables_[name] = std::move(value);
  }
  void SetProgramFolder(std::string folder) { programFolder_ = std::move(folder); }
  void SetCurrentFolder(std::string folder) { currentFolder_ = std::move(folder); }
  // Opens every database with `opener` instead of the connection string.
  using Opener = std::function<std::unique_ptr<db::Backend>(std::vector<std::string>&)>;
  void SetDatabaseOpener(Opener opener) { opener_ = std::move(opener); }

  // Not faulted: no test needs them to fail.
  std::optional<platform::FileInfo> Stat(const std::string& p) override { return real_.Stat(p); }
  bool CanOpenForReading(const std::string& p, std::string& r) override {
    return real_.CanOpenForReading(p, r);
  }
  bool OpenOrCreate(const std::string& p, std::string& r) override {
    return real_.OpenOrCreate(p, r);
  }
  bool CanEnterFolder(const std::string& p, std::string& r) override {
    return !Injected("CanEnterFolder", r) && real_.CanEnterFolder(p, r);
  }
  bool CanWriteFolder(const std::string& p, std::string& r) override {
    return !Injected("CanWriteFolder", r) && real_.CanWriteFolder(p, r);
  }
  bool IsExecutableFile(const std::string& p) override { return real_.IsExecutableFile(p); }
  std::optional<int> RunProcess(const std::string& program, const std::vector<std::string>& args,
                                bool wait, std::string& r) override {
    return real_.RunProcess(program, args, wait, r);
  }
  std::string SystemFolder() override { return real_.SystemFolder(); }
  bool CopyFile(const std::string& a, const std::string& b, bool x, std::string& r) override {
    return !Injected("CopyFile", r) && real_.CopyFile(a, b, x, r);
  }
  bool DeleteFile(const std::string& p, std::string& r) override {
    return !Injected("DeleteFile", r) && real_.DeleteFile(p, r);
  }
  platform::FolderResult CreateFolder(const std::string& p, std::string& r) override {
    return Injected("CreateFolder", r) ? platform::FolderResult::Failed : real_.CreateFolder(p, r);
  }
  std::optional<std::vector<platform::DirEntry>> ListFolder(const std::string& p,
                                                            std::string& r) override {
    return Injected("ListFolder", r) ? std::nullopt : real_.ListFolder(p, r);
  }
  std::optional<std::string> ReadWholeFile(const std::string& p, std::string& r) override {
    return Injected("ReadWholeFile", r) ? std::nullopt : real_.ReadWholeFile(p, r);
  }
  bool ReplaceFile(const std::string& p, std::string_view c, std::string& r) override {
    return !Injected("ReplaceFile", r) && real_.ReplaceFile(p, c, r);
  }
  std::unique_ptr<platform::ReadableFile> OpenForReading(const std::string& p,
                                                         std::string& r) override {
    if (Injected("OpenForReading", r)) return nullptr;
    auto file = real_.OpenForReading(p, r);
    if (file == nullptr) return nullptr;
    return std::make_unique<FaultyReadableFile>(std::move(file), *this);
  }
  std::unique_ptr<platform::WritableFile> OpenForWriting(const std::string& p, bool& taken,
                                                         std::string& r) override {
    taken = false;
    return Injected("OpenForWriting", r) ? nullptr : real_.OpenForWriting(p, taken, r);
  }
  platform::Presence Lookup(const std::string& p, std::string& r) override {
    return Injected("Lookup", r) ? platform::Presence::Unknown : real_.Lookup(p, r);
  }
  bool CheckReadable(const std::string& p, std::string& r) override {
    return !Injected("CheckReadable", r) && real_.CheckReadable(p, r);
  }
  platform::FolderResult CreatePrivateFolder(const std::string& p, std::string& r) override {
    return Injected("CreatePrivateFolder", r) ? platform::FolderResult::Failed
                                              : real_.CreatePrivateFolder(p, r);
  }
  bool CopyDatabase(const std::string& a, const std::string& b, std::string& r) override {
    return !Injected("CopyDatabase", r) && real_.CopyDatabase(a, b, r);
  }
  std::unique_ptr<platform::FileLock> TryLock(const std::string& p, bool& busy,
                                              std::string& r) override {
    busy = false;
    return Injected("TryLock", r) ? nullptr : real_.TryLock(p, busy, r);
  }
  // Lines for the error stream are kept here instead.
  void PrintError(const std::string& line) override { printed.push_back(line); }
  std::vector<std::string> printed;
  std::unique_ptr<db::Backend> OpenDatabase(const std::string& cs,
                                            std::vector<std::string>& errors) override {
    if (Fails("OpenDatabase")) {
      errors.push_back("injected: OpenDatabase");
      return nullptr;
    }
    auto backend = opener_ ? opener_(errors) : real_.OpenDatabase(cs, errors);
    if (backend == nullptr) return nullptr;
    return std::make_unique<FaultyBackend>(std::move(backend), *this);
  }
  std::string CurrentFolder() override {
    MaybeThrow("CurrentFolder");
    return currentFolder_ ? *currentFolder_ : real_.CurrentFolder();
  }
  std::string ProgramFolder() override {
    return programFolder_ ? *programFolder_ : real_.ProgramFolder();
  }
  std::string WindowsFolder() override {
    // Answered from the variables given here, as the real Env does from its own.
    auto windir = Variable("WINDIR");
    std::string f = windir && !windir->empty() ? *windir : "\\etc";
    std::replace(f.begin(), f.end(), '/', '\\');
    while (f.size() > 1 && f.back() == '\\') f.pop_back();
    return f;
  }
  std::optional<std::string> Variable(const std::string& name) override {
    auto it = variables_.find(name);
    if (it != variables_.end()) return it->second;
    return real_.Variable(name);
  }
  double MonotonicSeconds() override { return monotonic_ ? *monotonic_ : real_.MonotonicSeconds(); }
  platform::LocalTime LocalNow() override { return now_ ? *now_ : real_.LocalNow(); }

 private:
  // Reads fail (return -1) as the env's "ReadAt" operation is told to.
  class FaultyReadableFile final : public platform::ReadableFile {
   public:
    FaultyReadableFile(std::unique_ptr<platform::ReadableFile> real, FaultyEnv& env)
        : real_(std::move(real)), env_(env) {}
    std::uint64_t Size() const override { return real_->Size(); }
    std::int64_t ReadAt(std::uint64_t offset, char* buffer, std::size_t n,
                        std::string& r) override {
      if (env_.Injected("ReadAt", r)) return -1;
      return real_->ReadAt(offset, buffer, n, r);
    }

   private:
    std::unique_ptr<platform::ReadableFile> real_;
    FaultyEnv& env_;
  };

  // A statement whose runs (first step or next row) fail as "Step" is told to.
  class FaultyStatement final : public db::Statement {
   public:
    FaultyStatement(std::unique_ptr<db::Statement> real, FaultyEnv& env)
        : real_(std::move(real)), env_(env) {}
    bool Bind(int i, const db::Value& v) override { return real_->Bind(i, v); }
    db::StepResult Step() override {
      if (env_.Fails("Step")) {
        injected_ = true;
        return db::StepResult::Error;
      }
      injected_ = false;
      return real_->Step();
    }
    bool RunRows(const std::vector<std::vector<db::Value>>& rows,
                 const std::vector<std::size_t>& positions) override {
      injected_ = env_.Fails("Step");
      return !injected_ && real_->RunRows(rows, positions);
    }
    bool Reset() override { return real_->Reset(); }
    int ColumnCount() override { return real_->ColumnCount(); }
    std::string ColumnName(int i) override { return real_->ColumnName(i); }
    db::ColumnKind ColumnType(int i) override { return real_->ColumnType(i); }
    db::Value Column(int i) override { return real_->Column(i); }
    std::string error() const override { return injected_ ? "injected: Step" : real_->error(); }

   private:
    std::unique_ptr<db::Statement> real_;
    FaultyEnv& env_;
    bool injected_ = false;
  };

  // A database that fails as its operations are told to. A failed Begin or
  // Commit does nothing, as a refused one would.
  class FaultyBackend final : public db::Backend {
   public:
    FaultyBackend(std::unique_ptr<db::Backend> real, FaultyEnv& env)
        : real_(std::move(real)), env_(env) {}
    db::Dialect dialect() const override { return real_->dialect(); }
    std::unique_ptr<db::Statement> Prepare(const std::string& sql, std::string& error) override {
      if (Injected("Prepare", error)) return nullptr;
      auto statement = real_->Prepare(sql, error);
      if (statement == nullptr) return nullptr;
      return std::make_unique<FaultyStatement>(std::move(statement), env_);
    }
    bool Execute(const std::string& sql, std::string& e) override {
      return !Injected("Execute", e) && real_->Execute(sql, e);
    }
    bool Begin(std::string& e) override { return !Injected("Begin", e) && real_->Begin(e); }
    bool Commit(std::string& e) override { return !Injected("Commit", e) && real_->Commit(e); }
    bool Rollback(std::string& e) override { return real_->Rollback(e); }
    std::string RowLocator() const override { return real_->RowLocator(); }
    db::Value LastInsertLocator() override { return real_->LastInsertLocator(); }
    int RowsPerInsert(int columns) const override { return real_->RowsPerInsert(columns); }
    std::unique_ptr<db::Statement> PrepareRowsInsert(const std::string& table,
                                                     const std::vector<std::string>& columns,
                                                     std::string& error) override {
      if (Injected("Prepare", error)) return nullptr;
      auto statement = real_->PrepareRowsInsert(table, columns, error);
      return statement ? std::make_unique<FaultyStatement>(std::move(statement), env_) : nullptr;
    }
    bool InTransaction() override { return real_->InTransaction(); }
    std::string FatalCondition() const override { return real_->FatalCondition(); }
    bool LastFailureBusy() const override { return real_->LastFailureBusy(); }
    void SetBusyWait(double s, std::function<void()> w) override { real_->SetBusyWait(s, w); }

   private:
    bool Injected(const std::string& op, std::string& error) {
      if (!env_.Fails(op)) return false;
      error = "injected: " + op;
      return true;
    }
    std::unique_ptr<db::Backend> real_;
    FaultyEnv& env_;
  };

  // A failure of an operation that reports its reason, as an I/O error.
  bool Injected(const std::string& op, std::string& r) {
    if (!Fails(op)) return false;
    r = std::strerror(EIO);
    return true;
  }
  void MaybeThrow(const std::string& op) const {
    if (throwOn_.count(op)) throw std::runtime_error("injected: " + op);
  }
  bool Fails(const std::string& op) {
    int n = ++calls_[op];
    MaybeThrow(op);
    if (failAlways_.count(op)) return true;
    auto it = failAt_.find(op);
    return it != failAt_.end() && it->second == n;
  }

  platform::Env& real_;
  std::map<std::string, int> calls_;
  std::map<std::string, int> failAt_;
  std::set<std::string> failAlways_;
  std::set<std::string> throwOn_;
  std::map<std::string, std::optional<std::string>> variables_;
  std::optional<platform::LocalTime> now_;
  std::optional<double> monotonic_;
  std::optional<std::string> programFolder_;
  std::optional<std::string> currentFolder_;
  Opener opener_;
};

}  // namespace testing_doubles
