// Common responses: the input is one extracted responses file. Flag byte:
// bits 0-1 pick the file name (and so the table, including the text sets
// that share one), bit 2 lists the file twice (the second pass compares
// with the rows of the first), bits 4-7 answer the first questions.
#include <cstddef>
#include <cstdint>

#include "ImporterHarness.h"
#include "importers/Importers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzzing::ImporterHarness harness(0, {});
  static const char* const kNames[] = {"resp.dat.tmp", "text.tmp", "TEXTB.tmp", "global"};
  fuzzing::InputReader in(data, size);
  if (!harness.PrepareOneFile(in, kNames)) return 0;
  importers::ImportCommonResponses(harness.engine);
  harness.Finish();
  return 0;
}
