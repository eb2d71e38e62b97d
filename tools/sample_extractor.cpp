// Stand-in extraction program for the sample host installation.
//   sample-extractor OUTPUT_FOLDER y|n SOURCE...
// Sample host files are already in the extracted record framing, so each
// source is copied to OUTPUT_FOLDER/<file name>.tmp. Exit status 0 when every
// source was copied, 1 otherwise (the others are still copied).
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "support/VersionBlock.h"

#include "ToolOptions.h"

namespace fs = std::filesystem;

// What the ingestor's version report states about this program.
INGESTOR_VERSION_BLOCK(INGESTOR_COMPANY_NAME, "Sample extraction program", INGESTOR_VERSION_TEXT,
                       "sample-extractor", INGESTOR_LEGAL_COPYRIGHT, "sample-extractor",
                       "Ingestor sample tools", INGESTOR_VERSION_TEXT);

namespace {

// The importer hands over native paths; '\' is accepted too for hand use.
fs::path Native(std::string path) {
  for (char& c : path)
    if (c == '\\') c = '/';
  return fs::path(path);
}

constexpr char kUsage[] =
    "Usage: sample-extractor OUTPUT_FOLDER y|n SOURCE...\n"
    "Stand-in extraction program for the sample host: copies each SOURCE to\n"
    "OUTPUT_FOLDER/<file name>.tmp. The second argument (terminate records) is\n"
    "accepted and ignored. Exit status 0 when every source was copied, 1 when\n"
    "one could not be (the others are still copied), 2 for a refused command line.\n";

}  // namespace

int main(int argc, char** argv) {
  // The ingestor always passes at least OUTPUT_FOLDER and y|n, so a lone
  // argument can only be an option: its calling convention is untouched.
  if (const auto status = AnswerOption(argc, argv, "sample-extractor", kUsage)) return *status;
  if (argc < 3) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (std::string(argv[2]) != "y" && std::string(argv[2]) != "n") {
    std::fprintf(stderr, "sample-extractor: the second argument must be y or n, not '%s'\n%s",
                 argv[2], kUsage);
    return 2;
  }
  fs::path output = Native(argv[1]);
  int status = 0;
  for (int i = 3; i < argc; ++i) {
    fs::path source = Native(argv[i]);
    fs::path target = output / (source.filename().string() + ".tmp");
    std::error_code ec;
    fs::copy_file(source, target, fs::copy_options::overwrite_existing, ec);
    if (ec) {
      std::fprintf(stderr, "sample-extractor: %s: %s\n", source.c_str(), ec.message().c_str());
      status = 1;
    }
  }
  return status;
}
