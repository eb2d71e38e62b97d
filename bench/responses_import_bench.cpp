// Throughput of the common-responses import: 100,000 framed records imported
// into a table that already holds 100,000 rows, once without comparisons
// (every record added) and once comparing each record's key with the table
// (a filter lookup per record; no key conflicts, so no question is asked).
// Prints rows/s for both and their ratio. Run:
//   build/<dir>/bench/responses_import_bench [records]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "RecordWriter.h"
#include "doubles/RecordingUi.h"
#include "engine/CSImportEngine.h"
#include "engine/DirectImport.h"
#include "importers/Importers.h"
#include "platform/Context.h"
#include "platform/FileChannels.h"
#include "platform/PosixEnv.h"

namespace {

namespace fs = std::filesystem;

// `count` responses whose keys start at line `firstLine`: 80 fields a line,
// so no two records share a key.
std::string ResponsesFile(int count, int firstLine) {
  std::string file;
  file.reserve(static_cast<std::size_t>(count) * 120);
  for (int i = 0; i < count; ++i)
    file += samplehost::ResponseRecord(
        firstLine + i / 80, i % 80, 4 + i % 5, "Title " + std::to_string(i), false, i % 4,
        "Response text of entry " + std::to_string(i) + ", as the report forms hold it.", i % 7);
  return file;
}

std::string ProgramForm(const fs::path& p) {
  std::string s = p.string();
  for (char& c : s)
    if (c == '/') c = '\\';
  return s;
}

// Imports resp.tmp from `folder` into `database`; seconds taken.
double Import(const fs::path& folder, const fs::path& database, bool noComparisons) {
  platform::PosixEnv env;
  testing_doubles::RecordingUi ui;
  platform::FileChannels files;
  platform::Context ctx{env, ui, files};
  CSImportEngine engine(ctx, importers::Table());
  engine.SetDataType(DataType::CommonResponses);
  engine.SetNoComparisons(noComparisons);
  engine.SetOutputDatabase(ProgramForm(database));
  engine.SetOutputFolder(ProgramForm(folder) + "\\");
  if (!DirectImport::Connect(engine)) {
    std::fprintf(stderr, "cannot open %s\n", database.c_str());
    std::exit(1);
  }
  DirectImport::ListOutputFiles(engine, {"resp.tmp"});
  const auto t0 = std::chrono::steady_clock::now();
  if (!DirectImport::ImportListed(engine) || !ui.boxes.empty()) {
    std::fprintf(stderr, "import failed\n");
    std::exit(1);
  }
  DirectImport::Disconnect(engine);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int records = argc > 1 ? std::atoi(argv[1]) : 100000;
  const fs::path dir = fs::temp_directory_path() / ("responses-bench-" + std::to_string(getpid()));
  fs::create_directories(dir / "seed");
  fs::create_directories(dir / "load");

  // The table's existing rows: imported once, then copied for each measurement.
  std::FILE* f = std::fopen((dir / "seed" / "resp.tmp").c_str(), "wb");
  const std::string seed = ResponsesFile(records, 1);
  std::fwrite(seed.data(), 1, seed.size(), f);
  std::fclose(f);
  std::fclose(std::fopen((dir / "base.mdb").c_str(), "wb"));
  Import(dir / "seed", dir / "base.mdb", true);

  f = std::fopen((dir / "load" / "resp.tmp").c_str(), "wb");
  const std::string load = ResponsesFile(records, 1 + records / 80 + 1);
  std::fwrite(load.data(), 1, load.size(), f);
  std::fclose(f);

  double seconds[2];
  for (int compare = 0; compare < 2; ++compare) {
    fs::copy_file(dir / "base.mdb", dir / "run.mdb", fs::copy_options::overwrite_existing);
    seconds[compare] = Import(dir / "load", dir / "run.mdb", compare == 0);
  }
  std::printf("records: %d into a table of %d rows\n", records, records);
  std::printf("without comparisons: %.3f s, %.0f rows/s\n", seconds[0], records / seconds[0]);
  std::printf("with comparisons:    %.3f s, %.0f rows/s\n", seconds[1], records / seconds[1]);
  std::printf("ratio (with / without time): %.2f\n", seconds[1] / seconds[0]);
  fs::remove_all(dir);
  return 0;
}
