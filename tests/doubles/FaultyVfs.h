// A SQLite VFS that wraps the default one and fails the Nth write-side call
// (xWrite, xSync or xTruncate, counted together) with a chosen result code,
// as a full disk or a failing device would. Installed as the default VFS, so
// every database the process opens goes through it; removed on destruction.
#pragma once

#include <sqlite3.h>

#include <cstring>
#include <string>
#include <string_view>

namespace testing_doubles {

class FaultyVfs {
 public:
  FaultyVfs() {
    real_ = sqlite3_vfs_find(nullptr);
    vfs_ = *real_;
    vfs_.zName = "faulty";
    vfs_.szOsFile = static_cast<int>(sizeof(File)) + real_->szOsFile;
    vfs_.pAppData = this;
    vfs_.xOpen = &Open;
    sqlite3_vfs_register(&vfs_, 1);
  }
  ~FaultyVfs() {
    sqlite3_vfs_unregister(&vfs_);
    sqlite3_vfs_register(real_, 1);
  }
  FaultyVfs(const FaultyVfs&) = delete;
  FaultyVfs& operator=(const FaultyVfs&) = delete;

  // Fails call `n` (1-based) from now on with `code`; 0 fails none.
  void FailNth(int n, int code) {
    failAt_ = n;
    code_ = code;
    calls_ = 0;
  }
  // Only files whose path starts with `prefix` (a database and its journal)
  // count and fail; "" means every file.
  void OnlyFilesStartingWith(std::string prefix) { prefix_ = std::move(prefix); }
  // Fails no further call; Calls() keeps counting.
  void Disarm() { failAt_ = 0; }
  // Write-side calls since the last FailNth.
  int Calls() const { return calls_; }

 private:
  struct File {
    sqlite3_file base;
    FaultyVfs* vfs;
    bool counted;        // a file the faults are aimed at
    sqlite3_file* real;  // stored right after this struct
  };

  static bool Fails(sqlite3_file* f) {
    return Of(f)->counted && ++Of(f)->vfs->calls_ == Of(f)->vfs->failAt_;
  }
  static File* Of(sqlite3_file* f) { return reinterpret_cast<File*>(f); }

  static int Open(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags,
                  int* outFlags) {
    auto* self = static_cast<FaultyVfs*>(vfs->pAppData);
    File* f = Of(file);
    std::memset(f, 0, sizeof(File));
    f->vfs = self;
    f->counted = name != nullptr && std::string_view(name).starts_with(self->prefix_);
    f->real = reinterpret_cast<sqlite3_file*>(f + 1);
    const int rc = self->real_->xOpen(self->real_, name, f->real, flags, outFlags);
    f->base.pMethods = f->real->pMethods != nullptr ? &kMethods : nullptr;
    return rc;
  }
  // The wrapped file and its methods.
  static sqlite3_file* R(sqlite3_file* f) { return Of(f)->real; }
  static const sqlite3_io_methods* Real(sqlite3_file* f) { return R(f)->pMethods; }
  static int Close(sqlite3_file* f) { return Real(f)->xClose(R(f)); }
  static int Read(sqlite3_file* f, void* b, int n, sqlite3_int64 at) {
    return Real(f)->xRead(R(f), b, n, at);
  }
  static int Write(sqlite3_file* f, const void* b, int n, sqlite3_int64 at) {
    return Fails(f) ? Of(f)->vfs->code_ : Real(f)->xWrite(R(f), b, n, at);
  }
  static int Truncate(sqlite3_file* f, sqlite3_int64 n) {
    return Fails(f) ? Of(f)->vfs->code_ : Real(f)->xTruncate(R(f), n);
  }
  static int Sync(sqlite3_file* f, int flags) {
    return Fails(f) ? Of(f)->vfs->code_ : Real(f)->xSync(R(f), flags);
  }
  static int FileSize(sqlite3_file* f, sqlite3_int64* n) { return Real(f)->xFileSize(R(f), n); }
  static int Lock(sqlite3_file* f, int level) { return Real(f)->xLock(R(f), level); }
  static int Unlock(sqlite3_file* f, int level) { return Real(f)->xUnlock(R(f), level); }
  static int CheckReservedLock(sqlite3_file* f, int* out) {
    return Real(f)->xCheckReservedLock(R(f), out);
  }
  static int FileControl(sqlite3_file* f, int op, void* a) {
    return Real(f)->xFileControl(R(f), op, a);
  }
  static int SectorSize(sqlite3_file* f) { return Real(f)->xSectorSize(R(f)); }
  static int DeviceCharacteristics(sqlite3_file* f) {
    return Real(f)->xDeviceCharacteristics(R(f));
  }

  // Version 1: no shared memory (the rollback journal needs none) and no mmap.
  // clang-format off
  static constexpr sqlite3_io_methods kMethods = {1, &Close, &Read, &Write, &Truncate, &Sync,
      &FileSize, &Lock, &Unlock, &CheckReservedLock, &FileControl, &SectorSize,
      &DeviceCharacteristics, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
  // clang-format on

  sqlite3_vfs* real_ = nullptr;
  sqlite3_vfs vfs_{};
  int failAt_ = 0;
  int code_ = SQLITE_OK;
  int calls_ = 0;
  std::string prefix_;
};

}  // namespace testing_doubles
