// What an import reads: the kind of host data, by the number the command line,
// the window's options and the string table (bases + number) use for it.
#pragma once

#include <cstdint>

enum class DataType : std::int32_t {
  CommonResponses = 0,
  PrivateCommonResponses = 1,
  GlobalResponses = 2,
  PrivateGlobalResponses = 3,
  FileIndex = 4,
  Lenders = 5,
  Neighborhoods = 6,
  Comparables = 7,
  // Recognised from a test extraction (the window's "guess" choice).
  Guess = 9,
};

// The number of `type`, for the string-table offsets and the log.
constexpr std::int32_t Number(DataType type) {
  return static_cast<std::int32_t>(type);
}
