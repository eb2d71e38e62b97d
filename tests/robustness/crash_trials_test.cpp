// The real ingestor killed with SIGKILL at random points of an import. After
// every kill the database must open, pass SQLite's integrity check and hold
// exactly the output files whose transaction committed (each file is all or
// nothing), and the backup taken before the import must be whole. The data
// tells files apart: comparables file k carries the WCIDs "F<k>-<n>", lenders
// already in the database are "OLD<n>" and new ones "NEW<n>".
//
// INGESTOR_CRASH_TRIALS sets the number of kills (split 2:1 between the
// comparables and the lenders trials); INGESTOR_CRASH_SEED replays a run.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "RecordWriter.h"
#include "e2e/RunProgram.h"
#include "importers/layouts/ComparablesLayout.h"
#include "importers/layouts/LenderLayout.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
namespace comps = layouts::comparables;
namespace lender = layouts::lender;
using e2e::TailPath;
using samplehost::Framed;
using samplehost::RecordWriter;

const std::string kIngestor = INGESTOR_BINARY;
const std::string kExtractor = INGESTOR_SAMPLE_EXTRACTOR;

constexpr int kCompFiles = 8;
constexpr int kCompsPerFile = 2500;
constexpr int kOldComps = 5;
constexpr int kOldLenders = 1000;
constexpr int kNewLenders = 2000;

// --- the database, through SQLite's own interface -------------------------

class Sqlite {
 public:
  Sqlite(const std::string& path, bool readOnly) {
    const int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
      error_ = db_ ? sqlite3_errmsg(db_) : "out of memory";
      sqlite3_close_v2(db_);
      db_ = nullptr;
    }
  }
  ~Sqlite() { sqlite3_close_v2(db_); }
  Sqlite(const Sqlite&) = delete;
  Sqlite& operator=(const Sqlite&) = delete;

  bool ok() const { return db_ != nullptr; }
  const std::string& error() const { return error_; }
  // Every row as texts (NULL as ""); empty with error() set on failure.
  std::vector<std::vector<std::string>> Query(const std::string& sql) {
    std::vector<std::vector<std::string>> rows;
    sqlite3_stmt* st = nullptr;
    if (db_ == nullptr || sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
      error_ = db_ ? sqlite3_errmsg(db_) : "not open";
      sqlite3_finalize(st);
      return rows;
    }
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
      std::vector<std::string> row;
      for (int c = 0; c < sqlite3_column_count(st); ++c) {
        const unsigned char* t = sqlite3_column_text(st, c);
        row.emplace_back(t ? reinterpret_cast<const char*>(t) : "");
      }
      rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) error_ = sqlite3_errmsg(db_);
    sqlite3_finalize(st);
    return rows;
  }
  std::string IntegrityCheck() {
    auto rows = Query("PRAGMA integrity_check");
    return rows.size() == 1 ? rows[0][0] : "integrity check failed: " + error_;
  }
  // Rows per group: the text before the first '-' of `column` (comparables)
  // or its first three characters (lenders).
  std::map<std::string, int> Groups(const std::string& table, const std::string& key) {
    std::map<std::string, int> groups;
    for (const auto& row :
         Query("SELECT " + key + ", count(*) FROM " + table + " GROUP BY 1 ORDER BY 1"))
      groups[row[0]] = std::stoi(row[1]);
    return groups;
  }

 private:
  sqlite3* db_ = nullptr;
  std::string error_;
};

const char* kCompGroup = "substr(WCID, 1, instr(WCID, '-') - 1)";
const char* kLenderGroup = "substr(LenderDBID, 1, 3)";

// --- sample data -------------------------------------------------------------

std::string CompRecord(const std::string& wcid, int price) {
  RecordWriter r(comps::kRecordSize);
  r.Text(comps::kWcid, wcid);
  for (int position = 0; position < comps::kColumnCount; ++position) {
    const layouts::Field f = comps::FieldAt(position);
    if (std::string_view(comps::kColumns[position].name) == "Price")
      r.Int32(f, price);
    else if (std::string_view(comps::kColumns[position].name) == "xStreet")
      r.Text(f, "Birch Lane " + wcid);
  }
  return Framed(r.bytes());
}

std::string LenderRecord(const std::string& id, const std::string& name) {
  RecordWriter r(lender::kRecordSize);
  r.Text(lender::kLenderId, id)
      .Text(lender::kName, name)
      .Text(lender::kCityStateZip, "Boston, MA")
      .Text(lender::kContactFirst, "New")
      .Text(lender::kContactLast, "Contact");
  return Framed(r.bytes());
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string ReadFile(const fs::path& path) {
  return e2e::Slurp(path.string());
}

// --- running and killing ------------------------------------------------------

pid_t Spawn(const std::string& program, const std::vector<std::string>& args,
            const std::vector<std::string>& extraEnv) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<std::string> argStore{program};
  argStore.insert(argStore.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argStore) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> envStore;
  for (char** e = environ; *e != nullptr; ++e) envStore.emplace_back(*e);
  envStore.insert(envStore.end(), extraEnv.begin(), extraEnv.end());
  std::vector<char*> envp;
  for (auto& e : envStore) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
    pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// Waits for `pid`; its exit status, or 128 + the signal that ended it.
int Reap(pid_t pid) {
  int wstatus = 0;
  while (::waitpid(pid, &wstatus, 0) < 0) {
  }
  return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
}

std::uint64_t SeedFromEnvironment() {
  if (const char* s = std::getenv("INGESTOR_CRASH_SEED")) return std::strtoull(s, nullptr, 10);
  return std::random_device{}();
}

int TrialsFromEnvironment() {
  if (const char* s = std::getenv("INGESTOR_CRASH_TRIALS")) return std::max(3, std::atoi(s));
  return 30;
}

// The files a log says were started and finished ("...comps.dat.tmp" or
// "lender.dta.tmp").
std::set<std::string> LoggedFiles(const std::string& log, const std::string& pattern) {
  std::set<std::string> files;
  const std::regex re(pattern);
  for (std::sregex_iterator it(log.begin(), log.end(), re), end; it != end; ++it)
    files.insert((*it)[1]);
  return files;
}
const char* kStarted = "Attempting to import file: '([^']+)'";
const char* kFinished = "File '([^']+)': [0-9]+ read";

// The backup folders an import made in `out` (named by their time stamp).
std::vector<fs::path> BackupFolders(const fs::path& out) {
  std::vector<fs::path> folders;
  if (!fs::exists(out)) return folders;
  const std::regex stamp("[0-9]{14}(-[0-9]+)?");
  for (const auto& e : fs::directory_iterator(out))
    if (e.is_directory() && std::regex_match(e.path().filename().string(), stamp))
      folders.push_back(e.path());
  return folders;
}

struct Tally {
  int beforeImport = 0, midImport = 0, finished = 0;
};

class CrashTrials : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string tmpl = (fs::temp_directory_path() / "ingestor-crash-XXXXXX").string();
    root_ = new fs::path(::mkdtemp(tmpl.data()) ? tmpl : "");
    const fs::path root = *root_;
    if (e2e::Run(INGESTOR_SAMPLE_HOST, {(root / "host").string()}).status != 0) return;

    // Comparables: several files, a few thousand records each, and a
    // database that already holds rows of its own.
    fs::create_directories(root / "comps");
    for (int k = 1; k <= kCompFiles; ++k) {
      std::string bytes;
      for (int n = 0; n < kCompsPerFile; ++n)
        bytes += CompRecord("F" + std::to_string(k) + "-" + std::to_string(n), 1000 + n);
      WriteFile(root / "comps" / ("f" + std::to_string(k) + "comps.dat"), bytes);
    }
    fs::copy_file(root / "host/Data/Comparables.mdb", root / "Comparables.base");
    {
      Sqlite db((root / "Comparables.base").string(), false);
      for (int n = 0; n < kOldComps; ++n)
        db.Query("INSERT INTO ZazOzurs (WCID, xStreet) VALUES ('OLD-" + std::to_string(n) +
                 "', 'Old Street')");
    }

    // Lenders: the file repeats every existing lender (a conflict each) and
    // brings new ones.
    fs::create_directories(root / "lenders");
    std::string bytes;
    for (int n = 0; n < kOldLenders; ++n)
      bytes += LenderRecord("OLD" + std::to_string(n), "Renamed " + std::to_string(n));
    for (int n = 0; n < kNewLenders; ++n)
      bytes += LenderRecord("NEW" + std::to_string(n), "New Lender " + std::to_string(n));
    WriteFile(root / "lenders/lender.dta", bytes);
    WriteFile(root / "lenders/lender.ini", "[IP]\r\nNEW1=a@b.example.com/desk\r\n");
    fs::copy_file(root / "host/Data/Lenders.mdb", root / "Lenders.base");
    {
      Sqlite db((root / "Lenders.base").string(), false);
      db.Query("BEGIN");
      for (int n = 0; n < kOldLenders; ++n)
        db.Query(
            "INSERT INTO Lenders (LenderDBID, LenderName, ContactFirst, ContactLast) VALUES "
            "('OLD" +
            std::to_string(n) + "', 'Old " + std::to_string(n) + "', 'Old', 'Contact')");
      db.Query("COMMIT");
    }
  }
  static void TearDownTestSuite() {
    std::error_code ec;
    if (root_ != nullptr) fs::remove_all(*root_, ec);
    delete root_;
    root_ = nullptr;
  }

  struct Kind {
    std::string name;      // "comps" or "lenders": the source folder
    std::string database;  // file name
    std::string type;      // data type on the command line
    std::string compare;   // NOCOMPARE piece
  };
  const Kind kComps{"comps", "Comparables.mdb", "7", "True"};
  const Kind kLenders{"lenders", "Lenders.mdb", "5", "0"};

  // A fresh trial folder with the database at its state before the import.
  fs::path NewTrial(const Kind& kind, int number) {
    const fs::path dir = *root_ / ("trial-" + kind.name + "-" + std::to_string(number));
    fs::remove_all(dir);
    fs::create_directories(dir / "out");
    fs::copy_file(*root_ / (kind.name == "comps" ? "Comparables.base" : "Lenders.base"),
                  dir / kind.database);
    return dir;
  }
  std::vector<std::string> Tail(const Kind& kind, const fs::path& dir) {
    return {TailPath(kExtractor) + "/" + TailPath((*root_ / kind.name).string()) + "/" +
            TailPath((dir / "out").string()) + "\\/" + kind.type + "/" +
            TailPath((dir / kind.database).string()) + "/False/" + kind.compare};
  }
  std::vector<std::string> Environment() {
    return {"WINDIR=" + (*root_ / "host").string(), "INGESTOR_ALLOW_COMPARABLES=1"};
  }
  // An uninterrupted run in `dir`: its exit status.
  int RunToEnd(const Kind& kind, const fs::path& dir) {
    pid_t pid = Spawn(kIngestor, Tail(kind, dir), Environment());
    return pid < 0 ? -1 : Reap(pid);
  }

  // What a database may hold after a kill: the rows before the import plus
  // whole files. Returns the files (groups) present beside the old rows.
  std::set<std::string> CheckComparables(const fs::path& dbPath, const std::string& log) {
    std::set<std::string> present;
    Sqlite db(dbPath.string(), false);
    EXPECT_TRUE(db.ok()) << db.error();
    EXPECT_EQ(db.IntegrityCheck(), "ok");
    for (const auto& [group, count] : db.Groups("ZazOzurs", kCompGroup)) {
      if (group == "OLD") {
        EXPECT_EQ(count, kOldComps);
        continue;
      }
      EXPECT_EQ(count, kCompsPerFile) << "file " << group << " is in the database in part";
      present.insert("f" + group.substr(1) + "comps.dat.tmp");
    }
    EXPECT_EQ(db.Query("SELECT count(*) FROM ZazOzurs WHERE WCID LIKE 'OLD-%' AND xStreet = "
                       "'Old Street'")[0][0],
              std::to_string(kOldComps));
    // A file whose summary line was written had committed; a file in the
    // database had at least been started.
    const auto started = LoggedFiles(log, kStarted);
    for (const std::string& f : LoggedFiles(log, kFinished))
      EXPECT_TRUE(present.count(f)) << f << " was reported but is not in the database";
    for (const std::string& f : present)
      EXPECT_TRUE(started.count(f)) << f << " is in the database but was never started";
    return present;
  }
  bool CheckLenders(const fs::path& dbPath, const std::string& log) {
    Sqlite db(dbPath.string(), false);
    EXPECT_TRUE(db.ok()) << db.error();
    EXPECT_EQ(db.IntegrityCheck(), "ok");
    auto groups = db.Groups("Lenders", kLenderGroup);
    // Nobody answers the conflict questions of an unattended run: every
    // existing lender stays exactly as it was.
    EXPECT_EQ(groups["OLD"], kOldLenders);
    EXPECT_EQ(db.Query("SELECT count(*) FROM Lenders WHERE LenderName LIKE 'Old %' AND "
                       "ContactFirst = 'Old'")[0][0],
              std::to_string(kOldLenders));
    EXPECT_TRUE(groups["NEW"] == 0 || groups["NEW"] == kNewLenders)
        << groups["NEW"] << " of the file's new lenders are in the database";
    EXPECT_EQ(groups.size(), 2u);
    const bool landed = groups["NEW"] == kNewLenders;
    if (!LoggedFiles(log, kFinished).empty()) {
      EXPECT_TRUE(landed);
    }
    if (landed) {
      EXPECT_FALSE(LoggedFiles(log, kStarted).empty());
    }
    return landed;
  }
  // A backup folder's copies, when present, are whole: the database as it
  // was before the import, the sources byte for byte.
  void CheckBackups(const Kind& kind, const fs::path& dir) {
    for (const fs::path& folder : BackupFolders(dir / "out")) {
      for (const auto& e : fs::directory_iterator(folder)) {
        const std::string name = e.path().filename().string();
        if (name == kind.database) {
          Sqlite db(e.path().string(), true);
          ASSERT_TRUE(db.ok()) << db.error();
          EXPECT_EQ(db.IntegrityCheck(), "ok") << e.path();
          const char* table = kind.name == "comps" ? "ZazOzurs" : "Lenders";
          auto groups = db.Groups(table, kind.name == "comps" ? kCompGroup : kLenderGroup);
          EXPECT_EQ(
              groups,
              (std::map<std::string, int>{{"OLD", kind.name == "comps" ? kOldComps : kOldLenders}}))
              << "backup " << e.path();
        } else if (fs::exists(*root_ / kind.name / name)) {
          EXPECT_EQ(ReadFile(e.path()), ReadFile(*root_ / kind.name / name))
              << "backup copy " << e.path() << " differs from its source";
        }
      }
    }
  }

  // Kills `trials` imports of `kind` at random points within `span` seconds.
  void RunTrials(const Kind& kind, int trials, double span, std::mt19937_64& random, Tally& tally) {
    std::uniform_real_distribution<double> delay(0.0, span);
    for (int t = 0; t < trials && !HasFailure(); ++t) {
      const fs::path dir = NewTrial(kind, t);
      const double wait = delay(random);
      SCOPED_TRACE(kind.name + " trial " + std::to_string(t) + ", kill after " +
                   std::to_string(wait) + " s");
      const pid_t pid = Spawn(kIngestor, Tail(kind, dir), Environment());
      ASSERT_GT(pid, 0);
      std::this_thread::sleep_for(std::chrono::duration<double>(wait));
      ::kill(pid, SIGKILL);
      const int status = Reap(pid);
      const std::string log = e2e::LogIn((dir / "out").string());

      bool complete;
      if (kind.name == "comps") {
        const auto present = CheckComparables(dir / kind.database, log);
        complete = static_cast<int>(present.size()) == kCompFiles;
        if (present.empty())
          ++tally.beforeImport;
        else if (!complete)
          ++tally.midImport;
      } else {
        complete = CheckLenders(dir / kind.database, log);
        if (!complete) ++tally.beforeImport;
      }
      if (complete) ++tally.finished;
      // A run that ended by itself ended well.
      if (status != 128 + SIGKILL) {
        EXPECT_EQ(status, 0) << log;
      }
      CheckBackups(kind, dir);

      // Now and then (and after the last kill) an uninterrupted run on what
      // the killed one left must complete.
      if (t % 5 == 4 || t + 1 == trials) {
        EXPECT_EQ(RunToEnd(kind, dir), 0) << e2e::LogIn((dir / "out").string());
        Sqlite db((dir / kind.database).string(), false);
        EXPECT_EQ(db.IntegrityCheck(), "ok");
        if (kind.name == "comps") {
          for (const auto& [group, count] : db.Groups("ZazOzurs", kCompGroup))
            EXPECT_GE(count, group == "OLD" ? kOldComps : kCompsPerFile) << group;
          EXPECT_EQ(db.Groups("ZazOzurs", kCompGroup).size(), kCompFiles + 1u);
        } else {
          EXPECT_EQ(db.Groups("Lenders", kLenderGroup),
                    (std::map<std::string, int>{{"NEW", kNewLenders}, {"OLD", kOldLenders}}));
        }
      }
      fs::remove_all(dir);
    }
  }

  // Seconds an uninterrupted import of `kind` takes; checks its result.
  double TimeFullRun(const Kind& kind) {
    const fs::path dir = NewTrial(kind, 999);
    const auto t0 = std::chrono::steady_clock::now();
    const int status = RunToEnd(kind, dir);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_EQ(status, 0) << e2e::LogIn((dir / "out").string());
    if (kind.name == "comps")
      EXPECT_EQ(CheckComparables(dir / kind.database, e2e::LogIn((dir / "out").string())).size(),
                static_cast<std::size_t>(kCompFiles));
    else
      EXPECT_TRUE(CheckLenders(dir / kind.database, e2e::LogIn((dir / "out").string())));
    CheckBackups(kind, dir);
    fs::remove_all(dir);
    return seconds;
  }

  static fs::path* root_;
};

fs::path* CrashTrials::root_ = nullptr;

TEST_F(CrashTrials, KilledImportsLeaveWholeFilesAndWholeBackups) {
  ASSERT_TRUE(fs::exists(*root_ / "host/Data/Comparables.mdb"));
  const std::uint64_t seed = SeedFromEnvironment();
  const int trials = TrialsFromEnvironment();
  std::printf("crash trials: %d, seed %llu (INGESTOR_CRASH_SEED=%llu replays them)\n", trials,
              static_cast<unsigned long long>(seed), static_cast<unsigned long long>(seed));
  RecordProperty("seed", std::to_string(seed));
  std::mt19937_64 random(seed);

  // The kill points spread over the whole run (the faster of two, so that
  // few kills come after the end).
  const double compsSpan = std::min(TimeFullRun(kComps), TimeFullRun(kComps));
  const double lendersSpan = std::min(TimeFullRun(kLenders), TimeFullRun(kLenders));
  ASSERT_FALSE(HasFailure());

  Tally comps, lenders;
  const int compTrials = trials - trials / 3;
  RunTrials(kComps, compTrials, compsSpan, random, comps);
  RunTrials(kLenders, trials / 3, lendersSpan, random, lenders);
  std::printf(
      "comparables (%d trials over %.2f s): %d before any file, %d inside the import, %d "
      "complete\nlenders (%d trials over %.2f s): %d before the file committed, %d complete\n",
      compTrials, compsSpan, comps.beforeImport, comps.midImport, comps.finished, trials / 3,
      lendersSpan, lenders.beforeImport, lenders.finished);
}

}  // namespace
