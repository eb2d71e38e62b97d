// The database under hostile file names, another program's lock, a second
// import at the same time and a disk that fills up, through the ingestor
// binary: no statement runs that was not meant, nothing lands outside a
// whole file, and the exit status and the log say what happened.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <thread>

#include "RecordWriter.h"
#include "doubles/TestWorld.h"
#include "e2e/RunProgram.h"
#include "platform/PosixEnv.h"

namespace {

using e2e::TailPath;

const std::string kIngestor = INGESTOR_BINARY;
const std::string kExtractor = INGESTOR_SAMPLE_EXTRACTOR;

// `count` responses with lines from `firstLine`, each `textSize` bytes of text.
std::string Responses(int firstLine, int count, std::size_t textSize = 20) {
  std::string bytes;
  for (int i = 0; i < count; ++i)
    bytes += samplehost::ResponseRecord(firstLine + i, 1, 4, "T" + std::to_string(i), false, 0,
                                        std::string(textSize, 'x'), 0);
  return bytes;
}

class DatabaseSafety : public ::testing::Test {
 protected:
  void SetUp() override {
    auto r = e2e::Run(INGESTOR_SAMPLE_HOST, {world.Native("host")});
    ASSERT_EQ(r.status, 0) << r.err;
    database = world.Native("Responses.mdb");
  }
  // Imports the responses of `source` into `database`, logging into `out`.
  e2e::RunResult Import(const std::string& source, const std::string& out,
                        std::vector<std::string> env = {}) {
    world.MakeFolder(source);
    world.MakeFolder(out);
    const std::string tail = TailPath(kExtractor) + "/" + TailPath(world.Native(source)) + "/" +
                             TailPath(world.Native(out)) + "\\/0/" + TailPath(database) +
                             "/False/True";
    env.push_back("WINDIR=" + world.Native("host"));
    return e2e::Run(kIngestor, {tail}, env);
  }
  std::string Log(const std::string& out) { return e2e::LogIn(world.Native(out)); }
  std::unique_ptr<db::Backend> Open() {
    std::vector<std::string> errors;
    return env.OpenDatabase("DRIVER={Microsoft Access Driver (*.mdb)};DBQ=" + database + ";",
                            errors);
  }
  // The first column of each row `sql` returns, as text.
  std::vector<std::string> Column(const std::string& sql) {
    std::vector<std::string> values;
    auto db = Open();
    std::string error;
    auto st = db ? db->Prepare(sql, error) : nullptr;
    while (st && st->Step() == db::StepResult::Row) values.push_back(st->Column(0).ToText());
    return values;
  }
  std::size_t Rows(const std::string& table) {
    const auto n = Column("SELECT COUNT(*) FROM \"" + table + "\"");
    return n.empty() ? 0 : std::stoul(n[0]);
  }

  testing_doubles::TestWorld world;
  platform::PosixEnv env;
  std::string database;
};

TEST_F(DatabaseSafety, AFileNameIsATableNameOnlyWhenItIsAPlainName) {
  world.Write("first/resp.dat", Responses(1, 3));
  ASSERT_EQ(Import("first", "out0").status, 0);
  const auto schema = Column("SELECT sql FROM sqlite_master ORDER BY name");

  struct Case {
    std::string file;
    bool imported;
  };
  const std::string longest(64, 'n');
  const std::vector<Case> cases = {
      {"x(a INT);DROP TABLE resp;CREATE TABLE pwned.dat", false},
      {"a]b.dat", false},
      {"q'uote.dat", false},
      {longest + "x.dat", false},  // 65 characters
      {longest + ".dat", true},
      {"Plain_2.dat", true},
  };
  for (const Case& c : cases) world.Write("hostile/" + c.file, Responses(50, 2));
  const auto r = Import("hostile", "out1");
  EXPECT_EQ(r.status, 3) << r.err;
  const std::string log = Log("out1");
  for (const Case& c : cases) {
    const std::string table = c.file.substr(0, c.file.find('.'));
    const std::string refused =
        "File '" + c.file + ".tmp': not imported: '" + table + "' cannot be a table name.";
    EXPECT_EQ(log.find(refused) != std::string::npos, !c.imported) << c.file << "\n" << log;
    if (c.imported) {
      EXPECT_EQ(Rows(table), 2u) << c.file;
    }
  }
  // Nothing dropped, nothing created but the two plain tables and their indexes.
  EXPECT_EQ(Rows("resp"), 3u);
  EXPECT_EQ(Column("SELECT sql FROM sqlite_master ORDER BY name").size(), schema.size() + 4);
  EXPECT_TRUE(Column("SELECT name FROM sqlite_master WHERE name LIKE '%pwned%'").empty());
}

TEST_F(DatabaseSafety, ALockHeldPastTheWaitLeavesTheFileUnimported) {
  world.Write("first/resp.dat", Responses(1, 3));
  ASSERT_EQ(Import("first", "out0").status, 0);
  world.Write("second/resp.dat", Responses(10, 4));
  {
    // Another program writing: it holds the write lock for the whole run.
    auto holder = Open();
    std::string error;
    ASSERT_TRUE(holder && holder->Begin(error)) << error;
    const auto r = Import("second", "out1", {"INGESTOR_BUSY_TIMEOUT=1"});
    EXPECT_EQ(r.status, 3) << r.err;
    const std::string log = Log("out1");
    EXPECT_NE(log.find("Waiting for the database, locked by another program..."), std::string::npos)
        << log;
    EXPECT_NE(log.find("File 'resp.dat.tmp': not imported: the database is busy."),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("Rejected record"), std::string::npos) << log;
    holder->Rollback(error);
  }
  EXPECT_EQ(Rows("resp"), 3u);
}

// Neither run finds the database or the table: both place the template and
// create the table, and neither may undo or refuse the other's.
TEST_F(DatabaseSafety, TwoImportsIntoOneDatabaseAtOnceBothLandWhole) {
  constexpr int kEach = 3000;
  world.Write("a/resp.dat", Responses(1, kEach));
  world.Write("b/resp.dat", Responses(kEach + 1, kEach));
  e2e::RunResult ra, rb;
  std::thread other([&] { rb = Import("b", "outb"); });
  ra = Import("a", "outa");
  other.join();
  EXPECT_EQ(ra.status, 0) << ra.err << Log("outa");
  EXPECT_EQ(rb.status, 0) << rb.err << Log("outb");
  const std::string counts = "File 'resp.dat.tmp': " + std::to_string(kEach) + " read, " +
                             std::to_string(kEach) + " added, 0 overwritten, 0 kept, 0 rejected.";
  EXPECT_NE(Log("outa").find(counts), std::string::npos) << Log("outa");
  EXPECT_NE(Log("outb").find(counts), std::string::npos) << Log("outb");
  EXPECT_EQ(Rows("resp"), 2u * kEach);
}

// A real file system that fills up under the database. It needs a small
// file system of its own: mounted here when the test may (root).
TEST_F(DatabaseSafety, ADiskThatFillsUpEndsTheImportWithTheDatabaseWhole) {
  const std::string small = world.Native("small");
  world.MakeFolder("small");
  if (::geteuid() != 0 || ::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=1m") != 0)
    GTEST_SKIP() << "a 1 MB tmpfs cannot be mounted here (needs root); the full-disk case is "
                    "covered with an injected full disk by the robustness suite";
  struct Unmount {
    std::string path;
    ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
  } unmount{small};
  database = small + "/Responses.mdb";
  world.Write("first/resp.dat", Responses(1, 3));
  ASSERT_EQ(Import("first", "out0").status, 0);
  world.Write("big/big.dat", Responses(1, 3000, 400));
  const auto r = Import("big", "out1");
  EXPECT_EQ(r.status, 1) << r.err;
  const std::string log = Log("out1");
  EXPECT_NE(log.find("The database cannot be used: the disk is full"), std::string::npos) << log;
  EXPECT_EQ(log.find("Rejected record"), std::string::npos);
  EXPECT_EQ(Column("PRAGMA integrity_check"), std::vector<std::string>{"ok"});
  EXPECT_EQ(Rows("resp"), 3u);
  EXPECT_EQ(Rows("big"), 0u);
}

}  // namespace
