// The option form of the command line (and the tail's refusals that must not
// touch the disk either), through the ingestor binary.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "doubles/TestWorld.h"
#include "e2e/RunProgram.h"
#include "platform/PosixEnv.h"

namespace {

// "{root}" stands for the test's folder and "{x}" for the sample extraction
// program.
std::string Expand(const std::string& root, std::string text) {
  for (auto [key, value] :
       {std::pair<std::string, std::string>{"{root}", root}, {"{x}", INGESTOR_SAMPLE_EXTRACTOR}})
    for (std::size_t at; (at = text.find(key)) != std::string::npos;)
      text.replace(at, key.size(), value);
  return text;
}

// A command line, split at spaces after expansion.
std::vector<std::string> Line(const std::string& root, const std::string& text) {
  std::vector<std::string> args;
  std::istringstream words(Expand(root, text));
  for (std::string word; words >> word;) args.push_back(word);
  return args;
}

class OptionForm : public ::testing::Test {
 protected:
  OptionForm() { world.MakeFolder("data"); }
  // The first value `sql` gives on L.mdb ("<none>": no row, as for a statement).
  std::string Lenders(const std::string& sql = "SELECT COUNT(*) FROM Lenders") {
    std::vector<std::string> errors;
    auto db = env.OpenDatabase(
        "DRIVER={Microsoft Access Driver (*.mdb)};DBQ=" + world.Native("L.mdb") + ";", errors);
    std::string error;
    auto st = db ? db->Prepare(sql, error) : nullptr;
    EXPECT_TRUE(st) << sql << ": " << error;
    return st && st->Step() == db::StepResult::Row ? st->Column(0).ToText() : "<none>";
  }

  testing_doubles::TestWorld world;
  platform::PosixEnv env;
};

// A refused line exits 2, says why on stderr, and creates nothing: neither
// the output folder nor the database.
TEST_F(OptionForm, RefusedLinesChangeNothing) {
  const std::string run =
      "--type lenders --extractor {x} --source {root}/data --output {root}/out ";
  const std::string tail = "sample-extractor/" + e2e::TailPath(world.Native("data")) + "\\/" +
                           e2e::TailPath(world.Native("out")) + "\\/5/" +
                           e2e::TailPath(world.Native("L.mdb"));
  const std::string hint = " Try 'ingestor --help'.";
  std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--halp"}, "ingestor: unknown option '--halp'." + hint},
      {{"--type"}, "option '--type' needs a value"},
      {Line("", "--type --extractor x"), "option '--type' needs a value"},
      {Line(world.Native(), run + "--type 5"), "option '--type' is given more than once"},
      {Line(world.Native(), run + "--quiet=yes"), "option '--quiet' takes no value"},
      {Line(world.Native(), run + "L.mdb"), "unexpected argument 'L.mdb'"},
      {Line(world.Native(), "--type 5 --extractor {x} --source {root}/data"),
       "missing option '--output'"},
      {Line(world.Native(),
            "--type loans --extractor {x} --source {root}/data --output {root}/out"),
       "unknown type 'loans'"},
      {Line(world.Native(), "--type 8 --extractor {x} --source {root}/data --output {root}/out"),
       "unknown type '8'"},
      {Line(world.Native(), "--type 5 --extractor nope --source {root}/data --output {root}/out"),
       "no extraction program at"},
      {Line(world.Native(), "--type 5 --extractor {x} --source {root}/gone --output {root}/out"),
       "the source '" + world.Native("gone") + "' does not exist"},
      {Line(world.Native(), run + "--on-conflict never"), "unknown --on-conflict value 'never'"},
      {Line(world.Native(), run + "--summary xml"), "unknown --summary value 'xml'"},
      {Line(world.Native(), run + "--database {root}/data"), "is a folder"},
      {Line(world.Native(), run + "--database {root}/a\\b.mdb"), "holds a '\\'"},
      // A password on the command line is readable by every user in the process list.
      {Line(world.Native(), run + "--odbc DSN=office;Pwd=secret"), "holds a password (PWD=)"},
      {Line(world.Native(), run + "--odbc Driver={a;pwd=b};PASSWORD={c;d}"),
       "holds a password (PASSWORD=)"},
      {Line(world.Native(), run + "--odbc DSN=office --database L.mdb"),
       "'--database' and '--odbc' cannot be given together"},
      // The tail's flags are checked before its folders are created.
      {{tail + "/maybe"}, "Expected True, False or a number for LEAVE, but found 'maybe'"},
      {{tail + "/0/no"}, "Expected True, False or a number for NOCOMPARE"},
      {{tail + "/0/1/2x"}, "Expected True, False or a number for TERMINATE"},
  };
  // Every type's name is taken: the line is refused for its missing source only.
  for (const char* type :
       {"responses", "private-responses", "global-responses", "private-global-responses",
        "file-index", "neighborhoods", "comparables", "0", "7"})
    cases.push_back({Line(world.Native(), "--type " + std::string(type) +
                                              " --extractor {x} --source {root}/gone --output out"),
                     "the source '" + world.Native("gone") + "' does not exist"});
  for (const auto& [args, said] : cases) {
    const std::string what = args.empty() ? "" : args.back();
    const e2e::RunResult r = e2e::Run(INGESTOR_BINARY, args);
    EXPECT_EQ(r.status, 2) << what;
    EXPECT_NE(r.err.find(said), std::string::npos) << what << "\n" << r.err;
    EXPECT_FALSE(world.Has("out") || world.Has("L.mdb")) << what;
    EXPECT_EQ(r.out, "") << what;
  }
}

// Runs against one database: comparisons are on unless turned off, and the
// conflict policy settles every existing row without a question.
TEST_F(OptionForm, RunsSettleConflictsByPolicy) {
  ASSERT_EQ(e2e::Run(INGESTOR_SAMPLE_HOST, {world.Native("host")}).status, 0);
  struct Step {
    std::string options;
    int status;
    std::string rows;                 // Lenders rows afterwards
    std::vector<std::string> logged;  // "!text": nowhere in the log
    std::string out;                  // on stdout ("" for nothing)
    std::string files = "";           // the summary's per-file part, when one is asked for
    std::string said = "";            // on stderr
    std::string setup = "";           // run on L.mdb first
    std::string rejects = "";         // the lender records kept as rejected ("2": the second)
  };
  // The extraction program notes the record-termination flag it was given.
  world.Write("x.sh", "#!/bin/sh\nprintf '%s' \"$2\" >'" + world.Native("flag") + "'\nexec '" +
                          INGESTOR_SAMPLE_EXTRACTOR + "' \"$@\"\n");
  std::filesystem::permissions(world.Native("x.sh"), std::filesystem::perms(0755));
  const std::string conflict = "Do you wish to overwrite";
  const std::string lenders = "--type lenders --database {root}/L.mdb ";
  const std::vector<Step> steps = {
      {lenders + "--summary json",
       0,
       "3",
       {"Data type:          Lender information", "3 read, 3 added, 0 overwritten"},
       "{\"status\":0,\"result\":\"completed\",\"type\":\"lenders\",\"database\":\"{root}/L.mdb\"",
       ",\"files\":[{\"name\":\"lender.dta.tmp\",\"read\":3,\"added\":3,\"overwritten\":0,\"kept\":"
       "0,"
       "\"rejected\":0}]}\n"},
      // Asked where nobody can answer: the existing rows stay. Only the first
      // question is shown; the others are counted.
      {lenders + "--on-conflict=ask",
       0,
       "3",
       {"nobody could answer the question (no terminal), so the existing row was kept.",
        "3 read, 0 added, 0 overwritten, 3 kept"},
       "",
       "",
       "\ningestor: 2 more conflict question(s) could not be asked (no terminal); the existing "
       "rows were kept.\n"},
      {lenders + "--on-conflict overwrite --quiet",
       0,
       "3",
       {"answered 'Yes to all' (--on-conflict overwrite)", "3 read, 0 added, 3 overwritten",
        "!nobody could answer"},
       ""},
      {lenders + "--on-conflict keep --summary text",
       0,
       "3",
       {"answered 'No to all' (--on-conflict keep)", "3 read, 0 added, 0 overwritten, 3 kept",
        "!nobody could answer"},
       "status: 0\nresult: completed\ntype: lenders\n",
       "\nfile lender.dta.tmp: 3 read, 0 added, 0 overwritten, 3 kept, 0 rejected\n"},
      {lenders + "--no-compare --keep-extracted --terminate-records",
       0,
       "6",
       {"3 read, 3 added, 0 overwritten"},
       ""},
      // A type that never compares says so instead of dropping the request.
      {"--type 4 --database {root}/F.mdb",
       3,
       "6",
       {"Comparisons were asked for, but file-index imports never compare"},
       ""},
      // A row the database refuses: its record is kept byte for byte beside
      // the log, and the summary counts what the table holds.
      {lenders + "--no-compare --summary json",
       3,
       "8",
       {"Rejected record 2 of file 'lender.dta.tmp' at byte 248: the database refused the row: ",
        "refused (kept at byte 0 of '", "-logfile.txt.rejects.lender.dta')",
        "3 read, 2 added, 0 overwritten, 0 kept, 1 rejected."},
       "{\"status\":3,\"result\":\"completed with problems\",\"type\":\"lenders\"",
       "\"files\":[{\"name\":\"lender.dta.tmp\",\"read\":3,\"added\":2,\"overwritten\":0,"
       "\"kept\":0,\"rejected\":1}]}\n",
       "ingestor: The import completed, but not cleanly: 1 record(s) rejected",
       "CREATE TRIGGER refuse BEFORE INSERT ON Lenders WHEN NEW.LenderDBID = "
       "(SELECT LenderDBID FROM Lenders ORDER BY ID LIMIT 1 OFFSET 1) "
       "BEGIN SELECT RAISE(ABORT, 'refused'); END",
       "2"},
  };
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const Step& step = steps[i];
    SCOPED_TRACE(step.options);
    const std::string out = "run" + std::to_string(i) + "/out";  // created by the run
    if (!step.setup.empty()) {
      EXPECT_EQ(Lenders(step.setup), "<none>");
    }
    const e2e::RunResult r = e2e::Run(
        INGESTOR_BINARY,
        Line(world.Native(), "--extractor {root}/x.sh --source {root}/host/data --output {root}/" +
                                 out + " " + step.options),
        {"WINDIR=" + world.Native("host")});
    ASSERT_TRUE(world.Has(out)) << r.err;
    const std::string log = e2e::LogIn(world.Native(out));
    EXPECT_EQ(r.status, step.status) << r.err << log;
    EXPECT_EQ(Lenders(), step.rows);
    for (const std::string& line : step.logged)
      EXPECT_EQ(log.find(line.substr(line.starts_with("!"))) == std::string::npos,
                line.starts_with("!"))
          << line << "\n"
          << log;
    EXPECT_EQ(r.out.rfind(Expand(world.Native(), step.out), 0), 0u) << r.out;
    EXPECT_EQ(r.out.empty(), step.out.empty()) << r.out;
    EXPECT_TRUE(r.out.ends_with(step.files)) << r.out;
    EXPECT_EQ(r.err.find(conflict) == std::string::npos,
              step.options.find("=ask") == std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find(conflict, r.err.find(conflict) + 1), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(step.said), std::string::npos) << r.err;
    // The kept records are the extracted file's bytes, 248 a record.
    std::string kept, rejects;
    for (char n : step.rejects)
      kept += world.Read("host/data/lender.dta").substr((n - '1') * 248, 248);
    for (const auto& e : std::filesystem::directory_iterator(world.Native(out)))
      if (e.path().string().find("-logfile.txt.rejects.") != std::string::npos)
        rejects += e2e::Slurp(e.path());
    EXPECT_EQ(rejects, kept);
    EXPECT_EQ(world.Has(out + "/lender.dta.tmp"), step.options.find("--keep") != std::string::npos);
    EXPECT_EQ(world.Read("flag"),
              step.options.find("--terminate") == std::string::npos ? "n" : "y");
  }
}

// On a terminal both forms tell each file's counts at the end, and the
// conflict question is asked there: answered Yes, and Yes to all, the second
// run overwrites the rows the first one added.
TEST_F(OptionForm, AsksAndTellsOnATerminal) {
  ASSERT_EQ(e2e::Run(INGESTOR_SAMPLE_HOST, {world.Native("host")}).status, 0);
  struct Turn {
    std::vector<std::string> args;
    std::string typed;
    std::vector<std::string> shown;  // in this order
  };
  const std::string tell = "ingestor: File 'lender.dta.tmp': 3 read, ";
  const std::vector<Turn> turns = {
      {{e2e::TailPath(INGESTOR_SAMPLE_EXTRACTOR) + "/" + world.Program("host/data") + "\\/" +
        world.Program("one") + "\\/5/" + world.Program("L.mdb")},
       "\x04",
       {tell + "3 added, 0 overwritten, 0 kept, 0 rejected."}},
      {Line(world.Native(),
            "--type lenders --extractor {x} --source {root}/host/data --output {root}/two "
            "--database {root}/L.mdb"),
       "y\ny\n\x04",
       {"Do you wish to overwrite", "[y]es / [n]o? ", "[y]es / [n]o? ",
        tell + "0 added, 3 overwritten, 0 kept, 0 rejected."}},
  };
  for (const Turn& turn : turns) {
    SCOPED_TRACE(turn.args.back());
    const e2e::RunResult r = e2e::RunOnTerminal(INGESTOR_BINARY, turn.args,
                                                {"WINDIR=" + world.Native("host")}, turn.typed);
    EXPECT_EQ(r.status, 0) << r.err;
    std::size_t at = 0;
    for (const std::string& text : turn.shown) {
      ASSERT_NE(at = r.err.find(text, at), std::string::npos) << text << "\n" << r.err;
      at += text.size();
    }
    EXPECT_EQ(r.err.find("could not be asked"), std::string::npos) << r.err;
    if (&turn == &turns[0]) {
      EXPECT_EQ(Lenders("UPDATE Lenders SET LenderName = 'c'"), "<none>");
    }
  }
  EXPECT_EQ(Lenders("SELECT COUNT(*) FROM Lenders WHERE LenderName = 'c'"), "0");
  EXPECT_EQ(Lenders(), "3");
}

}  // namespace
