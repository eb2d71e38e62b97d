// Whole unattended imports with one platform operation failing at its Nth
// call, for N = 1, 2, ... until a run no longer reaches call N. Whatever
// fails, the run must not report success for an import that did not fully
// land, must say in its log what failed, and must leave the database whole:
// as before the import, or with whole output files only (compared with
// fault-free runs of every subset of the source files). A record the log
// names as rejected may be missing or saved without its refused values.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "doubles/FaultyVfs.h"
#include "robustness/ImportWorld.h"

namespace {

using platform::MsgAnswer;
using namespace robustness;
using samplehost::ResponseRecord;

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
const Scenario kComparables{"comparables", "7", "Comparables.mdb",
    {{"xcomps.dat", Comparable("WC-1", 100) + Comparable("WC-2", 200) + Comparable("WC-3", 300)},
     {"xcomps.cp2", Supplement("WC-2", "Corner lot", 210) + Supplement("WC-9", "Listed only", 900) +
                    Supplement("wc-1", "Renovated", 110)}},
    {}, "INSERT INTO ZazOzurs (WCID, Price) VALUES ('OLD-1', 5)"};
// clang-format on

// The sample host's own neighborhood file (its conversion file is found
// through the host's configuration, as the import world's Windows folder).
Scenario Neighborhoods() {
  testing_doubles::TestWorld host;
  Scenario s{"neighborhoods", "6", "Neighborhoods.mdb", {}};
  if (e2e::Run(INGESTOR_SAMPLE_HOST, {host.Native("host")}).status == 0)
    s.sources = {{"neigh1004.dta", host.Read("host/data/neigh1004.dta")}};
  return s;
}

std::set<std::string> Lines(const std::string& text) {
  std::set<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.insert(line);
  }
  return lines;
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// --- every operation of the seam failing in turn ---------------------------

void CheckFaultedRun(const RunResult& r, const RunResult& full, const std::vector<DbState>& refs) {
  EXPECT_EQ(r.integrity, "ok");
  // Success is reported only for an import that fully landed.
  if (r.status == 0) {
    EXPECT_EQ(r.state, full.state) << r.log;
  }
  // The log says what went wrong, in a line a fault-free run does not write.
  static const std::regex failure(
      "fail|could not|cannot|refused|error|not imported|did not|injected|not found|unable",
      std::regex::icase);
  const auto normal = Lines(full.log);
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
  std::map<std::string, int> atLeast;  // faults the loops must reach per operation
  friend void PrintTo(const Loops& l, std::ostream* os) { *os << l.scenario->name; }
};

class FaultInjection : public ::testing::TestWithParam<Loops> {};

TEST_P(FaultInjection, EveryOperationFailsInTurn) {
  const Scenario& scenario = *GetParam().scenario;
  ImportWorld w(scenario);
  ASSERT_TRUE(w.Ready());
  RunResult full;
  const std::vector<DbState> refs = w.References(full);
  ASSERT_EQ(full.status, 0) << full.log;
  ASSERT_NE(full.state, refs.front()) << "the import changed nothing";

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
      CheckFaultedRun(r, full, refs);
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
                         [](const auto& info) {
                           return std::string(info.param.scenario->dataType);
                         });

// --- the database's own files failing ----------------------------------------

// The Nth write, sync or truncate of the database or its journal fails with a
// full disk or an I/O error, for N = 1, 2, ... Every such run ends as failed
// (status 1) with one line naming the condition and no line per record, and
// leaves an intact database holding whole files only.
struct Source {
  const char* dataType;
  Scenario (*make)();
  friend void PrintTo(const Source& s, std::ostream* os) { *os << "data type " << s.dataType; }
};

class DatabaseFiles : public ::testing::TestWithParam<Source> {};

TEST_P(DatabaseFiles, FailingAtEveryWrite) {
  const Scenario scenario = GetParam().make();
  ImportWorld w(scenario);
  ASSERT_TRUE(w.Ready());
  RunResult full;
  const std::vector<DbState> refs = w.References(full);
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
      EXPECT_NE(std::find(refs.begin(), refs.end(), r.state), refs.end())
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
                         ::testing::Values(Source{"0", [] { return kResponses; }},
                                           Source{"5", [] { return kLenders; }},
                                           Source{"4", [] { return kFileIndex; }},
                                           Source{"6", Neighborhoods},
                                           Source{"7", [] { return kComparables; }}),
                         [](const auto& info) { return std::string(info.param.dataType); });

}  // namespace
