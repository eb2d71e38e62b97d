#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "doubles/TestWorld.h"
#include "support/modFileIO.h"

namespace {

class FileSystemHelpersTest : public ::testing::Test {
 protected:
  testing_doubles::TestWorld world;
  const platform::Context& ctx = world.ctx;
};

TEST_F(FileSystemHelpersTest, PathSplittingAndResolving) {
  EXPECT_EQ(modFileIO::GetFileTitle(ctx, "C:\\Data\\lender.dta"), "lender");
  EXPECT_EQ(modFileIO::GetFileTitle(ctx, "archive.tar.gz"), "archive.tar");
  // No '.' in the file name: the whole path, folder included.
  EXPECT_EQ(modFileIO::GetFileTitle(ctx, "C:\\My.Data\\readme"), "C:\\My.Data\\readme");
  EXPECT_EQ(modFileIO::GetFilenameFromPath("C:\\Out\\db.mdb"), "db.mdb");
  EXPECT_EQ(modFileIO::GetFilenameFromPath("C:\\Out\\"), "");
  EXPECT_EQ(modFileIO::GetFolderFromFullpath("C:\\Out\\db.mdb", false), "C:\\Out\\");
  EXPECT_EQ(modFileIO::GetFolderFromFullpath("C:\\Out\\db.mdb", true), "C:\\Out");
  EXPECT_EQ(modFileIO::GetFolderFromFullpath("db.mdb", true), "");

  struct Case {
    const char* current;
    const char* path;
    const char* resolved;
  };
  for (const Case& c : std::initializer_list<Case>{
           {"\\work\\here", "data\\x.dta", "\\work\\here\\data\\x.dta"},
           {"\\work\\here", "..\\x", "\\work\\x"},
           {"\\work\\here", ".\\a\\.\\b\\", "\\work\\here\\a\\b\\"},
           {"\\work\\here", "a/b//c", "\\work\\here\\a\\b\\c"},
           {"\\work\\here", ".", "\\work\\here"},
           {"\\work\\here", "C:\\a\\..\\..\\b", "C:\\b"},
           {"\\work\\here", "C:", "C:\\"},
           {"\\work\\here", "\\a\\b\\..", "\\a"},
           {"\\work\\here", "\\", "\\"},
           {"\\work\\here", "\\Out\\*.tmp", "\\Out\\*.tmp"},
           {"\\work\\here", "", ""},
           {"D:\\base\\", "x", "D:\\base\\x"},
           // Without a current folder a relative path has no full form.
           {"", "x", ""},
           {"", "\\x", "\\x"},
       }) {
    world.env.SetCurrentFolder(c.current);
    EXPECT_EQ(modFileIO::ResolvePath(ctx, c.path), c.resolved) << c.current << " + " << c.path;
  }
  EXPECT_TRUE(world.ui.boxes.empty());
}

TEST_F(FileSystemHelpersTest, ExistenceAndCreation) {
  world.Write("Data/LENDER.INI", "x");
  const auto cwdBefore = std::filesystem::current_path();
  EXPECT_TRUE(modFileIO::FolderExists(ctx, world.Program("DATA\\")));
  EXPECT_TRUE(modFileIO::FolderExists(ctx, world.Program("Data\\..\\Data")));
  EXPECT_FALSE(modFileIO::FolderExists(ctx, world.Program("Data\\lender.ini")));
  EXPECT_FALSE(modFileIO::FolderExists(ctx, world.Program("missing")));
  EXPECT_FALSE(modFileIO::FolderExists(ctx, ""));
  EXPECT_TRUE(modFileIO::FileExists(ctx, world.Program("Data\\lender.ini")));
  EXPECT_FALSE(modFileIO::FileExists(ctx, world.Program("Data")));
  EXPECT_FALSE(modFileIO::FileExists(ctx, world.Program("new.txt")));
  EXPECT_FALSE(world.Has("new.txt"));
  // Asked to, Exists creates a missing file and leaves an existing one alone.
  EXPECT_TRUE(modFileIO::FileExists(ctx, world.Program("new.txt"), modFileIO::Missing::Create));
  EXPECT_TRUE(world.Has("new.txt"));
  EXPECT_TRUE(
      modFileIO::FileExists(ctx, world.Program("Data\\LENDER.INI"), modFileIO::Missing::Create));
  EXPECT_EQ(world.Read("Data/LENDER.INI"), "x");
  EXPECT_FALSE(
      modFileIO::FileExists(ctx, world.Program("missing\\new.txt"), modFileIO::Missing::Create));

  EXPECT_TRUE(modFileIO::CreateDirectoryStructure(ctx, world.Program("a\\b\\c")));
  EXPECT_TRUE(std::filesystem::is_directory(world.Native("a/b/c")));
  // Existing folders, in any case, with a trailing separator: nothing created.
  EXPECT_TRUE(modFileIO::CreateDirectoryStructure(ctx, world.Program("A\\B\\c\\")));
  EXPECT_EQ(world.env.Calls("CreateFolder"), 3);
  world.env.SetCurrentFolder(world.Program("a"));
  EXPECT_TRUE(modFileIO::FolderExists(ctx, "B"));
  EXPECT_TRUE(modFileIO::CreateDirectoryStructure(ctx, "rel\\x"));
  EXPECT_TRUE(std::filesystem::is_directory(world.Native("a/rel/x")));
  // A name taken by a file counts as there; a file mid-path stops creation.
  EXPECT_TRUE(modFileIO::CreateDirectoryStructure(ctx, world.Program("Data\\lender.ini")));
  EXPECT_FALSE(modFileIO::CreateDirectoryStructure(ctx, world.Program("Data\\lender.ini\\s")));
  EXPECT_FALSE(modFileIO::CreateDirectoryStructure(ctx, ""));
  world.env.FailNth("CreateFolder", 2);
  EXPECT_FALSE(modFileIO::CreateDirectoryStructure(ctx, world.Program("n\\m\\o")));
  EXPECT_TRUE(world.Has("n"));
  EXPECT_FALSE(world.Has("n/m"));

  // A path of 248 characters is created; 249 is refused without a look.
  std::string path = world.Program() + "\\";
  while (path.size() + 41 < 248) path += std::string(40, 'p') + "\\";
  path += std::string(248 - path.size(), 'q');
  EXPECT_TRUE(modFileIO::CreateDirectoryStructure(ctx, path));
  const int enters = world.env.Calls("CanEnterFolder");
  EXPECT_FALSE(modFileIO::CreateDirectoryStructure(ctx, path + "r"));
  EXPECT_EQ(world.env.Calls("CanEnterFolder"), enters);
  EXPECT_EQ(std::filesystem::current_path(), cwdBefore);
  EXPECT_TRUE(world.ui.boxes.empty());
}

TEST_F(FileSystemHelpersTest, RemoveAndCopy) {
  for (const char* name : {"a.tmp", "B.TMP", "keep.dat", "a.tmp.bak", "sub.tmp/inner.tmp"})
    world.Write(std::string("Out/") + name, "x");
  EXPECT_TRUE(modFileIO::Remove(ctx, world.Program("Out\\*.tmp")));
  EXPECT_FALSE(world.Has("Out/a.tmp"));
  EXPECT_FALSE(world.Has("Out/B.TMP"));
  EXPECT_TRUE(world.Has("Out/keep.dat"));
  EXPECT_TRUE(world.Has("Out/a.tmp.bak"));
  EXPECT_TRUE(world.Has("Out/sub.tmp/inner.tmp"));
  // Nothing left to match is false; so is a plain path naming a folder.
  EXPECT_FALSE(modFileIO::Remove(ctx, world.Program("Out\\*.tmp")));
  EXPECT_FALSE(modFileIO::Remove(ctx, world.Program("Out\\sub.tmp")));
  EXPECT_TRUE(world.Has("Out/sub.tmp"));
  world.env.SetCurrentFolder(world.Program("Out"));
  EXPECT_TRUE(modFileIO::Remove(ctx, "kee?.dat"));
  EXPECT_FALSE(world.Has("Out/keep.dat"));
  EXPECT_TRUE(modFileIO::Remove(ctx, "A.TMP.bak"));
  EXPECT_FALSE(world.Has("Out/a.tmp.bak"));
  // One of two deletes failing: false, and the other file is gone.
  world.Write("Out/a.tmp", "x");
  world.Write("Out/b.tmp", "x");
  world.env.FailNth("DeleteFile", 1);
  EXPECT_FALSE(modFileIO::Remove(ctx, "*.tmp"));
  EXPECT_EQ(world.Has("Out/a.tmp") + world.Has("Out/b.tmp"), 1);

  world.Write("src/a.txt", "new");
  world.Write("dst/a.txt", "old");
  EXPECT_FALSE(modFileIO::CopyFile(ctx, world.Program("src\\a.txt"), world.Program("dst\\a.txt"),
                                   modFileIO::Existing::Keep));
  EXPECT_EQ(world.Read("dst/a.txt"), "old");
  EXPECT_TRUE(modFileIO::CopyFile(ctx, world.Program("src\\a.txt"), world.Program("dst\\a.txt"),
                                  modFileIO::Existing::Replace));
  EXPECT_EQ(world.Read("dst/a.txt"), "new");
  EXPECT_FALSE(modFileIO::CopyFile(ctx, "missing.txt", world.Program("dst\\b.txt"),
                                   modFileIO::Existing::Replace));
  EXPECT_FALSE(world.Has("dst/b.txt"));
  world.env.SetCurrentFolder(world.Program("src"));
  EXPECT_TRUE(modFileIO::CopyFile(ctx, "a.txt", "..\\dst\\c.txt", modFileIO::Existing::Keep));
  EXPECT_EQ(world.Read("dst/c.txt"), "new");
  EXPECT_TRUE(world.ui.boxes.empty());
}

// What escapes the Env is the routine's error box, or nothing when silent.
TEST_F(FileSystemHelpersTest, EscapedFailuresAreTheRoutinesBox) {
  world.Write("Out/a.tmp", "x");
  world.Write("src/a.txt", "x");
  world.env.SetCurrentFolder(world.Program());
  const std::string data = world.Program("Out");
  struct Case {
    const char* op;
    const char* routine;
    std::function<bool(bool silent)> call;
  };
  auto E = [](bool silent) { return silent ? modFileIO::Errors::Silent : modFileIO::Errors::Show; };
  const Case cases[] = {
      {"CurrentFolder", "ResolvePath::modFileIO",
       [&](bool s) { return !modFileIO::ResolvePath(ctx, "x", E(s)).empty(); }},
      {"CanEnterFolder", "FolderExists::modFileIO",
       [&](bool s) { return modFileIO::FolderExists(ctx, data, E(s)); }},
      {"OpenOrCreate", "Exists::modShow",
       [&](bool s) {
         return modFileIO::FileExists(ctx, world.Program("new.txt"), modFileIO::Missing::Create,
                                      E(s));
       }},
      {"DeleteFile", "Remove::modFileIO",
       [&](bool s) { return modFileIO::Remove(ctx, data + "\\*.tmp", E(s)); }},
      {"CopyFile", "CopyFile::modFileIO",
       [&](bool s) {
         return modFileIO::CopyFile(ctx, "src\\a.txt", "d.txt", modFileIO::Existing::Replace, E(s));
       }},
      {"CreateFolder", "CreateDirectoryStructure::modFileIO",
       [&](bool s) { return modFileIO::CreateDirectoryStructure(ctx, "n\\m", E(s)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.op);
    world.env.ThrowOn(c.op);
    EXPECT_FALSE(c.call(true));
    EXPECT_TRUE(world.ui.boxes.empty());
    EXPECT_FALSE(c.call(false));
    ASSERT_EQ(world.ui.boxes.size(), 1u);
    EXPECT_EQ(world.ui.boxes[0].title, std::string("Error in \"") + c.routine + "\"");
    EXPECT_EQ(world.ui.boxes[0].text,
              std::string("The following error(s) occurred: \r\n\r\ninjected: ") + c.op);
    EXPECT_EQ(world.ui.boxes[0].buttons, platform::MsgButtons::OK);
    EXPECT_EQ(world.ui.boxes[0].icon, platform::MsgIcon::Information);
    world.ui.boxes.clear();
    world.env.Heal();
  }
  // Absolute paths need no current folder.
  world.env.ThrowOn("CurrentFolder");
  EXPECT_EQ(modFileIO::ResolvePath(ctx, "C:\\x"), "C:\\x");
  EXPECT_TRUE(world.ui.boxes.empty());
}

}  // namespace
