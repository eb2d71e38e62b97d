// Whole unattended imports with one platform operation failing at its Nth
// call, for N = 1, 2, ... until a run no longer reaches call N. Whatever
// fails, the run must not report success for an import that did not fully
// land, must say in its log what failed, and must leave the database whole:
// as before the import, or with whole output files only (compared with
// fault-free runs of every subset of the source files). A record the log
// names as rejected may be missing or saved without its refused values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "RecordWriter.h"
#include "doubles/FaultyVfs.h"
#include "importers/layouts/ComparablesLayout.h"
#include "importers/layouts/FileIndexLayout.h"
#include "importers/layouts/LenderLayout.h"
#include "importers/layouts/SupplementLayout.h"
#include "robustness/ImportWorld.h"

namespace {

using platform::MsgAnswer;
using robustness::DbState;
using robustness::ImportWorld;
using robustness::RunResult;
using robustness::Scenario;
using samplehost::Framed;
using samplehost::RecordWriter;
using samplehost::ResponseRecord;

// --- the sample imports ---------------------------------------------------

Scenario CommonResponses() {
  Scenario s;
  s.name = "responses";
  s.dataType = "0";
  s.database = "CommonResponses.mdb";
  s.sources = {{"resp.dat", ResponseRecord(10, 1, 4, "Site", false, 0, "Level lot", 2) +
                                ResponseRecord(10, 2, 5, "View", false, 0, "Water", 0) +
                                ResponseRecord(11, 1, 6, "Zoning", false, 0, "R-1", 1)},
               {"more.dat", ResponseRecord(20, 1, 4, "Heat", false, 0, "FWA/Gas", 0) +
                                ResponseRecord(20, 2, 7, "Roof", false, 0, "Asphalt", 3)}};
  return s;
}

std::string Lender(const std::string& id, const std::string& name) {
  namespace l = layouts::lender;
  RecordWriter r(l::kRecordSize);
  r.Text(l::kLenderId, id).Text(l::kName, name).Text(l::kContactFirst, "Ann");
  return Framed(r.bytes());
}

Scenario LendersCompared() {
  Scenario s;
  s.name = "lenders";
  s.dataType = "5";
  s.database = "Lenders.mdb";
  s.sources = {{"lender.dta", Lender("FNB", "First National") + Lender("NEW1", "New One") +
                                  Lender("O'NEIL", "O'Neil Mortgage") + Lender("NEW2", "New Two")}};
  s.companions = {{"lender.ini", "[IP]\r\nFNB=jane@fnb.example.com/desk\r\n"}};
  s.baseline = {
      "INSERT INTO Lenders (LenderDBID, LenderName, ContactFirst) VALUES ('FNB', 'Old FNB', "
      "'Old')",
      "INSERT INTO Lenders (LenderDBID, LenderName, ContactFirst) VALUES ('O''NEIL', 'Old "
      "O''Neil', 'Old')",
      "INSERT INTO Lenders (LenderDBID, LenderName, ContactFirst) VALUES ('KEEP', 'Untouched', "
      "'Old')"};
  s.noComparisons = "0";
  // Overwrite the first conflict, then every one.
  s.answers = {MsgAnswer::Yes, MsgAnswer::Yes};
  return s;
}

std::string IndexRecord(const std::string& id, const std::string& street, const std::string& path) {
  namespace i = layouts::fileindex;
  RecordWriter head(i::kHeadSize);
  head.Text(i::kFileId, id).Text(i::kStreet, street).Date(i::kDateDue, 9, 3, 2011);
  return Framed(head.bytes() + path);
}

Scenario FileIndex() {
  Scenario s;
  s.name = "file index";
  s.dataType = "4";
  s.database = "Appraisals.mdb";
  s.sources = {{"didovuro.dta", IndexRecord("A-100", "1 Elm St", "C:\\Reports\\A-100.rpt") +
                                    IndexRecord("A-101", "2 Oak St", "C:\\Reports\\A-101.rpt") +
                                    IndexRecord("A-102", "3 Ash St", "")}};
  return s;
}

std::string Comparable(const std::string& wcid, int price) {
  namespace c = layouts::comparables;
  RecordWriter r(c::kRecordSize);
  r.Text(c::kWcid, wcid);
  for (int position = 0; position < c::kColumnCount; ++position)
    if (std::string_view(c::kColumns[position].name) == "Price")
      r.Int32(c::FieldAt(position), price);
  return Framed(r.bytes());
}

std::string Supplement(const std::string& wcid, const std::string& comment, int price) {
  namespace s = layouts::supplement;
  RecordWriter r(s::kRecordSize);
  r.Text(s::kWcid.field, wcid)
      .Text(s::kComment.field, comment)
      .Int32(s::kFinalListPrice.field, price);
  return Framed(r.bytes());
}

Scenario Comparables() {
  Scenario s;
  s.name = "comparables";
  s.dataType = "7";
  s.database = "Comparables.mdb";
  s.sources = {
      {"xcomps.dat", Comparable("WC-1", 100) + Comparable("WC-2", 200) + Comparable("WC-3", 300)},
      {"xcomps.cp2", Supplement("WC-2", "Corner lot", 210) +
                         Supplement("WC-9", "Listed only", 900) +
                         Supplement("wc-1", "Renovated", 110)}};
  s.baseline = {"INSERT INTO ZazOzurs (WCID, Price) VALUES ('OLD-1', 5)"};
  return s;
}

// The sample host's own neighborhood file (its conversion file is found
// through the host's configuration, as the import world's Windows folder).
Scenario Neighborhoods() {
  Scenario s;
  s.name = "neighborhoods";
  s.dataType = "6";
  s.database = "Neighborhoods.mdb";
  testing_doubles::TestWorld host;
  if (e2e::Run(INGESTOR_SAMPLE_HOST, {host.Native("host")}).status == 0)
    s.sources = {{"neigh1004.dta", host.Read("host/data/neigh1004.dta")}};
  return s;
}

// --- the loop ---------------------------------------------------------------------

const std::vector<std::string> kOperations = {"OpenForReading", "ReadAt",
                                              "OpenForWriting", "CopyFile",
                                              "OpenDatabase",   "Prepare",
                                              "Step",           "Execute",
                                              "Begin",          "Commit",
                                              "TryLock",        "Lookup",
                                              "CheckReadable",  "CreatePrivateFolder",
                                              "CopyDatabase"};

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

// The faults injected per operation, for the summary.
using Coverage = std::map<std::string, int>;

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
  for (const DbState& ref : refs) nearest = std::min(nearest, robustness::Distance(r.state, ref));
  EXPECT_LE(nearest, 2 * Count(r.log, "Rejected record")) << "the database holds part of a file:\n"
                                                          << r.log;
}

Coverage FaultLoops(const Scenario& scenario) {
  Coverage coverage;
  ImportWorld w(scenario);
  EXPECT_TRUE(w.Ready());
  if (!w.Ready()) return coverage;

  // Fault-free runs of every subset of the files: the states a database may
  // be left in.
  std::vector<DbState> refs;
  RunResult full;
  for (unsigned mask = 0; mask <= w.AllFiles(); ++mask) {
    RunResult r = w.Run(mask);
    EXPECT_EQ(r.integrity, "ok");
    refs.push_back(r.state);
    if (mask == w.AllFiles()) full = r;
  }
  EXPECT_EQ(full.status, 0) << full.log;
  EXPECT_NE(full.state, refs.front()) << "the import changed nothing";
  if (testing::Test::HasFailure()) return coverage;

  for (const std::string& op : kOperations) {
    int n = 1;
    for (;; ++n) {
      SCOPED_TRACE(scenario.name + ": " + op + " fails at call " + std::to_string(n));
      if (n > 5000) {
        ADD_FAILURE() << "the runs never stop reaching the fault";
        break;
      }
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
      if (testing::Test::HasFailure()) break;
    }
    coverage[op] = n - 1;
    if (testing::Test::HasFailure()) break;
  }
  std::string summary = scenario.name + ": faults injected per operation:";
  for (const auto& [op, count] : coverage) summary += " " + op + "=" + std::to_string(count);
  std::printf("%s\n", summary.c_str());
  return coverage;
}

TEST(FaultInjection, CommonResponsesFromTwoFiles) {
  const Coverage c = FaultLoops(CommonResponses());
  // The loops reached every file's reads and commits.
  EXPECT_GE(c.count("ReadAt") ? c.at("ReadAt") : 0, 2);
  EXPECT_GE(c.count("Commit") ? c.at("Commit") : 0, 2);
}

TEST(FaultInjection, LendersComparedWithExistingRows) {
  const Coverage c = FaultLoops(LendersCompared());
  EXPECT_GE(c.count("Step") ? c.at("Step") : 0, 4);
}

TEST(FaultInjection, FileIndex) {
  const Coverage c = FaultLoops(FileIndex());
  EXPECT_GE(c.count("Prepare") ? c.at("Prepare") : 0, 1);
}

TEST(FaultInjection, ComparablesMainAndSupplement) {
  const Coverage c = FaultLoops(Comparables());
  EXPECT_GE(c.count("ReadAt") ? c.at("ReadAt") : 0, 2);
  EXPECT_GE(c.count("Commit") ? c.at("Commit") : 0, 2);
}

// The database's own files failing: the Nth write, sync or truncate fails
// with a full disk or an I/O error, for N = 1, 2, ... over whole imports of
// each data type. Every such run ends as failed (status 1) with one line
// naming the condition and no line per record, and leaves an intact database
// holding whole files only.
TEST(FaultInjection, DatabaseFilesFailingAtEveryWrite) {
  struct Fault {
    int code;
    const char* named;
  };
  const Fault kFaults[] = {{SQLITE_FULL, "the disk is full"}, {SQLITE_IOERR_WRITE, "an I/O error"}};
  for (const Scenario& scenario :
       {CommonResponses(), LendersCompared(), FileIndex(), Neighborhoods(), Comparables()}) {
    ImportWorld w(scenario);
    ASSERT_TRUE(w.Ready());
    std::vector<DbState> refs;
    RunResult full;
    for (unsigned mask = 0; mask <= w.AllFiles(); ++mask) {
      RunResult r = w.Run(mask);
      refs.push_back(r.state);
      if (mask == w.AllFiles()) full = std::move(r);
    }
    testing_doubles::FaultyVfs vfs;
    // The database and its journal; a failing backup copy is a case of its own.
    vfs.OnlyFilesStartingWith(w.world.Native("db.mdb"));
    w.afterImport = [&] { vfs.Disarm(); };
    for (const Fault& fault : kFaults) {
      int n = 1;
      for (;; ++n) {
        SCOPED_TRACE(scenario.name + ": " + fault.named + " at write " + std::to_string(n));
        ASSERT_LT(n, 2000) << "the runs never stop reaching the fault";
        vfs.FailNth(n, fault.code);
        const RunResult r = w.Run(w.AllFiles());
        if (vfs.Calls() < n) {
          EXPECT_EQ(r.status, full.status) << r.log;
          EXPECT_EQ(r.state, full.state);
          break;
        }
        EXPECT_EQ(r.integrity, "ok");
        EXPECT_EQ(r.status, 1) << r.log;
        // One line in the log, and the same reason on the terminal.
        EXPECT_EQ(Count(r.log, "- The database cannot be used: " + std::string(fault.named)), 1u)
            << r.log;
        EXPECT_EQ(Count(r.log, "ingestor: The database cannot be used: "), 1u) << r.log;
        EXPECT_EQ(Count(r.log, "Rejected record"), 0u) << r.log;
        EXPECT_NE(std::find(refs.begin(), refs.end(), r.state), refs.end())
            << "the database holds part of a file:\n"
            << r.log;
        if (testing::Test::HasFailure()) return;
      }
      // Every file's writes were reached.
      EXPECT_GE(n, 4) << scenario.name;
      std::printf("%s, %s: %d writes failed in turn\n", scenario.name.c_str(), fault.named, n - 1);
    }
    w.afterImport = nullptr;
  }
}

}  // namespace
