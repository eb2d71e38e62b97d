#include "support/modINIFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "doubles/TestWorld.h"

using namespace std::string_literals;

namespace {

class IniFileTest : public ::testing::Test {
 protected:
  void SetUp() override { modINIFile::ClearINICache(); }
  void TearDown() override { modINIFile::ClearINICache(); }

  std::string Get(const std::string& section, const std::string& key,
                  const std::string& file = "host.ini", const std::string& def = "<default>") {
    return modINIFile::GetINIString(w.ctx, section, key, def, w.Program(file));
  }
  std::string Keys(const std::string& section, const std::string& file = "host.ini") {
    return modINIFile::GetINIFileSection(w.ctx, w.Program(file), section);
  }

  testing_doubles::TestWorld w;
};

TEST_F(IniFileTest, PrivateProfileRulesForNamesAndValues) {
  w.Write("host.ini",
          "orphan=before any section\n"
          "[Directories]\n"
          "AppDir = C:\\Kestova\\ \n"
          "\tDataDir\t=\t\"  D:\\Data  \"\t\n"
          "Single='quoted'\n"
          "Mixed=\"mismatched'\n"
          "Lone=\"\n"
          "Inner=a \"b\" c\n"
          "; Commented=yes\n"
          "   ;Indented=yes\n"
          "NoEquals line\n"
          "Eq=a=b\n"
          "  [ Vendor ]  trailing text\n"
          "ApplicationName=Kestova\n");
  EXPECT_EQ(Get("Directories", "AppDir"), "C:\\Kestova\\");
  EXPECT_EQ(Get("Directories", "DataDir"), "  D:\\Data  ");
  EXPECT_EQ(Get("Directories", "Single"), "quoted");
  EXPECT_EQ(Get("Directories", "Mixed"), "\"mismatched'");
  EXPECT_EQ(Get("Directories", "Lone"), "\"");
  EXPECT_EQ(Get("Directories", "Inner"), "a \"b\" c");
  EXPECT_EQ(Get("Directories", "Eq"), "a=b");
  EXPECT_EQ(Get("Directories", "Commented"), "<default>");
  EXPECT_EQ(Get("Directories", "Indented"), "<default>");
  EXPECT_EQ(Get("Directories", "NoEquals line"), "<default>");
  EXPECT_EQ(Get("Directories", "orphan"), "<default>");
  EXPECT_EQ(Get("Vendor", "ApplicationName"), "Kestova");
  // Case of section and key does not matter.
  EXPECT_EQ(Get("DIRECTORIES", "appdir"), "C:\\Kestova\\");
  EXPECT_EQ(Get("vendor", "APPLICATIONNAME"), "Kestova");
  EXPECT_EQ(Keys("directories"), "AppDir\0DataDir\0Single\0Mixed\0Lone\0Inner\0Eq\0"s);
  EXPECT_TRUE(w.ui.boxes.empty());
}

TEST_F(IniFileTest, FirstSectionAndFirstKeyWin) {
  w.Write("host.ini",
          "[IP]\n"
          "A=first\n"
          "B=b\n"
          "a=second\n"
          "[Other]\n"
          "C=c\n"
          "[ip]\n"
          "A=third\n"
          "D=only in the second IP section\n");
  EXPECT_EQ(Get("IP", "A"), "first");
  EXPECT_EQ(Get("IP", "D"), "<default>");
  EXPECT_EQ(Keys("IP"), "A\0B\0a\0"s);
  EXPECT_EQ(Keys("Other"), "C\0"s);
}

TEST_F(IniFileTest, AbsenceGivesTheDefaultWithoutAMessage) {
  w.Write("host.ini", "[S]\nEmpty=\nBlank=   \nQuotes=\"\"\nK=v\n[Bare]\n");
  EXPECT_EQ(Get("S", "K", "missing.ini"), "<default>");
  EXPECT_EQ(Get("Nope", "K"), "<default>");
  EXPECT_EQ(Get("S", "Nope"), "<default>");
  EXPECT_EQ(Get("S", "Empty"), "<default>");
  EXPECT_EQ(Get("S", "Blank"), "<default>");
  EXPECT_EQ(Get("S", "Quotes"), "<default>");
  EXPECT_EQ(Get("S", "Empty", "host.ini", ""), "");
  EXPECT_EQ(Keys("S", "missing.ini"), "");
  EXPECT_EQ(Keys("Nope"), "");
  EXPECT_EQ(Keys("Bare"), "");
  EXPECT_EQ(modINIFile::GetINIString(w.ctx, "S", "K", "d", ""), "d");

  // A file that cannot be read is absent too.
  modINIFile::ClearINICache();
  w.env.FailAlways("ReadWholeFile");
  EXPECT_EQ(Get("S", "K"), "<default>");
  EXPECT_EQ(Keys("S"), "");
  EXPECT_TRUE(w.ui.boxes.empty());
}

TEST_F(IniFileTest, LongValuesAreCutTo254Characters) {
  std::string ascii(300, 'x');
  std::string accented;
  for (int i = 0; i < 300; ++i) accented += "\u00E9";
  w.Write("host.ini", "[S]\nLong=" + ascii + "\nAccented=" + accented +
                          "\nExact=" + std::string(254, 'y') + "\n");
  EXPECT_EQ(Get("S", "Long"), std::string(254, 'x'));
  std::string cut = Get("S", "Accented");
  EXPECT_EQ(cut.size(), 254u * 2);  // 254 characters of two bytes each
  EXPECT_EQ(cut, accented.substr(0, 254 * 2));
  EXPECT_EQ(Get("S", "Exact"), std::string(254, 'y'));
}

TEST_F(IniFileTest, LineEndsAndEncodings) {
  w.Write("crlf.ini", "[S]\r\nK=v\r\nQ=\"q\"\r\n[T]\r\nL=w\r\n");
  w.Write("lf.ini", "[S]\nK=v\nQ=\"q\"\n[T]\nL=w");
  for (const char* file : {"crlf.ini", "lf.ini"}) {
    SCOPED_TRACE(file);
    EXPECT_EQ(Get("S", "K", file), "v");
    EXPECT_EQ(Get("S", "Q", file), "q");
    EXPECT_EQ(Get("T", "L", file), "w");
    EXPECT_EQ(Keys("S", file), "K\0Q\0"s);
  }

  // Windows-1252 bytes come back as UTF-8; so do names.
  w.Write("cp1252.ini", "[Caf\xE9]\nNom=Ren\xE9\x80\n");
  EXPECT_EQ(Get("Caf\u00E9", "Nom", "cp1252.ini"), "Ren\u00E9\u20AC");
  EXPECT_EQ(Get("CAF\u00C9", "nom", "cp1252.ini"), "Ren\u00E9\u20AC");

  // A file written as UTF-8 stays UTF-8, byte-order mark skipped.
  w.Write("utf8.ini", "\xEF\xBB\xBF[S]\nNom=Ren\u00E9 \u20AC\n");
  EXPECT_EQ(Get("S", "Nom", "utf8.ini"), "Ren\u00E9 \u20AC");
}

TEST_F(IniFileTest, KeyListStopsAtTheLastWholeNameThatFits) {
  std::string text = "[Big]\n";
  for (int i = 0; i < 4000; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "K%08d", i);  // 9 characters + NUL = 10
    text += std::string(name) + "=v\n";
  }
  text += "Z=short enough, but after one that did not fit\n";
  w.Write("host.ini", text);
  std::string keys = Keys("Big");
  ASSERT_EQ(keys.size(), 32760u);  // 3276 whole names; the next would pass 32766
  EXPECT_EQ(keys.substr(0, 20), "K00000000\0K00000001\0"s);
  EXPECT_EQ(keys.substr(keys.size() - 10), "K00003275\0"s);
}

TEST_F(IniFileTest, BareFileNameIsLookedForInTheWindowsFolder) {
  w.env.SetVariable("WINDIR", w.Native("windows"));
  w.Write("windows/Zev.ini", "[Directories]\nAppDir=C:\\Kestova\\\n");
  EXPECT_EQ(modINIFile::GetINIString(w.ctx, "Directories", "AppDir", "", "Zev.ini"),
            "C:\\Kestova\\");
}

TEST_F(IniFileTest, CachedParseIsReusedUntilTheFileChanges) {
  w.Write("host.ini", "[S]\nK=one\n");
  EXPECT_EQ(Get("S", "K"), "one");
  int reads = w.env.Calls("ReadWholeFile");
  EXPECT_EQ(Get("S", "K"), "one");
  EXPECT_EQ(Keys("S"), "K\0"s);
  EXPECT_EQ(w.env.Calls("ReadWholeFile"), reads);  // answered from the cache

  // Rewritten in place with a different size.
  w.Write("host.ini", "[S]\nK=three\n");
  EXPECT_EQ(Get("S", "K"), "three");

  // Same size, replaced by a rename: a different file.
  w.Write("new.ini", "[S]\nK=THREE\n");
  ASSERT_EQ(std::rename(w.Native("new.ini").c_str(), w.Native("host.ini").c_str()), 0);
  EXPECT_EQ(Get("S", "K"), "THREE");

  // Removed: absent again.
  ASSERT_EQ(std::remove(w.Native("host.ini").c_str()), 0);
  EXPECT_EQ(Get("S", "K"), "<default>");

  // ClearINICache forgets the parse, so the next call reads the file.
  w.Write("host.ini", "[S]\nK=back\n");
  EXPECT_EQ(Get("S", "K"), "back");
  reads = w.env.Calls("ReadWholeFile");
  modINIFile::ClearINICache();
  EXPECT_EQ(Get("S", "K"), "back");
  EXPECT_EQ(w.env.Calls("ReadWholeFile"), reads + 1);
}

}  // namespace
