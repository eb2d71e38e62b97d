#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "doubles/TestWorld.h"
#include "engine/CSImportEngine.h"
#include "platform/Context.h"

namespace {

using platform::OutputObject;
using testing_doubles::RecordingOutput;
using testing_doubles::RecordingUi;
using testing_doubles::TestWorld;

using Names = std::vector<std::string>;

const std::string kStamp = "14:25:30 2010-0315";
const std::string kLoadSource = " - [Source]LoadSourceFiles::CSImportEngine [Index]na [Text]";

Names Sorted(Names names) {
  std::sort(names.begin(), names.end());
  return names;
}

class FileSetsTest : public ::testing::Test {
 protected:
  FileSetsTest() {
    world.env.SetLocalNow({2010, 3, 15, 14, 25, 30});
    engine.SetOutputObject(&log);
  }
  // Program-form folder inside the temporary area, ending in '\'.
  std::string Folder(const std::string& name) { return world.Program(name) + "\\"; }
  void Files(const std::string& folder, const Names& names) {
    for (const auto& n : names) world.Write(folder + "/" + n, "x");
  }

  TestWorld world;
  RecordingOutput log{OutputObject::Kind::List};
  CSImportEngine engine{world.ctx};
};

TEST_F(FileSetsTest, ComparablesMasksFindFilesInMaskOrderAndNeverFolders) {
  Files("src", {"b.cp2", "ZAZOZUR.001", "xcomps.cp2", "ACOMPS.DAT"});
  world.MakeFolder("src/dircomps.dat");  // matches a mask but is a folder
  engine.SetDataType(static_cast<DataType>(7));
  engine.SetSource(Folder("src"));

  EXPECT_EQ(engine.LoadSourceFiles(), 3);
  // One file per mask, so the order is fixed by the masks alone.
  EXPECT_EQ(engine.GetSourceFiles(), (Names{"ACOMPS.DAT", "xcomps.cp2", "ZAZOZUR.001"}));
  EXPECT_EQ(log.lines,
            (Names{kStamp + kLoadSource +
                       "Searching input folder for files like: '*comps.dat;*comps.cp2;zazozur.*'",
                   kStamp + kLoadSource + "Found 3 source files."}));
}

TEST_F(FileSetsTest, NameMatchingTwoMasksIsListedTwiceAndOrderWithinMaskIsTheListing) {
  Files("src", {"zazozur.comps.dat", "acomps.dat", "bcomps.dat"});
  engine.SetDataType(static_cast<DataType>(7));
  engine.SetSource(Folder("src"));

  ASSERT_EQ(engine.LoadSourceFiles(), 4);
  Names found = *engine.GetSourceFiles();
  // The first mask's three names come first (in listing order), then the second mask's one.
  EXPECT_EQ(Sorted(Names(found.begin(), found.begin() + 3)),
            (Names{"acomps.dat", "bcomps.dat", "zazozur.comps.dat"}));
  EXPECT_EQ(found[3], "zazozur.comps.dat");
}

TEST_F(FileSetsTest, UnknownTypeSearchesEveryNameWithADot) {
  Files("src", {"a.dat", "B.TXT", "README"});
  engine.SetDataType(static_cast<DataType>(9));
  engine.SetSource(Folder("src"));

  EXPECT_EQ(engine.LoadSourceFiles(), 2);
  EXPECT_EQ(Sorted(*engine.GetSourceFiles()), (Names{"B.TXT", "a.dat"}));
  ASSERT_FALSE(log.lines.empty());
  EXPECT_EQ(log.lines[0], kStamp + kLoadSource + "Searching input folder for files like: '*.*'");
}

TEST_F(FileSetsTest, NothingFoundGivesZeroNoFoundLineAndAnUnsizedList) {
  Files("src", {"notes.txt"});
  Names stale{"stale.dat"};
  engine.LoadSourceFilesFromList(&stale);
  engine.SetDataType(static_cast<DataType>(5));
  engine.SetSource(Folder("src"));

  EXPECT_EQ(engine.LoadSourceFiles(), 0);
  EXPECT_FALSE(engine.GetSourceFiles().has_value());
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_NE(log.lines[0].find("Searching input folder for files like: 'lender.dta'"),
            std::string::npos);

  // A source folder that cannot be searched finds nothing either.
  world.env.FailAlways("ListFolder");
  engine.SetDataType(static_cast<DataType>(0));
  EXPECT_EQ(engine.LoadSourceFiles(), 0);
  EXPECT_EQ(log.lines.size(), 2u);
  EXPECT_FALSE(engine.GetSourceFiles().has_value());
}

TEST_F(FileSetsTest, SourceIsFolderTellsFoldersFromFiles) {
  world.MakeFolder("Data.d");
  Files("Data.d", {"lender.dta"});
  EXPECT_TRUE(engine.SourceIsFolder(world.Program("Data.d")));     // exists, despite its '.'
  EXPECT_TRUE(engine.SourceIsFolder(world.Program("New\\Data")));  // missing, no '.'
  EXPECT_FALSE(engine.SourceIsFolder(world.Program("Data.d\\lender.dta")));  // a file
  world.MakeFolder("Plain");
  Files("Plain", {"LENDER"});
  EXPECT_FALSE(engine.SourceIsFolder(world.Program("Plain\\LENDER")));  // a file, no '.'
  EXPECT_FALSE(engine.SourceIsFolder("\\nonexistent-ingestor\\Data\\lender.dta"));
  EXPECT_FALSE(engine.SourceIsFolder(""));
  EXPECT_TRUE(world.ui.boxes.empty());
}

TEST_F(FileSetsTest, OutputFilesAreTheMatchingFilesOfTheLatestSearch) {
  Files("out", {"A.TMP", "b.tmp", "c.txt"});
  world.MakeFolder("out/d.tmp");
  std::string mask = "*.tmp";
  EXPECT_EQ(engine.GetOutputFiles(world.Program("out"), mask), 2);  // without the '\'
  EXPECT_EQ(Sorted(engine.OutputFiles()), (Names{"A.TMP", "b.tmp"}));

  // An empty mask becomes "*.*", in the caller's variable too.
  std::string none;
  EXPECT_EQ(engine.GetOutputFiles(Folder("out"), none), 3);
  EXPECT_EQ(none, "*.*");
  EXPECT_EQ(Sorted(engine.OutputFiles()), (Names{"A.TMP", "b.tmp", "c.txt"}));

  // Fewer matches shrink the list to exactly the new ones.
  std::string txt = "*.txt";
  EXPECT_EQ(engine.GetOutputFiles(Folder("out"), txt), 1);
  EXPECT_EQ(engine.OutputFiles(), (Names{"c.txt"}));

  // No match keeps what the list held.
  std::string dat = "*.dat";
  EXPECT_EQ(engine.GetOutputFiles(Folder("out"), dat), 0);
  EXPECT_EQ(engine.OutputFiles(), (Names{"c.txt"}));

  // A folder that cannot be searched gives -1 and leaves the list alone.
  world.env.FailAlways("ListFolder");
  EXPECT_EQ(engine.GetOutputFiles(Folder("out"), mask), -1);
  EXPECT_EQ(engine.OutputFiles(), (Names{"c.txt"}));
  EXPECT_TRUE(log.lines.empty());
}

}  // namespace
