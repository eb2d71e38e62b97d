#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/db/Connect.h"

namespace {

TEST(ConnectionStringTest, APathCarriesThroughWhateverItHolds) {
  struct Case {
    std::string path;
    std::string carried;  // as the connection string spells it
  };
  const std::vector<Case> cases = {
      {"C:\\Data\\Lenders.mdb", "C:\\Data\\Lenders.mdb"},
      {"C:\\My Data\\a.mdb", "C:\\My Data\\a.mdb"},
      {"C:\\a;DBQ=b.mdb", "{C:\\a;DBQ=b.mdb}"},
      {"C:\\x}{y}}.mdb", "{C:\\x}}{y}}}}.mdb}"},
      {" C:\\lead.mdb", "{ C:\\lead.mdb}"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(db::ConnectionValue(c.path), c.carried);
    auto pairs =
        db::ParseConnectionString("DRIVER={Microsoft Access Driver (*.mdb)};DBQ=" + c.carried +
                                  ";DefaultDir=C:\\;UID=;PWD=;");
    EXPECT_EQ(pairs["DBQ"], c.path);
    EXPECT_EQ(pairs["DEFAULTDIR"], "C:\\");
    EXPECT_EQ(pairs.size(), 5u);
  }
}

}  // namespace
