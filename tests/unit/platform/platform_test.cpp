#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "doubles/TestWorld.h"
#include "platform/FileChannels.h"
#include "platform/Paths.h"
#include "platform/PosixEnv.h"
#include "robustness/Shared.h"

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
  std::string P(const std::string& relative) { return world.Program(relative); }
  testing_doubles::TestWorld world;
  platform::PosixEnv env;
};

TEST_F(PosixEnvTest, CopyFileNeverDamagesTheDestination) {
  world.Write("a.txt", "source");
  world.Write("b.txt", "existing");
  world.MakeFolder("folder");
  // Copied a piece of some megabytes at a time: two whole pieces and a tail.
  std::string big((16 << 20) + 3, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 8191);
  world.Write("big.bin", big);
  // Each failure says why, in the system's words.
  struct Case {
    const char *from, *to;
    bool failIfExists, copied;
    const char* reason = "";
  };
  // clang-format off
  for (const Case& c : std::initializer_list<Case>{
           {"a.txt", "b.txt", true, false}, {"a.txt", "B.TXT", true, false},  // the same file
           {"a.txt", "a.txt", false, false},  // onto itself: never truncated
           {"missing.txt", "out.txt", false, false, "No such file or directory"},
           {"folder", "out.txt", false, false, "Is a directory"},
           {"a.txt", "folder", false, false, "Is a directory"},  // a folder is not replaced
           {"a.txt", "b.txt", false, true}, {"big.bin", "big.copy", true, true}}) {
    // clang-format on
    std::string reason;
    EXPECT_EQ(env.CopyFile(P(c.from), P(c.to), c.failIfExists, reason), c.copied) << c.to;
    EXPECT_EQ(*c.reason ? reason : "", c.reason) << c.from << " -> " << c.to;
  }
  EXPECT_EQ(world.Read("a.txt"), "source");
  EXPECT_EQ(world.Read("b.txt"), "source");
  EXPECT_TRUE(world.Read("big.copy") == big);
  EXPECT_EQ(NamesIn(world.Native()),
            (std::set<std::string>{"a.txt", "b.txt", "big.bin", "big.copy", "folder"}));
  EXPECT_TRUE(NamesIn(world.Native("folder")).empty());
}

TEST_F(PosixEnvTest, FoldersAndFiles) {
  world.Write("Host/LENDER.INI", "[Lenders]");
  ASSERT_EQ(::mkfifo(world.Native("pipe").c_str(), 0600), 0);
  // clang-format off
  for (const auto& [path, result] : std::vector<std::pair<std::string, FolderResult>>{
           {P("new"), FolderResult::Created}, {P("NEW"), FolderResult::AlreadyExists},
           {P("with-slash\\"), FolderResult::Created}, {P("missing\\child"), FolderResult::Failed},
           {P("host\\lender.ini"), FolderResult::Failed}, {"", FolderResult::Failed}})
    // clang-format on
    EXPECT_EQ(env.CreateFolder(path), result) << path;
  EXPECT_TRUE(std::filesystem::is_directory(world.Native("with-slash")));

  world.Write("new/f.tmp", "x");
  world.MakeFolder("new/sub.tmp");
  std::filesystem::create_directory_symlink(world.Native("new/sub.tmp"), world.Native("new/link"));
  auto entries = env.ListFolder(P("NEW\\"));
  ASSERT_TRUE(entries.has_value());
  std::map<std::string, bool> seen;
  for (const auto& e : *entries) seen[e.name] = e.isFolder;
  EXPECT_EQ(seen,
            (std::map<std::string, bool>{{"f.tmp", false}, {"sub.tmp", true}, {"link", true}}));
  EXPECT_FALSE(env.DeleteFile(P("new\\sub.tmp")));
  EXPECT_TRUE(env.DeleteFile(P("NEW\\F.TMP")));
  EXPECT_FALSE(world.Has("new/f.tmp"));
  EXPECT_FALSE(env.DeleteFile(P("new\\f.tmp")));

  EXPECT_TRUE(env.CanOpenForReading(P("host\\lender.ini")));
  EXPECT_EQ(env.ReadWholeFile(P("HOST\\lender.ini")), "[Lenders]");
  // A pipe without a writer must not hang the check.
  for (const char* notAFile : {"new", "missing", "pipe"})
    EXPECT_FALSE(env.CanOpenForReading(P(notAFile))) << notAFile;
  EXPECT_FALSE(env.ReadWholeFile(P("pipe")) || env.ReadWholeFile(P("new")));
  EXPECT_TRUE(env.OpenOrCreate(P("new.txt")));
  EXPECT_EQ(world.Read("new.txt"), "");
  EXPECT_TRUE(env.OpenOrCreate(P("host\\lender.ini")));
  EXPECT_EQ(world.Read("Host/LENDER.INI"), "[Lenders]");
  EXPECT_FALSE(env.OpenOrCreate(P("new")) || env.OpenOrCreate(P("missing\\x.txt")));
}

TEST_F(PosixEnvTest, NewFilesAreCreatedOrReplacedWhole) {
  ASSERT_TRUE(env.ReplaceFile(P("store.reg"), "first"));
  auto before = env.Stat(P("store.reg"));
  ::chmod(world.Native("store.reg").c_str(), 0640);
  ASSERT_TRUE(env.ReplaceFile(P("store.reg"), "second, longer"));
  EXPECT_EQ(world.Read("store.reg"), "second, longer");
  auto after = env.Stat(P("store.reg"));
  ASSERT_TRUE(before && after);
  EXPECT_NE(before->fileId, after->fileId);
  EXPECT_EQ(after->size, 14u);
  struct stat st;
  ASSERT_EQ(::stat(world.Native("store.reg").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_FALSE(env.ReplaceFile(P("missing\\store.reg"), "x"));
  EXPECT_EQ(NamesIn(world.Native()), (std::set<std::string>{"store.reg"}));

  // A taken name is never opened for writing: a file, or a link whatever it
  // points at.
  bool taken = false;
  std::string reason;
  world.Write("old.txt", "old contents");
  ::symlink(world.Native("old.txt").c_str(), world.Native("link.txt").c_str());
  ::symlink(world.Native("nowhere").c_str(), world.Native("dangling.txt").c_str());
  for (const char* name : {"old.txt", "link.txt", "dangling.txt"}) {
    EXPECT_EQ(env.OpenForWriting(P(name), taken, reason), nullptr) << name;
    EXPECT_TRUE(taken) << name;
  }
  EXPECT_EQ(world.Read("old.txt"), "old contents");
  EXPECT_FALSE(world.Has("nowhere"));
  auto file = env.OpenForWriting(P("log.txt"), taken, reason);
  ASSERT_NE(file, nullptr);
  EXPECT_FALSE(taken);
  EXPECT_TRUE(file->Append("line 1\r\n") && file->Flush() && file->Close());
  EXPECT_FALSE(file->Append("late") || file->Close());
  EXPECT_EQ(world.Read("log.txt"), "line 1\r\n");
  EXPECT_EQ(env.OpenForWriting(P("missing\\log.txt"), taken, reason), nullptr);
  EXPECT_FALSE(taken);
  EXPECT_TRUE(env.OpenForWriting("", taken, reason) == nullptr && !taken);
  EXPECT_EQ(reason, "No such file or directory");
}

// The rows of table t in a database file, or -1 when it is not whole.
int Rows(const std::string& native) {
  if (robustness::Integrity(native) != "ok") return -1;
  return std::stoi(robustness::Query(native, "SELECT count(*) FROM t").at(0).at(0));
}

TEST_F(PosixEnvTest, CopyDatabaseTakesOneCommittedStateOrNothing) {
  sqlite3* writer = nullptr;
  ASSERT_EQ(sqlite3_open(world.Native("db.mdb").c_str(), &writer), SQLITE_OK);
  auto sql = [&](const char* text) { sqlite3_exec(writer, text, nullptr, nullptr, nullptr); };
  sql("CREATE TABLE t (x); INSERT INTO t VALUES (1)");
  world.Write("other.mdb", "not an embedded database");
  world.Write("taken/db.mdb", "kept");
  world.MakeFolder("copies");
  std::string reason;
  ASSERT_TRUE(env.CopyDatabase(P("db.mdb"), P("copies/a.mdb"), reason)) << reason;
  // A writer in the middle of a commit: the copy waits for it.
  sql("BEGIN EXCLUSIVE; INSERT INTO t VALUES (2)");
  std::thread side([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    sql("COMMIT");
  });
  EXPECT_TRUE(env.CopyDatabase(P("db.mdb"), P("copies/b.mdb"), reason)) << reason;
  side.join();
  EXPECT_EQ(Rows(world.Native("copies/a.mdb")) * 10 + Rows(world.Native("copies/b.mdb")), 12);
  int held = ::open(world.Native("other.mdb").c_str(), O_RDONLY | O_CLOEXEC);
  ::flock(held, LOCK_EX);
  for (const auto& [from, to, why] :
       std::initializer_list<std::tuple<const char*, const char*, const char*>>{
           {"db.mdb", "taken/db.mdb", "File exists"},
           {"missing.mdb", "copies/c.mdb", "No such file or directory"},
           {"other.mdb", "copies/d.mdb", "the database is locked by another program"}}) {
    EXPECT_FALSE(env.CopyDatabase(P(from), P(to), reason)) << to;
    EXPECT_EQ(reason, why);
  }
  EXPECT_EQ(world.Read("taken/db.mdb"), "kept");
  EXPECT_EQ(NamesIn(world.Native("copies")), (std::set<std::string>{"a.mdb", "b.mdb"}));
  ::close(held);
  sqlite3_close_v2(writer);
}

TEST_F(PosixEnvTest, DrivesFoldersAndSignalsComeFromTheEnvironment) {
  world.Write("Kestova/Zev.ini", "x");
  ::setenv("INGESTOR_DRIVE_Q", world.Native().c_str(), 1);
  EXPECT_TRUE(env.CanOpenForReading("q:\\kestova\\zev.ini"));
  EXPECT_TRUE(env.CanEnterFolder("Q:\\"));
  ::unsetenv("INGESTOR_DRIVE_Q");
  EXPECT_FALSE(env.CanOpenForReading("Q:\\Kestova\\Zev.ini"));

  const char* oldWindir = std::getenv("WINDIR");
  const std::string saved = oldWindir ? oldWindir : "";
  for (const auto& [windir, folder] : std::vector<std::pair<const char*, const char*>>{
           {"/opt/win/", "\\opt\\win"}, {"/", "\\"}, {nullptr, "\\etc"}}) {
    windir ? ::setenv("WINDIR", windir, 1) : ::unsetenv("WINDIR");
    EXPECT_EQ(env.WindowsFolder(), folder) << (windir ? windir : "unset");
  }
  oldWindir ? ::setenv("WINDIR", saved.c_str(), 1) : ::unsetenv("WINDIR");

  // A signal this process ignores is back at its default in a program it
  // starts: a terminated extractor must not live on.
  struct sigaction ignore {
  }, old{};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(::sigaction(SIGTERM, &ignore, &old), 0);
  std::string reason;
  const auto status = env.RunProcess("\\bin\\sh", {"-c", "kill -TERM $$; exit 3"}, true, reason);
  ::sigaction(SIGTERM, &old, nullptr);
  EXPECT_EQ(status, 128 + SIGTERM) << reason;
}

using Pairs = std::vector<std::pair<std::string, std::string>>;

TEST(PathsTest, DrivesAndCase) {
  // A drive maps through its variable (unset or empty: the root); without a
  // drive only the separators change.
  const std::map<std::string, std::string> vars{{"INGESTOR_DRIVE_C", "/srv/c//"},
                                                {"INGESTOR_DRIVE_E", ""}};
  auto lookup = [&](const std::string& name) -> std::optional<std::string> {
    auto it = vars.find(name);
    return it == vars.end() ? std::nullopt : std::optional(it->second);
  };
  // clang-format off
  for (const auto& [path, native] : Pairs{
           {"c:\\Kestova\\Zev.ini", "/srv/c/Kestova/Zev.ini"}, {"C:Kestova", "/srv/c/Kestova"},
           {"D:\\x", "/x"}, {"E:\\x", "/x"}, {"a/b\\c\\", "a/b/c/"}, {"ab:c", "ab:c"}})
    // clang-format on
    EXPECT_EQ(platform::ToNative(path, lookup), native) << path;
  EXPECT_EQ(platform::ToProgramForm("/tmp/out/x.tmp"), "\\tmp\\out\\x.tmp");

  // Missing parts keep their spelling, even a name that exists elsewhere;
  // the exact spelling wins.
  testing_doubles::TestWorld world;
  world.Write("Host/Data/LENDER.INI", "x");
  world.Write("dir/a.txt", "lower");
  world.Write("dir/A.TXT", "upper");
  // clang-format off
  for (const auto& [asked, found] : Pairs{
           {"/host//data/lender.ini", "/Host/Data/LENDER.INI"}, {"/dir/a.txt", "/dir/a.txt"},
           {"/host/DATA/new.Txt", "/Host/Data/new.Txt"}, {"/dir/A.TXT", "/dir/A.TXT"},
           {"/host/missing/data/x", "/Host/missing/data/x"}})
    // clang-format on
    EXPECT_EQ(platform::ResolveCase(world.Native() + asked), world.Native() + found) << asked;
}

// A taken name is never opened: each clash takes the next number, before
// the extension (none: at the end).
TEST(FileChannelsTest, ATakenNameIsNeverOpenedAndWritesAreOnDiskAtOnce) {
  testing_doubles::TestWorld world;
  platform::FileChannels& files = world.files;
  world.Write("run.log", "from an earlier run");
  ::symlink(world.Native("target").c_str(), world.Native("run-2.log").c_str());
  world.Write("x.d/plain", "");
  for (const auto& [asked, created] :
       Pairs{{"run.log", "run-3.log"}, {"run.log", "run-4.log"}, {"x.d\\plain", "x.d\\plain-2"}}) {
    std::string opened;
    EXPECT_EQ(files.Open(world.env, world.Program(asked), &opened), 1) << asked;
    EXPECT_EQ(opened, world.Program(created));
    // Each write is on disk at once; nothing reaches a closed channel.
    ASSERT_TRUE(files.Write(1, "one\r\n"));
    EXPECT_EQ(world.Read(created == "x.d\\plain-2" ? "x.d/plain-2" : created), "one\r\n");
    EXPECT_TRUE(files.Close(1));
    EXPECT_FALSE(files.Write(1, "two\r\n") || files.Close(1) || files.IsOpen(1));
  }
  EXPECT_EQ(world.Read("run.log"), "from an earlier run");
  EXPECT_FALSE(world.Has("target"));
  std::string reason;
  EXPECT_EQ(files.Open(world.env, world.Program("none\\a.log"), nullptr, &reason), 0);
  EXPECT_EQ(reason, "No such file or directory");
}

}  // namespace
