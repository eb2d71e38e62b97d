// Unattended imports of the sample host through the ingestor binary, one row
// of the table per data type: each run's exit status, the rows it leaves in
// the database and the lines its log holds, in order. Later runs of a row go
// against the same database, where nobody can answer the overwrite question.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "doubles/TestWorld.h"
#include "e2e/RunProgram.h"
#include "platform/PosixEnv.h"

namespace {

using e2e::TailPath;
using Rows = std::vector<std::vector<std::string>>;

struct Step {
  int type;
  std::string source;            // under the sample host
  std::string flags;             // LeaveOutputFiles and NoComparisons
  std::vector<std::string> env;  // "{root}" stands for the test's folder
  int status;
  std::vector<std::pair<std::string, Rows>> checks;  // none: no database at all
  std::vector<std::string> logged;                   // in this order; "!text": nowhere in the log
  std::string said = {};                             // on stderr
};

struct Case {
  const char* name;
  const char* database;
  std::string table;  // created before the first run when not empty
  std::vector<Step> runs;
};

std::string Count(const std::string& table) {
  return "SELECT COUNT(*) FROM " + table;
}

const std::string kNoAnswer =
    "nobody could answer the question (no terminal), so the existing row was kept.";

const std::vector<Case> kCases = {
    {"responses",
     "CommonResponses.mdb",
     "",
     {{0,
       "data",
       "/False/False",
       {},
       0,
       {{"SELECT Line, Across, FunctionKey, Title, Data FROM resp ORDER BY ID",
         {{"12", "3", "1", "Site view",
           "Quiet street facing the Caf\xC3\xA9 du Parc; no adverse easements noted."},
          {"12", "3", "6", "Default site", "See attached addendum.\r\nPhotos on page 3."},
          {"40", "1", "2", "Condition", "Average; kitchen renovated by O'Neil & Sons in 2004."},
          {"40", "1", "3", "", ""}}}},
       {"Data type:          Common responses", "Bypassing file: 'global.dat'.",
        "ends with 17 byte(s) at byte",
        "File 'resp.dat.tmp': 4 read, 4 added, 0 overwritten, 0 kept, 0 rejected.",
        "Import finished successfully!"}},
      // The private set holds the same responses: every existing row stays,
      // and only the F9 response is added again.
      {1,
       "private",
       "/False/False",
       {},
       0,
       {{Count("resp"), {{"5"}}}},
       {kNoAnswer},
       "Do you wish to overwrite this response?"}}},
    {"responses refused by the database",
     "CommonResponses.mdb",
     "CREATE TABLE resp (ID INTEGER PRIMARY KEY, Line INTEGER CHECK (Line > 20), Across INTEGER, "
     "FunctionKey INTEGER, Macro INTEGER, Append INTEGER, Title TEXT, Data TEXT, Vendor INTEGER)",
     {{0,
       "data",
       "/False/False",
       {},
       3,
       {{Count("resp"), {{"2"}}}},
       {"Rejected record 1 of file 'resp.dat.tmp' at byte 0: the database refused the row",
        "4 read, 2 added, 0 overwritten, 0 kept, 2 rejected."}}}},
    {"appraisal index",
     "Appraisals.mdb",
     "",
     // The sample's last record is cut short: its row is added, and reported.
     {{4,
       "data",
       "/False/False",
       {},
       3,
       {{"SELECT FileID, Filename, Fullpath, Owner, City, State, DateReceived, DateAssigned, "
         "DateDue, DateDelivered, TrackingExtra FROM FileIndex ORDER BY ID",
         {{"A12", "A12.rpt", "C:\\Reports\\2006\\A12.rpt",
           "Ren\xC3\xA9"
           "e Dubois",
           "Montr\xC3\xA9"
           "al",
           "", "2006-01-05", "2006-01-06", "2006-01-31", "<null>", "Rush - call before visit"},
          // Length 288: no path; an empty received date.
          {"B2006-17", "B2006-17.rpt", "", "Patrick O'Neil", "Salem", "", "<null>", "2006-01-06",
           "2006-01-31", "<null>", "Rush - call before visit"},
          // Past the end of the file.
          {"C7", "C7.rpt", "",
           "Jos\xC3\xA9 Garc\xC3\xAD"
           "a",
           "Lowell", "", "<null>", "<null>", "<null>", "<null>", "Rush - call before visit"}}}},
       {"Data type:          Appraisal index data",
        "Attempting to import file: 'didovuro.dta.tmp'.",
        "Warning: record 3 of file 'didovuro.dta.tmp'",
        "File 'didovuro.dta.tmp': 3 read, 3 added, 0 overwritten, 0 kept, 0 rejected.",
        "[Source]ImportFileIndex::CSImportEngine [Index]na [Text]3 records added."}},
      {4, "data", "/False/False", {}, 3, {{Count("FileIndex"), {{"6"}}}}, {}}}},
    {"lenders",
     "Lenders.mdb",
     "",
     {{5,
       "data",
       "/False/False",
       {},
       0,
       {{"SELECT LenderDBID, LenderName, CityStateZip, ContactFirst, ContactLast, Reference, "
         "Email, ContactNote FROM Lenders ORDER BY ID",
         {{"FNB", "First National Bank", "Boston, MA 02108", "Jane", "Smith", "REF-22",
           "jsmith@fnb.example.com", "Jane Smith"},
          {"O'NEIL", "O'Neil Mortgage Co.", "Quincy, MA 02169", "Sean", "O'Neil", "REF-22",
           "loans@oneil.example.com", "Mortgage desk"},
          // Windows-1252 arrives as UTF-8; the accented letter before the "@" is
          // a word boundary, so the address starts after it.
          {"CREDMTL",
           "Cr\xC3\xA9"
           "dit Mutuel de Qu\xC3\xA9"
           "bec",
           "Montr\xC3\xA9"
           "al, QC",
           "Andr\xC3\xA9", "B\xC3\xA9langer", "REF-22", "ts@creditmutuel.example.ca",
           "Andr\xC3\xA9 pr"}}}},
       {"Data type:          Lender information", "Database 'Lenders.mdb' DID NOT exist.",
        "Extracted database 'Lenders.mdb' successfully.",
        "File 'lender.dta.tmp' ends with 105 byte(s) at byte 744, too few for a record; they "
        "were not read.",
        "File 'lender.dta.tmp': 3 read, 3 added, 0 overwritten, 0 kept, 0 rejected.",
        "Import finished successfully!"}},
      {5,
       "data",
       "/False/False",
       {},
       0,
       {{Count("Lenders"), {{"3"}}}},
       {"File 'lender.dta.tmp': 3 read, 0 added, 0 overwritten, 3 kept, 0 rejected."},
       "Do you wish to overwrite the information for this lender?"},
      // Without comparisons every lender is added beside the existing one.
      {5, "data", "/False/True", {}, 0, {{Count("Lenders"), {{"6"}}}}, {}}}},
    {"lenders refused by the database",
     "Lenders.mdb",
     "CREATE TABLE Lenders (ID INTEGER PRIMARY KEY, LenderDBID TEXT CHECK (LenderDBID NOT LIKE "
     "'O%'), LenderName TEXT, Address1 TEXT, Address2 TEXT, CityStateZip TEXT, Phone TEXT, "
     "ContactFirst TEXT, ContactLast TEXT, Fax TEXT, Reference TEXT, Website TEXT, Email TEXT, "
     "ContactNote TEXT)",
     {{5,
       "data",
       "/False/False",
       {},
       3,
       {{Count("Lenders"), {{"2"}}}},
       {"Rejected record 2 of file 'lender.dta.tmp' at byte 248: the database refused the row",
        "3 read, 2 added, 0 overwritten, 0 kept, 1 rejected."}}}},
    // The conversion file is found through the host configuration; without
    // one the run says so and is no success.
    {"neighborhoods",
     "Neighborhoods.mdb",
     "",
     {{6,
       "data/neigh1004.dta",
       "/False/False",
       {"INGESTOR_DRIVE_C={root}/empty"},
       0,
       {{"SELECT NeighborhoodName, NeighborhoodCode, Location, PriceHigh, Area, Description, "
         "Zone FROM Neighborhoods ORDER BY ID",
         {{"Beaus\xC3\xA9jour", "NS-04", "Suburban", "420", "North Shore",
           "Established suburb near the Caf\xC3\xA9 du Parc.", "R-1"},
          {"Val-d'Or Est", "NS-04", "Urban", "310", "North Shore",
           "Mixed residential, O'Neil Park to the east.", "R-1"}}},
        {"SELECT NeighborhoodName FROM Neighborhoods2 ORDER BY NeighborhoodName",
         {{"Beaus\xC3\xA9jour"}, {"Val-d'Or Est"}}}},
       {"Data type:          Neighborhood information", "!Additional file was blank",
        "File 'neigh1004.dta.tmp': 2 read, 2 added, 0 overwritten, 0 kept, 0 rejected.",
        "Import finished successfully!"}},
      {6,
       "data/neigh1004.dta",
       "/False/False",
       {"INGESTOR_DRIVE_C={root}/empty", "WINDIR={root}/empty"},
       1,
       {{Count("Neighborhoods"), {{"2"}}}},
       {"Neighborhood conversion INI file", "DID NOT exist.", "!Import finished successfully!"}}}},
    // Only through the batch route; the last main record is cut short.
    {"comparables",
     "Comparables.mdb",
     "",
     {{7, "data", "/False/True", {}, 2, {}, {}},
      {7,
       "data",
       "/False/True",
       {"INGESTOR_ALLOW_COMPARABLES=1"},
       3,
       {{"SELECT WCID, xStreet, ContractDate, Price, PhotoID, FLP, Comment, Neighborhood FROM "
         "ZazOzurs ORDER BY WCID",
         // WC-1001 and wc-1002 (as WC-1002) updated, WC-2001 the supplement's own.
         {{"WC-1001",
           "Rue de l'\xC3\x89"
           "cole",
           "2006-02-09", "245000", "P7", "0", "Caf\xC3\xA9 on the ground floor",
           "Beaus\xC3\xA9jour"},
          {"WC-1002", "O'Neil Ave", "<null>", "251500", "P7", "249900",
           "Corner lot; seller O'Neil paid closing costs.", "Val-d'Or Est"},
          {"WC-1003", "Birch Ln", "2006-02-21", "199900", "<null>", "<null>", "<null>",
           "Montr\xC3\xA9"
           "al-Nord"},
          {"WC-2001", "<null>", "<null>", "<null>", "P7", "-1", "Listed only", "<null>"}}}},
       {"Data type:          ZazOzur comparables",
        "Attempting to import file: 'xcomps.dat.tmp', this *may* take several minutes...",
        "Warning: record 3 of file 'xcomps.dat.tmp' at byte 1272 is cut short",
        "File 'xcomps.dat.tmp': 3 read, 3 added, 0 overwritten, 0 kept, 0 rejected.",
        "File 'xcomps.cp2.tmp': 3 read, 1 added, 2 overwritten, 0 kept, 0 rejected.",
        "[Text]6 records added."}}}},
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

class Import : public ::testing::TestWithParam<Case> {
 protected:
  std::unique_ptr<db::Backend> Open(const std::string& database) {
    std::vector<std::string> errors;
    return env.OpenDatabase(
        "DRIVER={Microsoft Access Driver (*.mdb)};DBQ=" + world.Native(database) + ";", errors);
  }
  Rows Query(const std::string& database, const std::string& sql) {
    Rows rows;
    auto db = Open(database);
    std::string error;
    auto st = db ? db->Prepare(sql, error) : nullptr;
    while (st && st->Step() == db::StepResult::Row) {
      rows.emplace_back();
      for (int i = 0; i < st->ColumnCount(); ++i)
        rows.back().push_back(st->Column(i).IsNull() ? "<null>" : st->Column(i).ToText());
    }
    return rows;
  }
  std::string Expand(std::string text) {
    for (std::size_t at; (at = text.find("{root}")) != std::string::npos;)
      text.replace(at, 6, world.Native());
    return text;
  }

  testing_doubles::TestWorld world;
  platform::PosixEnv env;
};

TEST_P(Import, StatusRowsAndLog) {
  const Case& c = GetParam();
  ASSERT_EQ(e2e::Run(INGESTOR_SAMPLE_HOST, {world.Native("host")}).status, 0);
  world.MakeFolder("empty");
  if (!c.table.empty()) {
    world.Write(c.database, "");  // an empty file is an empty database
    auto db = Open(c.database);
    std::string error;
    ASSERT_TRUE(db && db->Execute(c.table, error)) << error;
  }
  for (std::size_t i = 0; i < c.runs.size(); ++i) {
    const Step& run = c.runs[i];
    SCOPED_TRACE("run " + std::to_string(i + 1));
    const std::string out = "out" + std::to_string(i);
    world.MakeFolder(out);
    const std::string source = world.Native("host/" + run.source);
    const std::string tail = TailPath(INGESTOR_SAMPLE_EXTRACTOR) + "/" + TailPath(source) +
                             (std::filesystem::is_directory(source) ? "\\/" : "/") +
                             TailPath(world.Native(out)) + "\\/" + std::to_string(run.type) + "/" +
                             TailPath(world.Native(c.database)) + run.flags;
    std::vector<std::string> vars;
    for (const std::string& var : run.env) vars.push_back(Expand(var));
    if (std::none_of(vars.begin(), vars.end(), [](auto& v) { return v.starts_with("WINDIR="); }))
      vars.push_back("WINDIR=" + world.Native("host"));
    const e2e::RunResult r = e2e::Run(INGESTOR_BINARY, {tail}, vars);
    const std::string log = e2e::LogIn(world.Native(out));
    EXPECT_EQ(r.status, run.status) << r.err << log;
    std::size_t at = 0;
    for (const std::string& line : run.logged) {
      if (line.starts_with("!")) {
        EXPECT_EQ(log.find(line.substr(1)), std::string::npos) << line << "\n" << log;
        continue;
      }
      at = log.find(line, at);
      EXPECT_NE(at, std::string::npos) << "missing or out of order: " << line << "\n" << log;
      if (at == std::string::npos) at = 0;
    }
    EXPECT_NE(r.err.find(run.said), std::string::npos) << r.err;
    EXPECT_EQ(std::filesystem::exists(world.Native(c.database)), !run.checks.empty());
    for (const auto& [sql, rows] : run.checks) EXPECT_EQ(Query(c.database, sql), rows) << sql;
  }
}

INSTANTIATE_TEST_SUITE_P(DataTypes, Import, ::testing::ValuesIn(kCases), [](const auto& info) {
  std::string name;
  for (char ch : std::string(info.param.name))
    if (std::isalnum(static_cast<unsigned char>(ch))) name += ch;
  return name;
});

}  // namespace
