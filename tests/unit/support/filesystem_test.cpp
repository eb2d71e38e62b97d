#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "doubles/TestWorld.h"
#include "support/modFileIO.h"
#include "support/modShow.h"

namespace {

using platform::MsgButtons;
using platform::MsgIcon;

class FileSystemHelpersTest : public ::testing::Test {
 protected:
  // Checks that exactly one error box was shown, titled for `routine`, and
  // carrying the injected failure's description.
  void ExpectOneBox(const std::string& routine, const std::string& description) {
    ASSERT_EQ(world.ui.boxes.size(), 1u);
    const auto& box = world.ui.boxes[0];
    EXPECT_EQ(box.title, "Error in \"" + routine + "\"");
    EXPECT_EQ(box.text, "The following error(s) occurred: \r\n\r\n" + description);
    EXPECT_EQ(box.buttons, MsgButtons::OK);
    EXPECT_EQ(box.icon, MsgIcon::Information);
    world.ui.boxes.clear();
  }

  testing_doubles::TestWorld world;
  const platform::Context& ctx = world.ctx;
};

TEST_F(FileSystemHelpersTest, PathSplitting) {
  EXPECT_EQ(modFileIO::GetFileTitle(ctx, "C:\\Data\\lender.dta"), "lender");
  EXPECT_EQ(modFileIO::GetFileTitle(ctx, "lender.dta"), "lender");
  EXPECT_EQ(modFileIO::GetFileTitle(ctx, "archive.tar.gz"), "archive.tar");
  // No '.' in the file name: the whole path, folder included.
  EXPECT_EQ(modFileIO::GetFileTitle(ctx, "C:\\Data\\readme"), "C:\\Data\\readme");
  EXPECT_EQ(modFileIO::GetFileTitle(ctx, "C:\\My.Data\\readme"), "C:\\My.Data\\readme");
  EXPECT_EQ(modFileIO::GetFileTitle(ctx, "C:x.txt"), "C:x");

  EXPECT_EQ(modFileIO::GetFilenameFromPath("C:\\Out\\db.mdb"), "db.mdb");
  EXPECT_EQ(modFileIO::GetFilenameFromPath("db.mdb"), "db.mdb");
  EXPECT_EQ(modFileIO::GetFilenameFromPath("C:\\Out\\"), "");

  EXPECT_EQ(modFileIO::GetFolderFromFullpath("C:\\Out\\db.mdb", false), "C:\\Out\\");
  EXPECT_EQ(modFileIO::GetFolderFromFullpath("C:\\Out\\db.mdb", true), "C:\\Out");
  EXPECT_EQ(modFileIO::GetFolderFromFullpath("db.mdb", false), "");
  EXPECT_EQ(modFileIO::GetFolderFromFullpath("db.mdb", true), "");

  EXPECT_EQ(modShow::MakePath("C:\\a\\b.txt", true), "b.txt");
  EXPECT_EQ(modShow::MakePath("C:\\a\\b.txt", false), "C:\\a\\");
  EXPECT_EQ(modShow::MakePath("noslash", true), "noslash");
  EXPECT_EQ(modShow::MakePath("noslash", false), "");
  EXPECT_TRUE(world.ui.boxes.empty());
}

TEST_F(FileSystemHelpersTest, ResolvePathNormalises) {
  world.env.SetCurrentFolder("\\work\\here");
  EXPECT_EQ(modFileIO::ResolvePath(ctx, "data\\x.dta"), "\\work\\here\\data\\x.dta");
  EXPECT_EQ(modFileIO::ResolvePath(ctx, "..\\x"), "\\work\\x");
  EXPECT_EQ(modFileIO::ResolvePath(ctx, ".\\a\\.\\b\\"), "\\work\\here\\a\\b\\");
  EXPECT_EQ(modFileIO::ResolvePath(ctx, "a/b//c"), "\\work\\here\\a\\b\\c");
  EXPECT_EQ(modFileIO::ResolvePath(ctx, "."), "\\work\\here");
  EXPECT_EQ(modFileIO::ResolvePath(ctx, "C:\\a\\..\\..\\b"), "C:\\b");
  EXPECT_EQ(modFileIO::ResolvePath(ctx, "C:/a//b/"), "C:\\a\\b\\");
  EXPECT_EQ(modFileIO::ResolvePath(ctx, "C:"), "C:\\");
  EXPECT_EQ(modFileIO::ResolvePath(ctx, "\\a\\b\\.."), "\\a");
  EXPECT_EQ(modFileIO::ResolvePath(ctx, "\\a\\b\\."), "\\a\\b");
  EXPECT_EQ(modFileIO::ResolvePath(ctx, "\\"), "\\");
  EXPECT_EQ(modFileIO::ResolvePath(ctx, "\\Out\\*.tmp"), "\\Out\\*.tmp");
  EXPECT_EQ(modFileIO::ResolvePath(ctx, ""), "");

  world.env.SetCurrentFolder("D:\\base\\");
  EXPECT_EQ(modFileIO::ResolvePath(ctx, "x"), "D:\\base\\x");
  // Without a current folder a relative path has no full form.
  world.env.SetCurrentFolder("");
  EXPECT_EQ(modFileIO::ResolvePath(ctx, "x"), "");
  EXPECT_EQ(modFileIO::ResolvePath(ctx, "\\x"), "\\x");
  EXPECT_TRUE(world.ui.boxes.empty());
}

TEST_F(FileSystemHelpersTest, ResolvePathTrapsFailures) {
  world.env.ThrowOn("CurrentFolder");
  EXPECT_EQ(modFileIO::ResolvePath(ctx, "x", modFileIO::Errors::Silent), "");
  EXPECT_TRUE(world.ui.boxes.empty());
  EXPECT_EQ(modFileIO::ResolvePath(ctx, "x"), "");
  ExpectOneBox("ResolvePath::modFileIO", "injected: CurrentFolder");
  // Absolute paths need no current folder.
  EXPECT_EQ(modFileIO::ResolvePath(ctx, "C:\\x"), "C:\\x");
  EXPECT_TRUE(world.ui.boxes.empty());
}

TEST_F(FileSystemHelpersTest, FolderExists) {
  world.Write("Data/file.dta", "x");
  const auto cwdBefore = std::filesystem::current_path();
  EXPECT_TRUE(modFileIO::FolderExists(ctx, world.Program("Data")));
  EXPECT_TRUE(modFileIO::FolderExists(ctx, world.Program("Data") + "\\"));
  EXPECT_TRUE(modFileIO::FolderExists(ctx, world.Program("DATA")));
  EXPECT_TRUE(modFileIO::FolderExists(ctx, world.Program("Data\\..\\Data")));
  EXPECT_FALSE(modFileIO::FolderExists(ctx, world.Program("Data\\file.dta")));
  EXPECT_FALSE(modFileIO::FolderExists(ctx, world.Program("missing")));
  EXPECT_FALSE(modFileIO::FolderExists(ctx, ""));
  // Relative to the program's current folder.
  world.env.SetCurrentFolder(world.Program());
  EXPECT_TRUE(modFileIO::FolderExists(ctx, "data"));
  EXPECT_EQ(std::filesystem::current_path(), cwdBefore);
  EXPECT_TRUE(world.ui.boxes.empty());

  world.env.ThrowOn("CanEnterFolder");
  EXPECT_FALSE(modFileIO::FolderExists(ctx, world.Program("Data"), modFileIO::Errors::Silent));
  EXPECT_TRUE(world.ui.boxes.empty());
  EXPECT_FALSE(modFileIO::FolderExists(ctx, world.Program("Data")));
  ExpectOneBox("FolderExists::modFileIO", "injected: CanEnterFolder");
}

TEST_F(FileSystemHelpersTest, ExistsAndCreateIfMissing) {
  world.Write("Data/LENDER.INI", "x");
  EXPECT_TRUE(modFileIO::FileExists(ctx, world.Program("Data\\lender.ini")));
  EXPECT_FALSE(modFileIO::FileExists(ctx, world.Program("Data")));
  EXPECT_FALSE(modFileIO::FileExists(ctx, world.Program("new.txt")));
  EXPECT_FALSE(world.Has("new.txt"));

  EXPECT_TRUE(modFileIO::FileExists(ctx, world.Program("new.txt"), modFileIO::Missing::Create));
  EXPECT_TRUE(world.Has("new.txt"));
  EXPECT_EQ(world.Read("new.txt"), "");
  EXPECT_EQ(world.Read("Data/LENDER.INI"), "x");
  EXPECT_TRUE(
      modFileIO::FileExists(ctx, world.Program("Data\\LENDER.INI"), modFileIO::Missing::Create));
  EXPECT_EQ(world.Read("Data/LENDER.INI"), "x");
  EXPECT_FALSE(
      modFileIO::FileExists(ctx, world.Program("missing\\new.txt"), modFileIO::Missing::Create));
  EXPECT_FALSE(modFileIO::FileExists(ctx, ""));
  EXPECT_TRUE(world.ui.boxes.empty());

  world.env.ThrowOn("CanOpenForReading");
  world.env.ThrowOn("OpenOrCreate");
  EXPECT_FALSE(modFileIO::FileExists(ctx, world.Program("new.txt"), modFileIO::Missing::Report,
                                     modFileIO::Errors::Silent));
  EXPECT_FALSE(modFileIO::FileExists(ctx, world.Program("new.txt"), modFileIO::Missing::Create,
                                     modFileIO::Errors::Silent));
  EXPECT_TRUE(world.ui.boxes.empty());
  EXPECT_FALSE(modFileIO::FileExists(ctx, world.Program("new.txt"), modFileIO::Missing::Create));
  ExpectOneBox("Exists::modShow", "injected: OpenOrCreate");
  EXPECT_FALSE(modFileIO::FileExists(ctx, world.Program("new.txt")));
  ExpectOneBox("Exists::modShow", "injected: CanOpenForReading");
}

TEST_F(FileSystemHelpersTest, GetSystemDir) {
  EXPECT_EQ(modShow::GetSystemDir(ctx), "\\usr\\lib\\");
  world.env.ThrowOn("SystemFolder");
  EXPECT_EQ(modShow::GetSystemDir(ctx), "");
  ExpectOneBox("GetSystemDir::modShow", "injected: SystemFolder");
}

TEST_F(FileSystemHelpersTest, RemoveWildcardDeletesMatchingFilesOnly) {
  world.Write("Out/a.tmp", "x");
  world.Write("Out/B.TMP", "x");
  world.Write("Out/keep.dat", "x");
  world.Write("Out/a.tmp.bak", "x");
  world.Write("Out/sub.tmp/inner.tmp", "x");
  world.Write("Out/sub/deeper.tmp", "x");

  EXPECT_TRUE(modFileIO::Remove(ctx, world.Program("Out\\*.tmp")));
  EXPECT_FALSE(world.Has("Out/a.tmp"));
  EXPECT_FALSE(world.Has("Out/B.TMP"));
  EXPECT_TRUE(world.Has("Out/keep.dat"));
  EXPECT_TRUE(world.Has("Out/a.tmp.bak"));
  EXPECT_TRUE(world.Has("Out/sub.tmp/inner.tmp"));
  EXPECT_TRUE(world.Has("Out/sub/deeper.tmp"));

  // Nothing left to match: false, and the folder flag makes no difference.
  EXPECT_FALSE(modFileIO::Remove(ctx, world.Program("Out\\*.tmp")));
  EXPECT_TRUE(world.Has("Out/sub.tmp/inner.tmp"));
  EXPECT_FALSE(modFileIO::Remove(ctx, world.Program("missing\\*.tmp")));

  // '?' and a pattern given relative to the current folder.
  world.env.SetCurrentFolder(world.Program("Out"));
  EXPECT_TRUE(modFileIO::Remove(ctx, "kee?.dat"));
  EXPECT_FALSE(world.Has("Out/keep.dat"));
  EXPECT_TRUE(world.ui.boxes.empty());
}

TEST_F(FileSystemHelpersTest, RemovePlainPathDeletesOneFile) {
  world.Write("Out/one.tmp", "x");
  world.Write("Out/two.tmp", "x");
  world.MakeFolder("Out/folder");
  EXPECT_TRUE(modFileIO::Remove(ctx, world.Program("Out\\ONE.tmp")));
  EXPECT_FALSE(world.Has("Out/one.tmp"));
  EXPECT_TRUE(world.Has("Out/two.tmp"));
  EXPECT_FALSE(modFileIO::Remove(ctx, world.Program("Out\\one.tmp")));
  EXPECT_FALSE(modFileIO::Remove(ctx, world.Program("Out\\folder")));
  EXPECT_TRUE(world.Has("Out/folder"));
  EXPECT_TRUE(world.ui.boxes.empty());
}

TEST_F(FileSystemHelpersTest, RemoveReportsFailedDeletes) {
  world.Write("Out/a.tmp", "x");
  world.Write("Out/b.tmp", "x");
  world.env.FailNth("DeleteFile", 1);
  // One of the two matches could not be deleted: false, the other is gone.
  EXPECT_FALSE(modFileIO::Remove(ctx, world.Program("Out\\*.tmp")));
  EXPECT_EQ(world.Has("Out/a.tmp") + world.Has("Out/b.tmp"), 1);
  EXPECT_TRUE(world.ui.boxes.empty());

  world.env.FailNth("ListFolder", 1);
  EXPECT_FALSE(modFileIO::Remove(ctx, world.Program("Out\\*.tmp")));
  EXPECT_EQ(world.Has("Out/a.tmp") + world.Has("Out/b.tmp"), 1);

  world.env.ThrowOn("DeleteFile");
  EXPECT_FALSE(modFileIO::Remove(ctx, world.Program("Out\\*.tmp"), modFileIO::Errors::Silent));
  EXPECT_TRUE(world.ui.boxes.empty());
  EXPECT_FALSE(modFileIO::Remove(ctx, world.Program("Out\\*.tmp")));
  ExpectOneBox("Remove::modFileIO", "injected: DeleteFile");
}

TEST_F(FileSystemHelpersTest, CopyFile) {
  world.Write("src/a.txt", "new");
  world.Write("dst/a.txt", "old");
  EXPECT_FALSE(modFileIO::CopyFile(ctx, world.Program("src\\a.txt"), world.Program("dst\\a.txt"),
                                   modFileIO::Existing::Keep));
  EXPECT_EQ(world.Read("dst/a.txt"), "old");
  EXPECT_TRUE(modFileIO::CopyFile(ctx, world.Program("src\\a.txt"), world.Program("dst\\a.txt"),
                                  modFileIO::Existing::Replace));
  EXPECT_EQ(world.Read("dst/a.txt"), "new");
  EXPECT_FALSE(modFileIO::CopyFile(ctx, world.Program("src\\missing.txt"),
                                   world.Program("dst\\b.txt"), modFileIO::Existing::Replace));
  EXPECT_FALSE(world.Has("dst/b.txt"));

  // Relative paths are taken from the program's current folder.
  world.env.SetCurrentFolder(world.Program("src"));
  EXPECT_TRUE(modFileIO::CopyFile(ctx, "a.txt", "..\\dst\\c.txt", modFileIO::Existing::Keep));
  EXPECT_EQ(world.Read("dst/c.txt"), "new");
  // Ordinary failures are results, not boxes.
  EXPECT_TRUE(world.ui.boxes.empty());

  world.env.ThrowOn("CopyFile");
  EXPECT_FALSE(modFileIO::CopyFile(ctx, "a.txt", "d.txt", modFileIO::Existing::Replace,
                                   modFileIO::Errors::Silent));
  EXPECT_TRUE(world.ui.boxes.empty());
  EXPECT_FALSE(modFileIO::CopyFile(ctx, "a.txt", "d.txt", modFileIO::Existing::Replace));
  ExpectOneBox("CopyFile::modFileIO", "injected: CopyFile");
}

TEST_F(FileSystemHelpersTest, CreateDirectoryStructureCreatesAllParents) {
  const auto cwdBefore = std::filesystem::current_path();
  EXPECT_TRUE(modFileIO::CreateDirectoryStructure(ctx, world.Program("a\\b\\c")));
  EXPECT_TRUE(std::filesystem::is_directory(world.Native("a/b/c")));
  // Existing folders, in any case, with a trailing separator.
  EXPECT_TRUE(modFileIO::CreateDirectoryStructure(ctx, world.Program("A\\B\\c\\")));
  EXPECT_EQ(world.env.Calls("CreateFolder"), 3);
  EXPECT_TRUE(modFileIO::CreateDirectoryStructure(ctx, world.Program("a\\B\\d\\")));
  EXPECT_TRUE(std::filesystem::is_directory(world.Native("a/b/d")));

  world.env.SetCurrentFolder(world.Program("a"));
  EXPECT_TRUE(modFileIO::CreateDirectoryStructure(ctx, "rel\\x"));
  EXPECT_TRUE(std::filesystem::is_directory(world.Native("a/rel/x")));

  // A name already taken counts as there, even by a file (which stays a
  // file); a file in the middle of the path stops the creation.
  world.Write("file.txt", "x");
  world.Write("plain", "x");
  for (const char* taken : {"file.txt", "PLAIN", "a\\b"})
    EXPECT_TRUE(modFileIO::CreateDirectoryStructure(ctx, world.Program(taken))) << taken;
  EXPECT_TRUE(std::filesystem::is_regular_file(world.Native("plain")));
  EXPECT_FALSE(modFileIO::CreateDirectoryStructure(ctx, world.Program("file.txt\\sub")));
  EXPECT_FALSE(modFileIO::CreateDirectoryStructure(ctx, ""));
  EXPECT_EQ(std::filesystem::current_path(), cwdBefore);
  EXPECT_TRUE(world.ui.boxes.empty());
}

TEST_F(FileSystemHelpersTest, CreateDirectoryStructureStopsAtFirstFailure) {
  world.env.FailNth("CreateFolder", 2);
  EXPECT_FALSE(modFileIO::CreateDirectoryStructure(ctx, world.Program("a\\b\\c")));
  EXPECT_TRUE(world.Has("a"));
  EXPECT_FALSE(world.Has("a/b"));
  EXPECT_TRUE(world.ui.boxes.empty());

  world.env.ThrowOn("CreateFolder");
  EXPECT_FALSE(
      modFileIO::CreateDirectoryStructure(ctx, world.Program("n\\m"), modFileIO::Errors::Silent));
  EXPECT_TRUE(world.ui.boxes.empty());
  EXPECT_FALSE(modFileIO::CreateDirectoryStructure(ctx, world.Program("n\\m")));
  ExpectOneBox("CreateDirectoryStructure::modFileIO", "injected: CreateFolder");
}

TEST_F(FileSystemHelpersTest, LongPathsAreRefusedWithoutTouchingTheDisk) {
  // A path of exactly 248 characters is still created; 249 is refused.
  std::string base = world.Program() + "\\";
  std::string part(40, 'p');
  std::string path = base;
  while (path.size() + part.size() + 1 < 248) path += part + "\\";
  path += std::string(248 - path.size(), 'q');
  ASSERT_EQ(path.size(), 248u);
  EXPECT_TRUE(modFileIO::CreateDirectoryStructure(ctx, path));

  std::string tooLong = path + "r";
  ASSERT_EQ(tooLong.size(), 249u);
  const int enters = world.env.Calls("CanEnterFolder");
  const int creates = world.env.Calls("CreateFolder");
  EXPECT_FALSE(modFileIO::CreateDirectoryStructure(ctx, tooLong));
  EXPECT_EQ(world.env.Calls("CanEnterFolder"), enters);
  EXPECT_EQ(world.env.Calls("CreateFolder"), creates);
  EXPECT_TRUE(world.ui.boxes.empty());
}

}  // namespace
