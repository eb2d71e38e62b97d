// Neighborhoods: the input is one extracted neighborhood file, read with a
// fixed host configuration and conversion file. Flag byte: bits 0-1 pick
// the file name and so the form whose tags are read, bit 2 lists the file
// twice (the second pass meets every neighborhood as existing), bits 4-7
// answer the first conflict questions.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ImporterHarness.h"
#include "importers/Importers.h"
#include "importers/layouts/NeighborhoodLayout.h"
#include "support/modINIFile.h"

namespace {

namespace nl = layouts::neighborhood;

// Form 1004 with tags LOC, PROPVALX (one skipped value after it), GROWTH,
// NOMAP (not in the map) and GHOST (no such column); LAR with LOC only;
// form 2095 with GROWTH only; "bors" with a section but no tag list.
const char* const kTagsIni =
    "; tags\r\n"
    "[OldFields]\r\n"
    "1004=LOC,PROPVALX,GROWTH,NOMAP,GHOST\r\n"
    "LAR=LOC\r\n"
    "2095=GROWTH,PRICELOW\r\n"
    "\r\n"
    "[1004]\r\n"
    "LOC = Location\r\n"
    "propval=PropertyValues\r\n"
    "GROWTH=GrowthRate\r\n"
    "GHOST=NoSuchColumn\r\n"
    "[LAR]\r\n"
    "LOC=Location\r\n"
    "[2095]\r\n"
    "GROWTH=GrowthRate\r\n"
    "PRICELOW=PriceLow\r\n"
    "[bors]\r\n"
    "LOC=Location\r\n";

std::vector<std::string> Schema() {
  std::vector<std::string> columns(nl::kMinColumnCount);
  for (int i = 0; i < nl::kMinColumnCount; ++i)
    columns[i] = "Field" + std::to_string(i) + " TEXT(255)";
  columns[0] = "ID COUNTER";
  columns[nl::kNameColumn] = "NeighborhoodName TEXT(255)";
  columns[nl::kCodeColumn] = "NeighborhoodCode TEXT(20)";
  columns[3] = "Location TEXT(255)";
  columns[4] = "PropertyValues TEXT(255)";
  columns[5] = "GrowthRate TEXT(255)";
  columns[6] = "PriceLow INTEGER";
  columns[nl::kAreaColumn] = "Area TEXT(255)";
  columns[nl::kDescriptionColumn] = "Description TEXT(255)";
  columns[nl::kZoneColumn] = "Zone TEXT(255)";
  std::string sql = "CREATE TABLE Neighborhoods (";
  for (std::size_t i = 0; i < columns.size(); ++i) sql += (i ? ", " : "") + columns[i];
  return {sql + ")", "CREATE TABLE Neighborhoods2 (ID COUNTER, NeighborhoodName TEXT(255))"};
}

fuzzing::ImporterHarness& Harness() {
  static fuzzing::ImporterHarness harness(6, Schema());
  static const bool configured = [] {
    // AppDir without its closing "\": the importer adds it.
    harness.world.Write("Zev.ini",
                        "[Directories]\r\nAppDir=" + harness.world.Program("host") + "\r\n");
    harness.world.Write("host/Addons/Neighbor/NeighTags.ini", kTagsIni);
    harness.engine.SetAdditionalFile(harness.world.Program("Zev.ini"));
    modINIFile::ClearINICache();
    return true;
  }();
  (void)configured;
  return harness;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const char* const kNames[] = {"neigh1004.tmp", "neighANVL.tmp", "NEIGH209.dat.tmp",
                                       "neighbors.tmp"};
  fuzzing::ImporterHarness& harness = Harness();
  fuzzing::InputReader in(data, size);
  if (!harness.PrepareOneFile(in, kNames)) return 0;
  importers::ImportNeighborhoodInformation(harness.engine);
  harness.Finish();
  return 0;
}
