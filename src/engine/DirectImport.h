// The import stage without the extraction program, for code that lays down
// the extraction's output files itself: the importer suites, the fuzz
// harnesses and the benchmarks. Import() takes the same steps around the
// extraction; the program itself never calls these.
#pragma once

#include <string>
#include <vector>

class CSImportEngine;

class DirectImport {
 public:
  // Connects to the engine's OutputDatabase the way Import does (with the
  // same log lines); true when the connection is open.
  static bool Connect(CSImportEngine& engine);
  // Commits what is still open and closes the connection, as a run's end does.
  static void Disconnect(CSImportEngine& engine);
  // Lists `names` (files within OutputFolder) as the extraction's output.
  static void ListOutputFiles(CSImportEngine& engine, std::vector<std::string> names);
  // Runs the data type's importer over the listed files as Import does after
  // the extraction: the answers and counts of the run start afresh. True when
  // the importer completed and the database held.
  static bool ImportListed(CSImportEngine& engine);
};
