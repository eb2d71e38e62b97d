// Starting the extraction program from an argument vector, and waiting for
// it. There is no text command line to split: the program named is the
// program run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Context.h"

namespace modShellExecute {

// Starts `program` (the path as named, spaces and all: never a shorter prefix
// of it) with `arguments` as they are, and waits for it to end. Its exit
// status (128 + the signal number when a signal ended it); nullopt with the
// system's reason when it could not be started. Never throws.
std::optional<std::int32_t> RunAndWait(const platform::Context& ctx, const std::string& program,
                                       const std::vector<std::string>& arguments,
                                       std::string& reason);

}  // namespace modShellExecute
