// Whole runs of the ingestor binary: the steps of a run, and command lines,
// names, folders, extraction programs and databases that work against it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/mount.h>

#include <cerrno>
#include <functional>
#include <thread>

#include "RecordWriter.h"
#include "e2e/RunProgram.h"

namespace {

using e2e::Rows;
using e2e::Scene;
using namespace std::string_literals;

// `count` responses with lines from `firstLine`, each `textSize` bytes of text.
std::string Responses(int firstLine, int count, std::size_t textSize = 20) {
  std::string bytes;
  for (int i = 0; i < count; ++i)
    bytes += samplehost::ResponseRecord(firstLine + i, 1, 4, "T" + std::to_string(i), false, 0,
                                        std::string(textSize, 'x'), 0);
  return bytes;
}

// A response import (no comparisons) into `database`, after one of `prior` responses.
void ResponseImport(Scene& s, const std::string& database, int prior) {
  s.type = "0";
  s.database = database;
  s.flags = "/False/True";
  if (prior == 0) return;
  s.world.Write(database, "");  // an empty file is an empty database
  s.world.Write("prior/resp.dat", Responses(1, prior));
  s.source = "prior";
  s.output = "out0";
  ASSERT_EQ(s.Go().status, 0);
  s.output = "out";
}

// The log's refusal of a file name as a table name, marked as e2e::Expect takes it.
std::string Refused(char mark, const std::string& table) {
  return mark + ("File '" + table + ".dat.tmp': not imported: '" + table) +
         "' cannot be a table name.";
}

struct Case {
  const char* what;
  int status;
  std::string said;                 // on stderr
  std::vector<std::string> logged;  // as e2e::Expect takes them
  std::function<void(Scene&)> setup, check = nullptr;
};

const std::string kForged = "00:00:00 2000-0101 - Import finished successfully!";
const std::string kOpen = "[Source]CSImportEngine::OpenConnection [Index]na [Text]";
const std::string kLoad = "[Source]LoadSourceFiles::CSImportEngine [Index]na [Text]";
const std::string kBackup = "[Source]BackupSourceFiles::CSImportEngine [Index]na [Text]";

// Each case starts from a lender source folder and an empty lender database.
TEST(Run, StepsNamesFoldersExtractorsAndDatabases) {
  // clang-format off
  const std::vector<Case> cases = {
      // Separators in the database path name that one file; a taken log name (a link or an
      // earlier run's log) is never written through.
      {"a folder run logs every step in order, backs up and cleans up", 0, "",
       {"Checking database...", "Beginning import...",
        kOpen + "Attempting to connect to database using MS Access",
        kOpen + "Connected to database successfully.",
        "Establishing whether source is a file or folder...", "Source is a folder.",
        kLoad + "Searching input folder for files like: 'lender.dta'",
        kLoad + "Found 1 source files.",
        kBackup + "Backing up source FILES...", kBackup + "Backing up source database...",
        kBackup + "Successfully backed up database.",
        "Iterating through source files, running extraction...",
        "Adding file to command line: 'lender.dta'...", "Running extraction application...",
        "Extraction application returned: 0", "Extraction produced 1 file(s).",
        "Import finished successfully!",
        "[Source]CSImportEngine::CloseConnection [Index]na [Text]Connection closed."},
       [](Scene& s) {
         s.world.Write("host/notes.txt", "not a source");
         s.database = "a;DBQ=b{c}.mdb";
         s.Lenders();
         s.world.Write("precious", "precious");  // linked to by the next seconds' log names
         ASSERT_EQ(e2e::Run("/bin/sh", {"-c", "cd '" + s.world.Native("out") + "' && t=$(date +%s)"
                             " && for i in 0 1 2 3 4 5; do n=$(date -d @$((t+i)) +%Y-%m-%d-%H%M"
                             "%S-logfile.txt); if [ $((i%2)) = 0 ]; then ln -s ../precious $n; "
                             "else printf 'earlier run' >$n; fi; done"}).status, 0);
       },
       [](Scene& s) {
         const std::string log = s.Log();
         // Read through the links and the earlier logs: none of them changed.
         for (const std::regex& text : {std::regex("precious"), std::regex("earlier run")})
           EXPECT_EQ(std::distance(std::sregex_iterator(log.begin(), log.end(), text), {}), 3);
         EXPECT_EQ(s.world.Read("precious"), "precious");  // nor was any log name written through
         // The backup holds the source and the database; the extracted files are gone.
         EXPECT_EQ(s.Tree("out"), "#|#-#-#-#-logfile-#.txt|#-#-#-#-logfile.txt|#/a;DBQ=b{c}.mdb|"
                                  "#/lender.dta|.ingestor.lock");
         EXPECT_EQ(std::regex_replace(s.Tree(""), std::regex("\\|[^|]*/[^|]*"), ""),
                   "Lenders.mdb|a;DBQ=b{c}.mdb|host|out|precious");
         s.flags = "/True";  // LeaveOutputFiles keeps them
         EXPECT_EQ(s.Go().status, 0);
         EXPECT_TRUE(s.world.Has("out/lender.dta.tmp"));
       }},
      // The extractor, at a path whose prefix is a program, gets native paths, a quoted flag and
      // no environment; ended by a signal, its files are still imported, and the run says so.
      {"names that split a command line or forge log lines are never handed over", 3,
       "ingestor: The import completed, but not cleanly: 0 record(s) rejected or stored "
       "incomplete, 4 other problem(s).",
       {"*File 'q\" \"\\etc\\hostname\" \"z.dat' is not handed to the extraction program",
        "*File 'x\\r\\n" + kForged + ".dat' is not handed to the extraction program",
        "*File '..\\..\\up.dat' is not handed to the extraction program",
        "Adding file to command line: 'resp.dat'...", "!\r\n" + kForged,
        "Extraction application returned: 137",
        "The extraction program reported a failure; its files may be incomplete.",
        "Extraction produced 1 file(s)."},
       [](Scene& s) {
         ResponseImport(s, "Responses.mdb", 0);
         s.world.Write(s.database, "");
         s.source = "responses";
         for (const std::string& name : {"resp.dat"s, "q\" \"\\etc\\hostname\" \"z.dat"s,
                                         "x\r\n" + kForged + ".dat", "..\\..\\up.dat"s})
           s.world.Write("responses/" + name, "");
         s.Script("inst", "touch '" + s.world.Native("planted-ran") + "'\n");
         const std::string args = "'" + s.world.Native("args.txt") + "'";  // and HOME variables
         s.extractor = s.Script("inst dir/extract", "printf '%s\\n' \"$@\" >" + args +
                                "\nenv | grep -c ^HOME= >>" + args + "\n'" INGESTOR_SAMPLE_EXTRACTOR
                                "' \"$@\"\nkill -9 $$\n");
         s.flags = "//0/1";
       },
       [](Scene& s) {
         EXPECT_FALSE(s.world.Has("planted-ran"));
         EXPECT_EQ(s.world.Read("args.txt"), s.world.Native("out") + "/\ny\n" +
                                                 s.world.Native("responses/resp.dat") + "\n0\n");
       }},
      {"an extractor that cannot be started ends the run", 1,
       "ingestor: Extraction application could not be started: No such file or directory",
       {"Extraction application could not be started: No such file or directory",
        "!Extraction application returned"},
       [](Scene& s) { s.extractor = s.Script("broken", "", "#!/nonexistent/interpreter\n"); }},
      {"an extractor that fails and leaves nothing ends the run; an earlier run's extracted "
       "files were removed first, file runs included", 1, "",
       {"Removed the earlier extracted file 'lender.old.tmp'.",
        "Extraction application returned: 7",
        "Extraction resulted in zero files. Exiting...", "!Import did NOT complete successfully."},
       [](Scene& s) {
         s.source = "host/lender.dta";
         s.world.Write("out/lender.old.tmp", "an earlier run's file");
         s.extractor = s.Script("fails", "exit 7\n");
       },
       [](Scene& s) { EXPECT_FALSE(s.world.Has("out/lender.old.tmp")); }},
      {"an output folder another run holds is not touched", 1,
       "ingestor: Another import is using the output folder '", {},
       [](Scene& s) {
         s.world.Write("out/stale.tmp", "another run's file");
         const int fd =
             ::open(s.world.Native("out/.ingestor.lock").c_str(), O_RDWR | O_CREAT, 0644);
         s.held.reset(&s, [fd](void*) { ::close(fd); });
         ASSERT_EQ(::flock(fd, LOCK_EX), 0);
         s.world.Write("before", s.world.Read(s.database));
       },
       [](Scene& s) {
         EXPECT_EQ(s.Tree("out"), ".ingestor.lock|stale.tmp");
         EXPECT_EQ(s.world.Read(s.database), s.world.Read("before"));
       }},
      {"a file name is a table name only when it is a plain name", 3, "",
       {Refused('*', "x(a INT);DROP TABLE resp;CREATE TABLE pwned"), Refused('*', "a]b"),
        Refused('*', "q'uote"), Refused('*', std::string(64, 'n') + "x"),
        Refused('!', std::string(64, 'n')), Refused('!', "Plain_2")},
       [](Scene& s) {
         ResponseImport(s, "Responses.mdb", 3);
         for (const std::string& name : {"x(a INT);DROP TABLE resp;CREATE TABLE pwned.dat"s,
                                         "a]b.dat"s, "q'uote.dat"s, std::string(64, 'n') + "x.dat",
                                         std::string(64, 'n') + ".dat", "Plain_2.dat"s})
           s.world.Write("prior/" + name, Responses(50, 2));  // the prior responses again
       },
       [](Scene& s) {
         const std::string n64(64, 'n');
         EXPECT_EQ(s.Query("SELECT name FROM sqlite_master ORDER BY name"),
                   (Rows{"Plain_2", n64, "resp", "sqlite_sequence"}));
         EXPECT_EQ(s.Query("SELECT (SELECT COUNT(*) FROM resp), (SELECT COUNT(*) FROM "
                                       "Plain_2), (SELECT COUNT(*) FROM " + n64 + ")"),
                   Rows{"6|2|2"});
       }},
      {"a lock held past the wait leaves the file unimported", 3, "",
       {"Waiting for the database, locked by another program...",
        "File 'resp.dat.tmp': not imported: the database is busy.", "!Rejected record"},
       [](Scene& s) {
         ResponseImport(s, "Responses.mdb", 3);
         s.env = {"INGESTOR_BUSY_TIMEOUT=1"};
         std::shared_ptr<db::Backend> holder = s.Open();  // another program, writing
         std::string error;
         ASSERT_TRUE(holder && holder->Begin(error)) << error;
         s.held = holder;
       },
       [](Scene& s) {
         s.held.reset();
         EXPECT_EQ(s.Query("SELECT COUNT(*) FROM resp"), Rows{"3"});
       }},
      // The last cases need root: to become another user, and to mount a small file system.
      {"an existing database its user cannot read is neither replaced nor imported into", 1,
       "exists but cannot be read: Permission denied. The log is '",
       {"' exists but cannot be read: Permission denied."},
       [](Scene& s) {
         if (::geteuid() != 0) GTEST_SKIP() << "needs root";
         ASSERT_EQ(e2e::Run("/bin/sh", {"-c", "cd '" + s.world.Native() + "' && chmod 755 . && "
                             "chmod 777 out && chmod 600 Lenders.mdb"}).status, 0);
         s.world.Write("before", s.world.Read(s.database));
         s.runAs = {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
       },
       [](Scene& s) {
         EXPECT_EQ(s.world.Read(s.database), s.world.Read("before"));
         EXPECT_EQ(s.Tree("out"), "#-#-#-#-logfile.txt|.ingestor.lock");  // no backup
       }},
      {"a disk that fills up ends the import with the database whole", 1, "",
       {"The database cannot be used: the disk is full", "!Rejected record"},
       [](Scene& s) {
         const std::string small = s.world.Native("small");
         s.world.MakeFolder("small");
         ASSERT_EQ(::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=1m"), 0) << errno;
         s.held.reset(&s, [small](void*) { umount2(small.c_str(), MNT_DETACH); });
         ResponseImport(s, "small/Responses.mdb", 3);
         s.world.Write("big/big.dat", Responses(1, 3000, 400));
         s.source = "big";
       },
       [](Scene& s) {
         EXPECT_EQ(s.Query("PRAGMA integrity_check"), Rows{"ok"});
         EXPECT_EQ(s.Query("SELECT COUNT(*) FROM resp"), Rows{"3"});
         EXPECT_EQ(s.Query("SELECT name FROM sqlite_master ORDER BY name"),
                   (Rows{"resp", "sqlite_sequence"}));
       }},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Scene s;
    s.Lenders();
    c.setup(s);
    if (HasFatalFailure() || IsSkipped()) return;
    const e2e::RunResult r = s.Go();
    e2e::Expect(r, s.Log(), c.status, c.logged, c.said);
    if (c.check) c.check(s);
  }
}

// Both place the template and create the table; neither may undo or refuse the other's.
TEST(Run, TwoImportsIntoOneDatabaseAtOnceBothLandWhole) {
  Scene s;
  s.SampleHost();
  ResponseImport(s, "Responses.mdb", 0);
  s.world.Write("a/resp.dat", Responses(1, 3000));
  s.world.Write("b/resp.dat", Responses(3001, 3000));
  s.source = "b";
  s.output = "outb";
  e2e::RunResult rb;
  std::thread other([&, tail = s.Tail()] { rb = e2e::Run(INGESTOR_BINARY, {tail}, s.env); });
  s.source = "a";
  s.output = "outa";
  const e2e::RunResult ra = s.Go();
  other.join();
  EXPECT_EQ(std::make_pair(ra.status, rb.status), std::make_pair(0, 0)) << ra.err << rb.err;
  EXPECT_EQ(s.Query("SELECT COUNT(*) FROM resp"), Rows{"6000"});
}

// What the host's script sees: help and version on stdout, a refused tail as
// status 2 and one line, the folders an accepted one names created.
TEST(Run, CommandLines) {
  Scene scene;
  const testing_doubles::TestWorld& world = scene.world;
  const std::string root = e2e::TailPath(world.Native()) + "\\";
  world.MakeFolder("data");
  world.MakeFolder("drive c");
  world.Write("Cfg/Zev.INI", "[Directories]\r\n");
  const std::string ini = e2e::TailPath(world.Native("Cfg/Zev.INI"));
  const std::string noDatabase =
      "ingestor: FAILED to create database 'Lenders.mdb': the host's configuration file "
      "'C:\\Kestova\\Zev.ini' does not exist. The log is '";
  const Rows driveC = {"INGESTOR_DRIVE_C=" + world.Native("drive c")};
  struct Case {
    Rows args;
    int status;
    std::string said, out = "";  // stderr ("" for nothing at all); stdout, as a pattern
  };
  // clang-format off
  const std::vector<Case> cases = {
      {{"--help"}, 0, "", "Usage: ingestor[\\s\\S]*"},
      {{"--version"}, 0, "", R"(ingestor \d+\.\d+\.\d+\n)"},
      {{}, 2, "This application cannot be run as a standalone application.\nYou must run this "
                 "application either directly from Kestova\nor via its commandline interface."},
      // Two pieces: too short to be a tail.
      {{"x.exe/D:\\Data"}, 2, "ingestor: the command tail needs at least EXTRACTOR/SOURCE/OUTPUT"},
      {{"sample-extractor/" + root + "data\\" + "/" + root + "out\\" + "/7"}, 2,
       "Kestova - Data importer: The specified command line parameter is invalid: \n\n"
       "Import data type is invalid."},
      // An INI file and an output folder ask for the window.
      {{"sample-extractor/" + ini + "/" + root + "out\\"}, 2, "The main window needs a"},
      // A missing source folder without a dot is created, and the output folder.
      {{"sample-extractor/" + root + "host\\data\\" + "/" + root + "run\\out\\" + "/5/" +
             e2e::TailPath(world.Native("Lenders.mdb"))}, 1, noDatabase},
      // The tail is the arguments joined with spaces; "C:" maps to INGESTOR_DRIVE_C.
      {{"sample-extractor/C:\\my", "data\\/C:\\out\\/5"}, 1, noDatabase},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "" : c.args[0]);
    const e2e::RunResult r = e2e::Run(INGESTOR_BINARY, c.args, driveC);
    EXPECT_EQ(r.status, c.status);
    EXPECT_TRUE(std::regex_match(r.out, std::regex(c.out))) << r.out;
    EXPECT_TRUE(c.said.empty() ? r.err.empty() : r.err.find(c.said) != std::string::npos) << r.err;
  }
  for (const char* made : {"host/data", "drive c/out", "drive c/my data"})
    EXPECT_TRUE(world.Has(made)) << made;
  EXPECT_EQ(scene.Tree("run/out"), "#-#-#-#-logfile.txt|.ingestor.lock");
}

}  // namespace
