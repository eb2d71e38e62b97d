// Splitting a launch command line. Executables are the names ending in
// ".exe" (no disk is asked), so paths with spaces are found as prefixes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "SandboxEnv.h"
#include "doubles/RecordingUi.h"
#include "engine/modShellExecute.h"
#include "support/Conversions.h"

namespace {

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "split property broken: %s\n", what);
  std::abort();
}

bool EndsWithExe(const std::string& path) {
  return path.size() >= 4 && support::LowerAscii(path.substr(path.size() - 4)) == ".exe";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzzing::SandboxEnv env("C:\\bin");
  static testing_doubles::RecordingUi ui;
  static platform::FileChannels files;
  static const bool configured = (env.SetExecutableCheck(EndsWithExe), true);
  (void)configured;
  const platform::Context ctx{env, ui, files};

  const std::string full(reinterpret_cast<const char*>(data), size);
  const auto line = modShellExecute::SplitCommandLine(ctx, full);
  const std::size_t start = full.find_first_not_of(' ');
  Require(line.has_value() == (start != std::string::npos), "only a blank line has no program");
  if (!line || full[start] == '"') return 0;
  // An unquoted program is a non-empty run of the line from its first character.
  Require(!line->program.empty() && full.compare(start, line->program.size(), line->program) == 0,
          "an unquoted program is not where the line starts");
  return 0;
}
