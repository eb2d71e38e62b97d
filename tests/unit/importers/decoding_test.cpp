// The pure pieces of the importers: field values, record framing, the lender
// contact split, and the neighborhood form codes and field text.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "doubles/TestWorld.h"
#include "importers/FieldDecoding.h"
#include "importers/FramedRecords.h"
#include "importers/LenderContact.h"
#include "importers/LenderInformation.h"
#include "importers/NeighborhoodForms.h"
#include "support/modINIFile.h"

namespace {

using importers::Framing;
using std::string_literals::operator""s;
using Pairs = std::vector<std::pair<std::string, std::string>>;
using Tags = std::vector<std::string>;

TEST(FieldDecoding, TextNumbersDatesAndLengths) {
  // clang-format off
  for (const auto& [in, out] : Pairs{{"  Oak St  \0xyz"s, "Oak St"}, {"\0abc"s, ""}, {"   ", ""},
                                     {"A\t", "A\t"}, {" 'q' t ", "'q' t"}})
    EXPECT_EQ(importers::CleanView(in), out) << in;
  // Little-endian and signed; missing bytes read as zero.
  for (const auto& [in, out] : std::vector<std::pair<std::string, int>>{
           {"\x34\x12", 4660}, {"\xFF\xFF", -1}, {"\x00\x80"s, -32768}, {"A", 65}, {"", 0}})
    EXPECT_EQ(importers::ShortValue(in), out) << out;
  // Month-day-year without a calendar check; day or month 0 is no date.
  for (const auto& [in, out] : Pairs{{"\x1F\x0C\xCF\x07", "12-31-1999"}, {"\x01\x01\x00\x00"s, "01-01-0000"},
                                     {"\x00\x07\xD0\x07"s, ""}, {"\x0F\x00\xD0\x07"s, ""},
                                     {"\x1F\x02\xD0\x07", "02-31-2000"}, {"\x01\x7B\x39\x30", "123-01-12345"},
                                     {"\x02\x03", "03-02-0000"}})
    EXPECT_EQ(importers::DateText(in), out) << out;
  // A length prefix reads as the host's number parsing did (halves to even).
  for (const auto& [in, out] : std::vector<std::pair<std::string, int>>{
           {"00243", 243}, {"abcde", 0}, {"  42x", 42}, {"12.5", 12}, {"13.5", 14}, {"-0010", -10},
           {"1E3", 1000}, {"9E99", 0}})
    EXPECT_EQ(importers::LeadingNumber(in), out) << in;
  // clang-format on
  EXPECT_EQ(importers::LongValue("\xFF\xFF\xFF\xFF"), -1);
  EXPECT_EQ(importers::LongValue("\x9C\x3D\x0B\x00"s), 736668);
  EXPECT_EQ(importers::SingleValue("\x00\x00\x48\x42"s), 50.0f);
  EXPECT_TRUE(std::isnan(importers::SingleValue("\x00\x00\xC0\x7F"s)));
  EXPECT_GT(importers::SingleValue("\x01"), 0.0f);  // high bytes zero: a denormal
}

// Each case lists every record as "offset:length:head/body" ("*": cut
// short), then the bytes of a trailing fragment and those a length overran.
TEST(FramedRecords, EveryFramingRule) {
  using B = Framing::Body;
  using N = Framing::Next;
  const Framing padded{
      .headSize = 4, .minRemaining = 4, .body = B::NulText, .next = N::SkipPadding};
  const Framing fixed{.headSize = 4, .next = N::StartPlusLength};
  const Framing whole{.headSize = 6, .minRemaining = 6};
  const Framing tail{.headSize = 3, .body = B::LengthTail};
  const Framing counted{
      .headSize = 3, .body = B::CountedText, .countField = {1, 2, layouts::FieldKind::Int16}};
  struct Case {
    Framing framing;
    std::string bytes;
    std::vector<std::string> records;
    std::int64_t fragment, overrun;
  };
  // clang-format off
  const Case cases[] = {
      // Padding is skipped forward only; text runs to a NUL or the end.
      {padded, "00010HEADab\0PAD"s + "00002HD02xyz\0"s + "abcdeHD03t\0"s + "00099HD04no nul",
       {"0:10:HEAD/ab", "15:2:HD02/xyz", "28:0:HD03/t", "39:99:HD04/no nul"}, 0, 0},
      {padded, "00005HEAD\0xyz"s, {"0:5:HEAD/"}, 3, 0},
      {padded, "00099HEADab\0"s + "00007HD02c\0"s, {"0:99:HEAD/ab"}, 0, 11},
      {whole, "00006ABCDEF00006GH", {"0:6:ABCDEF/", "11:6:GH\0\0\0\0/*"s}, 0, 0},
      {fixed, "00006AAAAxx00002" "00004BBBB-0007CCCC", {"0:6:AAAA/", "11:2:0000/", "18:4:BB-0/", "27:7:CC\0\0/*"s}, 0, 0},
      {fixed, "00099AAAA00004BBBB", {"0:99:AAAA/"}, 0, 9},
      {tail, "00003abc00007defpath00009ghicut", {"0:3:abc/", "8:7:def/path", "20:9:ghi/cut*"}, 0, 0},
      {counted, "00000x\x02\x00" "hi00000y\xFF\xFF" "zz"s, {"0:0:x\x02\x00" "/hi"s, "10:0:y\xFF\xFF/", "18:0:\0\0\0/*"s}, 0, 0},
      {counted, "00000x\x05\x00" "abc"s, {"0:0:x\x05\x00" "/abc*"s}, 0, 0},
  };
  // clang-format on
  testing_doubles::TestWorld world;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    world.Write("f.tmp", c.bytes);
    importers::RecordReader reader(world.env, world.Program("f.tmp"));
    importers::FramedRecords records(reader, c.framing);
    std::vector<std::string> seen;
    for (importers::Record r; seen.size() < 10 && records.Next(r);)
      seen.push_back(std::to_string(r.offset) + ":" + std::to_string(r.length) + ":" +
                     std::string(r.head) + "/" + std::string(r.body) + (r.cutShort ? "*" : ""));
    EXPECT_EQ(seen, c.records);
    EXPECT_EQ(records.FragmentBytes(), c.fragment);
    EXPECT_EQ(records.OverrunBytes(), c.overrun);
  }
  // The counting pass follows the stated lengths, then rewinds.
  world.Write("c.tmp", "00003abc0000000004defg00002");
  importers::RecordReader reader(world.env, world.Program("c.tmp"));
  importers::FramedRecords records(reader, Framing{.headSize = 3});
  EXPECT_EQ(records.Count(), 4);
  importers::Record first;
  ASSERT_TRUE(records.Next(first));
  EXPECT_EQ(first.head, "abc");
}

TEST(LenderContact, SplitsAConfigurationValueIntoAddressAndNote) {
  const std::string n(40000, 'n');
  // clang-format off
  const std::vector<std::vector<std::string>> cases = {  // value, address, note
      {"Ann Marsh/ann@bank.example", "ann@bank.example", "Ann Marsh"},
      {"ann@bank.example/Ann Marsh", "ann@bank.example", "Ann Marsh"},
      {"Loans ann@bank.example desk", "ann@bank.example", "Loans"},
      {"Call Ann on Mondays", "", "Call Ann on Mondays"}, {"", "", ""},
      {"ann@bank.example main office", "ann@bank.example", "main office"},
      {"Loans, ann@bank.example", "ann@bank.example", "Loans,"},
      {"ann@bank.example, desk", "ann@bank.example,", "desk"},
      {"x a.b-c_d&e!f@g.example y", "a.b-c_d&e!f@g.example", "x"},
      // Slashes go from both parts; only spaces are trimmed.
      {"Ann / ann@bank.example desk", "ann@bank.example desk", "Ann"},
      {"A/B/ann@bank.example", "Bann@bank.example", "A"},
      {"Loans ann@bank.example/desk/2", "Loans ann@bank.example", "desk2"},
      {"  Ann / Loans  ", "", "Ann  Loans"}, {"\tAnn\t", "", "\tAnn\t"},
      // A code-page letter is a boundary; past byte 32767 nothing is looked at.
      {"Ren\xE9" "e@bank.example", "e@bank.example", "Ren"},
      {"a@b " + n, "a@b", std::string(32767 - 4, 'n')}};
  // clang-format on
  for (const auto& c : cases) {
    const importers::LenderContact split = importers::SplitLenderContact(c[0]);
    EXPECT_EQ(split.email + "|" + split.note, c[1] + "|" + c[2]) << c[0].substr(0, 40);
  }
  EXPECT_EQ(importers::SplitLenderContact(n + "a@b").email, "");
  EXPECT_EQ(importers::Utf8ToWindows1252("Caf\xC3\xA9 \xE2\x82\xAC \xC5\xBD \xC2\x81 "
                                         "\xC5\x82x\xC3y\xC0\xAF\xF0\x9F\x98\x80"),
            "Caf\xE9 \x80 \x8E \x81 ?x?y??");
  const auto c = importers::SplitLenderContactUtf8("Andr\xC3\xA9 pr\xC3\xAAts@bank.example soir");
  EXPECT_EQ(c.email + "|" + c.note, "ts@bank.example|Andr\xC3\xA9 pr");
}

TEST(LenderConfiguration, AnswersAsGetIniStringDoesAndSeesChanges) {
  testing_doubles::TestWorld world;
  modINIFile::ClearINICache();
  const std::string file = world.Program("lender.ini");
  // clang-format off
  world.Write("lender.ini", "[Other]\r\nFNB=wrong\r\n[ip]\r\nfnb=first\r\nFNB=second\r\n\xC9" "COLE=e\r\n"
                            "Long=" + std::string(300, 'x') + "\r\n spaced key = \"q\" \r\nX=plain\r\n"
                            "[IP]\r\nLATE=ignored\r\n");
  importers::LenderConfiguration config(world.ctx, file, "IP");
  for (const std::string key : {"FNB", "\xC3\xA9" "cole", "long", "spaced key", "x", "LATE", ""})
    EXPECT_EQ(config.Value(key), modINIFile::GetINIString(world.ctx, "IP", key, "", file)) << key;
  EXPECT_EQ(config.Value("Fnb") + config.Value("\xC3\x89" "COLE"), "firste");
  // clang-format on
  world.Write("lender.ini", "[IP]\r\nFNB=changed\r\n");
  EXPECT_EQ(config.Value("fnb") + config.Value("X"), "changed");
  EXPECT_EQ(importers::LenderConfiguration(world.ctx, world.Program("no"), "IP").Value("FNB"), "");
  modINIFile::ClearINICache();
}

TEST(NeighborhoodForms, FormCodesTagListsAndFieldText) {
  // clang-format off
  const std::vector<std::pair<std::string, std::optional<std::string>>> codes = {
      {"neigh1004.tmp", "1004"}, {"NEIGH209.tmp", "2095"}, {"neigh2090.tmp", "2090"}, {"neigh209a.tmp", "209a"},
      {"neighANVL.tmp", "LAR"}, {"neighanvl2.tmp", "LAR"}, {"neighaLaR.tmp", "LAR"}, {"neighnvlx.tmp", "LAR"},
      {"neighecu1.tmp", "ICU"}, {"neighNCU.tmp", "ICU"}, {"neighnur.tmp", "UA5"}, {"neighNeo9.tmp", "EOI"},
      {"neighnri.tmp", "SRI"}, {"neighNV.tmp", "NV"}, {"neighA.tmp", "A"}, {"neighANV.tmp", "ANV"},
      {"neighANRI.tmp", "ANRI"}, {"neighAECU.tmp", "AECU"}, {"neighXNRI.tmp", "XNRI"}, {"neighbors.tmp", "bors"},
      {"OldNeigh1004.tmp", "1004"}, {"neighneigh7.tmp", "neigh7"}, {"x.neigh1004.tmp", std::nullopt},
      {"lender.tmp", std::nullopt}, {"neigh.tmp", std::nullopt}, {"neigh1004", std::nullopt}};
  // clang-format on
  for (const auto& [file, code] : codes)
    EXPECT_EQ(importers::TranslateFormCode(importers::GetFormName(file)), code) << file;
  EXPECT_EQ(importers::GetFormName("areaX1.tmp", "AREA"), "X1");
  EXPECT_EQ(importers::StringToCollection(" T1 ,,T3,", ','), (Tags{" T1 ", "", "T3", ""}));
  EXPECT_EQ(importers::StringToCollection("a\0b"s, '\0'), (Tags{"a", "b"}));
  EXPECT_TRUE(importers::StringToCollection("", ',').empty());

  // "|" stands for character 2, "^" for 21.
  auto F = [](std::string t) {
    for (char& c : t) c = c == '|' ? '\x02' : c == '^' ? '\x15' : c;
    return t;
  };
  const std::string body = "01Alpha|02Beta|Skipped|03Gamma|##";
  const Tags three{"T1", "T2X", "T3"}, two{"T1", "T2"};
  const Pairs abc{{"T1", "Alpha"}, {"T2", "Beta"}, {"T3", "Gamma"}};
  struct Case {
    std::string text;
    Tags tags;
    Pairs values;
  };
  // clang-format off
  const Case cases[] = {
      {body, three, abc}, {"^pre^amble|" + body, three, abc},
      {"0^V|##", {"T1"}, {{"T1", "V"}}}, {"01^V|##", {"T1"}, {{"T1", F("^V")}}},
      {"01|02Caf\xE9|##", {"A", "B"}, {{"A", ""}, {"B", "Caf\xE9"}}},
      {body, {" T1"}, {{" T1", "Alpha"}}}, {body, {}, {}},
      // Only an upper-case X marks a skipped value; the name ends at the first.
      {body, {"T1XaX", "T2", "T3"}, {{"T1", "Alpha"}, {"T2", "ipped"}, {"T3", "Gamma"}}},
      {body, {"x1", "X", "T3"}, {{"x1", "Alpha"}, {"", "Beta"}, {"T3", "Gamma"}}},
      // The last two characters never belong to a value.
      {"01Alpha|", two, {{"T1", "Alph"}}}, {"01Alpha|x", two, {{"T1", "Alpha"}}},
      {"01Al|02Beta", two, {{"T1", "Al"}, {"T2", "Be"}}}, {"01A|02x", two, {{"T1", "A"}}},
      {"01A|02xy", two, {{"T1", "A"}, {"T2", ""}}}, {"01VV", two, {{"T1", ""}}}, {"01V", two, {}},
      {"^|01V", two, {}}, {"^01Alpha~02Beta##", two, {}},
      {"01A|Skipped to the end|", {"T1X", "T2"}, {{"T1", "A"}}},
      {"01A|S|02B|##", {"T1X", "T2"}, {{"T1", "A"}, {"T2", "B"}}}};
  // clang-format on
  for (const Case& c : cases)
    EXPECT_EQ(importers::WalkFieldText(F(c.text), c.tags), c.values) << c.text;

  testing_doubles::TestWorld w;
  modINIFile::ClearINICache();
  w.Write("t.ini",
          "[1004]\r\nT1 = Location\r\nt2=\"  Built Up  \"\r\nT3=\r\nT1=Ignored\r\n"
          "Caf\xE9=Caf\xE9 Column\r\n[Empty]\r\n");
  const auto map = importers::INISectionToCollection(w.ctx, w.Program("t.ini"), "1004");
  EXPECT_EQ(map.entries(), (Pairs{{"T1", "Location"},
                                  {"t2", "Built Up"},
                                  {"T3", ""},
                                  {"Caf\xC3\xA9", "Caf\xC3\xA9 Column"}}));
  EXPECT_EQ(map.Find("t1").value_or("?") + map.Find("CAF\xC3\x89").value_or("?") +
                map.Find(" T1").value_or("?"),
            "LocationCaf\xC3\xA9 Column?");
  EXPECT_TRUE(importers::INISectionToCollection(w.ctx, w.Program("t.ini"), "Empty").empty());
  EXPECT_TRUE(importers::INISectionToCollection(w.ctx, w.Program("no.ini"), "1004").empty());
  modINIFile::ClearINICache();
}

}  // namespace
