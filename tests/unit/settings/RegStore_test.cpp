#include "support/RegStore.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

constexpr char kHeader[] = "Windows Registry Editor Version 5.00\r\n\r\n";

TEST(RegStore, ParseRefusesWhatItCouldNotWriteBack) {
  EXPECT_TRUE(support::RegStore::Parse("").has_value());
  EXPECT_TRUE(support::RegStore::Parse("\xEF\xBB\xBF" + std::string(kHeader)).has_value());
  EXPECT_TRUE(support::RegStore::Parse("REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n").has_value());
  EXPECT_FALSE(support::RegStore::Parse("[HKEY_CURRENT_USER\\A]\r\n").has_value());  // no header
  for (std::string body : {
           "\"Orphan\"=dword:00000001\r\n",  // value before any key
           "[HKEY_CURRENT_USER\\A\r\n",      // key line not closed
           "[-HKEY_CURRENT_USER\\A]\r\n",    // key deletion
           "[HKEY_CURRENT_USER\\A]\r\nLeft=1\r\n",
           "[HKEY_CURRENT_USER\\A]\r\n\"Left\"dword:1\r\n",
           "[HKEY_CURRENT_USER\\A]\r\n\"T\"=\"text\" trailing\r\n",
       })
    EXPECT_FALSE(support::RegStore::Parse(kHeader + body).has_value()) << body;

  // Repeated keys merge and the last value counts.
  auto store = support::RegStore::Parse(std::string(kHeader) +
                                        "[HKEY_CURRENT_USER\\A]\n\"X\"=dword:00000001\n"
                                        "[HKEY_CURRENT_USER\\B]\n"
                                        "[hkey_current_user\\a]\n\"x\"=dword:00000002\n");
  ASSERT_TRUE(store.has_value());
  ASSERT_EQ(store->keys().size(), 2u);
  EXPECT_EQ(store->keys()[0].path, "HKEY_CURRENT_USER\\A");
  ASSERT_EQ(store->keys()[0].values.size(), 1u);
  EXPECT_EQ(store->keys()[0].values[0].name, "X");
  EXPECT_EQ(support::RegNumber(store->keys()[0].values[0]), 2);
}

TEST(RegStore, ValueTypes) {
  struct Case {
    const char* data;
    std::optional<std::int32_t> number;
    std::optional<std::string> text;
  };
  for (const Case& c : std::initializer_list<Case>{
           {"dword:ffffffff", -1, {}},
           {"DWORD:0000000a", 10, {}},
           {"hex(4):2a,00,00,00", 42, {}},
           {"hex(4):2a,00,00,00,00", {}, {}},  // longer than a number
           {"hex(b):01,00,00,00,00,00,00,00", {}, {}},
           {"dword:1234567890", {}, {}},
           {"dword:xyz", {}, {}},
           {"\"5\"", {}, "5"},
           {"\"a\\\\b \\\"c\\\"\"", {}, "a\\b \"c\""},
           {"hex(2):25,00,41,00,25,00,00,00", {}, "%A%"},
           {"hex(1):3d,d8,00,de,00,00", {}, "\U0001F600"},  // surrogate pair
           {"hex(1):41,00,42,00", {}, "AB"},                // no terminator: all of it
           {"hex(1):41,00,00,00,42,00,00,00", {}, std::string("A\0B", 3)},
           {"hex(1):41", {}, {}},
       }) {
    EXPECT_EQ(support::RegNumber({"n", c.data}), c.number) << c.data;
    EXPECT_EQ(support::RegText({"t", c.data}), c.text) << c.data;
  }
}

}  // namespace
