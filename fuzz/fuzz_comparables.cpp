// Comparable sales: the input holds a main file and a supplement (".cp2")
// file. Flag byte, then a little-endian word giving the main file's length,
// the main file, and the supplement as the rest. Flag bits: 0-1 pick the
// table the import meets (the host's layout, none so the import makes it,
// or an older layout with too few columns), 2 lists the supplement first, 3
// lists each file twice.
#include <cstddef>
#include <cstdint>

#include "ImporterHarness.h"
#include "importers/Importers.h"
#include "importers/layouts/ComparablesLayout.h"
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
  const std::string_view main = in.Take(in.Word());
  const std::string_view supplement = in.Rest();
  std::vector<std::string> names{"xcomps.dat.tmp", "xcomps.cp2.tmp"};
  if (flags & 4) std::swap(names[0], names[1]);
  if (flags & 8) names = {names[0], names[1], names[0], names[1]};
  if (!harness.Prepare({{"xcomps.dat.tmp", main}, {"xcomps.cp2.tmp", supplement}}, names, 0))
    return 0;
  importers::ImportZazOzurs(harness.engine);
  harness.Finish();
  return 0;
}
