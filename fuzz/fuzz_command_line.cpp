// The command line of an unattended run, checked against a sandbox: every
// drive is a temporary folder holding bin\x.exe, data\, data\lender.dta and
// Cfg\Zev.INI, and folders the line asks for are created only in memory.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "SandboxEnv.h"
#include "doubles/RecordingUi.h"
#include "platform/Paths.h"
#include "startup/modIngestor.h"

namespace {

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "command line property broken: %s\n", what);
  std::abort();
}

struct Sandbox {
  Sandbox() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "ingestor-fuzz-XXXXXX").string();
    root = ::mkdtemp(tmpl.data()) ? tmpl : std::string();
    if (root.empty()) std::abort();
    std::filesystem::create_directories(root + "/bin");
    std::filesystem::create_directories(root + "/data");
    std::filesystem::create_directories(root + "/Cfg");
    std::ofstream(root + "/bin/x.exe") << "";
    std::ofstream(root + "/data/lender.dta") << "x";
    std::ofstream(root + "/Cfg/Zev.INI") << "";
    fuzzing::MapDrivesTo(root);
  }
  ~Sandbox() {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
  std::string root;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Sandbox sandbox;
  static fuzzing::SandboxEnv env(platform::ToProgramForm(sandbox.root + "/bin"));
  static testing_doubles::RecordingUi ui;
  static platform::FileChannels files;
  const platform::Context ctx{env, ui, files};
  env.Reset();
  ui.boxes.clear();

  const std::string tail(reinterpret_cast<const char*>(data), size);
  modIngestor::Arguments args;
  const bool accepted = modIngestor::ParseCommandLine(ctx, tail, args);
  if (!accepted) return 0;

  Require(ui.boxes.empty(), "an accepted line showed a box");
  Require(args.count >= 3 && args.pieces.size() >= 3, "an accepted line has fewer than 3 pieces");
  Require(!args.pieces[2].empty() && args.pieces[2].back() == '\\',
          "the output folder does not end with a separator");
  // Three pieces open the main window; a data type makes the run unattended,
  // whose settings are then read.
  Require(!args.iniMode || args.count == 3, "INI mode with a data type");
  if (args.count < 4) return 0;
  try {
    modIngestor::ReadImportSettings(args);
  } catch (const std::runtime_error&) {
    // A flag that is neither a number nor True/False: refused by its caller.
  }
  return 0;
}
