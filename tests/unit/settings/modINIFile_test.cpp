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
                  const std::string& file = "host.ini") {
    return modINIFile::GetINIString(w.ctx, section, key, "<default>", w.Program(file));
  }
  std::string Keys(const std::string& section) {
    return modINIFile::GetINIFileSection(w.ctx, w.Program("host.ini"), section);
  }
  testing_doubles::TestWorld w;
};

TEST_F(IniFileTest, PrivateProfileRulesForNamesAndValues) {
  std::string accented;
  for (int i = 0; i < 300; ++i) accented += "\u00E9";
  w.Write("host.ini",
          "orphan=before any section\r\n[Directories]\r\nAppDir = C:\\Kestova\\ \r\n"
          "\tDataDir\t=\t\"  D:\\Data  \"\t\nSingle='quoted'\nMixed=\"mismatched'\n"
          "Inner=a \"b\" c\n   ;Indented=yes\nNoEquals line\nEq=a=b\n"
          "Empty=\nBlank=   \nQuotes=\"\"\nA=first\na=second\n"
          "  [ Vendor ]  trailing text\nApplicationName=Kestova\n"
          "[directories]\nLater=only in the second section of that name\n"
          "[Caf\xE9]\nNom=Ren\xE9\x80\n[Bare]");
  // Windows-1252 bytes come back as UTF-8, names too.
  // clang-format off
  for (const auto& [section, key, value] :
       std::initializer_list<std::tuple<const char*, const char*, std::string>>{
           {"Directories", "AppDir", "C:\\Kestova\\"}, {"DIRECTORIES", "datadir", "  D:\\Data  "},
           {"Directories", "Single", "quoted"}, {"Directories", "Mixed", "\"mismatched'"},
           {"Directories", "Inner", "a \"b\" c"}, {"Directories", "Eq", "a=b"},
           {"Directories", "A", "first"}, {"Vendor", "APPLICATIONNAME", "Kestova"},
           {"CAF\u00C9", "nom", "Ren\u00E9\u20AC"}, {"Directories", "Indented", "<default>"},
           {"Directories", "orphan", "<default>"}, {"Directories", "Blank", "<default>"},
           {"Directories", "Quotes", "<default>"}, {"Directories", "Later", "<default>"}})
    // clang-format on
    EXPECT_EQ(Get(section, key), value) << section << "/" << key;
  EXPECT_EQ(Keys("directories"),
            "AppDir\0DataDir\0Single\0Mixed\0Inner\0Eq\0Empty\0Blank\0Quotes\0A\0a\0"s);
  EXPECT_EQ(Keys("Bare") + Keys("Nope"), "");

  // A file written as UTF-8 stays UTF-8, byte-order mark skipped; long
  // values are cut at 254 characters (not bytes).
  w.Write("utf8.ini", "\xEF\xBB\xBF[S]\nNom=Ren\u00E9 \u20AC\nLong=" + std::string(300, 'x') +
                          "\nAccented=" + accented);
  EXPECT_EQ(Get("S", "Nom", "utf8.ini"), "Ren\u00E9 \u20AC");
  EXPECT_EQ(Get("S", "Long", "utf8.ini"), std::string(254, 'x'));
  EXPECT_EQ(Get("S", "Accented", "utf8.ini"), accented.substr(0, 254 * 2));
  // A bare file name is looked for in the Windows folder.
  w.env.SetVariable("WINDIR", w.Native("windows"));
  w.Write("windows/Zev.ini", "[Directories]\nAppDir=C:\\Kestova\\\n");
  EXPECT_EQ(modINIFile::GetINIString(w.ctx, "Directories", "AppDir", "", "Zev.ini"),
            "C:\\Kestova\\");
  // Missing or unreadable files are absent, without a message.
  EXPECT_EQ(Get("S", "K", "missing.ini"), "<default>");
  modINIFile::ClearINICache();
  w.env.FailAlways("ReadWholeFile");
  EXPECT_EQ(Get("Directories", "AppDir"), "<default>");
  EXPECT_EQ(Keys("Directories"), "");
  EXPECT_TRUE(w.ui.boxes.empty());
}

TEST_F(IniFileTest, KeyListsAreCutAtWholeNames) {
  std::string text = "[Big]\n";
  for (int i = 0; i < 4000; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "K%08d", i);  // 9 characters + NUL = 10
    text += std::string(name) + "=v\n";
  }
  w.Write("host.ini", text + "Z=short enough, but after one that did not fit\n");
  std::string keys = Keys("Big");
  ASSERT_EQ(keys.size(), 32760u);  // 3276 whole names; the next would pass 32766
  EXPECT_EQ(keys.substr(keys.size() - 10), "K00003275\0"s);
}

TEST_F(IniFileTest, CachedParseIsReusedUntilTheFileChanges) {
  w.Write("host.ini", "[S]\nK=one\n");
  EXPECT_EQ(Get("S", "K"), "one");
  int reads = w.env.Calls("ReadWholeFile");
  EXPECT_EQ(Keys("S"), "K\0"s);
  EXPECT_EQ(w.env.Calls("ReadWholeFile"), reads);  // answered from the cache
  w.Write("host.ini", "[S]\nK=three\n");           // in place, another size
  EXPECT_EQ(Get("S", "K"), "three");
  w.Write("new.ini", "[S]\nK=THREE\n");  // same size, replaced by a rename
  ASSERT_EQ(std::rename(w.Native("new.ini").c_str(), w.Native("host.ini").c_str()), 0);
  EXPECT_EQ(Get("S", "K"), "THREE");
  ASSERT_EQ(std::remove(w.Native("host.ini").c_str()), 0);
  EXPECT_EQ(Get("S", "K"), "<default>");
  w.Write("host.ini", "[S]\nK=back\n");
  EXPECT_EQ(Get("S", "K"), "back");
}

}  // namespace
