// Lenders: the input is one extracted lender file, imported next to a
// lender.ini. Flag byte: bit 0 sets NoComparisons, bit 1 lists the file
// twice (the second pass meets every lender as existing), bits 4-7 answer
// the first conflict questions.
#include <cstddef>
#include <cstdint>

#include "ImporterHarness.h"
#include "importers/Importers.h"
#include "support/modINIFile.h"

namespace {

const char* const kLendersTable =
    "CREATE TABLE Lenders (ID COUNTER, LenderDBID TEXT(10), LenderName TEXT(40), Address1 "
    "TEXT(40), Address2 TEXT(40), CityStateZip TEXT(40), Phone TEXT(15), ContactFirst TEXT(15), "
    "ContactLast TEXT(25), Fax TEXT(15), Reference TEXT(9), Website TEXT(255), Email TEXT(255), "
    "ContactNote TEXT(255))";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzzing::ImporterHarness harness(5, {kLendersTable});
  static const bool iniWritten = [] {
    harness.world.Write("host/lender.ini",
                        "[IP]\r\nFNB=Jane Smith/jsmith@fnb.example.com\r\n"
                        "O'NEIL=loans@oneil.example.com/Mortgage desk\r\nX=\r\n");
    harness.engine.SetSource(harness.world.Program("host") + "\\");
    modINIFile::ClearINICache();
    return true;
  }();
  (void)iniWritten;
  fuzzing::InputReader in(data, size);
  const std::uint8_t flags = in.Byte();
  harness.engine.SetNoComparisons(flags & 1);
  std::vector<std::string> names{"lender.dta.tmp"};
  if (flags & 2) names.push_back(names.front());
  if (!harness.Prepare({{names.front(), in.Rest()}}, names, static_cast<std::uint8_t>(flags >> 4)))
    return 0;
  importers::ImportLenderInformation(harness.engine);
  harness.Finish();
  return 0;
}
