// Comparable sales: the input holds a main file and a supplement (".cp2")
// file. Flag byte, then a little-endian word giving the main file's length,
// the main file, and the supplement as the rest. Flag bits: 0-1 pick the
// table the import meets (the host's layout, none so the import makes it,
// or an older layout with too few columns), 2 lists the supplement first, 3
// lists each file twice.
//
// Each file is cut where its ninth record would start. A record continues at
// its start plus its stated length, so a garbage length (read as 0) moves on
// only 5 bytes: a 3 KB input framed hundreds of overlapping records, each a
// full row insert, and libFuzzer favoured such inputs because every further
// repetition of a loop counts as new coverage. Eight records a file still
// meet each other (duplicate identifiers, supplements of earlier rows, rows
// written several to a statement, a record cut off by the end of the file)
// and run each per-record path; long files are the benchmark's business.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "ImporterHarness.h"
#include "importers/Importers.h"
#include "importers/RecordReader.h"
#include "importers/layouts/ComparablesLayout.h"
#include "importers/layouts/RecordFraming.h"
#include "support/ResourceStrings.h"

namespace {

// `script` with every "%s" replaced by the table name.
std::string ForTable(std::string script) {
  const std::string table = ResourceString(560);
  for (std::size_t at = script.find("%s"); at != std::string::npos;
       at = script.find("%s", at + table.size()))
    script.replace(at, 2, table);
  return script;
}

constexpr int kRecordsPerFile = 8;

// The bytes of `file` before its record number `limit` + 1, walking as the
// importer does: each record starts 5 bytes (the length prefix) plus the
// stated length (0 when negative) after the one before it.
std::string_view FirstRecords(std::string_view file, int limit) {
  std::size_t at = 0;
  for (int n = 0; n < limit && at < file.size(); ++n) {
    const std::int32_t length = importers::LeadingNumber(file.substr(at, layouts::kLengthDigits));
    at += layouts::kLengthDigits + static_cast<std::size_t>(std::max<std::int32_t>(length, 0));
  }
  return file.substr(0, at);
}

fuzzing::ImporterHarness& Harness(int table) {
  static fuzzing::ImporterHarness host(
      7, {ForTable(layouts::comparables::CreateTableScript()), ForTable(ResourceString(502)),
          ForTable(layouts::comparables::kWcidIndexScript)});
  static fuzzing::ImporterHarness none(7, {});
  static fuzzing::ImporterHarness older(
      7, {ForTable("CREATE TABLE %s (ID COUNTER, WCID TEXT(12), Photo1 SHORT, Rooms SHORT)")});
  return table == 1 ? none : table == 2 ? older : host;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzing::InputReader in(data, size);
  const std::uint8_t flags = in.Byte();
  fuzzing::ImporterHarness& harness = Harness(flags & 3);
  const std::string_view main = FirstRecords(in.Take(in.Word()), kRecordsPerFile);
  const std::string_view supplement = FirstRecords(in.Rest(), kRecordsPerFile);
  std::vector<std::string> names{"xcomps.dat.tmp", "xcomps.cp2.tmp"};
  if (flags & 4) std::swap(names[0], names[1]);
  if (flags & 8) names = {names[0], names[1], names[0], names[1]};
  if (!harness.Prepare({{"xcomps.dat.tmp", main}, {"xcomps.cp2.tmp", supplement}}, names, 0))
    return 0;
  importers::ImportZazOzurs(harness.engine);
  harness.Finish();
  return 0;
}
