// INI files far outside what the host writes: a hundred thousand sections and
// lines of 10 MB. Lookups must stay correct, and a parse must be linear (a
// quadratic one would run into the ctest timeout).
#include <gtest/gtest.h>

#include <string>

#include "doubles/TestWorld.h"
#include "support/modINIFile.h"

namespace {

TEST(BadSettings, AHundredThousandSectionsAndTenMegabyteLines) {
  testing_doubles::TestWorld world;
  struct Case {
    std::string ini;  // "" keeps the file of the case before
    const char* section;
    const char* key;
    std::string value;
  };
  std::string many;
  for (int i = 0; i < 100000; ++i)
    many += "[S" + std::to_string(i) + "]\r\nKey=v" + std::to_string(i) + "\r\nOther=o\r\n";
  // A repeated section: the first one answers. Names compare without regard
  // to case, accented letters too.
  many +=
      "[S5]\r\nKey=late\r\n[Caf\xC3\xA9 \xC3\x9C"
      "ber]\r\nKey=accent\r\n";
  const std::string huge(10 << 20, 'x');
  const std::string cut(modINIFile::kMaxValue, 'x');
  const Case cases[] = {
      {many, "S0", "Key", "v0"},
      {"", "s49999", "KEY", "v49999"},
      {"", "S99999", "Key", "v99999"},
      {"", "S5", "Key", "v5"},
      {"", "S99999", "Other", "o"},
      {"", "S100000", "Key", "<default>"},
      {"", "S1", "Missing", "<default>"},
      {"",
       "CAF\xC3\x89 \xC3\xBC"
       "BER",
       "key", "accent"},
      {"", "Caf\xC3\xA9 Uber", "Key", "<default>"},
      // A value of 10 MB comes back cut; the lines after it still count.
      {"[A]\r\nLong=" + huge + "\r\nNext=ok\r\n", "A", "Long", cut},
      {"", "A", "Next", "ok"},
      // A 10 MB section name or key matches nothing else.
      {"[" + huge + "]\r\nK=1\r\n[B]\r\nK=2\r\n", "B", "K", "2"},
      {"[B]\r\n" + huge + "=1\r\nK=2\r\n", "B", "K", "2"},
      // One line of 10 MB without a break and without '=' or brackets.
      {huge, "A", "x", "<default>"},
      {"[" + huge, "A", "K", "<default>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.section) + "/" + c.key);
    if (!c.ini.empty()) {
      world.Write("big.ini", c.ini);
      modINIFile::ClearINICache();
    }
    // Many lookups against the cached parse, as a per-record lookup makes them.
    for (int round = 0; round < (c.ini.empty() ? 1000 : 1); ++round)
      ASSERT_EQ(modINIFile::GetINIString(world.ctx, c.section, c.key, "<default>",
                                         world.Program("big.ini")),
                c.value);
  }
  modINIFile::ClearINICache();
}

}  // namespace
