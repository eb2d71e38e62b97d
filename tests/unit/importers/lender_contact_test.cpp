#include "importers/LenderContact.h"

#include <gtest/gtest.h>

#include <string>

using importers::SplitLenderContact;

namespace {

void ExpectSplit(const std::string& value, const std::string& email, const std::string& note) {
  importers::LenderContact c = SplitLenderContact(value);
  EXPECT_EQ(c.email, email) << "value '" << value << "'";
  EXPECT_EQ(c.note, note) << "value '" << value << "'";
}

TEST(LenderContactTest, TheFourShapesOfAConfigurationValue) {
  // Name, "/", address.
  ExpectSplit("Ann Marsh/ann@bank.example", "ann@bank.example", "Ann Marsh");
  // Address, "/", text.
  ExpectSplit("ann@bank.example/Ann Marsh", "ann@bank.example", "Ann Marsh");
  // Word, space, address, space, word: the trailing word is lost.
  ExpectSplit("Loans ann@bank.example desk", "ann@bank.example", "Loans");
  // No "@": everything is the note.
  ExpectSplit("Call Ann on Mondays", "", "Call Ann on Mondays");
  ExpectSplit("", "", "");
}

TEST(LenderContactTest, BoundariesAroundTheAddressWithoutSlash) {
  // Address alone, or at the start: nothing before it, the note is what follows.
  ExpectSplit("ann@bank.example", "ann@bank.example", "");
  ExpectSplit("ann@bank.example main office", "ann@bank.example", "main office");
  // Address last: the note is everything before the boundary.
  ExpectSplit("Loans, ann@bank.example", "ann@bank.example", "Loans,");
  // The boundary after the address is kept in the e-mail and not trimmed when
  // it is not a space.
  ExpectSplit("ann@bank.example, desk", "ann@bank.example,", "desk");
  // A boundary at position 1 leaves no note at all.
  ExpectSplit(" ann@bank.example", "ann@bank.example", "");
  // Address characters include & ! - _ . so they do not end it.
  ExpectSplit("x a.b-c_d&e!f@g.example y", "a.b-c_d&e!f@g.example", "x");
}

TEST(LenderContactTest, SlashesAndSpacesAreCleanedFromBothParts) {
  // Slash before the "@": everything after it is the e-mail, even further text.
  ExpectSplit("Ann / ann@bank.example desk", "ann@bank.example desk", "Ann");
  ExpectSplit("A/B/ann@bank.example", "Bann@bank.example", "A");
  // Slash after the "@": the e-mail ends at it, every later slash leaves the note.
  ExpectSplit("Loans ann@bank.example/desk/2", "Loans ann@bank.example", "desk2");
  // No "@": slashes still go and spaces are trimmed.
  ExpectSplit("  Ann / Loans  ", "", "Ann  Loans");
  // Only spaces are trimmed, not tabs.
  ExpectSplit("\tAnn\t", "", "\tAnn\t");
}

TEST(LenderContactTest, WorksOnSingleByteTextAndVeryLongValues) {
  // An accented letter of the code page is a boundary like any other non-word byte.
  ExpectSplit(
      "Ren\xE9"
      "e@bank.example",
      "e@bank.example", "Ren");
  // Past the 32767th byte nothing is looked at.
  std::string tail(40000, 'n');
  ExpectSplit("a@b " + tail, "a@b", std::string(32767 - 4, 'n'));
  EXPECT_EQ(SplitLenderContact(tail + "a@b").email, "");
}

}  // namespace
