// INI files far outside what the host writes: a hundred thousand sections and
// lines of 10 MB. Lookups must stay correct, and a parse must be linear (a
// quadratic one would run into the ctest timeout).
#include <gtest/gtest.h>

#include <string>

#include "doubles/TestWorld.h"
#include "support/modINIFile.h"

namespace {

using testing_doubles::TestWorld;

class BadSettings : public ::testing::Test {
 protected:
  BadSettings() { modINIFile::ClearINICache(); }
  ~BadSettings() override { modINIFile::ClearINICache(); }
  std::string Get(const std::string& section, const std::string& key) {
    return modINIFile::GetINIString(world.ctx, section, key, "<default>", world.Program("big.ini"));
  }
  TestWorld world;
};

TEST_F(BadSettings, AHundredThousandSections) {
  constexpr int kSections = 100000;
  std::string ini;
  ini.reserve(kSections * 40);
  for (int i = 0; i < kSections; ++i)
    ini += "[S" + std::to_string(i) + "]\r\nKey=v" + std::to_string(i) + "\r\nOther=o\r\n";
  // A repeated section: the first one answers. Names compare without regard
  // to case, accented letters too.
  ini +=
      "[S5]\r\nKey=late\r\n[Caf\xC3\xA9 \xC3\x9C"
      "ber]\r\nKey=accent\r\n";
  world.Write("big.ini", ini);

  struct Lookup {
    const char* section;
    const char* key;
    const char* value;
  };
  const Lookup lookups[] = {
      {"S0", "Key", "v0"},
      {"s49999", "KEY", "v49999"},
      {"S99999", "Key", "v99999"},
      {"S5", "Key", "v5"},
      {"S99999", "Other", "o"},
      {"S100000", "Key", "<default>"},
      {"S1", "Missing", "<default>"},
      {"CAF\xC3\x89 \xC3\xBC"
       "BER",
       "key", "accent"},
      {"Caf\xC3\xA9 Uber", "Key", "<default>"},
  };
  // Many lookups against the cached parse, as a per-record lookup makes them.
  for (int round = 0; round < 1000; ++round)
    for (const Lookup& l : lookups)
      ASSERT_EQ(Get(l.section, l.key), l.value) << l.section << "/" << l.key;
}

TEST_F(BadSettings, TenMegabyteLines) {
  const std::string huge(10 << 20, 'x');
  struct Case {
    const char* name;
    std::string ini;
    const char* section;
    const char* key;
    std::string value;
  };
  const Case cases[] = {
      // A value of 10 MB comes back cut; the lines after it still count.
      {"long value", "[A]\r\nLong=" + huge + "\r\nNext=ok\r\n", "A", "Long",
       std::string(modINIFile::kMaxValue, 'x')},
      {"after a long value", "[A]\r\nLong=" + huge + "\r\nNext=ok\r\n", "A", "Next", "ok"},
      // A 10 MB section name or key matches nothing else.
      {"long section name", "[" + huge + "]\r\nK=1\r\n[B]\r\nK=2\r\n", "B", "K", "2"},
      {"long key", "[B]\r\n" + huge + "=1\r\nK=2\r\n", "B", "K", "2"},
      // One line of 10 MB without a break and without '=' or brackets.
      {"no line break", huge, "A", "x", "<default>"},
      {"unclosed section", "[" + huge, "A", "K", "<default>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    world.Write("big.ini", c.ini);
    modINIFile::ClearINICache();
    EXPECT_EQ(Get(c.section, c.key), c.value);
  }
}

}  // namespace
