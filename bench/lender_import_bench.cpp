// Throughput of the lender import with comparisons on: N lender records
// imported into a Lenders table that already holds N rows, with a lender.ini
// holding an entry for every lender (so each written row also looks up its
// contact among 2N keys). Measured for N and N/2 to show how it grows, and
// for two kinds of load file:
//   new      every ID is new: one filter lookup and one insert per record;
//   conflict every ID exists and "overwrite all" is set: one lookup and one
//            update of the matched row per record.
// Each figure is the best of three runs. Run:
//   build/<dir>/bench/lender_import_bench [records]     (default 20000)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "BenchRecords.h"
#include "doubles/RecordingUi.h"
#include "engine/CSImportEngine.h"
#include "engine/DbConnection.h"
#include "engine/DirectImport.h"
#include "importers/Importers.h"
#include "importers/layouts/LenderLayout.h"
#include "platform/Context.h"
#include "platform/FileChannels.h"
#include "platform/PosixEnv.h"

namespace {

namespace fs = std::filesystem;
namespace l = layouts::lender;

// `count` lenders with IDs from `first`.
std::string LenderFile(int first, int count) {
  std::string file;
  file.reserve(static_cast<std::size_t>(count) * l::kRecordPitch);
  for (int n = first; n < first + count; ++n) file += bench::LenderRecord(n);
  return file;
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string ProgramForm(const fs::path& p) {
  std::string s = p.string();
  for (char& c : s)
    if (c == '/') c = '\\';
  return s;
}

// Imports lender.dta.tmp from `folder` into `database`; seconds taken.
double Import(const fs::path& folder, const fs::path& database, bool noComparisons,
              bool overwriteAll, int expectedRows) {
  platform::PosixEnv env;
  testing_doubles::RecordingUi ui;
  platform::FileChannels files;
  platform::Context ctx{env, ui, files};
  CSImportEngine engine(ctx);
  engine.SetDataType(DataType::Lenders);
  engine.SetNoComparisons(noComparisons);
  engine.SetOutputDatabase(ProgramForm(database));
  engine.SetOutputFolder(ProgramForm(folder) + "\\");
  engine.SetSource(ProgramForm(folder) + "\\");
  if (!DirectImport::Connect(engine)) {
    std::fprintf(stderr, "cannot open %s\n", database.c_str());
    std::exit(1);
  }
  DirectImport::ListOutputFiles(engine, {"lender.dta.tmp"});
  engine.SetConflictPolicy(overwriteAll ? CSImportEngine::ConflictPolicy::OverwriteAll
                                        : CSImportEngine::ConflictPolicy::Ask);
  const auto t0 = std::chrono::steady_clock::now();
  const std::int32_t written = importers::ImportLenderInformation(engine);
  DirectImport::Disconnect(engine);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  if (written != expectedRows || !ui.boxes.empty()) {
    std::fprintf(stderr, "import wrote %d rows, expected %d\n", written, expectedRows);
    std::exit(1);
  }
  return seconds;
}

constexpr int kRuns = 3;

struct Figures {
  double fresh, conflict;
};

Figures Measure(const fs::path& dir, int records) {
  fs::remove_all(dir);
  for (const char* sub : {"seed", "new", "conflict"}) fs::create_directories(dir / sub);
  // lender.ini: an entry for every lender of both files.
  std::string ini = "[IP]\r\n";
  for (int n = 0; n < 2 * records; ++n)
    ini += bench::LenderId(n) + "=Contact " + std::to_string(n) + "/desk" + std::to_string(n) +
           "@lender.example\r\n";

  // The table's existing rows, imported once without comparisons.
  WriteFile(dir / "seed" / "lender.dta.tmp", LenderFile(0, records));
  WriteFile(dir / "base.mdb", "");
  {
    platform::PosixEnv env;
    DbConnection db(env);
    db.SetConnectionString(
        "DRIVER={Microsoft Access Driver (*.mdb)};DBQ=" + (dir / "base.mdb").string() + ";");
    if (!db.Open() ||
        !db.Execute("CREATE TABLE Lenders (ID COUNTER, LenderDBID TEXT(10), LenderName TEXT(40), "
                    "Address1 TEXT(40), Address2 TEXT(40), CityStateZip TEXT(40), Phone TEXT(15), "
                    "ContactFirst TEXT(15), ContactLast TEXT(25), Fax TEXT(15), Reference "
                    "TEXT(9), Website TEXT(255), Email TEXT(255), ContactNote TEXT(255))")) {
      std::fprintf(stderr, "cannot create the Lenders table\n");
      std::exit(1);
    }
    db.Close();
  }
  WriteFile(dir / "seed" / "lender.ini", ini);
  Import(dir / "seed", dir / "base.mdb", true, false, records);

  WriteFile(dir / "new" / "lender.dta.tmp", LenderFile(records, records));
  WriteFile(dir / "new" / "lender.ini", ini);
  WriteFile(dir / "conflict" / "lender.dta.tmp", LenderFile(0, records));
  WriteFile(dir / "conflict" / "lender.ini", ini);

  // The best of a few runs: the machine is shared, and the least disturbed
  // run says most about the import itself.
  Figures f{1e9, 1e9};
  for (int run = 0; run < kRuns; ++run) {
    fs::copy_file(dir / "base.mdb", dir / "run.mdb", fs::copy_options::overwrite_existing);
    f.fresh = std::min(f.fresh, Import(dir / "new", dir / "run.mdb", false, false, records));
    fs::copy_file(dir / "base.mdb", dir / "run.mdb", fs::copy_options::overwrite_existing);
    f.conflict =
        std::min(f.conflict, Import(dir / "conflict", dir / "run.mdb", false, true, records));
  }
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  const int records = argc > 1 ? std::atoi(argv[1]) : 20000;
  const int half = records / 2;
  const fs::path dir = fs::temp_directory_path() / ("lender-bench-" + std::to_string(getpid()));
  const Figures small = Measure(dir, half);
  const Figures large = Measure(dir, records);
  fs::remove_all(dir);

  auto line = [](const char* what, int n, double seconds) {
    std::printf("%-9s %6d records into %6d rows: %.3f s, %.0f records/s\n", what, n, n, seconds,
                n / seconds);
  };
  line("new", half, small.fresh);
  line("new", records, large.fresh);
  line("conflict", half, small.conflict);
  line("conflict", records, large.conflict);
  std::printf("growth for twice the records and rows (2.00 is linear): new %.2f, conflict %.2f\n",
              large.fresh / small.fresh, large.conflict / small.conflict);
  return 0;
}
