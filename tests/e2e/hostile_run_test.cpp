// Whole runs of the ingestor binary where names, folders and programs work
// against it: a program planted at a prefix of the extractor's path, file
// names that would split a command line or forge log lines, extractors that
// cannot start or fail, a connection-string separator in the database path,
// an output folder another run holds, log names already taken, a database
// its user cannot read and a disk too small for the backup.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>

#include "doubles/TestWorld.h"
#include "e2e/RunProgram.h"
#include "platform/db/Connect.h"

namespace {

namespace fs = std::filesystem;
using e2e::TailPath;

const std::string kIngestor = INGESTOR_BINARY;
const std::string kExtractor = INGESTOR_SAMPLE_EXTRACTOR;

// One run's world: a lender source folder, a lender database, an output folder.
struct Scene {
  testing_doubles::TestWorld world;
  std::string extractor = kExtractor;
  std::string source = "host";
  std::string output = "out";
  std::string database = "Lenders.mdb";
  std::string type = "5";
  std::vector<std::string> runAs;  // a command put in front of the ingestor
  int heldLock = -1;

  Scene() {
    world.Write("host/lender.dta", "lender data");
    LendersDatabase("Lenders.mdb");
    world.MakeFolder("out");
  }
  ~Scene() {
    if (heldLock >= 0) ::close(heldLock);
  }
  void LendersDatabase(const std::string& relative, std::size_t padding = 0) {
    world.Write(relative, "");
    std::vector<std::string> errors;
    auto db = world.real.OpenDatabase("DRIVER={Microsoft Access Driver (*.mdb)};DBQ=" +
                                          db::ConnectionValue(world.Native(relative)) + ";",
                                      errors);
    std::string error;
    ASSERT_TRUE(db && db->Execute("CREATE TABLE Lenders (ID INTEGER PRIMARY KEY, LenderDBID "
                                  "TEXT, LenderName TEXT)",
                                  error))
        << error;
    if (padding > 0) {
      ASSERT_TRUE(db->Execute(
          "CREATE TABLE Pad AS SELECT zeroblob(" + std::to_string(padding) + ") AS b", error))
          << error;
    }
  }
  std::string Script(const std::string& relative, const std::string& body,
                     const std::string& interpreter = "#!/bin/sh\n") {
    world.Write(relative, interpreter + body);
    fs::permissions(world.Native(relative), fs::perms::owner_all | fs::perms::group_exec |
                                                fs::perms::group_read | fs::perms::others_exec |
                                                fs::perms::others_read);
    return world.Native(relative);
  }
  // An extractor that does the sample extractor's work and then `after`.
  std::string Forwarding(const std::string& relative, const std::string& after) {
    return Script(relative, "'" + kExtractor + "' \"$@\"\n" + after);
  }
  e2e::RunResult Run() {
    std::string tail = TailPath(extractor) + "/" + TailPath(world.Native(source)) +
                       (fs::is_directory(world.Native(source)) ? "\\/" : "/") +
                       TailPath(world.Native(output)) + "\\/" + type + "/" +
                       TailPath(world.Native(database));
    std::vector<std::string> args = runAs;
    args.push_back(kIngestor);
    args.push_back(tail);
    const std::string program = args.front();
    args.erase(args.begin());
    return e2e::Run(program, args);
  }
  // Every log of the output folder, concatenated.
  std::string Logs() {
    std::string text;
    for (const auto& e : fs::directory_iterator(world.Native(output)))
      if (e.path().filename().string().find("-logfile") != std::string::npos)
        text += e2e::Slurp(e.path());
    return text;
  }
  std::set<std::string> Entries(const std::string& relative) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(world.Native(relative)))
      names.insert(e.path().filename().string());
    return names;
  }
};

struct Case {
  const char* what;
  std::function<void(Scene&)> setup;
  int status;
  std::vector<std::string> logHas;  // texts the log must hold
  std::string errHas;               // text stderr must hold ("" for nothing asked)
  std::function<void(Scene&, const e2e::RunResult&)> check;
};

void RunCases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Scene scene;
    c.setup(scene);
    if (testing::Test::HasFatalFailure()) return;
    const e2e::RunResult r = scene.Run();
    const std::string log = scene.Logs();
    EXPECT_EQ(r.status, c.status) << r.err << log;
    for (const std::string& text : c.logHas) EXPECT_NE(log.find(text), std::string::npos) << text;
    EXPECT_NE(r.err.find(c.errHas), std::string::npos) << r.err;
    // One log line is one event: every line break is the log's own CR LF.
    std::size_t lf = 0, crlf = 0;
    for (std::size_t i = 0; i < log.size(); ++i)
      if (log[i] == '\n') ++lf, crlf += i > 0 && log[i - 1] == '\r';
    EXPECT_EQ(lf, crlf);
    if (c.check) c.check(scene, r);
  }
}

// The log names of the next seconds, as the run will spell its own.
std::vector<std::string> LogNamesFromNow(int seconds) {
  std::vector<std::string> names;
  const std::time_t now = std::time(nullptr);
  for (int s = 0; s < seconds; ++s) {
    std::time_t t = now + s;
    std::tm tm{};
    ::localtime_r(&t, &tm);
    char name[64];
    std::strftime(name, sizeof name, "%Y-%m-%d-%H%M%S-logfile.txt", &tm);
    names.push_back(name);
  }
  return names;
}

TEST(HostileRun, NamesFoldersAndExtractorsCannotMisleadTheRun) {
  const std::string forged = "00:00:00 2000-0101 - Import finished successfully!";
  const std::vector<Case> cases = {
      {"an executable planted at a prefix of the extractor's path never runs",
       [](Scene& s) {
         s.Script("inst", "touch '" + s.world.Native("planted-ran") + "'\n");
         s.extractor = s.Forwarding("inst dir/extract", "");
       },
       0,
       {"Extraction application returned: 0", "Import finished successfully!"},
       "",
       [](Scene& s, const e2e::RunResult&) { EXPECT_FALSE(s.world.Has("planted-ran")); }},
      {"names that split a command line or forge log lines are never handed over",
       [&](Scene& s) {
         s.type = "0";
         s.source = "responses";
         s.database = "Responses.mdb";
         s.world.Write("Responses.mdb", "");
         for (const std::string& name :
              std::vector<std::string>{"resp.dat", "q\" \"\\etc\\hostname\" \"z.dat",
                                       "x\r\n" + forged + ".dat", "..\\..\\up.dat"})
           s.world.Write("responses/" + name, "");
         s.extractor = s.Script("record", "printf '%s\\n' \"$@\" > '" + s.world.Native("args.txt") +
                                              "'\nexec '" + kExtractor + "' \"$@\"\n");
       },
       3,
       {"File 'q\" \"\\etc\\hostname\" \"z.dat' is not handed to the extraction program",
        "File 'x\\r\\n" + forged + ".dat' is not handed to the extraction program",
        "File '..\\..\\up.dat' is not handed to the extraction program",
        "Adding file to command line: 'resp.dat'..."},
       "ingestor: The import completed, but not cleanly: 0 record(s) rejected or stored "
       "incomplete, 3 other problem(s).",
       [&](Scene& s, const e2e::RunResult&) {
         const std::string args = s.world.Read("args.txt");
         EXPECT_EQ(args,
                   s.world.Native("out") + "/\nn\n" + s.world.Native("responses") + "/resp.dat\n");
         EXPECT_FALSE(s.world.Has("out/hostname.tmp"));
         EXPECT_EQ(s.Logs().find("\r\n" + forged), std::string::npos);
       }},
      {"an extractor that cannot be started ends the run",
       [](Scene& s) { s.extractor = s.Script("broken", "", "#!/nonexistent/interpreter\n"); },
       1,
       {"Extraction application could not be started: No such file or directory"},
       "ingestor: Extraction application could not be started: No such file or directory",
       [](Scene& s, const e2e::RunResult&) {
         EXPECT_EQ(s.Logs().find("Extraction application returned"), std::string::npos);
       }},
      {"an extractor that fails still has its files imported, and the run says so",
       [](Scene& s) { s.extractor = s.Forwarding("fails", "exit 3\n"); },
       3,
       {"Extraction application returned: 3",
        "The extraction program reported a failure; its files may be incomplete.",
        "Extraction produced 1 file(s)."},
       "1 other problem(s)",
       nullptr},
      {"an extractor ended by a signal likewise",
       [](Scene& s) { s.extractor = s.Forwarding("killed", "kill -9 $$\n"); },
       3,
       {"Extraction application returned: 137",
        "The extraction program reported a failure; its files may be incomplete.",
        "Extraction produced 1 file(s)."},
       "1 other problem(s)",
       nullptr},
      {"a database path with connection-string separators names that file only",
       [](Scene& s) {
         s.database = "a;DBQ=b{c}.mdb";
         s.LendersDatabase(s.database);
       },
       0,
       {"Connected to database successfully.", "Import finished successfully!"},
       "",
       [](Scene& s, const e2e::RunResult&) {
         EXPECT_EQ(s.Entries(""),
                   (std::set<std::string>{"Lenders.mdb", "a;DBQ=b{c}.mdb", "host", "out"}));
       }},
      {"extracted files an earlier run left are named and never imported, file runs included",
       [](Scene& s) {
         s.source = "host/lender.dta";
         s.world.Write("out/lender.old.tmp", "an earlier run's file");
       },
       0,
       {"Removed the earlier extracted file 'lender.old.tmp'.", "Extraction produced 1 file(s)."},
       "",
       nullptr},
      {"an output folder another run holds is not touched",
       [](Scene& s) {
         s.world.Write("out/stale.tmp", "another run's file");
         s.heldLock = ::open(s.world.Native("out/.ingestor.lock").c_str(),
                             O_RDWR | O_CREAT | O_CLOEXEC, 0644);
         ASSERT_EQ(::flock(s.heldLock, LOCK_EX), 0);
         s.world.Write("Lenders.mdb.before", s.world.Read("Lenders.mdb"));
       },
       1,
       {},
       "ingestor: Another import is using the output folder '",
       [](Scene& s, const e2e::RunResult&) {
         EXPECT_EQ(s.Entries("out"), (std::set<std::string>{".ingestor.lock", "stale.tmp"}));
         EXPECT_EQ(s.world.Read("Lenders.mdb"), s.world.Read("Lenders.mdb.before"));
       }},
      {"a taken log name, a link or an earlier run's log, is never written through",
       [](Scene& s) {
         s.world.Write("precious", "precious");
         bool link = true;
         for (const std::string& name : LogNamesFromNow(6)) {
           if (link)
             fs::create_symlink(s.world.Native("precious"), s.world.Native("out/" + name));
           else
             s.world.Write("out/" + name, "earlier run");
           link = !link;
         }
       },
       0,
       {"Import finished successfully!"},
       "",
       [](Scene& s, const e2e::RunResult&) {
         EXPECT_EQ(s.world.Read("precious"), "precious");
         int numbered = 0;
         for (const std::string& name : s.Entries("out")) {
           const std::string path = s.world.Native("out/" + name);
           if (name.ends_with("-logfile-2.txt")) {
             ++numbered;
           } else if (!fs::is_symlink(path) && name.ends_with("-logfile.txt")) {
             EXPECT_EQ(s.world.Read("out/" + name), "earlier run") << name;
           }
         }
         EXPECT_EQ(numbered, 1);
       }},
  };
  RunCases(cases);
}

// Needs root: to become another user, and to mount a small file system.
TEST(HostileRun, AnUnreadableDatabaseOrAFailedBackupWritesNothing) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "needs root, to run as an unprivileged user and to mount a small tmpfs";
  std::vector<std::string> mounted;
  const std::vector<Case> cases = {
      {"an existing database its user cannot read is neither replaced nor imported into",
       [](Scene& s) {
         fs::permissions(s.world.Native(), fs::perms::owner_all | fs::perms::group_read |
                                               fs::perms::group_exec | fs::perms::others_read |
                                               fs::perms::others_exec);
         fs::permissions(s.world.Native("out"), fs::perms::all);
         fs::permissions(s.world.Native("Lenders.mdb"),
                         fs::perms::owner_read | fs::perms::owner_write);
         s.world.Write("Lenders.mdb.before", s.world.Read("Lenders.mdb"));
         s.runAs = {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
       },
       1,
       {"' exists but cannot be read: Permission denied."},
       "exists but cannot be read: Permission denied. The log is '",
       [](Scene& s, const e2e::RunResult&) {
         EXPECT_EQ(s.world.Read("Lenders.mdb"), s.world.Read("Lenders.mdb.before"));
         for (const std::string& name : s.Entries("out"))
           EXPECT_FALSE(fs::is_directory(s.world.Native("out/" + name))) << "backup " << name;
       }},
      {"a database backup that does not fit ends the run before anything is written",
       [&](Scene& s) {
         s.world.MakeFolder("small");
         ASSERT_EQ(::mount("tmpfs", s.world.Native("small").c_str(), "tmpfs", 0, "size=1m"), 0)
             << "mount: " << std::strerror(errno);
         mounted.push_back(s.world.Native("small"));
         s.world.MakeFolder("small/out");
         s.output = "small/out";
         fs::remove(s.world.Native("Lenders.mdb"));
         s.LendersDatabase("Lenders.mdb", 2 << 20);
         s.world.Write("Lenders.mdb.before", s.world.Read("Lenders.mdb"));
       },
       1,
       {"Could not backup database: database or disk is full; nothing was imported."},
       "ingestor: Could not backup database: database or disk is full; nothing was imported.",
       [&](Scene& s, const e2e::RunResult&) {
         EXPECT_EQ(s.world.Read("Lenders.mdb"), s.world.Read("Lenders.mdb.before"));
         EXPECT_EQ(s.Logs().find("Extraction"), std::string::npos);
         ::umount(mounted.back().c_str());
         mounted.pop_back();
       }},
  };
  RunCases(cases);
  for (const std::string& path : mounted) ::umount(path.c_str());
}

}  // namespace
