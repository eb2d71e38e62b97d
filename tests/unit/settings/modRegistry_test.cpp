#include "support/modRegistry.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <string>

#include "doubles/TestWorld.h"

namespace {

using modRegistry::HKEY_CURRENT_USER;

constexpr char kKey[] = "Software\\Norvel\\Kestova\\Utilities\\Ingestor";
constexpr char kStore[] = "config/ingestor/HKEY_CURRENT_USER.reg";

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    w.env.SetVariable("XDG_CONFIG_HOME", w.Native("config"));
    w.env.SetVariable("HOME", w.Native("home"));
    w.env.SetVariable("XDG_DOCUMENTS_DIR", std::nullopt);
  }

  bool SaveNumber(const std::string& name, std::int32_t value, bool create = true,
                  const std::string& key = kKey) {
    return modRegistry::SaveRegistryNumeric(w.ctx, HKEY_CURRENT_USER, key, name, value, create);
  }
  bool SaveText(const std::string& name, const std::string& value, bool create = true,
                const std::string& key = kKey) {
    return modRegistry::SaveRegistryString(w.ctx, HKEY_CURRENT_USER, key, name, value, create);
  }
  std::int32_t Number(const std::string& name, bool openOnly = true,
                      const std::string& key = kKey) {
    return modRegistry::GetRegistryNumeric(w.ctx, HKEY_CURRENT_USER, key, name, openOnly);
  }
  std::string Text(const std::string& name, bool openOnly = true, const std::string& key = kKey) {
    return modRegistry::GetRegistryString(w.ctx, HKEY_CURRENT_USER, key, name, openOnly);
  }
  std::string Store() const { return w.Read(kStore); }

  testing_doubles::TestWorld w;
};

TEST_F(RegistryTest, ValuesRoundTripInExportFormat) {
  // Saving into a missing key without createKey fails and writes nothing;
  // so does an open-only read.
  EXPECT_FALSE(SaveNumber("Left", 1, false));
  EXPECT_EQ(Number("Left", true) + Text("LastFile", true).size(), 0u);
  EXPECT_FALSE(w.Has(kStore));
  ASSERT_TRUE(SaveNumber("Left", 100, true, std::string("\\") + kKey));
  ASSERT_TRUE(SaveText("LastFile", "C:\\Data\\x.dat"));
  EXPECT_EQ(Store(),
            "Windows Registry Editor Version 5.00\r\n\r\n"
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
  // A save without createKey into a parent known only through its child.
  EXPECT_TRUE(SaveNumber("Depth", 3, false, "Software\\Norvel"));
  EXPECT_EQ(Number("Depth", true, "software\\norvel"), 3);
  EXPECT_TRUE(w.ui.boxes.empty());
}

TEST_F(RegistryTest, HandWrittenStoreKeepsWhatItDoesNotUse) {
  w.Write(kStore,
          "Windows Registry Editor Version 5.00\n\n"
          "[HKEY_CURRENT_USER\\Software\\Norvel\\Kestova\\Utilities\\Ingestor]\n"
          "\"Blob\"=hex:01,02,03,\\\n  04,05\n"
          "\"Path\"=\"C:\\Data\"\n"
          "\"Wide\"=hex(1):61,00,62,00,63,00,00,00\n"
          "\"Top\"=dword:0000000A\n"
          "@=\"default\"\n"
          "; a comment line\n\n"
          "[HKEY_CURRENT_USER\\Software\\Empty]\n");
  ASSERT_TRUE(SaveNumber("Left", 1));
  EXPECT_EQ(Text("Path") + Text("Wide") + Text(""), "C:\\Dataabcdefault");  // a lone '\\' kept
  EXPECT_EQ(Number("Top") + Number("Blob"), 10);
  const std::string store = Store();
  EXPECT_NE(store.find("\"Blob\"=hex:01,02,03,\\\r\n  04,05\r\n"), std::string::npos);
  EXPECT_NE(store.find("[HKEY_CURRENT_USER\\Software\\Empty]\r\n"), std::string::npos);
}

TEST_F(RegistryTest, StoreIsNeverDamaged) {
  // A store that cannot be parsed, or is there but cannot be read, is not
  // overwritten.
  const std::string corrupt = "this is not a registry export\n\"Left\"=dword:00000001\n";
  w.Write(kStore, corrupt);
  EXPECT_EQ(Number("Left", false), 0);
  EXPECT_FALSE(SaveNumber("Left", 2) || SaveText("Name", "x"));
  EXPECT_EQ(Store(), corrupt);
  w.Write(kStore, "Windows Registry Editor Version 5.00\r\n\r\n");
  w.env.FailAlways("ReadWholeFile");
  EXPECT_FALSE(SaveNumber("Left", 2));
  w.env.Heal();
  EXPECT_EQ(Store(), "Windows Registry Editor Version 5.00\r\n\r\n");

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
}

}  // namespace
