#include "support/RegStore.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr char kHeader[] = "Windows Registry Editor Version 5.00\r\n\r\n";

TEST(RegStore, ParseRefusesWhatItCouldNotWriteBack) {
  EXPECT_TRUE(support::RegStore::Parse("").has_value());
  EXPECT_TRUE(support::RegStore::Parse("\xEF\xBB\xBF" + std::string(kHeader)).has_value());
  EXPECT_TRUE(support::RegStore::Parse("REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n").has_value());

  for (std::string body : {
           "\"Orphan\"=dword:00000001\r\n",         // value before any key
           "[HKEY_CURRENT_USER\\A\r\n",             // key line not closed
           "[-HKEY_CURRENT_USER\\A]\r\n",           // key deletion
           "[HKEY_CURRENT_USER\\A]\r\nLeft=1\r\n",  // unquoted name
           "[HKEY_CURRENT_USER\\A]\r\n\"Left\"dword:1\r\n",
           "[HKEY_CURRENT_USER\\A]\r\n\"Left=dword:1\r\n",
           "[HKEY_CURRENT_USER\\A]\r\n\"T\"=\"text\" trailing\r\n",
       }) {
    EXPECT_FALSE(support::RegStore::Parse(kHeader + body).has_value()) << body;
  }
  EXPECT_FALSE(support::RegStore::Parse("[HKEY_CURRENT_USER\\A]\r\n").has_value());  // no header
}

TEST(RegStore, RepeatedKeysMergeAndTheLastValueCounts) {
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

  // Serialize, parse again: the same store.
  std::string text = store->Serialize();
  auto again = support::RegStore::Parse(text);
  ASSERT_TRUE(again.has_value());
  EXPECT_EQ(again->Serialize(), text);
}

TEST(RegStore, AValueCutOffAfterAContinuationReadsTheSameWhenWrittenBack) {
  // The text ends inside hex data whose last line asks for one more line.
  for (const char* end : {"", "\r\n", "\n"}) {
    auto store = support::RegStore::Parse(std::string(kHeader) +
                                          "[HKEY_CURRENT_USER\\A]\r\n\"M\"=hex(7):41,00,\\" + end);
    ASSERT_TRUE(store.has_value()) << end;
    const std::string text = store->Serialize();
    auto again = support::RegStore::Parse(text);
    ASSERT_TRUE(again.has_value()) << end;
    ASSERT_EQ(again->keys().size(), 1u);
    ASSERT_EQ(again->keys()[0].values.size(), 1u);
    EXPECT_EQ(again->keys()[0].values[0].data, store->keys()[0].values[0].data) << end;
    EXPECT_EQ(again->Serialize(), text) << end;
  }
}

TEST(RegStore, ValueTypes) {
  auto number = [](std::string data) { return support::RegNumber({"n", std::move(data)}); };
  auto text = [](std::string data) { return support::RegText({"t", std::move(data)}); };
  EXPECT_EQ(number("dword:ffffffff"), -1);
  EXPECT_EQ(number("DWORD:0000000a"), 10);
  EXPECT_EQ(number("hex(4):2a,00,00,00"), 42);
  EXPECT_EQ(number("hex(4):2a,00,00,00,00"), std::nullopt);  // longer than a number
  EXPECT_EQ(number("hex(b):01,00,00,00,00,00,00,00"), std::nullopt);
  EXPECT_EQ(number("dword:1234567890"), std::nullopt);
  EXPECT_EQ(number("dword:xyz"), std::nullopt);
  EXPECT_EQ(number("\"5\""), std::nullopt);
  EXPECT_EQ(text("\"a\\\\b \\\"c\\\"\""), "a\\b \"c\"");
  EXPECT_EQ(text("hex(2):25,00,41,00,25,00,00,00"), "%A%");
  EXPECT_EQ(text("hex(1):3d,d8,00,de,00,00"), "\U0001F600");  // surrogate pair
  EXPECT_EQ(text("hex(1):41,00,42,00"), "AB");                // no terminator: all of it
  EXPECT_EQ(text("hex(1):41,00,00,00,42,00,00,00"), std::string("A\0B", 3));
  EXPECT_EQ(text("hex(1):41"), std::nullopt);
  EXPECT_EQ(text("dword:00000001"), std::nullopt);
}

}  // namespace
