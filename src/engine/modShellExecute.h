// Starting the extraction program, from an argument vector or from one
// command line, and waiting for it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Context.h"

namespace modShellExecute {

// Runs `command` (plus a space and `arguments` when they are not empty) as
// one command line, split by SplitCommandLine. With `wait` the call returns
// after the program has ended and `exitCode` receives its exit status (128 +
// the signal number when a signal ended it). Without `wait` the program is
// left running and `exitCode` is not touched. `creationFlags` has no meaning
// here (the caller's 32 asks for normal priority, which is what every program
// gets). When no program could be started, `exitCode` keeps its value and
// the result is still true. A trapped failure shows the error box of
// "LaunchApplication::modShellExecute" with the step reached; result false.
bool LaunchApplication(const platform::Context& ctx, const std::string& command,
                       const std::string& arguments, bool wait, std::int32_t creationFlags,
                       std::int32_t& exitCode);

// Starts `program` (the path as named, spaces and all: never a shorter prefix
// of it) with `arguments` as they are, and waits for it to end. Its exit
// status (128 + the signal number when a signal ended it); nullopt with the
// system's reason when it could not be started. Never throws.
std::optional<std::int32_t> RunAndWait(const platform::Context& ctx, const std::string& program,
                                       const std::vector<std::string>& arguments,
                                       std::string& reason);

struct CommandLine {
  std::string program;
  std::vector<std::string> arguments;
};

// Splits a command line whose program path is not quoted. The program is the
// shortest space-separated prefix that names an executable file, so a path
// with spaces needs no quotes; when no prefix does, it is the first word. A
// line that starts with '"' has its program between the first two quotes.
// Each further argument is the text between a pair of double quotes, taken
// literally ("D:\Out\" is D:\Out\); unquoted words count as one argument
// each. nullopt for a blank line, or when the file system could not be asked.
std::optional<CommandLine> SplitCommandLine(const platform::Context& ctx, const std::string& full);

}  // namespace modShellExecute
