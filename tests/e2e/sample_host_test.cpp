// The sample host installation: configuration, template databases and data
// files framed exactly as the record layouts say.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "doubles/TestWorld.h"
#include "e2e/RunProgram.h"
#include "importers/layouts/ComparablesLayout.h"
#include "importers/layouts/FileIndexLayout.h"
#include "importers/layouts/LenderLayout.h"
#include "importers/layouts/NeighborhoodLayout.h"
#include "importers/layouts/ResponsesLayout.h"
#include "importers/layouts/SupplementLayout.h"
#include "platform/PosixEnv.h"

namespace {

class SampleHost : public ::testing::Test {
 protected:
  void SetUp() override {
    auto r = e2e::Run(INGESTOR_SAMPLE_HOST, {world.Native("host")});
    ASSERT_EQ(r.status, 0) << r.err;
    out = r.out;
  }
  std::string File(const std::string& name) { return world.Read("host/" + name); }

  std::unique_ptr<db::Backend> Open(const std::string& db) {
    std::vector<std::string> errors;
    return env.OpenDatabase(
        "DRIVER={Microsoft Access Driver (*.mdb)};DBQ=" + world.Native("host/Data/" + db) + ";",
        errors);
  }
  // Column names of `table` in order; empty when the database or table
  // cannot be opened.
  std::vector<std::string> Columns(const std::string& db, const std::string& table) {
    std::vector<std::string> names;
    auto backend = Open(db);
    if (!backend) return names;
    std::string error;
    auto st = backend->Prepare("SELECT * FROM " + table, error);
    if (!st) return names;
    for (int i = 0; i < st->ColumnCount(); ++i) names.push_back(st->ColumnName(i));
    return names;
  }

  testing_doubles::TestWorld world;
  platform::PosixEnv env;
  std::string out;
};

// A record file cut at its length prefixes: each record's framed length and
// the bytes actually present after the prefix.
struct Framed {
  int length;
  std::string bytes;
};
std::vector<Framed> Split(const std::string& file, int fixedSize = 0) {
  std::vector<Framed> records;
  std::size_t p = 0;
  while (p < file.size()) {
    int length = std::stoi(file.substr(p, layouts::kLengthDigits));
    p += layouts::kLengthDigits;
    // Lender records sit a fixed pitch apart whatever the prefix says.
    std::size_t step = fixedSize ? static_cast<std::size_t>(fixedSize) : length;
    records.push_back({length, file.substr(p, step)});
    p += step;
  }
  return records;
}

int Int16At(const std::string& record, layouts::Field f) {
  return static_cast<std::int16_t>(static_cast<std::uint8_t>(record[f.offset]) |
                                   static_cast<std::uint8_t>(record[f.offset + 1]) << 8);
}
std::string TextAt(const std::string& record, layouts::Field f) {
  std::string t = record.substr(f.offset, f.width);
  return t.substr(0, t.find('\0'));
}

TEST_F(SampleHost, ConfigurationNamesTheFolderAndTheTemplatesHaveTheirTables) {
  EXPECT_NE(File("Zev.ini").find("[Directories]\r\nAppDir=" + world.Program("host") + "\\\r\n"),
            std::string::npos);
  EXPECT_NE(out.find(world.Native("host/Data") + "\n"), std::string::npos) << out;
  EXPECT_NE(File("data/lender.ini").find("[IP]\r\nFNB="), std::string::npos);

  auto fileIndex = Columns("Appraisals.mdb", "FileIndex");
  ASSERT_EQ(fileIndex.size(), 22u);
  EXPECT_EQ(fileIndex[1], "FileID");
  EXPECT_EQ(fileIndex[21], "TrackingExtra");

  auto lenders = Columns("Lenders.mdb", "Lenders");
  ASSERT_EQ(lenders.size(), static_cast<std::size_t>(layouts::lender::kLastColumn + 1));
  EXPECT_EQ(lenders[layouts::lender::kIdColumn], "LenderDBID");
  EXPECT_EQ(lenders[layouts::lender::kNameColumn], "LenderName");

  namespace n = layouts::neighborhood;
  auto neigh = Columns("Neighborhoods.mdb", "Neighborhoods");
  ASSERT_GE(neigh.size(), static_cast<std::size_t>(n::kMinColumnCount));
  EXPECT_EQ(neigh[n::kNameColumn], "NeighborhoodName");
  // Every column the conversion file maps a tag to exists.
  std::string tags = File("Addons/Neighbor/NeighTags.ini");
  std::string section = tags.substr(tags.find("[1004]"));
  int mapped = 0;
  for (std::size_t eq = section.find('='); eq != std::string::npos;
       eq = section.find('=', eq + 1), ++mapped) {
    std::string column = section.substr(eq + 1, section.find('\r', eq) - eq - 1);
    EXPECT_NE(std::find(neigh.begin(), neigh.end(), column), neigh.end()) << column;
  }
  EXPECT_EQ(mapped, 8);
  EXPECT_EQ(Columns("Neighborhoods.mdb", "Neighborhoods2").at(1), "NeighborhoodName");

  auto comps = Columns("Comparables.mdb", "ZazOzurs");
  ASSERT_EQ(comps.size(), static_cast<std::size_t>(layouts::comparables::kColumnCount));
  EXPECT_EQ(comps[layouts::comparables::kWcidColumn], "WCID");
  EXPECT_EQ(comps[layouts::supplement::kComment.position], "Comment");
  EXPECT_NE(std::find(comps.begin(), comps.end(), "FileNo"), comps.end());
  EXPECT_NE(Open("CommonResponses.mdb"), nullptr);
}

TEST_F(SampleHost, DataFilesFrameExactlyWithFragmentsWhereIntended) {
  namespace r = layouts::responses;
  auto resp = Split(File("data/resp.dat"));
  ASSERT_EQ(resp.size(), 5u);
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(resp[i].bytes.size(), static_cast<std::size_t>(resp[i].length));
    EXPECT_LT(resp[i].bytes.find(r::kTextEnd, r::kHeadSize), resp[i].bytes.size());
  }
  EXPECT_EQ(Int16At(resp[1].bytes, r::kKeyCode), r::kKeyCodeF9);
  EXPECT_LT(layouts::kLengthDigits + resp[4].bytes.size(), static_cast<std::size_t>(30));

  auto global = Split(File("data/global.dat"));
  ASSERT_EQ(global.size(), 2u);
  EXPECT_EQ(global[1].bytes.size(), static_cast<std::size_t>(global[1].length));
  EXPECT_NE(global[1].bytes.back(), '\0');  // the last text runs to end of file

  namespace fi = layouts::fileindex;
  auto index = Split(File("data/didovuro.dta"));
  ASSERT_EQ(index.size(), 3u);
  EXPECT_EQ(TextAt(index[0].bytes, fi::kFileId), "A12");
  EXPECT_EQ(index[0].bytes.substr(fi::kHeadSize), "C:\\Reports\\2006\\A12.rpt");
  EXPECT_EQ(index[1].length, fi::kHeadSize);
  EXPECT_EQ(index[1].bytes.substr(fi::kDateReceived.offset, 2), std::string(2, '\0'));
  EXPECT_LT(index[2].bytes.size(), static_cast<std::size_t>(fi::kHeadSize));  // cut short

  namespace l = layouts::lender;
  auto lenders = Split(File("data/lender.dta"), l::kRecordSize);
  ASSERT_EQ(lenders.size(), 4u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(lenders[i].length, l::kRecordSize);
  EXPECT_EQ(TextAt(lenders[1].bytes, l::kLenderId), "O'NEIL");
  EXPECT_EQ(TextAt(lenders[2].bytes, l::kName),
            "Cr\xE9"
            "dit Mutuel de Qu\xE9"
            "bec");
  EXPECT_LT(lenders[3].bytes.size(), static_cast<std::size_t>(l::kRecordSize));

  namespace n = layouts::neighborhood;
  auto neigh = Split(File("data/neigh1004.dta"));
  ASSERT_EQ(neigh.size(), 3u);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(neigh[i].length, n::kHeadSize + Int16At(neigh[i].bytes, n::kFieldTextLength));
    EXPECT_EQ(neigh[i].bytes.size(), static_cast<std::size_t>(neigh[i].length));
  }
  EXPECT_EQ(neigh[0].bytes[n::kHeadSize], n::kPreambleStart);
  EXPECT_LT(neigh[2].bytes.size(), static_cast<std::size_t>(n::kHeadSize));

  namespace c = layouts::comparables;
  auto comps = Split(File("data/xcomps.dat"));
  ASSERT_EQ(comps.size(), 3u);
  for (const auto& rec : comps) EXPECT_GE(rec.length, c::kRecordSize);
  EXPECT_GT(comps[1].length, c::kRecordSize);  // surplus bytes to skip
  EXPECT_EQ(TextAt(comps[1].bytes, c::kWcid), "wc-1002");

  auto extra = Split(File("data/xcomps.cp2"));
  ASSERT_EQ(extra.size(), 3u);
  for (const auto& rec : extra) EXPECT_EQ(rec.length, layouts::supplement::kRecordSize);
  EXPECT_EQ(TextAt(extra[0].bytes, layouts::supplement::kWcid.field), "WC-1002");

  // Windows-1252, not UTF-8: é is the single byte 0xE9.
  for (const char* name : {"data/resp.dat", "data/lender.dta", "data/neigh1004.dta"}) {
    std::string bytes = File(name);
    EXPECT_NE(bytes.find('\xE9'), std::string::npos) << name;
    EXPECT_EQ(bytes.find("\xC3\xA9"), std::string::npos) << name;
  }
}

}  // namespace
