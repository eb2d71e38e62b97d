#include <gtest/gtest.h>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>

#include "doubles/TestWorld.h"
#include "support/Conversions.h"
#include "support/LikePattern.h"
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
           // (current folder, path, full form)
           {"\\w\\here", "..\\x", "\\w\\x"}, {"\\w\\here", ".\\a\\.\\b\\", "\\w\\here\\a\\b\\"},
           {"\\w\\here", "a/b//c", "\\w\\here\\a\\b\\c"}, {"\\w\\here", "C:", "C:\\"},
           {"\\w\\here", "C:\\a\\..\\..\\b", "C:\\b"}, {"\\w\\here", "", ""},
           {"\\w\\here", "\\Out\\*.tmp", "\\Out\\*.tmp"},
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
  world.env.FailAlways("ListFolder");  // nor is a folder that cannot be listed
  EXPECT_FALSE(modFileIO::Remove(ctx, "*.tmp"));

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
  world.env.SetCurrentFolder(P());
  using modFileIO::Errors;
  struct Case {
    const char *op, *routine;
    std::function<bool(Errors)> call;
  };
  const Case cases[] = {{"CurrentFolder", "ResolvePath",
                         [&](Errors e) { return !modFileIO::ResolvePath(ctx, "x", e).empty(); }},
                        {"DeleteFile", "Remove",
                         [&](Errors e) { return modFileIO::Remove(ctx, P("Out\\*.tmp"), e); }},
                        {"CanEnterFolder", "FolderExists",
                         [&](Errors e) { return modFileIO::FolderExists(ctx, P("Out"), e); }}};
  for (const auto& [op, routine, call] : cases) {
    SCOPED_TRACE(op);
    world.env.ThrowOn(op);
    EXPECT_FALSE(call(Errors::Silent));
    EXPECT_TRUE(world.ui.boxes.empty());
    EXPECT_FALSE(call(Errors::Show));
    ASSERT_EQ(world.ui.boxes.size(), 1u);
    EXPECT_EQ(world.ui.boxes[0].title, "Error in \"" + std::string(routine) + "::modFileIO\"");
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

// `text` in a heap block of exactly its size (no terminator after it), so
// that a read past its end is a fault the address sanitizer sees.
struct Exact {
  explicit Exact(std::string_view text) : bytes(new char[text.size()]), size(text.size()) {
    text.copy(bytes.get(), size);
  }
  operator std::string_view() const { return {bytes.get(), size}; }
  std::unique_ptr<char[]> bytes;
  std::size_t size;
};

TEST(LikePatternTest, MatchesTable) {
  struct Case {
    const char *text, *pattern;
    bool like;
  };
  // clang-format off
  for (const Case& c : std::initializer_list<Case>{
           {"", "*", true},          {"abc", "a**c", true},      {"abbc", "a?c", false},
           {"fileX.dat", "file#.dat", false},                    {"file", "file#", false},
           {"ABC", "abc", false},    {"abc", "", false},         {"d", "[!abc]", true},
           {"a", "[!abc]", false},   {"d", "[a-c]", false},      {"-", "[a-]", true},
           {"]", "[]a]", true},      {"]", "[!]a]", false},      {"x", "[*]", false},
           {"a", "[a", false},       {"[", "[", false},          {"a[", "a[", false},
           {"acompscomps.dat", "*comps.dat", true},              {"x1y2z", "*#*##?", false},
           {"abab9", "*[a-b]#", true}})
    EXPECT_EQ(support::MatchesLike(Exact(c.text), Exact(c.pattern)), c.like)
        << c.text << " like " << c.pattern;
  for (const Case& c : std::initializer_list<Case>{
           {"A.TMP", "*.tmp", true},         {"a.tmp.bak", "*.tmp", false},
           {"noext", "*.*", true},           {"a#[1].txt", "a#[1].txt", true}})
    EXPECT_EQ(support::MatchesFileWildcard(Exact(c.text), Exact(c.pattern)), c.like)
        << c.text << " ~ " << c.pattern;
  // clang-format on
}

TEST(ConversionsTest, ParseNumberTruthAndRounding) {
  // clang-format off
  for (const auto& [text, number] :
       std::initializer_list<std::pair<const char*, std::optional<double>>>{
           {"\t6.5 ", 6.5}, {"-1", -1.0}, {".5", 0.5}, {"2.5E-1", 0.25}, {"&O17", 15.0},
           // Hexadecimal is two's complement at 16 and 32 bits.
           {"&HFFFF", -1.0}, {"&H10000", 65536.0}, {"&HFFFFFFFF", -1.0}, {"", {}}, {"5abc", {}},
           {".", {}}, {"1e+", {}}, {"&H", {}}, {"&O8", {}}, {"&H100000000", {}}, {"5 6", {}},
           {"1e400", {}}, {"1,000", {}}})
    EXPECT_EQ(support::ParseNumber(text), number) << text;
  for (const auto& [text, truth] :
       std::initializer_list<std::pair<const char*, std::optional<bool>>>{
           {"True", true}, {"0.1", true}, {" FALSE ", false}, {"yes", {}}, {"truely", {}}})
    EXPECT_EQ(support::ParseTruth(text), truth) << text;
  // Halves round to even; what a 32-bit number cannot hold is no number.
  for (const auto& [value, rounded] :
       std::initializer_list<std::pair<double, std::optional<std::int32_t>>>{
           {6.5, 6}, {7.5, 8}, {-1.5, -2}, {2.5001, 3}, {-2147483648.5, -2147483647 - 1},
           {2147483647.5, {}}, {std::numeric_limits<double>::quiet_NaN(), {}}})
    EXPECT_EQ(support::RoundToLong(value), rounded) << value;
  // clang-format on
}

TEST(ConversionsTest, FormattedText) {
  const platform::LocalTime march{2010, 3, 15, 14, 25, 30}, early{2009, 1, 2, 3, 4, 5};
  // Single letters drop the leading zero; n is always the minute; quoted
  // text and escaped letters are literal, an escape at the end is nothing.
  for (const auto& [pattern, time, text] :
       std::initializer_list<std::tuple<const char*, platform::LocalTime, const char*>>{
           {"yyyy-mm-dd-hhmmss-logfile.txt", march, "2010-03-15-142530-logfile.txt"},
           {"m/d/yy h:n:s \\\\", early, "1/2/09 3:4:5 \\"},
           {"YYYY\"day\"DD\\d", early, "2009day02d"},
           {"yy\\", early, "09"}})
    EXPECT_EQ(support::FormatDateTime(Exact(pattern), time), text) << pattern;

  std::string out = "x";
  support::AppendPadded(out, 7, 2);
  support::AppendPadded(out, 0, 4);
  support::AppendPadded(out, 255, 2);  // wider than the width: never cut
  EXPECT_EQ(out, "x070000255");
  const char kControls[] = "a\r\nt\tn\0x\x7f caf\xc3\xa9 \"q\"";
  EXPECT_EQ(support::EscapeControls(std::string(kControls, sizeof kControls - 1)),
            "a\\r\\nt\\x09n\\x00x\\x7F caf\xc3\xa9 \"q\"");
  EXPECT_FALSE(support::HoldsQuoteOrControl("plain C:\\a b.dat"));
  EXPECT_TRUE(support::HoldsQuoteOrControl("a\"b") && support::HoldsQuoteOrControl("a\x1b"));
}

}  // namespace
