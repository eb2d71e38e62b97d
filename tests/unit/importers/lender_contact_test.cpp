#include "importers/LenderContact.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(LenderContactTest, SplitsAConfigurationValueIntoAddressAndNote) {
  const std::string tail(40000, 'n');
  struct Case {
    std::string value, email, note;
  } cases[] = {
      // The four shapes: name/address, address/text, word address word, no "@".
      {"Ann Marsh/ann@bank.example", "ann@bank.example", "Ann Marsh"},
      {"ann@bank.example/Ann Marsh", "ann@bank.example", "Ann Marsh"},
      {"Loans ann@bank.example desk", "ann@bank.example", "Loans"},
      {"Call Ann on Mondays", "", "Call Ann on Mondays"},
      {"", "", ""},
      // Boundaries around an address without a slash.
      {"ann@bank.example", "ann@bank.example", ""},
      {"ann@bank.example main office", "ann@bank.example", "main office"},
      {"Loans, ann@bank.example", "ann@bank.example", "Loans,"},
      {"ann@bank.example, desk", "ann@bank.example,", "desk"},
      {" ann@bank.example", "ann@bank.example", ""},
      {"x a.b-c_d&e!f@g.example y", "a.b-c_d&e!f@g.example", "x"},
      // Slashes go from both parts; only spaces are trimmed.
      {"Ann / ann@bank.example desk", "ann@bank.example desk", "Ann"},
      {"A/B/ann@bank.example", "Bann@bank.example", "A"},
      {"Loans ann@bank.example/desk/2", "Loans ann@bank.example", "desk2"},
      {"  Ann / Loans  ", "", "Ann  Loans"},
      {"\tAnn\t", "", "\tAnn\t"},
      // A code-page letter is a boundary; past byte 32767 nothing is looked at.
      {"Ren\xE9"
       "e@bank.example",
       "e@bank.example", "Ren"},
      {"a@b " + tail, "a@b", std::string(32767 - 4, 'n')},
  };
  for (const Case& c : cases) {
    const importers::LenderContact split = importers::SplitLenderContact(c.value);
    EXPECT_EQ(split.email, c.email) << "value '" << c.value.substr(0, 40) << "'";
    EXPECT_EQ(split.note, c.note) << "value '" << c.value.substr(0, 40) << "'";
  }
  EXPECT_EQ(importers::SplitLenderContact(tail + "a@b").email, "");
}

}  // namespace
