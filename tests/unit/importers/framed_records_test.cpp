#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "doubles/TestWorld.h"
#include "importers/FieldDecoding.h"
#include "importers/FramedRecords.h"
#include "importers/RecordReader.h"

namespace {

using importers::FramedRecords;
using importers::Framing;
using importers::Record;
using importers::RecordReader;
using std::string_literals::operator""s;
using testing_doubles::TestWorld;

struct Seen {
  std::int64_t number, offset;
  std::int32_t length;
  std::string head, body;
  bool cutShort;
};

class FramedRecordsTest : public ::testing::Test {
 protected:
  // Walks `bytes` with `framing` and returns every record.
  std::vector<Seen> Walk(const std::string& bytes, const Framing& framing) {
    world.Write("f.tmp", bytes);
    reader = std::make_unique<RecordReader>(world.env.OpenForReading(world.Program("f.tmp")));
    FramedRecords records(*reader, framing);
    std::vector<Seen> seen;
    Record r;
    while (records.Next(r))
      seen.push_back(
          {r.number, r.offset, r.length, std::string(r.head), std::string(r.body), r.cutShort});
    fragmentBytes = records.FragmentBytes();
    fragmentOffset = records.FragmentOffset();
    overrunBytes = records.OverrunBytes();
    return seen;
  }

  TestWorld world;
  std::unique_ptr<RecordReader> reader;
  std::int64_t fragmentBytes = -1, fragmentOffset = -1, overrunBytes = -1;
};

TEST(LeadingNumber, ParsesLikeTheHostsValueFunction) {
  EXPECT_EQ(importers::LeadingNumber("00243"), 243);
  EXPECT_EQ(importers::LeadingNumber("99999"), 99999);
  EXPECT_EQ(importers::LeadingNumber("abcde"), 0);
  EXPECT_EQ(importers::LeadingNumber(""), 0);
  EXPECT_EQ(importers::LeadingNumber("  42x"), 42);
  EXPECT_EQ(importers::LeadingNumber("12.5"), 12);  // halves to even
  EXPECT_EQ(importers::LeadingNumber("13.5"), 14);
  EXPECT_EQ(importers::LeadingNumber("-0010"), -10);
  EXPECT_EQ(importers::LeadingNumber("1E3"), 1000);
  EXPECT_EQ(importers::LeadingNumber("9E99"), 0);  // beyond 32 bits
}

TEST_F(FramedRecordsTest, NulTextWithPaddingSkipsForwardOnlyAndStopsAtAFragment) {
  const Framing framing{.headSize = 4,
                        .minRemaining = 4,
                        .body = Framing::Body::NulText,
                        .next = Framing::Next::SkipPadding};
  std::string file;
  file +=
      "00010"
      "HEAD"
      "ab\0"s
      "PAD";  // 4 + 3 consumed, 3 padding skipped
  file +=
      "00002"
      "HD02"
      "xyz\0"s;  // L shorter than consumed: no backward seek
  file +=
      "abcde"
      "HD03"
      "t\0"s;  // L not a number: read, nothing skipped
  file +=
      "00099"
      "HD04"
      "no nul at end";  // text to end of file
  const auto seen = Walk(file, framing);
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0].head, "HEAD");
  EXPECT_EQ(seen[0].body, "ab");
  EXPECT_EQ(seen[1].offset, 15);
  EXPECT_EQ(seen[1].body, "xyz");
  EXPECT_EQ(seen[2].length, 0);
  EXPECT_EQ(seen[2].head, "HD03");
  EXPECT_EQ(seen[3].body, "no nul at end");
  EXPECT_FALSE(seen[3].cutShort);
  EXPECT_EQ(fragmentBytes, 0);

  // Three bytes left after the last record: too short to start one.
  const auto withTail = Walk(
      "00005"
      "HEAD"
      "\0"s
      "xyz",
      framing);
  ASSERT_EQ(withTail.size(), 1u);
  EXPECT_EQ(fragmentBytes, 3);
  EXPECT_EQ(fragmentOffset, 10);
}

TEST_F(FramedRecordsTest, AHeadCutShortReadsAsZeroNotAsThePreviousRecord) {
  const Framing framing{.headSize = 6, .minRemaining = 6};
  const auto seen = Walk(
      "00006"
      "ABCDEF"
      "00006"
      "GH",
      framing);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_FALSE(seen[0].cutShort);
  EXPECT_TRUE(seen[1].cutShort);
  EXPECT_EQ(seen[1].head, "GH\0\0\0\0"s);
}

TEST_F(FramedRecordsTest, FixedRecordsMoveToStartPlusLengthAndNeverBackwards) {
  const Framing framing{.headSize = 4, .next = Framing::Next::StartPlusLength};
  // L = 6: two surplus bytes skipped. L = 2: the next record starts 2 bytes
  // into this one's head. L = -7 counts as 0: the next record starts at the
  // head, so the walk still moves forward.
  const auto seen = Walk(
      "00006"
      "AAAA"
      "xx"
      "00002"
      "00004"
      "BBBB"
      "-0007"
      "CCCC",
      framing);
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(seen[0].head, "AAAA");
  EXPECT_EQ(seen[1].length, 2);
  EXPECT_EQ(seen[1].head, "0000");
  EXPECT_EQ(seen[2].offset, 18);  // head start 16 + 2
  for (std::size_t i = 1; i < seen.size(); ++i) EXPECT_GT(seen[i].offset, seen[i - 1].offset);
}

TEST_F(FramedRecordsTest, AStatedLengthPastTheEndOfTheFileCountsTheBytesLeftUnread) {
  const Framing padded{.headSize = 4,
                       .minRemaining = 4,
                       .body = Framing::Body::NulText,
                       .next = Framing::Next::SkipPadding};
  const Framing fixed{.headSize = 4, .next = Framing::Next::StartPlusLength};
  struct Case {
    const char* what;
    Framing framing;
    std::string bytes;
    std::size_t records;
    std::int64_t unread;
  };
  const Case cases[] = {
      {"padding past the end hides a record", padded, "00099HEADab\0"s + "00007HD02c\0"s, 1, 11},
      {"padding inside the file", padded, "00010HEADab\0PAD"s + "00007HD02c\0"s, 2, 0},
      {"text running to the end", padded, "00099HEADno nul", 1, 0},
      {"fixed record past the end", fixed, "00099AAAA00004BBBB", 1, 9},
      {"fixed records inside the file", fixed, "00004AAAA00004BBBB", 2, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Walk(c.bytes, c.framing).size(), c.records);
    EXPECT_EQ(overrunBytes, c.unread);
  }
}

TEST_F(FramedRecordsTest, TailsAndCountedTextsTakeWhatTheyStateAndNoMore) {
  const Framing tail{.headSize = 3, .body = Framing::Body::LengthTail};
  const auto tails = Walk(
      "00003"
      "abc"
      "00007"
      "def"
      "path"
      "00009"
      "ghi"
      "cut",
      tail);
  ASSERT_EQ(tails.size(), 3u);
  EXPECT_EQ(tails[0].body, "");
  EXPECT_EQ(tails[1].body, "path");
  EXPECT_EQ(tails[2].body, "cut");  // the file ends inside the tail
  EXPECT_FALSE(tails[1].cutShort);
  EXPECT_TRUE(tails[2].cutShort);

  const Framing counted{.headSize = 3,
                        .body = Framing::Body::CountedText,
                        .countField = {1, 2, layouts::FieldKind::Int16}};
  // A count of 2, then a negative count (reads nothing).
  const auto texts = Walk(
      "00000"
      "x\x02\x00"s
      "hi"
      "00000"
      "y\xFF\xFF"
      "zz",
      counted);
  ASSERT_GE(texts.size(), 2u);
  EXPECT_EQ(texts[0].body, "hi");
  EXPECT_EQ(texts[1].body, "");
  EXPECT_FALSE(texts[0].cutShort || texts[1].cutShort);

  // A text that the end of the file cuts off is flagged as cut short.
  const auto cut = Walk(
      "00000"
      "x\x05\x00"s
      "abc",
      counted);
  ASSERT_EQ(cut.size(), 1u);
  EXPECT_EQ(cut[0].body, "abc");
  EXPECT_TRUE(cut[0].cutShort);
}

TEST_F(FramedRecordsTest, CountingPassFollowsTheStatedLengthsAndRewinds) {
  const Framing framing{.headSize = 3};
  world.Write("c.tmp",
              "00003abc00000"
              "00004defg"
              "00002");
  RecordReader r(world.env.OpenForReading(world.Program("c.tmp")));
  FramedRecords records(r, framing);
  EXPECT_EQ(records.Count(), 4);
  EXPECT_EQ(r.Position(), 0);
  Record first;
  ASSERT_TRUE(records.Next(first));
  EXPECT_EQ(first.number, 1);
}

TEST_F(FramedRecordsTest, LargeFilesStreamAcrossTheReadWindowAndReadErrorsStopTheWalk) {
  const Framing framing{.headSize = 2,
                        .minRemaining = 2,
                        .body = Framing::Body::NulText,
                        .next = Framing::Next::SkipPadding};
  std::string file;
  const std::string text(700, 't');
  for (int i = 0; i < 4000; ++i)
    file +=
        "00000"
        "HH" +
        text + '\0';  // ~2.8 MB
  const auto seen = Walk(file, framing);
  ASSERT_EQ(seen.size(), 4000u);
  for (const Seen& s : seen) ASSERT_EQ(s.body, text);

  world.Write("g.tmp", file);
  world.env.FailNth("ReadAt", 2);
  RecordReader failing(world.env.OpenForReading(world.Program("g.tmp")));
  FramedRecords records(failing, framing);
  Record r;
  int n = 0;
  while (records.Next(r)) ++n;
  EXPECT_TRUE(failing.Failed());
  EXPECT_LT(n, 4000);
  EXPECT_GT(n, 0);
}

}  // namespace
