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

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: sample-extractor OUTPUT_FOLDER y|n SOURCE...\n");
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
