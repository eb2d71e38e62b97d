// Whole unattended imports with one platform operation failing at its Nth
// call, for N = 1, 2, ... until a run no longer reaches call N. Whatever
// fails, the run must not report success for an import that did not fully
// land, must say in its log what failed, and must leave the database whole:
// as before the import, or with whole output files only (compared with
// fault-free runs of every subset of the source files). A record the log
// names as rejected may be missing or saved without its refused values.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "doubles/FaultyVfs.h"
#include "doubles/TestWorld.h"
#include "e2e/RunProgram.h"
#include "robustness/Shared.h"
#include "startup/modIngestor.h"
#include "support/modINIFile.h"

namespace {

using platform::MsgAnswer;
using namespace robustness;
using samplehost::ResponseRecord;

// --- a whole unattended import run in-process (modIngestor::Main) ----------

// The data type, the source files (name, bytes), files copied beside them and
// never imported, SQL run on the template copy before the import, the
// comparison switch and the answers to the questions.
struct Scenario {
  std::string name, dataType, database;
  std::vector<std::pair<std::string, std::string>> sources, companions = {};
  std::string baseline = "", noComparisons = "True";
  std::vector<platform::MsgAnswer> answers = {};
};

struct RunResult {
  int status = -1;
  std::string log, integrity;  // log: the log file, every box and terminal line
  DbState state;
};

struct ImportWorld {
  explicit ImportWorld(Scenario s) : scenario(std::move(s)) {
    const bool host = e2e::Run(INGESTOR_SAMPLE_HOST, {world.Native("host")}).status == 0;
    // A fixed clock: runs write the same log lines and backup folder name.
    world.env.SetLocalNow({2011, 4, 5, 10, 20, 30});
    world.env.SetMonotonic(1.0);
    world.env.SetVariable("WINDIR", world.Native("host"));
    world.env.SetVariable("INGESTOR_ALLOW_COMPARABLES", "1");
    for (auto& [name, bytes] : scenario.sources)
      if (bytes.empty()) bytes = world.Read("host/data/" + name);
    ready = host &&
            std::filesystem::copy_file(world.Native("host/Data/" + scenario.database),
                                       world.Native("baseline.mdb")) &&
            Exec(world.Native("baseline.mdb"), scenario.baseline);
  }

  // The import of the source files whose bit is set in `mask`, from the
  // database's state before the import, with whatever faults are set.
  RunResult Run(unsigned mask) {
    namespace fs = std::filesystem;
    const std::string source = "src" + std::to_string(mask);
    for (const char* old : {"out", "db.mdb", "db.mdb-journal"}) fs::remove_all(world.Native(old));
    fs::remove_all(world.Native(source));
    world.MakeFolder(source);
    world.MakeFolder("out");
    for (std::size_t i = 0; i < scenario.sources.size(); ++i)
      if (mask & (1u << i))
        world.Write(source + "/" + scenario.sources[i].first, scenario.sources[i].second);
    for (const auto& [name, bytes] : scenario.companions) world.Write(source + "/" + name, bytes);
    fs::copy_file(world.Native("baseline.mdb"), world.Native("db.mdb"));
    modINIFile::ClearINICache();
    world.ui.boxes.clear();
    world.env.printed.clear();
    world.ui.answers.assign(scenario.answers.begin(), scenario.answers.end());
    RunResult r;
    r.status = modIngestor::Main(
        world.ctx, e2e::TailPath(INGESTOR_SAMPLE_EXTRACTOR) + "/" + world.Program(source) + "\\/" +
                       world.Program("out") + "\\/" + scenario.dataType + "/" +
                       world.Program("db.mdb") + "/False/" + scenario.noComparisons);
    if (afterImport) afterImport();
    r.log = e2e::LogIn(world.Native("out"));
    for (const auto& box : world.ui.boxes) r.log += box.text + "\n";
    for (const auto& line : world.env.printed) r.log += line + "\n";
    r.state = ReadState(world.Native("db.mdb"), r.integrity);
    return r;
  }
  unsigned AllFiles() const { return (1u << scenario.sources.size()) - 1; }

  // Fault-free runs of every subset of the files: the states a database may
  // be left in (`refs`); `full` is the run of all of them.
  void References() {
    for (unsigned mask = 0; mask <= AllFiles(); ++mask) {
      RunResult r = Run(mask);
      EXPECT_EQ(r.integrity, "ok");
      refs.push_back(r.state);
      if (mask == AllFiles()) full = std::move(r);
    }
  }

  Scenario scenario;
  bool ready = false;
  testing_doubles::TestWorld world;
  RunResult full;
  std::vector<DbState> refs;
  std::function<void()> afterImport;  // between the import and the reading of its database
};

// --- the sample imports ---------------------------------------------------

// clang-format off
const Scenario kResponses{"responses", "0", "CommonResponses.mdb",
    {{"resp.dat", ResponseRecord(10, 1, 4, "Site", false, 0, "Level lot", 2) +
                  ResponseRecord(10, 2, 5, "View", false, 0, "Water", 0) +
                  ResponseRecord(11, 1, 6, "Zoning", false, 0, "R-1", 1)},
     {"more.dat", ResponseRecord(20, 1, 4, "Heat", false, 0, "FWA/Gas", 0) +
                  ResponseRecord(20, 2, 7, "Roof", false, 0, "Asphalt", 3)}}};
// Lenders compared with rows already there: overwrite the first conflict,
// then every one.
const Scenario kLenders{"lenders", "5", "Lenders.mdb",
    {{"lender.dta", Lender("FNB", "First National", "Ann") + Lender("NEW1", "New One", "Ann") +
                    Lender("O'NEIL", "O'Neil Mortgage", "Ann") + Lender("NEW2", "New Two", "Ann")}},
    {{"lender.ini", "[IP]\r\nFNB=jane@fnb.example.com/desk\r\n"}},
    "INSERT INTO Lenders (LenderDBID, LenderName, ContactFirst) VALUES ('FNB', 'Old FNB', 'Old'), "
    "('O''NEIL', 'Old O''Neil', 'Old'), ('KEEP', 'Untouched', 'Old')",
    "0", {MsgAnswer::Yes, MsgAnswer::Yes}};
const Scenario kFileIndex{"file index", "4", "Appraisals.mdb",
    {{"didovuro.dta", FileIndex("A-100", "1 Elm St", "C:\\Reports\\A-100.rpt") +
                      FileIndex("A-101", "2 Oak St", "C:\\Reports\\A-101.rpt") +
                      FileIndex("A-102", "3 Ash St", "")}}};
// Enough main records for rows written many to a statement, and a few more.
std::string ManyComparables() {
  std::string records;
  for (int i = 0; i < 64; ++i) records += Comparable("M-" + std::to_string(i), i);
  return records;
}
const Scenario kComparables{"comparables", "7", "Comparables.mdb",
    {{"xcomps.dat", ManyComparables() + Comparable("WC-1", 100) + Comparable("WC-2", 200) +
                    Comparable("WC-3", 300)},
     {"xcomps.cp2", Supplement("WC-2", "Corner lot", 210) + Supplement("WC-9", "Listed only", 900) +
                    Supplement("wc-1", "Renovated", 110)}},
    {}, "INSERT INTO ZazOzurs (WCID, Price) VALUES ('OLD-1', 5)"};
// clang-format on

// The sample host's own neighborhood file (bytes left empty: read from the
// host; its conversion file is found through the host's configuration).
const Scenario kNeighborhoods{"neighborhoods", "6", "Neighborhoods.mdb", {{"neigh1004.dta", ""}}};

std::set<std::string> Lines(const std::string& text) {
  std::set<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.insert(line);
  }
  return lines;
}

// --- every operation of the seam failing in turn ---------------------------

void CheckFaultedRun(const RunResult& r, const RunResult& full, const std::vector<DbState>& refs) {
  EXPECT_EQ(r.integrity, "ok");
  EXPECT_TRUE(r.status != 0 || r.state == full.state) << "success, but not all landed\n" << r.log;
  // The log says what went wrong, in a line a fault-free run does not write.
  static const std::regex failure(
      "fail|could not|cannot|refused|error|not imported|did not|injected|not found|unable",
      std::regex::icase);
  const auto normal = Lines(full.log);
  // A failure the import got past unseen (a statement of many rows refused,
  // its rows then written one by one) needs no line: nothing differs.
  if (r.status == 0 && r.state == full.state && Lines(r.log) == normal) return;
  bool named = false;
  for (const std::string& line : Lines(r.log))
    named = named || (!normal.count(line) && std::regex_search(line, failure));
  EXPECT_TRUE(named) << "no log line names the failure:\n" << r.log;
  // Whole files only, apart from the records the log names as rejected.
  std::size_t nearest = SIZE_MAX;
  for (const DbState& ref : refs) nearest = std::min(nearest, Distance(r.state, ref));
  EXPECT_LE(nearest, 2 * Count(r.log, "Rejected record")) << "the database holds part of a file:\n"
                                                          << r.log;
}

struct Loops {
  const Scenario* scenario;
  std::map<std::string, int> atLeast = {};  // faults the loops must reach per operation
  friend void PrintTo(const Loops& l, std::ostream* os) { *os << l.scenario->name; }
};
std::string ByDataType(const ::testing::TestParamInfo<Loops>& info) {
  return info.param.scenario->dataType;
}

class FaultInjection : public ::testing::TestWithParam<Loops> {};

TEST_P(FaultInjection, EveryOperationFailsInTurn) {
  const Scenario& scenario = *GetParam().scenario;
  ImportWorld w(scenario);
  ASSERT_TRUE(w.ready);
  w.References();
  const RunResult& full = w.full;
  ASSERT_EQ(full.status, 0) << full.log;
  ASSERT_NE(full.state, w.refs.front()) << "the import changed nothing";

  std::map<std::string, int> coverage;
  for (const char* op : {"OpenForReading", "ReadAt", "OpenForWriting", "CopyFile", "OpenDatabase",
                         "Prepare", "Step", "Execute", "Begin", "Commit", "TryLock", "Lookup",
                         "CheckReadable", "CreatePrivateFolder", "CopyDatabase"}) {
    int n = 1;
    for (;; ++n) {
      SCOPED_TRACE(scenario.name + ": " + op + " fails at call " + std::to_string(n));
      ASSERT_LE(n, 5000) << "the runs never stop reaching the fault";
      w.world.env.Heal();
      const int before = w.world.env.Calls(op);
      w.world.env.FailNth(op, n);
      const RunResult r = w.Run(w.AllFiles());
      w.world.env.Heal();
      if (w.world.env.Calls(op) - before < n) {
        // Past the last call: the run is the fault-free one.
        EXPECT_EQ(r.status, full.status) << r.log;
        EXPECT_EQ(r.state, full.state);
        break;
      }
      CheckFaultedRun(r, full, w.refs);
      if (HasFailure()) return;
    }
    coverage[op] = n - 1;
  }
  std::string summary = scenario.name + ": faults injected per operation:";
  for (const auto& [op, count] : coverage) summary += " " + op + "=" + std::to_string(count);
  std::printf("%s\n", summary.c_str());
  // The loops reached every file's reads, commits, statements.
  for (const auto& [op, least] : GetParam().atLeast) EXPECT_GE(coverage[op], least) << op;
}

INSTANTIATE_TEST_SUITE_P(Imports, FaultInjection,
                         ::testing::Values(Loops{&kResponses, {{"ReadAt", 2}, {"Commit", 2}}},
                                           Loops{&kLenders, {{"Step", 4}}},
                                           Loops{&kFileIndex, {{"Prepare", 1}}},
                                           Loops{&kComparables, {{"ReadAt", 2}, {"Commit", 2}}}),
                         ByDataType);

// --- the database's own files failing ----------------------------------------

// The Nth write, sync or truncate of the database or its journal fails with a
// full disk or an I/O error, for N = 1, 2, ... Every such run ends as failed
// (status 1) with one line naming the condition and no line per record, and
// leaves an intact database holding whole files only.
class DatabaseFiles : public ::testing::TestWithParam<Loops> {};

TEST_P(DatabaseFiles, FailingAtEveryWrite) {
  const Scenario& scenario = *GetParam().scenario;
  ImportWorld w(scenario);
  ASSERT_TRUE(w.ready);
  w.References();
  const RunResult& full = w.full;
  testing_doubles::FaultyVfs vfs;
  // A failing backup copy is a case of its own.
  vfs.OnlyFilesStartingWith(w.world.Native("db.mdb"));
  w.afterImport = [&] { vfs.Disarm(); };
  for (const auto& [code, named] : {std::pair{SQLITE_FULL, std::string("the disk is full")},
                                    std::pair{SQLITE_IOERR_WRITE, std::string("an I/O error")}}) {
    int n = 1;
    for (;; ++n) {
      SCOPED_TRACE(scenario.name + ": " + named + " at write " + std::to_string(n));
      ASSERT_LT(n, 2000) << "the runs never stop reaching the fault";
      vfs.FailNth(n, code);
      const RunResult r = w.Run(w.AllFiles());
      if (vfs.Calls() < n) {
        EXPECT_EQ(r.status, full.status) << r.log;
        EXPECT_EQ(r.state, full.state);
        break;
      }
      EXPECT_EQ(r.integrity, "ok");
      EXPECT_EQ(r.status, 1) << r.log;
      // One line in the log, and the same reason on the terminal.
      EXPECT_EQ(Count(r.log, "- The database cannot be used: " + named), 1u) << r.log;
      EXPECT_EQ(Count(r.log, "ingestor: The database cannot be used: "), 1u) << r.log;
      EXPECT_EQ(Count(r.log, "Rejected record"), 0u) << r.log;
      EXPECT_NE(std::find(w.refs.begin(), w.refs.end(), r.state), w.refs.end())
          << "the database holds part of a file:\n"
          << r.log;
      if (HasFailure()) return;
    }
    EXPECT_GE(n, 4) << "not every file's writes were reached";
    std::printf("%s, %s: %d writes failed in turn\n", scenario.name.c_str(), named.c_str(), n - 1);
  }
  w.afterImport = nullptr;
}

INSTANTIATE_TEST_SUITE_P(Imports, DatabaseFiles,
                         ::testing::Values(Loops{&kResponses}, Loops{&kLenders}, Loops{&kFileIndex},
                                           Loops{&kNeighborhoods}, Loops{&kComparables}),
                         ByDataType);

}  // namespace
