#include "platform/PosixEnv.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "doubles/TestWorld.h"
#include "platform/Paths.h"

namespace {

using platform::FolderResult;

// The names in a native folder, to see that no temporary file was left.
std::set<std::string> NamesIn(const std::string& nativeFolder) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(nativeFolder))
    names.insert(e.path().filename().string());
  return names;
}

class PosixEnvTest : public ::testing::Test {
 protected:
  testing_doubles::TestWorld world;
  platform::PosixEnv env;
};

TEST_F(PosixEnvTest, CopyFileNeverDamagesTheDestination) {
  world.Write("a.txt", "source");
  world.Write("b.txt", "existing");
  world.MakeFolder("folder");
  std::string big(300000, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  world.Write("big.bin", big);
  ::chmod(world.Native("big.bin").c_str(), 0755);
  ASSERT_TRUE(env.CopyFile(world.Program("big.bin"), world.Program("copy.bin"), true));
  EXPECT_EQ(world.Read("copy.bin"), big);
  struct stat st;
  ASSERT_EQ(::stat(world.Native("copy.bin").c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IXUSR);

  // Each failure says why, in the system's words.
  struct Case {
    const char* from;
    const char* to;
    bool failIfExists;
    bool copied;
    const char* reason = "";
  };
  const std::initializer_list<Case> cases = {
      {"a.txt", "b.txt", true, false},
      {"a.txt", "B.TXT", true, false},   // the same file in another case
      {"a.txt", "a.txt", false, false},  // onto itself: never truncated
      {"missing.txt", "out.txt", false, false, "No such file or directory"},
      {"folder", "out.txt", false, false, "Is a directory"},
      {"a.txt", "nowhere\\out.txt", false, false, "No such file or directory"},
      {"a.txt", "folder", false, false, "Is a directory"},  // a folder is not replaced
      {"a.txt", "b.txt", false, true},
  };
  for (const Case& c : cases) {
    std::string reason;
    EXPECT_EQ(env.CopyFile(world.Program(c.from), world.Program(c.to), c.failIfExists, reason),
              c.copied)
        << c.from << " -> " << c.to;
    if (*c.reason != '\0') {
      EXPECT_EQ(reason, c.reason) << c.from << " -> " << c.to;
    }
  }
  EXPECT_EQ(world.Read("a.txt"), "source");
  EXPECT_EQ(world.Read("b.txt"), "source");
  EXPECT_EQ(NamesIn(world.Native()),
            (std::set<std::string>{"a.txt", "b.txt", "big.bin", "copy.bin", "folder"}));
  EXPECT_TRUE(NamesIn(world.Native("folder")).empty());
}

TEST_F(PosixEnvTest, FoldersAndFiles) {
  world.Write("Host/LENDER.INI", "[Lenders]");
  ASSERT_EQ(::mkfifo(world.Native("pipe").c_str(), 0600), 0);
  EXPECT_EQ(env.CreateFolder(world.Program("new")), FolderResult::Created);
  EXPECT_EQ(env.CreateFolder(world.Program("NEW")), FolderResult::AlreadyExists);
  EXPECT_EQ(env.CreateFolder(world.Program("with-slash\\")), FolderResult::Created);
  EXPECT_EQ(env.CreateFolder(world.Program("missing\\child")), FolderResult::Failed);
  EXPECT_EQ(env.CreateFolder(world.Program("host\\lender.ini")), FolderResult::Failed);
  EXPECT_EQ(env.CreateFolder(""), FolderResult::Failed);
  EXPECT_TRUE(std::filesystem::is_directory(world.Native("with-slash")));

  world.Write("new/f.tmp", "x");
  world.MakeFolder("new/sub.tmp");
  std::filesystem::create_directory_symlink(world.Native("new/sub.tmp"), world.Native("new/link"));
  auto entries = env.ListFolder(world.Program("NEW\\"));
  ASSERT_TRUE(entries.has_value());
  std::map<std::string, bool> seen;
  for (const auto& e : *entries) seen[e.name] = e.isFolder;
  EXPECT_EQ(seen,
            (std::map<std::string, bool>{{"f.tmp", false}, {"sub.tmp", true}, {"link", true}}));
  EXPECT_FALSE(env.ListFolder(world.Program("missing")).has_value());
  EXPECT_FALSE(env.ListFolder(world.Program("new\\f.tmp")).has_value());

  EXPECT_FALSE(env.DeleteFile(world.Program("new\\sub.tmp")));
  EXPECT_TRUE(env.DeleteFile(world.Program("NEW\\F.TMP")));
  EXPECT_FALSE(world.Has("new/f.tmp"));
  EXPECT_FALSE(env.DeleteFile(world.Program("new\\f.tmp")));

  EXPECT_TRUE(env.CanOpenForReading(world.Program("host\\lender.ini")));
  EXPECT_EQ(env.ReadWholeFile(world.Program("HOST\\lender.ini")), "[Lenders]");
  EXPECT_FALSE(env.CanOpenForReading(world.Program("new")));
  EXPECT_FALSE(env.CanOpenForReading(world.Program("missing")));
  // A pipe without a writer must not hang the check.
  EXPECT_FALSE(env.CanOpenForReading(world.Program("pipe")));
  EXPECT_FALSE(env.ReadWholeFile(world.Program("pipe")).has_value());
  EXPECT_FALSE(env.ReadWholeFile(world.Program("new")).has_value());
  EXPECT_TRUE(env.CanEnterFolder(world.Program("HOST")));
  EXPECT_FALSE(env.CanEnterFolder(world.Program("host\\lender.ini")));
  EXPECT_FALSE(env.CanEnterFolder(""));

  EXPECT_TRUE(env.OpenOrCreate(world.Program("new.txt")));
  EXPECT_EQ(world.Read("new.txt"), "");
  EXPECT_TRUE(env.OpenOrCreate(world.Program("host\\lender.ini")));
  EXPECT_EQ(world.Read("Host/LENDER.INI"), "[Lenders]");
  EXPECT_FALSE(env.OpenOrCreate(world.Program("new")));
  EXPECT_FALSE(env.OpenOrCreate(world.Program("missing\\x.txt")));
}

TEST_F(PosixEnvTest, ReplaceFileSwapsContentsAndKeepsPermissions) {
  ASSERT_TRUE(env.ReplaceFile(world.Program("store.reg"), "first"));
  auto before = env.Stat(world.Program("store.reg"));
  ::chmod(world.Native("store.reg").c_str(), 0640);
  ASSERT_TRUE(env.ReplaceFile(world.Program("store.reg"), "second, longer"));
  EXPECT_EQ(world.Read("store.reg"), "second, longer");
  auto after = env.Stat(world.Program("store.reg"));
  ASSERT_TRUE(before && after);
  EXPECT_NE(before->fileId, after->fileId);
  EXPECT_EQ(after->size, 14u);
  struct stat st;
  ASSERT_EQ(::stat(world.Native("store.reg").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_FALSE(env.ReplaceFile(world.Program("missing\\store.reg"), "x"));
  EXPECT_EQ(NamesIn(world.Native()), (std::set<std::string>{"store.reg"}));
}

TEST_F(PosixEnvTest, WritableFileIsAlwaysANewFileAndAppendsUntilClosed) {
  bool taken = false;
  std::string reason;
  // A taken name is never opened: a file, or a link whatever it points at.
  world.Write("old.txt", "old contents");
  ::symlink(world.Native("old.txt").c_str(), world.Native("link.txt").c_str());
  ::symlink(world.Native("nowhere").c_str(), world.Native("dangling.txt").c_str());
  for (const char* name : {"old.txt", "link.txt", "dangling.txt"}) {
    EXPECT_EQ(env.OpenForWriting(world.Program(name), taken, reason), nullptr) << name;
    EXPECT_TRUE(taken) << name;
  }
  EXPECT_EQ(world.Read("old.txt"), "old contents");
  EXPECT_FALSE(world.Has("nowhere"));

  auto file = env.OpenForWriting(world.Program("log.txt"), taken, reason);
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(file->Append("line 1\r\n"));
  EXPECT_TRUE(file->Flush());
  EXPECT_TRUE(file->Close());
  EXPECT_FALSE(file->Append("late"));
  EXPECT_FALSE(file->Close());
  EXPECT_EQ(world.Read("log.txt"), "line 1\r\n");
  EXPECT_EQ(env.OpenForWriting(world.Program("missing\\log.txt"), taken, reason), nullptr);
  EXPECT_FALSE(taken);
  EXPECT_EQ(reason, "No such file or directory");
}

// The rows of table t in a database file, or -1 when it is not whole.
int Rows(const std::string& native) {
  sqlite3* db = nullptr;
  std::string integrity, rows = "-1";
  auto first = [](void* out, int, char** values, char**) {
    *static_cast<std::string*>(out) = values[0] ? values[0] : "";
    return 0;
  };
  if (sqlite3_open_v2(native.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_exec(db, "PRAGMA integrity_check", first, &integrity, nullptr);
    if (integrity == "ok") sqlite3_exec(db, "SELECT count(*) FROM t", first, &rows, nullptr);
  }
  sqlite3_close_v2(db);
  return std::stoi(rows);
}

TEST_F(PosixEnvTest, CopyDatabaseTakesOneCommittedStateOrNothing) {
  sqlite3* writer = nullptr;
  ASSERT_EQ(sqlite3_open(world.Native("db.mdb").c_str(), &writer), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(writer, "CREATE TABLE t (x); INSERT INTO t VALUES (1)", nullptr, nullptr,
                         nullptr),
            SQLITE_OK);
  world.Write("other.mdb", "not an embedded database");
  world.Write("taken/db.mdb", "kept");
  world.MakeFolder("copies");
  int held = ::open(world.Native("other.mdb").c_str(), O_RDONLY | O_CLOEXEC);
  auto sql = [&](const char* text) { sqlite3_exec(writer, text, nullptr, nullptr, nullptr); };
  struct Case {
    const char* from;
    const char* to;
    std::function<void()> before;  // done before the copy starts
    std::function<void()> during;  // done on another thread while it runs
    int rows;                      // in the copy; -1: no copy
    const char* reason;
  };
  const std::vector<Case> cases = {
      {"db.mdb", "copies/a.mdb", nullptr, nullptr, 1, ""},
      // A writer in the middle of a commit: the copy waits for it.
      {"db.mdb", "copies/b.mdb", [&] { sql("BEGIN EXCLUSIVE; INSERT INTO t VALUES (2)"); },
       [&] {
         std::this_thread::sleep_for(std::chrono::milliseconds(300));
         sql("COMMIT");
       },
       2, ""},
      {"db.mdb", "taken/db.mdb", nullptr, nullptr, -1, "File exists"},
      {"missing.mdb", "copies/c.mdb", nullptr, nullptr, -1, "No such file or directory"},
      {"other.mdb", "copies/d.mdb", [&] { ::flock(held, LOCK_EX); }, nullptr, -1,
       "the database is locked by another program"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.to);
    if (c.before) c.before();
    std::thread side;
    if (c.during) side = std::thread(c.during);
    std::string reason;
    EXPECT_EQ(env.CopyDatabase(world.Program(c.from), world.Program(c.to), reason), c.rows >= 0)
        << reason;
    if (side.joinable()) side.join();
    if (c.rows >= 0) {
      EXPECT_EQ(Rows(world.Native(c.to)), c.rows);
    } else {
      EXPECT_EQ(reason, c.reason);
    }
  }
  EXPECT_EQ(world.Read("taken/db.mdb"), "kept");
  EXPECT_EQ(NamesIn(world.Native("copies")), (std::set<std::string>{"a.mdb", "b.mdb"}));
  ::close(held);
  sqlite3_close_v2(writer);
}

TEST_F(PosixEnvTest, DriveVariableAndFoldersComeFromTheEnvironment) {
  world.Write("Kestova/Zev.ini", "x");
  ::setenv("INGESTOR_DRIVE_Q", world.Native().c_str(), 1);
  EXPECT_TRUE(env.CanOpenForReading("Q:\\Kestova\\Zev.ini"));
  EXPECT_TRUE(env.CanOpenForReading("q:\\kestova\\zev.ini"));
  EXPECT_TRUE(env.CanEnterFolder("Q:\\"));
  ::unsetenv("INGESTOR_DRIVE_Q");
  EXPECT_FALSE(env.CanOpenForReading("Q:\\Kestova\\Zev.ini"));

  const char* oldWindir = std::getenv("WINDIR");
  std::string saved = oldWindir ? oldWindir : "";
  ::setenv("WINDIR", "/opt/win/", 1);
  EXPECT_EQ(env.WindowsFolder(), "\\opt\\win");
  ::unsetenv("WINDIR");
  EXPECT_EQ(env.WindowsFolder(), "\\etc");
  if (oldWindir) ::setenv("WINDIR", saved.c_str(), 1);

  std::string current = env.CurrentFolder();
  EXPECT_EQ(current.find('/'), std::string::npos);
  EXPECT_EQ(current, platform::ToProgramForm(std::filesystem::current_path().string()));
  EXPECT_EQ(env.SystemFolder(), "\\usr\\lib");
  EXPECT_FALSE(env.ProgramFolder().empty());
  EXPECT_EQ(env.ProgramFolder().find('/'), std::string::npos);
}

}  // namespace
