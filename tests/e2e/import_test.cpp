// Unattended imports of the sample host, per data type: each run's exit status,
// rows and log lines. Later runs of a row go against the same database, where
// nobody can answer the overwrite question.
#include <gtest/gtest.h>

#include <regex>
#include <utility>

#include "e2e/RunProgram.h"

namespace {

struct Step {
  int type;
  std::string source;  // under the sample host
  std::string flags;   // LeaveOutputFiles and NoComparisons
  int status;
  std::vector<std::pair<std::string, e2e::Rows>> checks;  // none: no database at all
  std::vector<std::string> logged;                        // as e2e::Expect takes them
  std::string said = {};                                  // on stderr
  std::vector<std::string> env = {};                      // "{root}": the test's folder
};

struct Case {
  const char* name;
  const char* database;
  std::string table;  // created before the first run when not empty
  std::vector<Step> runs;
};

// clang-format off
const std::vector<Case> kCases = {
    {"responses", "CommonResponses.mdb", "",
     {{0, "data", "/False/False", 0,
       {{"SELECT Line, Across, FunctionKey, Title, Data FROM resp ORDER BY ID",
         {"12|3|1|Site view|Quiet street facing the Caf\xC3\xA9 du Parc; no adverse easements "
          "noted.",
          "12|3|6|Default site|See attached addendum.\r\nPhotos on page 3.",
          "40|1|2|Condition|Average; kitchen renovated by O'Neil & Sons in 2004.",
          "40|1|3||"}}},
       {"Data type:          Common responses", "Bypassing file: 'global.dat'.",
        "ends with 17 byte(s) at byte",
        "File 'resp.dat.tmp': 4 read, 4 added, 0 overwritten, 0 kept, 0 rejected.",
        "Import finished successfully!"}},
      // The private set holds the same responses: every existing row stays,
      // and only the F9 response is added again.
      {1, "private", "/False/False", 0, {{"SELECT COUNT(*) FROM resp", {"5"}}},
       {"nobody could answer the question (no terminal), so the existing row was kept."},
       "Do you wish to overwrite this response?"}}},
    {"responses refused by the database", "CommonResponses.mdb",
     "CREATE TABLE resp (ID INTEGER PRIMARY KEY, Line INTEGER CHECK (Line > 20), Across INTEGER, "
     "FunctionKey INTEGER, Macro INTEGER, Append INTEGER, Title TEXT, Data TEXT, Vendor INTEGER)",
     {{0, "data", "/False/False", 3, {{"SELECT COUNT(*) FROM resp", {"2"}}},
       {"Rejected record 1 of file 'resp.dat.tmp' at byte 0: the database refused the row",
        "4 read, 2 added, 0 overwritten, 0 kept, 2 rejected."}}}},
    // The sample's last record is cut short: its row is added, and reported.
    {"appraisal index", "Appraisals.mdb", "",
     {{4, "data", "/False/False", 3,
       {{"SELECT FileID, Filename, Fullpath, Owner, City, State, DateReceived, DateAssigned, "
         "DateDue, DateDelivered, TrackingExtra FROM FileIndex ORDER BY ID",
         {"A12|A12.rpt|C:\\Reports\\2006\\A12.rpt|Ren\xC3\xA9" "e Dubois|Montr\xC3\xA9" "al||"
          "2006-01-05|2006-01-06|2006-01-31|<null>|Rush - call before visit",
          // Length 288: no path; an empty received date.
          "B2006-17|B2006-17.rpt||Patrick O'Neil|Salem||<null>|2006-01-06|2006-01-31|<null>|"
          "Rush - call before visit",
          // Past the end of the file.
          "C7|C7.rpt||Jos\xC3\xA9 Garc\xC3\xAD" "a|Lowell||<null>|<null>|<null>|<null>|"
          "Rush - call before visit"}}},
       {"Comparisons were asked for, but file-index imports never compare",
        "Data type:          Appraisal index data",
        "Attempting to import file: 'didovuro.dta.tmp'.",
        "Warning: record 3 of file 'didovuro.dta.tmp'",
        "File 'didovuro.dta.tmp': 3 read, 3 added, 0 overwritten, 0 kept, 0 rejected.",
        "[Source]ImportFileIndex::CSImportEngine [Index]na [Text]3 records added."}},
      {4, "data", "/False/False", 3, {{"SELECT COUNT(*) FROM FileIndex", {"6"}}}, {}}}},
    {"lenders", "Lenders.mdb", "",
     {{5, "data", "/False/False", 0,
       {{"SELECT LenderDBID, LenderName, CityStateZip, ContactFirst, ContactLast, Reference, "
         "Email, ContactNote FROM Lenders ORDER BY ID",
         {"FNB|First National Bank|Boston, MA 02108|Jane|Smith|REF-22|jsmith@fnb.example.com|"
          "Jane Smith",
          "O'NEIL|O'Neil Mortgage Co.|Quincy, MA 02169|Sean|O'Neil|REF-22|"
          "loans@oneil.example.com|Mortgage desk",
          // Windows-1252 arrives as UTF-8; the accented letter before the "@"
          // is a word boundary, so the address starts after it.
          "CREDMTL|Cr\xC3\xA9" "dit Mutuel de Qu\xC3\xA9" "bec|Montr\xC3\xA9" "al, QC|"
          "Andr\xC3\xA9|B\xC3\xA9langer|REF-22|ts@creditmutuel.example.ca|Andr\xC3\xA9 pr"}}},
       {"Data type:          Lender information", "Database 'Lenders.mdb' DID NOT exist.",
        "Extracted database 'Lenders.mdb' successfully.",
        "File 'lender.dta.tmp' ends with 105 byte(s) at byte 744, too few for a record; they "
        "were not read.",
        "File 'lender.dta.tmp': 3 read, 3 added, 0 overwritten, 0 kept, 0 rejected.",
        "Import finished successfully!"}}}},
    // The conversion file is found through the host configuration; without
    // one the run says so and is no success.
    {"neighborhoods", "Neighborhoods.mdb", "",
     {{6, "data/neigh1004.dta", "/False/False", 0,
       {{"SELECT NeighborhoodName, NeighborhoodCode, Location, PriceHigh, Area, Description, "
         "Zone FROM Neighborhoods ORDER BY ID",
         {"Beaus\xC3\xA9jour|NS-04|Suburban|420|North Shore|"
          "Established suburb near the Caf\xC3\xA9 du Parc.|R-1",
          "Val-d'Or Est|NS-04|Urban|310|North Shore|"
          "Mixed residential, O'Neil Park to the east.|R-1"}},
        {"SELECT NeighborhoodName FROM Neighborhoods2 ORDER BY NeighborhoodName",
         {"Beaus\xC3\xA9jour", "Val-d'Or Est"}}},
       {"Data type:          Neighborhood information", "!Additional file was blank",
        "File 'neigh1004.dta.tmp': 2 read, 2 added, 0 overwritten, 0 kept, 0 rejected.",
        "Import finished successfully!"}, "", {"INGESTOR_DRIVE_C={root}/empty"}},
      {6, "data/neigh1004.dta", "/False/False", 1, {{"SELECT COUNT(*) FROM Neighborhoods", {"2"}}},
       {"Neighborhood conversion INI file", "DID NOT exist.", "!Import finished successfully!"},
       "", {"INGESTOR_DRIVE_C={root}/empty", "WINDIR={root}/empty"}}}},
    // Only through the batch route; the last main record is cut short.
    {"comparables", "Comparables.mdb", "",
     {{7, "data", "/False/True", 2, {}, {}},
      {7, "data", "/False/True", 3,
       {{"SELECT WCID, xStreet, ContractDate, Price, PhotoID, FLP, Comment, Neighborhood FROM "
         "ZazOzurs ORDER BY WCID",
         // WC-1001 and wc-1002 (as WC-1002) updated, WC-2001 the supplement's own.
         {"WC-1001|Rue de l'\xC3\x89" "cole|2006-02-09|245000|P7|0|Caf\xC3\xA9 on the ground floor|"
          "Beaus\xC3\xA9jour",
          "WC-1002|O'Neil Ave|<null>|251500|P7|249900|"
          "Corner lot; seller O'Neil paid closing costs.|Val-d'Or Est",
          "WC-1003|Birch Ln|2006-02-21|199900|<null>|<null>|<null>|Montr\xC3\xA9" "al-Nord",
          "WC-2001|<null>|<null>|<null>|P7|-1|Listed only|<null>"}}},
       {"Data type:          ZazOzur comparables",
        "Attempting to import file: 'xcomps.dat.tmp', this *may* take several minutes...",
        "Warning: record 3 of file 'xcomps.dat.tmp' at byte 1272 is cut short",
        "File 'xcomps.dat.tmp': 3 read, 3 added, 0 overwritten, 0 kept, 0 rejected.",
        "File 'xcomps.cp2.tmp': 3 read, 1 added, 2 overwritten, 0 kept, 0 rejected.",
        "[Text]6 records added."}, "", {"INGESTOR_ALLOW_COMPARABLES=1"}}}},
};
// clang-format on

// Every case's runs, each case into a new database file, or (GetParam()) into
// a new database on the test server through the option form: the same rows,
// there made without a template and with no database backup.
class Import : public ::testing::TestWithParam<bool> {};
TEST_P(Import, EveryDataTypeLeavesItsRowsAndLog) {
  const bool server = GetParam();
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    e2e::Scene s;
    s.database = c.database;
    s.SampleHost();
    s.world.MakeFolder("empty");
    if (server && !e2e::OnServer(s, "import")) GTEST_SKIP() << "needs tests/db/with-databases.sh";
    // The server numbers a key column only when told to.
    if (!c.table.empty())
      s.Sql(server ? std::regex_replace(c.table, std::regex("ID INTEGER"), "ID SERIAL") : c.table);
    const e2e::Rows env = s.env;
    for (std::size_t i = 0; i < c.runs.size(); ++i) {
      const Step& run = c.runs[i];
      if (server && run.status == 2) continue;  // a refusal of the tail only
      SCOPED_TRACE("run " + std::to_string(i + 1));
      s.env = env;  // unless the run names another Windows folder
      for (const std::string& var : run.env)
        s.env.push_back(std::regex_replace(var, std::regex("\\{root\\}"), s.world.Native()));
      s.type = std::to_string(run.type);
      s.source = "host/" + run.source;
      s.output = "out" + std::to_string(i);
      s.flags = run.flags;
      const e2e::RunResult r = s.Go();
      e2e::Expect(r, s.Log(), run.status,
                  server ? e2e::Rows{"!Backing up source database"} : run.logged, run.said);
      EXPECT_EQ(!server && s.world.Has(c.database), !server && !run.checks.empty());
      for (const auto& [sql, rows] : run.checks) EXPECT_EQ(s.Query(sql), rows) << sql;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(IntoAFileOrOnAServer, Import, ::testing::Bool());

}  // namespace
