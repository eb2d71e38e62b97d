// Throughput of the appraisal-index import: framed index records (full heads
// and a report path each) imported into an empty FileIndex table and then
// once more into the filled one, with the file progress window updated per
// record as in a real run. Prints the seconds and rows/s of each. Run:
//   build/<dir>/bench/file_index_import_bench [records]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "BenchRecords.h"
#include "engine/CSImportEngine.h"
#include "engine/DbConnection.h"
#include "engine/DirectImport.h"
#include "importers/Importers.h"
#include "importers/layouts/FileIndexLayout.h"
#include "platform/Context.h"
#include "platform/FileChannels.h"
#include "platform/FileProgressWindow.h"
#include "platform/PosixEnv.h"
#include "platform/UserInterface.h"
#include "support/TemplateDatabase.h"
#include "ui/CProgressBar.h"

namespace {

namespace fs = std::filesystem;
namespace fi = layouts::fileindex;

// A window that holds its labels as a real one does (the latest text only),
// so the measurement is the importer's cost, not a recorder's.
class LabelWindow final : public platform::FileProgressWindow {
 public:
  void SetStatus(const std::string& text) override { status_ = text; }
  void SetProgressText(const std::string& text) override { progress_ = text; }
  ui::CProgressBar& Bar() override { return bar_; }
  void Show() override {}

 private:
  std::string status_, progress_;
  ui::CProgressBar bar_;
};

class QuietUi final : public platform::UserInterface {
 public:
  platform::MsgAnswer MessageBox(const std::string&, const std::string&, platform::MsgButtons,
                                 platform::MsgIcon) override {
    ++boxes;
    return platform::MsgAnswer::No;
  }
  void PumpEvents() override {}
  bool CanAsk() const override { return false; }
  std::unique_ptr<platform::FileProgressWindow> LoadFileProgress() override {
    return std::make_unique<LabelWindow>();
  }
  int boxes = 0;
};

std::string IndexFile(int count) {
  std::string file;
  file.reserve(static_cast<std::size_t>(count) * 330);
  for (int i = 0; i < count; ++i) file += bench::FileIndexRecord(i);
  return file;
}

std::string ProgramForm(const fs::path& p) {
  std::string s = p.string();
  for (char& c : s)
    if (c == '/') c = '\\';
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  const int records = argc > 1 ? std::atoi(argv[1]) : 100000;
  const fs::path dir = fs::temp_directory_path() / ("file-index-bench-" + std::to_string(getpid()));
  fs::create_directories(dir / "out");
  const std::string bytes = IndexFile(records);
  std::FILE* f = std::fopen((dir / "out" / "didovuro.dta.tmp").c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  std::fclose(std::fopen((dir / "index.mdb").c_str(), "wb"));

  platform::PosixEnv env;
  QuietUi ui;
  platform::FileChannels files;
  platform::Context ctx{env, ui, files};
  CSImportEngine engine(ctx);
  engine.SetDataType(DataType::FileIndex);
  engine.SetOutputDatabase(ProgramForm(dir / "index.mdb"));
  engine.SetOutputFolder(ProgramForm(dir / "out") + "\\");
  if (!DirectImport::Connect(engine) ||
      !engine.Connection()->Execute(templatedb::FileIndexCreateSql())) {
    std::fprintf(stderr, "cannot prepare %s\n", (dir / "index.mdb").c_str());
    return 1;
  }
  DirectImport::ListOutputFiles(engine, {"didovuro.dta.tmp"});

  // Twice: into the empty table, then into the table the first run filled.
  double seconds[2];
  for (int run = 0; run < 2; ++run) {
    const auto t0 = std::chrono::steady_clock::now();
    const std::int32_t added = importers::ImportFileIndex(engine);
    seconds[run] = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (added != records || ui.boxes != 0) {
      std::fprintf(stderr, "import failed: %d of %d rows added\n", added, records);
      fs::remove_all(dir);
      return 1;
    }
  }
  DirectImport::Disconnect(engine);
  fs::remove_all(dir);
  std::printf("records: %d (%.1f MB)\n", records, static_cast<double>(bytes.size()) / 1e6);
  std::printf("into the empty table:      %.3f s, %.0f rows/s\n", seconds[0], records / seconds[0]);
  std::printf("into a table of %d rows: %.3f s, %.0f rows/s\n", records, seconds[1],
              records / seconds[1]);
  return 0;
}
