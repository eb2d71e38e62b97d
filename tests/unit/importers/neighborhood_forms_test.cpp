#include "importers/NeighborhoodForms.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "doubles/TestWorld.h"
#include "support/modINIFile.h"

using namespace std::string_literals;

namespace {

using importers::GetFormName;
using importers::StringToCollection;
using importers::TranslateFormCode;
using importers::WalkFieldText;
using Pairs = std::vector<std::pair<std::string, std::string>>;
using Tags = std::vector<std::string>;

// Field text written readably: "|" stands for character 2, "^" for 21.
std::string F(std::string text) {
  for (char& c : text) c = c == '|' ? '\x02' : c == '^' ? '\x15' : c;
  return text;
}

std::optional<std::string> FormCodeOf(const std::string& fileName) {
  return TranslateFormCode(GetFormName(fileName));
}

TEST(NeighborhoodFormsTest, FormCodeFromOutputFileName) {
  EXPECT_EQ(FormCodeOf("neigh1004.tmp"), "1004");
  EXPECT_EQ(FormCodeOf("NEIGH209.tmp"), "2095");
  EXPECT_EQ(FormCodeOf("neighANVL.tmp"), "LAR");
  EXPECT_EQ(FormCodeOf("neighNVL.tmp"), "LAR");
  EXPECT_EQ(FormCodeOf("neighNRI.tmp"), "SRI");
  EXPECT_EQ(FormCodeOf("neighbors.tmp"), "bors");
  // No code: the file cannot be imported.
  EXPECT_EQ(FormCodeOf("lender.tmp"), std::nullopt);
  EXPECT_EQ(FormCodeOf("neigh.tmp"), std::nullopt);
  EXPECT_EQ(FormCodeOf("neigh1004"), std::nullopt);
  EXPECT_EQ(FormCodeOf(""), std::nullopt);

  // The prefix is searched for, not only at the start, and only before the first ".".
  EXPECT_EQ(GetFormName("OldNeigh1004.tmp"), "1004");
  EXPECT_EQ(GetFormName("x.neigh1004.tmp"), "");
  EXPECT_EQ(GetFormName("neighneigh7.tmp"), "neigh7");
  // Only the whole code 209 is replaced; the case of the code is kept.
  EXPECT_EQ(GetFormName("neigh2090.tmp"), "2090");
  EXPECT_EQ(GetFormName("neigh209a.tmp"), "209a");
  EXPECT_EQ(GetFormName("areaX1.tmp", "AREA"), "X1");
}

TEST(NeighborhoodFormsTest, FormCodeTranslationTable) {
  const std::pair<const char*, const char*> cases[] = {
      {"ANVL", "LAR"},
      {"anvl2", "LAR"},
      {"ALAR", "LAR"},
      {"aLaR", "LAR"},
      {"ECU", "ICU"},
      {"ecu1", "ICU"},
      {"NVL", "LAR"},
      {"nvlx", "LAR"},
      {"NUR", "UA5"},
      {"nur", "UA5"},
      {"NEO", "EOI"},
      {"Neo9", "EOI"},
      {"NCU", "ICU"},
      {"NRI", "SRI"},
      {"nri", "SRI"},
      // Unchanged: too short, other codes, and A-codes compared on four letters.
      {"NV", "NV"},
      {"A", "A"},
      {"ANV", "ANV"},
      {"ANRI", "ANRI"},
      {"AECU", "AECU"},
      {"1004", "1004"},
      {"bors", "bors"},
      {"LAR", "LAR"},
      {"XNRI", "XNRI"},
  };
  for (const auto& [code, expected] : cases) EXPECT_EQ(TranslateFormCode(code), expected) << code;
  EXPECT_EQ(TranslateFormCode(""), std::nullopt);
}

TEST(NeighborhoodFormsTest, StringToCollectionKeepsEveryPieceAsItIs) {
  EXPECT_TRUE(StringToCollection("", ',').empty());
  EXPECT_EQ(StringToCollection("T1", ','), (Tags{"T1"}));
  EXPECT_EQ(StringToCollection("T1,T2X,T3", ','), (Tags{"T1", "T2X", "T3"}));
  EXPECT_EQ(StringToCollection(" T1 ,,T3,", ','), (Tags{" T1 ", "", "T3", ""}));
  EXPECT_EQ(StringToCollection(",", ','), (Tags{"", ""}));
  EXPECT_EQ(StringToCollection("a\0b\0"s, '\0'), (Tags{"a", "b", ""}));
}

TEST(NeighborhoodFormsTest, WalkPairsTagsWithValues) {
  const Tags tags{"T1", "T2X", "T3"};
  const std::string body = F("01Alpha|02Beta|Skipped|03Gamma|##");
  const Pairs expected{{"T1", "Alpha"}, {"T2", "Beta"}, {"T3", "Gamma"}};
  EXPECT_EQ(WalkFieldText(body, tags), expected);
  // A preamble runs to the first character 2, whatever it holds.
  EXPECT_EQ(WalkFieldText(F("^pre^amble|") + body, tags), expected);
  // Character 21 anywhere but first is ordinary text.
  EXPECT_EQ(WalkFieldText(F("0^V|##"), Tags{"T1"}), (Pairs{{"T1", "V"}}));
  EXPECT_EQ(WalkFieldText(F("01^V|##"), Tags{"T1"}), (Pairs{{"T1", F("^V")}}));

  // Empty values, and values holding bytes of the code page unchanged.
  EXPECT_EQ(WalkFieldText(F("01|02Caf\xE9|##"), Tags{"A", "B"}),
            (Pairs{{"A", ""}, {"B", "Caf\xE9"}}));
  // Extra values in the text are never reached; tag names keep their spaces.
  EXPECT_EQ(WalkFieldText(body, Tags{" T1"}), (Pairs{{" T1", "Alpha"}}));
  EXPECT_TRUE(WalkFieldText(body, Tags{}).empty());
  // Only an upper-case X marks, the name ends at the first one, and one value
  // is skipped however many X the tag holds. A skipped value has no code, so
  // here "02Beta" is skipped whole and "Sk" is read as the next code.
  EXPECT_EQ(WalkFieldText(body, Tags{"T1XaX", "T2", "T3"}),
            (Pairs{{"T1", "Alpha"}, {"T2", "ipped"}, {"T3", "Gamma"}}));
  EXPECT_EQ(WalkFieldText(body, Tags{"x1", "X", "T3"}),
            (Pairs{{"x1", "Alpha"}, {"", "Beta"}, {"T3", "Gamma"}}));
}

TEST(NeighborhoodFormsTest, WalkNearTheEndOfTheText) {
  const Tags two{"T1", "T2"};
  // The last two characters never belong to a value: a terminator in them is
  // not seen and an unterminated value stops short of them.
  EXPECT_EQ(WalkFieldText(F("01Alpha|"), two), (Pairs{{"T1", "Alph"}}));
  EXPECT_EQ(WalkFieldText(F("01Alpha|x"), two), (Pairs{{"T1", "Alpha"}}));
  EXPECT_EQ(WalkFieldText(F("01Alpha"), two), (Pairs{{"T1", "Alp"}}));
  EXPECT_EQ(WalkFieldText(F("01Al|02Beta"), two), (Pairs{{"T1", "Al"}, {"T2", "Be"}}));
  // A value may start no later than the second-last character.
  EXPECT_EQ(WalkFieldText(F("01A|02x"), two), (Pairs{{"T1", "A"}}));
  EXPECT_EQ(WalkFieldText(F("01A|02xy"), two), (Pairs{{"T1", "A"}, {"T2", ""}}));
  for (const std::string& tooShort : {""s, "0"s, "01"s, "01V"s, F("^"), F("^|"), F("^|01V")})
    EXPECT_TRUE(WalkFieldText(tooShort, two).empty()) << tooShort.size() << " bytes";
  EXPECT_EQ(WalkFieldText("01VV", two), (Pairs{{"T1", ""}}));
  // A preamble without its end mark swallows the whole text.
  EXPECT_TRUE(WalkFieldText(F("^01Alpha~02Beta##"), two).empty());
  // A skipped value without an end mark takes the rest of the text.
  EXPECT_EQ(WalkFieldText(F("01A|Skipped to the end|"), Tags{"T1X", "T2"}), (Pairs{{"T1", "A"}}));
  EXPECT_EQ(WalkFieldText(F("01A|S|02B|##"), Tags{"T1X", "T2"}), (Pairs{{"T1", "A"}, {"T2", "B"}}));
}

class NeighborhoodFormMapTest : public ::testing::Test {
 protected:
  void SetUp() override { modINIFile::ClearINICache(); }
  void TearDown() override { modINIFile::ClearINICache(); }
  testing_doubles::TestWorld w;
};

TEST_F(NeighborhoodFormMapTest, SectionBecomesACaseBlindMapInFileOrder) {
  w.Write("NeighTags.ini",
          "[OldFields]\r\n"
          "1004=T1,T2X,t3\r\n"
          "[1004]\r\n"
          "T1 = Location\r\n"
          "t2=\"  Built Up  \"\r\n"
          "T3=\r\n"
          "T1=Ignored\r\n"
          "Caf\xE9=Caf\xE9 Column\r\n"
          "[Empty]\r\n"
          "; nothing here\r\n");
  const std::string file = w.Program("NeighTags.ini");

  importers::FormMap map = importers::INISectionToCollection(w.ctx, file, "1004");
  ASSERT_EQ(map.size(), 4u);
  EXPECT_EQ(map.entries(), (Pairs{{"T1", "Location"},
                                  {"t2", "Built Up"},
                                  {"T3", ""},
                                  {"Caf\xC3\xA9", "Caf\xC3\xA9 Column"}}));
  EXPECT_EQ(map.Find("t1"), "Location");
  EXPECT_EQ(map.Find("T2"), "Built Up");
  EXPECT_EQ(map.Find("T3"), "");
  EXPECT_EQ(map.Find("CAF\xC3\x89"), "Caf\xC3\xA9 Column");
  EXPECT_EQ(map.Find("T4"), std::nullopt);
  EXPECT_EQ(map.Find(" T1"), std::nullopt);

  EXPECT_TRUE(importers::INISectionToCollection(w.ctx, file, "Empty").empty());
  EXPECT_TRUE(importers::INISectionToCollection(w.ctx, file, "2095").empty());
  EXPECT_TRUE(importers::INISectionToCollection(w.ctx, w.Program("none.ini"), "1004").empty());
  EXPECT_TRUE(w.ui.boxes.empty());

  // The pieces fit together: tags read from the walk find their columns.
  const Tags tags =
      StringToCollection(modINIFile::GetINIString(w.ctx, "OldFields", "1004", "", file), ',');
  std::vector<std::pair<std::string, std::string>> columns;
  for (const auto& [tag, value] : WalkFieldText(F("01a|02b|s|03c|##"), tags))
    columns.emplace_back(map.Find(tag).value_or("?"), value);
  EXPECT_EQ(columns, (Pairs{{"Location", "a"}, {"Built Up", "b"}, {"", "c"}}));
}

}  // namespace
