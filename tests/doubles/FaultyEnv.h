// An Env that forwards to a real one and can be told to fail chosen
// operations (the Nth call, or every call), and to report a fixed clock.
// Files opened for reading fail their reads as "ReadAt" is told to, and
// databases fail as "Prepare", "Step", "Execute", "Begin" and "Commit" are
// told to (the message is "injected: <operation>").
#pragma once

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

  // Makes call number `n` (1-based, counted from now) of operation `op` fail.
  // Operation names are the method names ("CopyFile", "CreateFolder", ...).
  void FailNth(const std::string& op, int n) { failAt_[op] = calls_[op] + n; }
  // Makes every call of `op` fail until Heal().
  void FailAlways(const std::string& op) { failAlways_.insert(op); }
  // Makes every call of `op` throw std::runtime_error("injected: <op>") until
  // Heal(), to check that a routine traps what escapes the Env. Also works
  // for the folder queries ("CurrentFolder", "SystemFolder", ...).
  void ThrowOn(const std::string& op) { throwOn_.insert(op); }
  void Heal() {
    failAt_.clear();
    failAlways_.clear();
    throwOn_.clear();
  }
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

  std::optional<platform::FileInfo> Stat(const std::string& p) override {
    if (Fails("Stat")) return std::nullopt;
    return real_.Stat(p);
  }
  bool CanOpenForReading(const std::string& p) override {
    return !Fails("CanOpenForReading") && real_.CanOpenForReading(p);
  }
  bool OpenOrCreate(const std::string& p) override {
    return !Fails("OpenOrCreate") && real_.OpenOrCreate(p);
  }
  bool CanEnterFolder(const std::string& p) override {
    return !Fails("CanEnterFolder") && real_.CanEnterFolder(p);
  }
  bool CopyFile(const std::string& a, const std::string& b, bool failIfExists) override {
    return !Fails("CopyFile") && real_.CopyFile(a, b, failIfExists);
  }
  bool DeleteFile(const std::string& p) override {
    return !Fails("DeleteFile") && real_.DeleteFile(p);
  }
  platform::FolderResult CreateFolder(const std::string& p) override {
    if (Fails("CreateFolder")) return platform::FolderResult::Failed;
    return real_.CreateFolder(p);
  }
  std::optional<std::vector<platform::DirEntry>> ListFolder(const std::string& p) override {
    if (Fails("ListFolder")) return std::nullopt;
    return real_.ListFolder(p);
  }
  std::optional<std::string> ReadWholeFile(const std::string& p) override {
    if (Fails("ReadWholeFile")) return std::nullopt;
    return real_.ReadWholeFile(p);
  }
  bool ReplaceFile(const std::string& p, std::string_view c) override {
    return !Fails("ReplaceFile") && real_.ReplaceFile(p, c);
  }
  std::unique_ptr<platform::ReadableFile> OpenForReading(const std::string& p) override {
    if (Fails("OpenForReading")) return nullptr;
    auto file = real_.OpenForReading(p);
    if (file == nullptr) return nullptr;
    return std::make_unique<FaultyReadableFile>(std::move(file), *this);
  }
  std::unique_ptr<platform::WritableFile> OpenForWriting(const std::string& p, bool& taken,
                                                         std::string& reason) override {
    taken = false;
    if (Injected("OpenForWriting", reason)) return nullptr;
    return real_.OpenForWriting(p, taken, reason);
  }
  platform::Presence Lookup(const std::string& p, std::string& reason) override {
    if (Injected("Lookup", reason)) return platform::Presence::Unknown;
    return real_.Lookup(p, reason);
  }
  bool CheckReadable(const std::string& p, std::string& reason) override {
    return !Injected("CheckReadable", reason) && real_.CheckReadable(p, reason);
  }
  platform::FolderResult CreatePrivateFolder(const std::string& p, std::string& reason) override {
    if (Injected("CreatePrivateFolder", reason)) return platform::FolderResult::Failed;
    return real_.CreatePrivateFolder(p, reason);
  }
  bool CopyDatabase(const std::string& a, const std::string& b, std::string& reason) override {
    return !Injected("CopyDatabase", reason) && real_.CopyDatabase(a, b, reason);
  }
  std::unique_ptr<platform::FileLock> TryLock(const std::string& p, bool& busy,
                                              std::string& reason) override {
    busy = false;
    if (Injected("TryLock", reason)) return nullptr;
    return real_.TryLock(p, busy, reason);
  }
  // Lines for the error stream are kept here instead.
  void PrintError(const std::string& line) override { printed.push_back(line); }
  std::vector<std::string> printed;
  std::unique_ptr<db::Backend> OpenDatabase(const std::string& connectionString,
                                            std::vector<std::string>& errors) override {
    if (Fails("OpenDatabase")) {
      errors.push_back("injected: OpenDatabase");
      return nullptr;
    }
    auto backend = real_.OpenDatabase(connectionString, errors);
    if (backend == nullptr) return nullptr;
    return std::make_unique<FaultyBackend>(std::move(backend), *this);
  }
  std::string CurrentFolder() override {
    MaybeThrow("CurrentFolder");
    return currentFolder_ ? *currentFolder_ : real_.CurrentFolder();
  }
  std::string ProgramFolder() override {
    MaybeThrow("ProgramFolder");
    return programFolder_ ? *programFolder_ : real_.ProgramFolder();
  }
  std::string WindowsFolder() override {
    MaybeThrow("WindowsFolder");
    // Answered from the variables given here, as the real Env does from its own.
    auto windir = Variable("WINDIR");
    if (windir && !windir->empty()) {
      std::string f = *windir;
      for (char& c : f)
        if (c == '/') c = '\\';
      while (f.size() > 1 && f.back() == '\\') f.pop_back();
      return f;
    }
    return "\\etc";
  }
  std::string SystemFolder() override {
    MaybeThrow("SystemFolder");
    return real_.SystemFolder();
  }
  std::optional<std::string> Variable(const std::string& name) override {
    auto it = variables_.find(name);
    if (it != variables_.end()) return it->second;
    return real_.Variable(name);
  }
  bool IsExecutableFile(const std::string& p) override {
    return !Fails("IsExecutableFile") && real_.IsExecutableFile(p);
  }
  std::optional<int> RunProcess(const std::string& program,
                                const std::vector<std::string>& arguments, bool wait,
                                std::string& reason) override {
    if (Injected("RunProcess", reason)) return std::nullopt;
    return real_.RunProcess(program, arguments, wait, reason);
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
    std::int64_t ReadAt(std::uint64_t offset, char* buffer, std::size_t n) override {
      if (env_.Fails("ReadAt")) return -1;
      return real_->ReadAt(offset, buffer, n);
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
    bool Bind(int position, const db::Value& value) override {
      return real_->Bind(position, value);
    }
    db::StepResult Step() override {
      if (env_.Fails("Step")) {
        injected_ = true;
        return db::StepResult::Error;
      }
      injected_ = false;
      return real_->Step();
    }
    bool Reset() override { return real_->Reset(); }
    int ColumnCount() override { return real_->ColumnCount(); }
    std::string ColumnName(int column) override { return real_->ColumnName(column); }
    db::ColumnKind ColumnType(int column) override { return real_->ColumnType(column); }
    db::Value Column(int column) override { return real_->Column(column); }
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
    bool Execute(const std::string& sql, std::string& error) override {
      return !Injected("Execute", error) && real_->Execute(sql, error);
    }
    bool Begin(std::string& error) override {
      return !Injected("Begin", error) && real_->Begin(error);
    }
    bool Commit(std::string& error) override {
      return !Injected("Commit", error) && real_->Commit(error);
    }
    bool Rollback(std::string& error) override { return real_->Rollback(error); }
    std::string RowLocator() const override { return real_->RowLocator(); }
    db::Value LastInsertLocator() override { return real_->LastInsertLocator(); }
    bool InTransaction() override { return real_->InTransaction(); }
    std::string FatalCondition() const override { return real_->FatalCondition(); }
    bool LastFailureBusy() const override { return real_->LastFailureBusy(); }
    void SetBusyWait(double seconds, std::function<void()> waiting) override {
      real_->SetBusyWait(seconds, std::move(waiting));
    }

   private:
    bool Injected(const std::string& op, std::string& error) {
      if (!env_.Fails(op)) return false;
      error = "injected: " + op;
      return true;
    }
    std::unique_ptr<db::Backend> real_;
    FaultyEnv& env_;
  };

  // A failure of an operation that reports its reason: "injected: <op>".
  bool Injected(const std::string& op, std::string& reason) {
    if (!Fails(op)) return false;
    reason = "injected: " + op;
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
};

}  // namespace testing_doubles
