// The option form of the command line: named options and ordinary POSIX
// paths, for people and scripts, beside the host's '/'-split tail. It drives
// the same unattended import as the tail (same log, backups, exit statuses).
//
//   ingestor --type TYPE --extractor PROGRAM --source PATH --output DIR
//            [--database FILE | --odbc CONNECTION] [--keep-extracted] [--no-compare]
//            [--terminate-records] [--on-conflict ask|keep|overwrite]
//            [--summary text|json] [--quiet]
#pragma once

#include <string>
#include <vector>

#include "platform/Context.h"
#include "startup/modIngestor.h"

namespace optionForm {

enum class Summary { None, Text, Json };

// A command line that passed every check.
struct Options {
  modIngestor::ImportSettings settings;  // paths absolute, in program form
  Summary summary = Summary::None;
  bool quiet = false;    // no progress line on the terminal
  bool help = false;     // --help among the options: print the usage, run nothing
  bool version = false;  // --version among them (without --help): print the version
};

// True when argv[1..] is for the option form: the first argument starts with
// "--" and the line is not just --help or --version.
bool Chosen(const std::vector<std::string>& args);

// Checks every argument without creating or running anything. "" with
// `options` filled in, or why the command line is refused (one sentence).
std::string Parse(const platform::Context& ctx, const std::vector<std::string>& args,
                  Options& options);

// Runs the import `options` describe and returns the exit status. `summary`
// receives the run's summary for stdout when one was asked for.
int Run(const platform::Context& ctx, const Options& options, std::string& summary);

}  // namespace optionForm
