// The options every sample tool answers before its own arguments: a lone
// --help (or -h) prints the usage on stdout; any other lone argument starting
// with '-' is refused (a file or folder named so is still reachable as ./-name).
#pragma once

#include <cstdio>
#include <optional>
#include <string>

// The exit status when argv was such an option; nothing when the tool goes on.
inline std::optional<int> AnswerOption(int argc, char** argv, const char* tool, const char* usage) {
  const std::string first = argc > 1 ? argv[1] : "";
  if (argc != 2 || first.size() < 2 || first[0] != '-') return std::nullopt;
  if (first == "--help" || first == "-h") {
    std::fputs(usage, stdout);
    return 0;
  }
  std::fprintf(stderr, "%s: unknown option '%s'\n%s", tool, argv[1], usage);
  return 2;
}
