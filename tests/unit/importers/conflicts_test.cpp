// The overwrite question of the comparing importers: one table of answers,
// walked for every data type that compares records with existing rows.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/ResourceStrings.h"
#include "unit/importers/ImporterFixture.h"

namespace {

using platform::MsgAnswer;
using testing_doubles::ImporterFixture;
using testing_doubles::ImporterWorld;
using testing_doubles::Rows;

struct Kind {
  const char* name;
  std::vector<std::string> files;
  std::function<void(ImporterWorld&)> existing;           // the table, one row whose value is "Old"
  std::function<std::string(const std::string&)> record;  // conflicts with it, with this value
  std::function<bool(ImportSession&)> import;
  std::string values;  // selects the value of every row
  std::string question, keepAll, overwriteAll;
};

const char* kReportData = "Do you wish to KEEP ALL EXISTING report data?";
const char* kReportInfo =
    "Do you wish to overwrite ALL conflicting report information?\r\nNOTE: This DOES NOT affect "
    "your actual reports.";

// clang-format off
const Kind kKinds[] = {
    {"lenders", {"a.tmp", "b.tmp"},
     [](ImporterWorld& w) {
       w.MakeLenders();
       w.Exec("INSERT INTO Lenders (LenderDBID, LenderName, ContactFirst, ContactLast) VALUES ('FNB', 'Old', 'Jo', 'Li')");
     },
     [](const std::string& v) { return testing_doubles::Lender("fnb", v, "Jo", "Li"); },
     [](ImportSession& s) { return importers::ImportLenderInformation(s) >= 0; },
     "SELECT LenderName FROM Lenders ORDER BY ID",
     "Importing lender with ID: 'fnb'\r\n\r\nThere is an existing lender which conflicts with this one:\r\n\r\n"
     "    ID: 'FNB'\r\n    Name: 'Old'\r\n    Contact: 'Jo Li'\r\n\r\n\r\n"
     "Do you wish to overwrite the information for this lender?",
     kReportData, kReportInfo},
    {"neighborhoods", {"neigh1004.tmp", "neighLAR.tmp"},
     [](ImporterWorld& w) {
       w.MakeNeighborhoods();
       w.Exec("INSERT INTO Neighborhoods (NeighborhoodName, Description) VALUES ('O''Ak', 'Old')");
     },
     [](const std::string& v) { return testing_doubles::Neigh("o'aK", v); },
     [](ImportSession& s) { return importers::ImportNeighborhoodInformation(s) >= 0; },
     "SELECT Description FROM Neighborhoods ORDER BY ID",
     "Importing neighborhood with ID: 'o'aK'\r\n\r\nThere is an existing neighborhood which conflicts with "
     "this one:\r\n\r\nID: 'O'Ak'\r\nDescription: 'Old'\r\n\r\nDo you wish to overwrite the information for "
     "this neighborhood?",
     kReportData, kReportInfo},
    {"responses", {"resp.tmp", "resp.dat.tmp"},
     [](ImporterWorld& w) {
       ASSERT_TRUE(w.engine.ExecuteScript("resp", ResourceString(res::kCreateResponsesTable)));
       w.Exec("INSERT INTO resp (Line, Across, FunctionKey, Title) VALUES (7, 8, 2, 'Old')");
     },
     [](const std::string& v) { return testing_doubles::Resp(7, 8, 5, v); },
     [](ImportSession& s) { return importers::ImportCommonResponses(s); },
     "SELECT Title FROM resp ORDER BY ID",
     "Importing response: 'A'\r\n\r\nThere is an existing response for this function key and field "
     "combination.\r\n\r\n    Title: 'Old'\r\n    Field: (7, 8)\r\n      Key: F5\r\n\r\n"
     "Do you wish to overwrite this response?",
     "Do you wish to KEEP ALL EXISTING responses?", "Do you wish to overwrite ALL conflicting responses?"}};
// clang-format on

TEST(ConflictAnswers, EveryAnswerForEveryComparingImporter) {
  using A = MsgAnswer;
  struct Case {
    std::vector<MsgAnswer> answers;
    std::vector<std::vector<std::string>> files;  // the values of the records, per file
    std::size_t boxes;
    bool overwriteAsked;  // the second box asks about overwriting all, not keeping all
    std::vector<std::string> after;
    std::string summary;  // of the last file
    bool canAsk = true, compare = true;
  };
  // clang-format off
  const Case cases[] = {
      // No, then no to keeping all: asked again.
      {{A::No, A::No, A::No, A::No}, {{"A", "B"}}, 4, false, {"Old"}, "2 read, 0 added, 0 overwritten, 2 kept"},
      // No, then yes to keeping all: later conflicts, in later files too, kept unasked.
      {{A::No, A::Yes}, {{"A"}, {"B", "C"}}, 2, false, {"Old"}, "2 read, 0 added, 0 overwritten, 2 kept"},
      // Yes, then no to overwriting all: asked again, about the row just written.
      {{A::Yes, A::No, A::Yes, A::No}, {{"A", "B"}}, 4, true, {"B"}, "2 read, 0 added, 2 overwritten, 0 kept"},
      // Yes, then yes to overwriting all: later files overwritten unasked.
      {{A::Yes, A::Yes}, {{"A"}, {"B", "C"}}, 2, true, {"C"}, "2 read, 0 added, 2 overwritten, 0 kept"},
      // Nobody to answer: kept, and the log says why.
      {{}, {{"A"}}, 2, false, {"Old"}, "1 read, 0 added, 0 overwritten, 1 kept", false},
      // Comparisons off: added beside it, nothing asked.
      {{}, {{"A"}}, 0, false, {"Old", "A"}, "1 read, 1 added, 0 overwritten, 0 kept", true, false}};
  // clang-format on
  for (const Kind& kind : kKinds) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(kind.name) + ", case " + std::to_string(&c - cases));
      ImporterWorld w;
      kind.existing(w);
      testing_doubles::Files files;
      for (std::size_t f = 0; f < c.files.size(); ++f) {
        files.emplace_back(kind.files[f], "");
        for (const std::string& value : c.files[f]) files.back().second += kind.record(value);
      }
      w.world.ui.answers.assign(c.answers.begin(), c.answers.end());
      w.world.ui.canAsk = c.canAsk;
      w.engine.SetNoComparisons(!c.compare);
      w.SetOutputFiles(files);
      ASSERT_TRUE(kind.import(w.engine));

      Rows expected;
      for (const std::string& v : c.after) expected.push_back({v});
      EXPECT_EQ(w.Query(kind.values), expected);
      const auto& boxes = w.world.ui.boxes;
      ASSERT_EQ(boxes.size(), c.boxes);
      if (c.boxes > 0) {
        EXPECT_EQ(boxes[0].text, kind.question);
        EXPECT_EQ(boxes[0].title, ResourceString(res::kTitle));
        EXPECT_EQ(boxes[0].buttons, platform::MsgButtons::YesNo);
        EXPECT_EQ(boxes[1].text, c.overwriteAsked ? kind.overwriteAll : kind.keepAll);
      }
      if (c.boxes == 4) {
        const char* shown = c.overwriteAsked ? "'A'\r\n" : "'Old'\r\n";  // as the first left it
        EXPECT_NE(boxes[2].text.find(shown), std::string::npos);
      }
      const std::string& last = files.back().first;
      EXPECT_TRUE(w.Logged("File '" + last + "': " + c.summary + ", 0 rejected.")) << c.summary;
      EXPECT_EQ(w.Logged("Record 1 of file '" + last +
                         "' at byte 0 conflicts with an existing "
                         "row; nobody could answer the question (no terminal), so the existing "
                         "row was kept."),
                !c.canAsk);
      EXPECT_EQ(w.engine.RecordsRejected(), 0);
    }
  }
}

// The answers "to all" hold for the rest of the run, across importers; a new
// run asks again.
TEST_F(ImporterFixture, AnswersToAllLastTheRun) {
  kKinds[0].existing(*this);
  kKinds[2].existing(*this);
  world.ui.answers = {MsgAnswer::No, MsgAnswer::Yes};
  SetOutputFiles({{"resp.tmp", testing_doubles::Resp(7, 8, 5, "A")}});
  ASSERT_TRUE(importers::ImportCommonResponses(engine));
  SetOutputFiles({{"a.tmp", testing_doubles::Lender("FNB", "New")}});
  EXPECT_EQ(importers::ImportLenderInformation(engine), 0);
  EXPECT_EQ(world.ui.boxes.size(), 2u);

  engine.SetDataType(DataType::Lenders);
  world.ui.answers = {MsgAnswer::Yes, MsgAnswer::No};
  ASSERT_TRUE(engine.ImportSourceFiles());
  EXPECT_EQ(world.ui.boxes.size(), 4u);
  EXPECT_EQ(Query(kKinds[0].values), (Rows{{"New"}}));
}

}  // namespace
