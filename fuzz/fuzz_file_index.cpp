// Appraisal index: the input is one extracted index file. Flag byte: bit 0
// splits the rest in two files at the next word (a second file goes on from
// the rows of the first), bit 1 leaves the FileIndex table out.
#include <cstddef>
#include <cstdint>

#include "ImporterHarness.h"
#include "importers/Importers.h"
#include "support/TemplateDatabase.h"

namespace {

fuzzing::ImporterHarness& Harness(bool withTable) {
  static fuzzing::ImporterHarness with(4, {templatedb::FileIndexCreateSql()});
  static fuzzing::ImporterHarness without(4, {});
  return withTable ? with : without;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzing::InputReader in(data, size);
  const std::uint8_t flags = in.Byte();
  fuzzing::ImporterHarness& harness = Harness((flags & 2) == 0);
  std::vector<std::pair<std::string, std::string_view>> files;
  if (flags & 1) files.emplace_back("first.dta.tmp", in.Take(in.Word()));
  files.emplace_back("didovuro.dta.tmp", in.Rest());
  if (!harness.Prepare(files, {}, 0)) return 0;
  importers::ImportFileIndex(harness.engine);
  harness.Finish();
  return 0;
}
