// Whole unattended runs of the ingestor binary with the sample extractor and
// with deliberately broken extraction programs.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "doubles/TestWorld.h"
#include "e2e/RunProgram.h"

namespace {

namespace fs = std::filesystem;
using e2e::TailPath;

const std::string kIngestor = INGESTOR_BINARY;
const std::string kExtractor = INGESTOR_SAMPLE_EXTRACTOR;

class Pipeline : public ::testing::Test {
 protected:
  Pipeline() {
    world.Write("host/lender.dta", "lender data");
    world.Write("host/notes.txt", "not a source");
    LendersDatabase("Lenders.mdb");
    world.MakeFolder("out");
  }
  // An empty database holding the table the lender importer reads; a run
  // without that table does not end as a success.
  void LendersDatabase(const std::string& relative) {
    world.Write(relative, "");  // an empty file is an empty database
    std::vector<std::string> errors;
    auto db = world.real.OpenDatabase(
        "DRIVER={Microsoft Access Driver (*.mdb)};DBQ=" + world.Native(relative) + ";", errors);
    std::string error;
    EXPECT_TRUE(db && db->Execute("CREATE TABLE Lenders (ID INTEGER PRIMARY KEY, LenderDBID "
                                  "TEXT, LenderName TEXT)",
                                  error))
        << error;
  }
  std::string Tail(const std::string& extractor, const std::string& rest = "") {
    return TailPath(extractor) + "/" + TailPath(world.Native("host")) + "\\/" +
           TailPath(world.Native("out")) + "\\/5/" + TailPath(world.Native("Lenders.mdb")) + rest;
  }
  // A shell script standing in for the extraction program.
  std::string Script(const std::string& name, const std::string& body) {
    world.Write(name, "#!/bin/sh\n" + body);
    fs::permissions(world.Native(name), fs::perms::owner_all);
    return world.Native(name);
  }
  // The log's event lines without their time stamps.
  std::vector<std::string> LogLines() {
    std::vector<std::string> lines;
    for (const auto& e : fs::directory_iterator(world.Native("out"))) {
      if (!e.path().string().ends_with("-logfile.txt")) continue;
      std::ifstream in(e.path(), std::ios::binary);
      std::string line;
      static const std::regex stamp(R"(^\d\d:\d\d:\d\d \d{4}-\d{4} - (.*)\r$)");
      std::smatch m;
      while (std::getline(in, line))
        if (std::regex_match(line, m, stamp)) lines.push_back(m[1]);
    }
    return lines;
  }
  static bool Has(const std::vector<std::string>& lines, const std::string& text) {
    return std::find(lines.begin(), lines.end(), text) != lines.end();
  }
  std::vector<std::string> TmpFiles() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(world.Native("out")))
      if (e.path().extension() == ".tmp") names.push_back(e.path().filename());
    return names;
  }

  testing_doubles::TestWorld world;
};

TEST_F(Pipeline, AFolderRunLogsEveryStepInOrderAndCleansUp) {
  auto r = e2e::Run(kIngestor, {Tail(kExtractor)});
  EXPECT_EQ(r.status, 0) << r.err;
  auto lines = LogLines();
  const std::string host = TailPath(world.Native("host")) + "\\";
  const std::vector<std::string> expected = {
      "Checking database...",
      "Beginning import...",
      "[Source]CSImportEngine::OpenConnection [Index]na [Text]Attempting to connect to database "
      "using MS Access",
      "[Source]CSImportEngine::OpenConnection [Index]na [Text]Connected to database successfully.",
      "Establishing whether source is a file or folder...",
      "Source is a folder.",
      "[Source]LoadSourceFiles::CSImportEngine [Index]na [Text]Searching input folder for files "
      "like: 'lender.dta'",
      "[Source]LoadSourceFiles::CSImportEngine [Index]na [Text]Found 1 source files.",
      "[Source]BackupSourceFiles::CSImportEngine [Index]na [Text]Backing up source FILES...",
      "[Source]BackupSourceFiles::CSImportEngine [Index]na [Text]Backing up source database...",
      "[Source]BackupSourceFiles::CSImportEngine [Index]na [Text]Successfully backed up database.",
      "Iterating through source files, running extraction...",
      "Adding file to command line: 'lender.dta'...",
      "Running extraction application...",
      "Extraction application returned: 0",
      "Extraction produced 1 file(s).",
      "Import finished successfully!",
      "[Source]CSImportEngine::CloseConnection [Index]na [Text]Connection closed.",
  };
  std::size_t at = 0;
  for (const auto& want : expected) {
    auto it = std::find(lines.begin() + at, lines.end(), want);
    ASSERT_NE(it, lines.end()) << "missing or out of order: " << want;
    at = it - lines.begin() + 1;
  }
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.starts_with("ET for "); }),
            2);
  // The backup holds the source and the database; the extracted files are gone.
  int backups = 0;
  for (const auto& e : fs::directory_iterator(world.Native("out"))) {
    if (!e.is_directory()) continue;
    ++backups;
    EXPECT_TRUE(fs::exists(e.path() / "lender.dta"));
    EXPECT_TRUE(fs::exists(e.path() / "Lenders.mdb"));
    EXPECT_FALSE(fs::exists(e.path() / "notes.txt"));
  }
  EXPECT_EQ(backups, 1);
  EXPECT_TRUE(TmpFiles().empty());

  // LeaveOutputFiles keeps them after a normal end.
  auto kept = e2e::Run(kIngestor, {Tail(kExtractor, "/True")});
  EXPECT_EQ(kept.status, 0);
  EXPECT_EQ(TmpFiles(), std::vector<std::string>{"lender.dta.tmp"});
}

TEST_F(Pipeline, TheExtractorGetsNativePathsAQuotedFlagAndNoEnvironment) {
  std::string args = world.Native("args.txt");
  std::string extractor = Script("extract", "for a in \"$@\"; do echo \"$a\"; done > '" + args +
                                                "'\n" + "env | grep -c '^HOME=' >> '" + args +
                                                "'\n" + "cp \"$3\" \"$1/lender.dta.tmp\"\n");
  auto r = e2e::Run(kIngestor, {Tail(extractor, "//0/1")});
  EXPECT_EQ(r.status, 0) << r.err;
  std::ifstream in(args);
  std::vector<std::string> got;
  for (std::string l; std::getline(in, l);) got.push_back(l);
  const std::vector<std::string> want = {world.Native("out") + "/", "y",
                                         world.Native("host") + "/lender.dta", "0"};
  EXPECT_EQ(got, want);
}

TEST_F(Pipeline, BrokenExtractorsEndTheRunWithoutAFinalMessage) {
  struct Case {
    std::string body;
    std::string returned;
  };
  const std::vector<Case> cases = {{"exit 7\n", "Extraction application returned: 7"},
                                   {"kill -9 $$\n", "Extraction application returned: 137"}};
  for (std::size_t i = 0; i < cases.size(); ++i) {
    fs::remove_all(world.Native("out"));
    world.MakeFolder("out");
    world.Write("out/stale.tmp", "from an earlier run");
    std::string extractor = Script("bad" + std::to_string(i), cases[i].body);
    auto r = e2e::Run(kIngestor, {Tail(extractor)});
    EXPECT_EQ(r.status, 1);
    auto lines = LogLines();
    EXPECT_TRUE(Has(lines, cases[i].returned)) << cases[i].returned;
    EXPECT_TRUE(Has(lines, "Extraction resulted in zero files. Exiting..."));
    EXPECT_FALSE(Has(lines, "Import did NOT complete successfully."));
    // The stale file was removed before extracting.
    EXPECT_TRUE(TmpFiles().empty());
  }
}

TEST_F(Pipeline, WithoutATemplateToCopyTheRunEndsAtOnce) {
  // A missing database is copied from the host's template (the imports show
  // it); with no host configuration anywhere there is none to copy.
  fs::remove(world.Native("Lenders.mdb"));
  auto failed =
      e2e::Run(kIngestor, {Tail(kExtractor)},
               {"WINDIR=" + world.Native("nowhere"), "INGESTOR_DRIVE_C=" + world.Native("c")});
  EXPECT_EQ(failed.status, 1);
  auto lines = LogLines();
  EXPECT_TRUE(Has(lines, "FAILED to create database 'Lenders.mdb'"));
  EXPECT_EQ(lines.back(), "Import operation failed.");
}

}  // namespace
