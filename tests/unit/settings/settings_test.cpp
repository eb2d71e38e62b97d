#include <gtest/gtest.h>
#include <climits>
#include <filesystem>
#include <optional>
#include <string>

#include "doubles/TestWorld.h"
#include "support/IniSectionIndex.h"
#include "support/RegStore.h"
#include "support/Windows1252.h"
#include "support/modINIFile.h"
#include "support/modRegistry.h"

using namespace std::string_literals;

namespace {

using modRegistry::HKEY_CURRENT_USER;

constexpr char kKey[] = "Software\\Norvel\\Kestova\\Utilities\\Ingestor";
constexpr char kStore[] = "config/ingestor/HKEY_CURRENT_USER.reg";
constexpr char kHead[] = "Windows Registry Editor Version 5.00\r\n\r\n";

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    w.env.SetVariable("XDG_CONFIG_HOME", w.Native("config"));
    w.env.SetVariable("HOME", w.Native("home"));
  }
  bool SaveNumber(const std::string& name, std::int32_t value, bool create = true,
                  const std::string& key = kKey) {
    return modRegistry::SaveRegistryNumeric(w.ctx, HKEY_CURRENT_USER, key, name, value, create);
  }
  bool SaveText(const std::string& name, const std::string& value) {
    return modRegistry::SaveRegistryString(w.ctx, HKEY_CURRENT_USER, kKey, name, value, true);
  }
  std::int32_t Number(const std::string& name, bool openOnly = true,
                      const std::string& key = kKey) {
    return modRegistry::GetRegistryNumeric(w.ctx, HKEY_CURRENT_USER, key, name, openOnly);
  }
  std::string Text(const std::string& name) {
    return modRegistry::GetRegistryString(w.ctx, HKEY_CURRENT_USER, kKey, name, true);
  }
  std::string Store() const { return w.Read(kStore); }

  testing_doubles::TestWorld w;
};

TEST_F(RegistryTest, ValuesRoundTripInExportFormat) {
  // Without createKey a missing key is not made, and nothing is written.
  EXPECT_FALSE(SaveNumber("Left", 1, false) || w.Has(kStore));
  ASSERT_TRUE(SaveNumber("Left", 100, true, std::string("\\") + kKey));
  ASSERT_TRUE(SaveText("LastFile", "C:\\Data\\x.dat"));
  EXPECT_EQ(Store(), std::string(kHead) +
                         "[HKEY_CURRENT_USER\\Software\\Norvel\\Kestova\\Utilities\\Ingestor]\r\n"
                         "\"Left\"=dword:00000064\r\n"
                         "\"LastFile\"=\"C:\\\\Data\\\\x.dat\"\r\n\r\n");
  for (std::int32_t n : {INT_MIN, INT_MAX})
    EXPECT_TRUE(SaveNumber("Top", n) && Number("Top") == n) << n;
  for (std::string text : {"", "say \"hi\" \\\\server\\", "caf\u00E9", "two\r\nlines"})
    EXPECT_TRUE(SaveText("Text", text) && Text("Text") == text) << text;
  // Keys and names ignore case; a save keeps the first spelling; only one
  // leading backslash is dropped; a wrong type or root is the failure value.
  ASSERT_TRUE(SaveNumber("left", 8));
  EXPECT_EQ(Number("LEFT", true, "software\\norvel\\kestova\\utilities\\INGESTOR"), 8);
  EXPECT_NE(Store().find("\"Left\"=dword:00000008"), std::string::npos);
  EXPECT_EQ(Number("Left", true, std::string("\\\\") + kKey) + Number("LastFile"), 0);
  EXPECT_EQ(Text("Left"), "");
  const std::string before = Store();
  EXPECT_FALSE(modRegistry::SaveRegistryNumeric(w.ctx, 0x80000002u, kKey, "N", 1, true));
  EXPECT_EQ(Store(), before);
  EXPECT_TRUE(w.ui.boxes.empty());
}

TEST_F(RegistryTest, StoreIsNeverDamaged) {
  // What the program does not use of a hand-written store is written back.
  w.Write(kStore, std::string(kHead) +
                      "[HKEY_CURRENT_USER\\Software\\Norvel\\Kestova\\Utilities\\Ingestor]\n"
                      "\"Blob\"=hex:01,02,03,\\\n  04,05\n\"Wide\"=hex(1):61,00,62,00,00,00\n"
                      "; a comment line\n\n[HKEY_CURRENT_USER\\Software\\Empty]\n");
  ASSERT_TRUE(SaveNumber("Left", 1));
  EXPECT_EQ(Text("Wide"), "ab");
  EXPECT_NE(Store().find("\"Blob\"=hex:01,02,03,\\\r\n  04,05\r\n"), std::string::npos);
  EXPECT_NE(Store().find("[HKEY_CURRENT_USER\\Software\\Empty]\r\n"), std::string::npos);
  // A store that cannot be parsed, or is there but cannot be read, is not
  // overwritten.
  const std::string corrupt = "this is not a registry export\n\"Left\"=dword:00000001\n";
  w.Write(kStore, corrupt);
  EXPECT_EQ(Number("Left", false), 0);
  EXPECT_FALSE(SaveNumber("Left", 2) || SaveText("Name", "x"));
  EXPECT_EQ(Store(), corrupt);
  w.Write(kStore, kHead);
  w.env.FailAlways("ReadWholeFile");
  EXPECT_FALSE(SaveNumber("Left", 2));
  w.env.Heal();
  EXPECT_EQ(Store(), kHead);

  // Writes are atomic (no other file is left) and create the folder.
  w.env.SetVariable("XDG_CONFIG_HOME", w.Native("deep/er/config"));
  ASSERT_TRUE(SaveNumber("Left", 1));
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(w.Native("deep/er/config/ingestor")))
    names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"HKEY_CURRENT_USER.reg"});
  w.env.FailAlways("ReplaceFile");
  EXPECT_FALSE(SaveNumber("Left", 2) || SaveText("LastFile", "y"));
  w.env.Heal();
  EXPECT_EQ(Number("Left"), 1);
  // Without a folder to keep the store in, nothing is saved.
  w.env.SetVariable("XDG_CONFIG_HOME", std::nullopt);
  w.env.SetVariable("HOME", std::nullopt);
  EXPECT_FALSE(SaveNumber("Left", 3));
  w.env.SetVariable("HOME", w.Native("home"));
  w.env.FailAlways("CreateFolder");
  EXPECT_FALSE(SaveNumber("Left", 3) || w.Has("home/.config"));
  w.env.Heal();
  EXPECT_TRUE(SaveNumber("Left", 3) && w.Has("home/.config/ingestor/HKEY_CURRENT_USER.reg"));
  // The root as the configuration folder still names a store (read only
  // here: it is no place to write to).
  w.env.SetVariable("XDG_CONFIG_HOME", "/");
  const int reads = w.env.Calls("ReadWholeFile");
  EXPECT_EQ(Number("Left"), 0);
  EXPECT_EQ(w.env.Calls("ReadWholeFile"), reads + 1);
  EXPECT_TRUE(w.ui.boxes.empty());
  // What escapes the platform is the routine's error box, and the failure value.
  w.env.ThrowOn("ReadWholeFile");
  EXPECT_EQ(Number("Left"), 0);
  EXPECT_EQ(w.ui.boxes.at(0).title, "Error in \"GetRegistryNumeric::modRegistry\"");
}

// What a store that parses writes back is the fuzz replay's to check; here,
// how each kind of value reads.
TEST(RegStore, ValueTypes) {
  struct Case {
    const char* data;
    std::optional<std::int32_t> number;
    std::optional<std::string> text;
  };
  // clang-format off
  for (const Case& c : std::initializer_list<Case>{
           {"dword:ffffffff", -1, {}}, {"DWORD:0000000a", 10, {}}, {"dword:", {}, {}},
           {"hex(4):2a,00,00,00", 42, {}},
           {"hex(4):2a,00,00,00,00", {}, {}},  // longer than a number
           {"hex(b):01,00,00,00,00,00,00,00", {}, {}}, {"dword:1234567890", {}, {}},
           {"dword:xyz", {}, {}}, {"\"5\"", {}, "5"}, {"\"a\\\\b \\\"c\\\"\"", {}, "a\\b \"c\""},
           {"hex(2):25,00,41,00,25,00,00,00", {}, "%A%"},
           {"hex(1):3d,d8,00,de,00,00", {}, "\U0001F600"},  // surrogate pair
           {"hex(1):ff,db,ff,df,00,00", {}, "\U0010FFFF"},  // the last pair there is
           {"hex(1):41,00,42,00", {}, "AB"},                // no terminator: all of it
           {"hex(1):41,00,00,00,42,00,00,00", {}, "A\0B"s},
           {"hex(1):", {}, ""}, {"hex(1):41", {}, {}}}) {  // no bytes at all; half a character
    // clang-format on
    EXPECT_EQ(support::RegNumber({"n", c.data}), c.number) << c.data;
    EXPECT_EQ(support::RegText({"t", c.data}), c.text) << c.data;
  }
}

// Undefined bytes keep their value as the C1 control; what is not UTF-8
// (overlong, surrogate, past U+10FFFF, cut short) is read as Windows-1252.
TEST(Windows1252, EveryByteBecomesOneValidCharacter) {
  for (int b = 0; b < 256; ++b) {
    std::string utf8 = support::Windows1252ToUtf8(std::string(1, static_cast<char>(b)));
    EXPECT_TRUE(support::IsValidUtf8(utf8) && support::Utf8Length(utf8) == 1) << "byte " << b;
    // The same inside plain text, at every place of a word-wise scan.
    std::string text(17, 'a');
    text[b % 17] = static_cast<char>(b);
    EXPECT_EQ(support::Windows1252ToUtf8(text),
              text.substr(0, b % 17) + utf8 + text.substr(b % 17 + 1))
        << "byte " << b;
  }
  EXPECT_EQ(support::Windows1252ToUtf8("\x80\x9F\xE9\x8A\x99\xFF\x81"
                                       "A\0B"s),
            "\u20AC\u0178\u00E9\u0160\u2122\u00FF\xC2\x81"
            "A\0B"s);
  for (const char* bad :
       {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82"})
    EXPECT_FALSE(support::IsValidUtf8(bad)) << bad;
  // Case-blind names and cutting at characters: the INI rules below.
  EXPECT_TRUE(support::EqualsIgnoringCase("\u0160\u0152\u017D", "\u0161\u0153\u017E") &&
              !support::EqualsIgnoringCase("\u00D7", "\u00F7"));
}

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
          "  [ Vendor ]  trailing text\nApplicationName=Kestova\n[Zoning]\nCode=R-1\n"
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
           {"zoning", "Code", "R-1"},
           {"CAF\u00C9", "nom", "Ren\u00E9\u20AC"}, {"Directories", "Indented", "<default>"},
           {"Directories", "orphan", "<default>"}, {"Directories", "Blank", "<default>"},
           {"Directories", "Quotes", "<default>"}, {"Directories", "Later", "<default>"}})
  // clang-format on
  {
    EXPECT_EQ(Get(section, key), value) << section << "/" << key;
    // The raw-file index of one section answers as the parse does.
    const auto found = support::IniSectionIndex(w.env, w.Program("host.ini"), section).Find(key);
    EXPECT_EQ(found && !found->empty() ? *found : "<default>", value) << section << "/" << key;
  }
  EXPECT_EQ(Keys("directories"),
            "AppDir\0DataDir\0Single\0Mixed\0Inner\0Eq\0Empty\0Blank\0Quotes\0A\0a\0"s);
  EXPECT_EQ(Keys("Bare") + Keys("Nope"), "");

  // A file written as UTF-8 stays UTF-8, byte-order mark skipped; long
  // values are cut at 254 characters (not bytes).
  w.Write("utf8.ini", "\xEF\xBB\xBF[S]\nNom=Ren\u00E9 \u20AC\nLong=" + std::string(300, 'x') +
                          "\nAccented=" + accented);
  EXPECT_EQ(Get("S", "Nom", "utf8.ini"), "Ren\u00E9 \u20AC");
  EXPECT_EQ(support::IniSectionIndex(w.env, w.Program("utf8.ini"), "s").Find("NOM"),
            "Ren\u00E9 \u20AC");
  // Lines across the index's read blocks.
  w.Write("long.ini", "[S]\nPad=" + std::string(40000, 'p') + "\nK=v\n");
  support::IniSectionIndex longLines(w.env, w.Program("long.ini"), "S");
  EXPECT_EQ(longLines.Find("Pad"), std::string(40000, 'p'));
  EXPECT_EQ(longLines.Find("K"), "v");
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
