#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "doubles/TestWorld.h"
#include "support/modFileIO.h"

namespace {

class FileSystemHelpersTest : public ::testing::Test {
 protected:
  std::string P(const std::string& relative = "") { return world.Program(relative); }
  testing_doubles::TestWorld world;
  const platform::Context& ctx = world.ctx;
};

TEST_F(FileSystemHelpersTest, PathSplittingAndResolving) {
  // No '.' in the file name: the title is the whole path, folder included.
  EXPECT_EQ(modFileIO::GetFileTitle(ctx, "C:\\Data\\a.tar.gz") + "|" +
                modFileIO::GetFileTitle(ctx, "C:\\My.Data\\readme"),
            "a.tar|C:\\My.Data\\readme");
  EXPECT_EQ(modFileIO::GetFilenameFromPath("C:\\Out\\db.mdb") +
                modFileIO::GetFolderFromFullpath("C:\\Out\\db.mdb", false) +
                modFileIO::GetFolderFromFullpath("C:\\Out\\db.mdb", true),
            "db.mdbC:\\Out\\C:\\Out");
  // Without a current folder a relative path has no full form.
  // clang-format off
  for (const auto& [current, path, resolved] :
       std::initializer_list<std::tuple<const char*, const char*, const char*>>{
           {"\\w\\here", "..\\x", "\\w\\x"}, {"\\w\\here", ".\\a\\.\\b\\", "\\w\\here\\a\\b\\"},
           {"\\w\\here", "a/b//c", "\\w\\here\\a\\b\\c"}, {"\\w\\here", "C:\\a\\..\\..\\b", "C:\\b"},
           {"\\w\\here", "C:", "C:\\"}, {"\\w\\here", "\\Out\\*.tmp", "\\Out\\*.tmp"}, {"\\w\\here", "", ""},
           {"D:\\base\\", "x", "D:\\base\\x"}, {"", "x", ""}}) {
    // clang-format on
    world.env.SetCurrentFolder(current);
    EXPECT_EQ(modFileIO::ResolvePath(ctx, path), resolved) << current << " + " << path;
  }
  EXPECT_TRUE(world.ui.boxes.empty());
}

TEST_F(FileSystemHelpersTest, ExistenceAndCreation) {
  using modFileIO::CreateDirectoryStructure;
  using modFileIO::FileExists;
  using modFileIO::FolderExists;
  world.Write("Data/LENDER.INI", "x");
  const auto cwdBefore = std::filesystem::current_path();
  EXPECT_TRUE(FolderExists(ctx, P("DATA\\")) && FolderExists(ctx, P("Data\\..\\Data")));
  EXPECT_FALSE(FolderExists(ctx, P("Data\\lender.ini")) || FolderExists(ctx, P("missing")) ||
               FolderExists(ctx, ""));
  EXPECT_TRUE(FileExists(ctx, P("Data\\lender.ini")));
  EXPECT_FALSE(FileExists(ctx, P("Data")) || FileExists(ctx, P("new.txt")) || world.Has("new.txt"));
  // Asked to, Exists creates a missing file and leaves an existing one alone.
  EXPECT_TRUE(FileExists(ctx, P("new.txt"), modFileIO::Missing::Create) && world.Has("new.txt"));
  EXPECT_TRUE(FileExists(ctx, P("Data\\LENDER.INI"), modFileIO::Missing::Create));
  EXPECT_EQ(world.Read("Data/LENDER.INI"), "x");
  EXPECT_FALSE(FileExists(ctx, P("missing\\new.txt"), modFileIO::Missing::Create));

  // Existing folders, in any case, with a trailing separator: nothing created.
  EXPECT_TRUE(CreateDirectoryStructure(ctx, P("a\\b\\c")) &&
              CreateDirectoryStructure(ctx, P("A\\B\\c\\")));
  EXPECT_TRUE(std::filesystem::is_directory(world.Native("a/b/c")));
  EXPECT_EQ(world.env.Calls("CreateFolder"), 3);
  // A name taken by a file counts as there; a file mid-path stops creation.
  EXPECT_TRUE(CreateDirectoryStructure(ctx, P("Data\\lender.ini")));
  EXPECT_FALSE(CreateDirectoryStructure(ctx, P("Data\\lender.ini\\s")) ||
               CreateDirectoryStructure(ctx, ""));
  world.env.FailNth("CreateFolder", 2);
  EXPECT_FALSE(CreateDirectoryStructure(ctx, P("n\\m\\o")));
  EXPECT_TRUE(world.Has("n") && !world.Has("n/m"));
  // A path of 248 characters is created; 249 is refused without a look.
  std::string path = P() + "\\";
  while (path.size() + 41 < 248) path += std::string(40, 'p') + "\\";
  path += std::string(248 - path.size(), 'q');
  EXPECT_TRUE(CreateDirectoryStructure(ctx, path));
  const int enters = world.env.Calls("CanEnterFolder");
  EXPECT_FALSE(CreateDirectoryStructure(ctx, path + "r"));
  EXPECT_EQ(world.env.Calls("CanEnterFolder"), enters);
  EXPECT_EQ(std::filesystem::current_path(), cwdBefore);
  EXPECT_TRUE(world.ui.boxes.empty());
}

TEST_F(FileSystemHelpersTest, RemoveAndCopy) {
  for (const char* name : {"a.tmp", "B.TMP", "keep.dat", "a.tmp.bak", "sub.tmp/inner.tmp"})
    world.Write(std::string("Out/") + name, "x");
  EXPECT_TRUE(modFileIO::Remove(ctx, P("Out\\*.tmp")));
  EXPECT_FALSE(world.Has("Out/a.tmp") || world.Has("Out/B.TMP"));
  EXPECT_TRUE(world.Has("Out/keep.dat") && world.Has("Out/a.tmp.bak") &&
              world.Has("Out/sub.tmp/inner.tmp"));
  // Nothing left to match is false; so is a plain path naming a folder, or none.
  EXPECT_FALSE(modFileIO::Remove(ctx, P("Out\\*.tmp")) ||
               modFileIO::Remove(ctx, P("Out\\sub.tmp")) || modFileIO::Remove(ctx, ""));
  EXPECT_TRUE(world.Has("Out/sub.tmp"));
  world.env.SetCurrentFolder(P("Out"));
  EXPECT_TRUE(modFileIO::Remove(ctx, "kee?.dat") && modFileIO::Remove(ctx, "A.TMP.bak"));
  EXPECT_FALSE(world.Has("Out/keep.dat") || world.Has("Out/a.tmp.bak"));
  // One of two deletes failing: false, and the other file is gone.
  world.Write("Out/a.tmp", "x");
  world.Write("Out/b.tmp", "x");
  world.env.FailNth("DeleteFile", 1);
  EXPECT_FALSE(modFileIO::Remove(ctx, "*.tmp"));
  EXPECT_EQ(world.Has("Out/a.tmp") + world.Has("Out/b.tmp"), 1);

  using modFileIO::Existing;
  world.Write("src/a.txt", "new");
  world.Write("dst/a.txt", "old");
  EXPECT_FALSE(modFileIO::CopyFile(ctx, P("src\\a.txt"), P("dst\\a.txt"), Existing::Keep));
  EXPECT_EQ(world.Read("dst/a.txt"), "old");
  EXPECT_TRUE(modFileIO::CopyFile(ctx, P("src\\a.txt"), P("dst\\a.txt"), Existing::Replace));
  EXPECT_EQ(world.Read("dst/a.txt"), "new");
  EXPECT_FALSE(modFileIO::CopyFile(ctx, "missing.txt", P("dst\\b.txt"), Existing::Replace));
  EXPECT_FALSE(world.Has("dst/b.txt"));
  EXPECT_TRUE(world.ui.boxes.empty());
}

// What escapes the Env is the routine's error box, or nothing when silent.
TEST_F(FileSystemHelpersTest, EscapedFailuresAreTheRoutinesBox) {
  world.Write("Out/a.tmp", "x");
  world.Write("src/a.txt", "x");
  world.env.SetCurrentFolder(P());
  using modFileIO::Errors;
  struct Case {
    const char *op, *routine;
    std::function<bool(Errors)> call;
  };
  const Case cases[] = {
      {"CurrentFolder", "ResolvePath",
       [&](Errors e) { return !modFileIO::ResolvePath(ctx, "x", e).empty(); }},
      {"CanEnterFolder", "FolderExists",
       [&](Errors e) { return modFileIO::FolderExists(ctx, P("Out"), e); }},
      {"OpenOrCreate", "Exists::modShow",
       [&](Errors e) {
         return modFileIO::FileExists(ctx, P("n.txt"), modFileIO::Missing::Create, e);
       }},
      {"DeleteFile", "Remove",
       [&](Errors e) { return modFileIO::Remove(ctx, P("Out\\*.tmp"), e); }},
      {"CopyFile", "CopyFile",
       [&](Errors e) {
         return modFileIO::CopyFile(ctx, "src\\a.txt", "d.txt", modFileIO::Existing::Replace, e);
       }},
      {"CreateFolder", "CreateDirectoryStructure",
       [&](Errors e) { return modFileIO::CreateDirectoryStructure(ctx, "n\\m", e); }}};
  for (const auto& [op, routine, call] : cases) {
    SCOPED_TRACE(op);
    world.env.ThrowOn(op);
    EXPECT_FALSE(call(Errors::Silent));
    EXPECT_TRUE(world.ui.boxes.empty());
    EXPECT_FALSE(call(Errors::Show));
    ASSERT_EQ(world.ui.boxes.size(), 1u);
    const std::string name(routine);
    EXPECT_EQ(
        world.ui.boxes[0].title,
        "Error in \"" + name + (name.find("::") == std::string::npos ? "::modFileIO" : "") + "\"");
    EXPECT_EQ(world.ui.boxes[0].text,
              std::string("The following error(s) occurred: \r\n\r\ninjected: ") + op);
    world.ui.boxes.clear();
    world.env.Heal();
  }
  // Absolute paths need no current folder.
  world.env.ThrowOn("CurrentFolder");
  EXPECT_EQ(modFileIO::ResolvePath(ctx, "C:\\x"), "C:\\x");
  EXPECT_TRUE(world.ui.boxes.empty());
}

}  // namespace
