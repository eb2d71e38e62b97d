// The version reader: the input is a whole file (a Windows PE32 or PE32+
// image, an ELF file with or without our version block, or anything else).
// Whatever the bytes, the reader appends exactly one entry after the ones
// already there and shows no box (a box means a failure escaped it). An
// entry that states a version has the eight labelled values, each of at most
// 127 characters and without a NUL, a product version that is not blank, and
// the path last.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "SandboxEnv.h"
#include "doubles/RecordingUi.h"
#include "platform/Context.h"
#include "support/Windows1252.h"
#include "support/modVersion.h"

namespace {

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "version reader property broken: %s\n", what);
  std::abort();
}

constexpr const char* kPath = "C:\\tools\\extract.exe";

void CheckEntry(std::string_view entry) {
  static constexpr std::string_view kLabels[] = {
      "Company Name:    ",    "File Description:    ",  "File Version:    ", "Internal Name:    ",
      "Legal Copyright:    ", "Original FileName:    ", "Product Name:    ", "Product Version:    ",
  };
  for (std::string_view label : kLabels) {
    Require(entry.substr(0, label.size()) == label, "a label is missing or out of order");
    entry.remove_prefix(label.size());
    const std::size_t end = entry.find("\r\n");
    Require(end != std::string_view::npos, "a value is not ended by CR LF");
    const std::string_view value = entry.substr(0, end);
    Require(support::Utf8Length(value) <= 127, "a value is longer than 127 characters");
    Require(value.find('\0') == std::string_view::npos, "a value holds a NUL");
    if (label == kLabels[7])
      Require(value.find_first_not_of(' ') != std::string_view::npos, "blank product version");
    entry.remove_prefix(end + 2);
  }
  Require(entry == std::string("Installed path:    ") + kPath, "the path line is wrong");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzzing::SandboxEnv env("C:\\tools");
  static testing_doubles::RecordingUi ui;
  static platform::FileChannels files;
  static const platform::Context ctx{env, ui, files};
  env.SetFileInMemory(kPath, std::string_view(reinterpret_cast<const char*>(data), size));
  std::vector<std::string> lines{"earlier"};
  const bool stated = modVersion::GetFileInformation(ctx, kPath, lines);
  Require(ui.boxes.empty(), "a failure escaped the reader");
  Require(lines.size() == 2 && lines[0] == "earlier", "not exactly one entry appended");
  if (stated)
    CheckEntry(lines[1]);
  else
    Require(lines[1] == modVersion::kNoVersionInformation, "no version, yet not said so");
  return 0;
}
