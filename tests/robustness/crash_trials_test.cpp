// The real ingestor killed with SIGKILL at random points of an import. After
// every kill the database must open, pass SQLite's integrity check and hold
// exactly the output files whose transaction committed (each file is all or
// nothing), and the backup taken before the import must be whole. The data
// tells files apart: comparables file k carries the WCIDs "F<k>-<n>", lenders
// already in the database are "OLD<n>" and new ones "NEW<n>".
//
// INGESTOR_CRASH_TRIALS sets the number of kills (split 2:1 between the
// comparables and the lenders trials); INGESTOR_CRASH_SEED replays a run.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <regex>
#include <set>
#include <thread>

#include "e2e/RunProgram.h"
#include "robustness/Shared.h"

namespace {

namespace fs = std::filesystem;
using e2e::TailPath;
using robustness::Comparable;
using robustness::Integrity;
using robustness::Query;
using Groups = std::map<std::string, int>;

constexpr int kCompFiles = 8;
constexpr int kCompsPerFile = 2500;
constexpr int kOldComps = 5;
constexpr int kOldLenders = 1000;
constexpr int kNewLenders = 2000;

// One import the trials kill: its source folder, database, data type and
// comparison switch, the table it fills, how its rows group into files, the
// rows before the import and the files it imports.
struct Kind {
  std::string name, database, type, compare, table, group;
  int old, files;
};
const Kind kComps{"comps",   "Comparables.mdb", "7",
                  "True",    "ZazOzurs",        "substr(WCID, 1, instr(WCID, '-') - 1)",
                  kOldComps, kCompFiles};
const Kind kLenders{
    "lenders", "Lenders.mdb", "5", "0", "Lenders", "substr(LenderDBID, 1, 3)", kOldLenders, 1};

Groups GroupsOf(const fs::path& db, const Kind& kind) {
  Groups groups;
  for (const auto& row :
       Query(db.string(), "SELECT " + kind.group + ", count(*) FROM " + kind.table + " GROUP BY 1"))
    groups[row[0]] = std::stoi(row[1]);
  return groups;
}

// The files a log says were started and finished ("...comps.dat.tmp" or
// "lender.dta.tmp").
std::set<std::string> LoggedFiles(const std::string& log, const char* pattern) {
  std::set<std::string> files;
  const std::regex re(pattern);
  for (std::sregex_iterator it(log.begin(), log.end(), re), end; it != end; ++it)
    files.insert((*it)[1]);
  return files;
}
const char* kStarted = "Attempting to import file: '([^']+)'";
const char* kFinished = "File '([^']+)': [0-9]+ read";

class CrashTrials : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string tmpl = (fs::temp_directory_path() / "ingestor-crash-XXXXXX").string();
    root_ = std::make_unique<fs::path>(::mkdtemp(tmpl.data()) ? tmpl : "");
    const fs::path root = *root_;
    if (e2e::Run(INGESTOR_SAMPLE_HOST, {(root / "host").string()}).status != 0) return;
    ::setenv("WINDIR", (root / "host").c_str(), 1);
    ::setenv("INGESTOR_ALLOW_COMPARABLES", "1", 1);
    // Comparables: several files, a few thousand records each, and a
    // database that already holds rows of its own.
    fs::create_directories(root / "comps");
    for (int k = 1; k <= kCompFiles; ++k) {
      std::ofstream file(root / "comps" / ("f" + std::to_string(k) + "comps.dat"));
      for (int n = 0; n < kCompsPerFile; ++n) {
        const std::string wcid = "F" + std::to_string(k) + "-" + std::to_string(n);
        file << Comparable(wcid, 1000 + n, "Birch Lane " + wcid);
      }
    }
    fs::copy_file(root / "host/Data/Comparables.mdb", root / "comps.base");
    robustness::Exec((root / "comps.base").string(),
                     "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                         std::to_string(kOldComps - 1) +
                         ") INSERT INTO ZazOzurs (WCID, xStreet) "
                         "SELECT 'OLD-' || i, 'Old Street' FROM n");
    // Lenders: the file repeats every existing lender (a conflict each) and
    // brings new ones.
    fs::create_directories(root / "lenders");
    std::ofstream file(root / "lenders/lender.dta");
    std::string sql = "BEGIN;";
    for (int n = 0; n < kOldLenders; ++n) {
      file << robustness::Lender("OLD" + std::to_string(n), "Renamed " + std::to_string(n), "New",
                                 "Contact", "Boston, MA");
      sql +=
          "INSERT INTO Lenders (LenderDBID, LenderName, ContactFirst, ContactLast) VALUES ('OLD" +
          std::to_string(n) + "', 'Old " + std::to_string(n) + "', 'Old', 'Contact');";
    }
    for (int n = 0; n < kNewLenders; ++n)
      file << robustness::Lender("NEW" + std::to_string(n), "New Lender " + std::to_string(n),
                                 "New", "Contact", "Boston, MA");
    std::ofstream(root / "lenders/lender.ini") << "[IP]\r\nNEW1=a@b.example.com/desk\r\n";
    fs::copy_file(root / "host/Data/Lenders.mdb", root / "lenders.base");
    robustness::Exec((root / "lenders.base").string(), sql + "COMMIT;");
  }
  static void TearDownTestSuite() {
    std::error_code ec;
    fs::remove_all(*root_, ec);
  }

  // A fresh trial folder with the database at its state before the import.
  fs::path NewTrial(const Kind& kind, int number) {
    const fs::path dir = *root_ / ("trial-" + kind.name + "-" + std::to_string(number));
    fs::remove_all(dir);
    fs::create_directories(dir / "out");
    fs::copy_file(*root_ / (kind.name + ".base"), dir / kind.database);
    return dir;
  }
  // A run of the import in `dir`, killed with SIGKILL after `seconds` when
  // given: its exit status (128 + 9 when killed) and its log.
  std::pair<int, std::string> Run(const Kind& kind, const fs::path& dir, double seconds = -1) {
    std::string program = INGESTOR_BINARY;
    std::string tail = TailPath(INGESTOR_SAMPLE_EXTRACTOR) + "/" +
                       TailPath((*root_ / kind.name).string()) + "/" +
                       TailPath((dir / "out").string()) + "\\/" + kind.type + "/" +
                       TailPath((dir / kind.database).string()) + "/False/" + kind.compare;
    int status = -1, wstatus = 0;
    posix_spawn_file_actions_t io;
    posix_spawn_file_actions_init(&io);
    for (int fd : {0, 1, 2})
      posix_spawn_file_actions_addopen(&io, fd, "/dev/null", fd ? O_WRONLY : O_RDONLY, 0);
    char* argv[] = {program.data(), tail.data(), nullptr};
    pid_t pid = 0;
    if (::posix_spawn(&pid, program.c_str(), &io, nullptr, argv, environ) == 0) {
      if (seconds >= 0) {
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        ::kill(pid, SIGKILL);
      }
      // The killed process itself is waited for: it may hold the database's lock.
      while (::waitpid(pid, &wstatus, 0) < 0) {
      }
      status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    }
    posix_spawn_file_actions_destroy(&io);
    return {status, e2e::LogIn((dir / "out").string())};
  }

  // What a database may hold after a kill: the rows before the import plus
  // whole files, where a file whose summary line was written had committed
  // and a file in the database had at least been started. Returns the number
  // of files present.
  int CheckDatabase(const Kind& kind, const fs::path& db, const std::string& log) {
    EXPECT_EQ(Integrity(db.string()), "ok");
    Groups groups = GroupsOf(db, kind);
    EXPECT_EQ(groups["OLD"], kind.old);
    // Nobody answers the conflict questions of an unattended run: every
    // existing lender stays exactly as it was.
    const std::string untouched = kind.name == "comps"
                                      ? "WCID LIKE 'OLD-%' AND xStreet = 'Old Street'"
                                      : "LenderName LIKE 'Old %' AND ContactFirst = 'Old'";
    EXPECT_EQ(Query(db.string(), "SELECT count(*) FROM " + kind.table + " WHERE " + untouched),
              (robustness::Rows{{std::to_string(kind.old)}}));
    std::set<std::string> present;
    for (const auto& [group, count] : groups) {
      if (group == "OLD") continue;
      EXPECT_EQ(count, kind.name == "comps" ? kCompsPerFile : kNewLenders)
          << "file " << group << " is in the database in part";
      present.insert(kind.name == "comps" ? "f" + group.substr(1) + "comps.dat.tmp"
                                          : "lender.dta.tmp");
    }
    const auto started = LoggedFiles(log, kStarted);
    for (const std::string& f : LoggedFiles(log, kFinished))
      EXPECT_TRUE(present.count(f)) << f << " was reported but is not in the database";
    for (const std::string& f : present)
      EXPECT_TRUE(started.count(f)) << f << " is in the database but was never started";
    EXPECT_LE(groups.size(), kind.files + 1u);
    return static_cast<int>(present.size());
  }
  // A backup folder's copies (named by their time stamp), when present, are
  // whole: the database as it was before the import, the sources byte for byte.
  void CheckBackups(const Kind& kind, const fs::path& dir) {
    const std::regex stamp("[0-9]{14}(-[0-9]+)?");
    for (const auto& folder : fs::directory_iterator(dir / "out")) {
      if (!folder.is_directory() || !std::regex_match(folder.path().filename().string(), stamp))
        continue;
      for (const auto& e : fs::directory_iterator(folder)) {
        const fs::path source = *root_ / kind.name / e.path().filename();
        if (e.path().filename() == kind.database) {
          EXPECT_EQ(Integrity(e.path().string()), "ok") << e.path();
          EXPECT_EQ(GroupsOf(e.path(), kind), (Groups{{"OLD", kind.old}})) << e.path();
        } else if (fs::exists(source)) {
          EXPECT_EQ(e2e::Slurp(e.path()), e2e::Slurp(source)) << e.path() << " differs";
        }
      }
    }
  }

  // Seconds an uninterrupted import of `kind` takes; checks its result.
  double TimeFullRun(const Kind& kind) {
    const fs::path dir = NewTrial(kind, 999);
    const auto t0 = std::chrono::steady_clock::now();
    const auto [status, log] = Run(kind, dir);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - t0;
    EXPECT_EQ(status, 0) << log;
    EXPECT_EQ(CheckDatabase(kind, dir / kind.database, log), kind.files);
    CheckBackups(kind, dir);
    fs::remove_all(dir);
    return took.count();
  }

  // Kills `trials` imports of `kind` at random points within `span` seconds;
  // prints how many were killed before any file landed, inside the import
  // and after it completed.
  void RunTrials(const Kind& kind, int trials, double span, std::mt19937_64& random) {
    std::uniform_real_distribution<double> delay(0.0, span);
    int tally[3] = {0, 0, 0};
    for (int t = 0; t < trials && !HasFailure(); ++t) {
      const fs::path dir = NewTrial(kind, t);
      const double wait = delay(random);
      SCOPED_TRACE(kind.name + " trial " + std::to_string(t) + ", kill after " +
                   std::to_string(wait) + " s");
      const auto [status, log] = Run(kind, dir, wait);
      const int present = CheckDatabase(kind, dir / kind.database, log);
      ++tally[present == 0 ? 0 : present < kind.files ? 1 : 2];
      EXPECT_TRUE(status == 128 + SIGKILL || status == 0) << "ended by itself, not well\n" << log;
      CheckBackups(kind, dir);
      // Now and then (and after the last kill) an uninterrupted run on what
      // the killed one left must complete.
      if (t % 5 == 4 || t + 1 == trials) {
        const auto [again, againLog] = Run(kind, dir);
        EXPECT_EQ(again, 0) << againLog;
        EXPECT_EQ(Integrity((dir / kind.database).string()), "ok");
        // Every file is there (comparables that had landed before the kill
        // are imported again; lenders are asked about, so never twice).
        const Groups after = GroupsOf(dir / kind.database, kind);
        EXPECT_EQ(after.size(), kind.files + 1u);
        for (const auto& [group, count] : after)
          EXPECT_TRUE(group == "OLD"    ? count == kind.old
                      : kind.files == 1 ? count == kNewLenders
                                        : count >= kCompsPerFile)
              << group << ": " << count;
      }
      fs::remove_all(dir);
    }
    std::printf("%s (%d trials over %.2f s): %d before any file, %d inside, %d complete\n",
                kind.name.c_str(), trials, span, tally[0], tally[1], tally[2]);
  }

  static inline std::unique_ptr<fs::path> root_;
};

TEST_F(CrashTrials, KilledImportsLeaveWholeFilesAndWholeBackups) {
  ASSERT_TRUE(fs::exists(*root_ / "host/Data/Comparables.mdb"));
  const char* seedText = std::getenv("INGESTOR_CRASH_SEED");
  const std::uint64_t seed =
      seedText ? std::strtoull(seedText, nullptr, 10) : std::random_device{}();
  const char* trialsText = std::getenv("INGESTOR_CRASH_TRIALS");
  const int trials = trialsText ? std::max(3, std::atoi(trialsText)) : 30;
  std::printf("crash trials: %d, seed %llu (INGESTOR_CRASH_SEED=%llu replays them)\n", trials,
              static_cast<unsigned long long>(seed), static_cast<unsigned long long>(seed));
  RecordProperty("seed", std::to_string(seed));
  std::mt19937_64 random(seed);
  // The kill points spread over the whole run (the faster of two, so that
  // few kills come after the end).
  const double compsSpan = std::min(TimeFullRun(kComps), TimeFullRun(kComps));
  const double lendersSpan = std::min(TimeFullRun(kLenders), TimeFullRun(kLenders));
  ASSERT_FALSE(HasFailure());
  RunTrials(kComps, trials - trials / 3, compsSpan, random);
  RunTrials(kLenders, trials / 3, lendersSpan, random);
}

}  // namespace
