// Bounded reads from an opened file and little-endian numbers in the bytes
// read, for the readers of executable headers. Nothing here trusts a length
// found in a file: every read is checked against the file's size first.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Env.h"

namespace support {

// Exactly `n` bytes at `offset`; nullopt when they lie (partly) past the end
// of the file or cannot be read.
inline std::optional<std::string> ReadBytesAt(platform::ReadableFile& file, std::uint64_t offset,
                                              std::uint64_t n) {
  std::uint64_t size = file.Size();
  if (offset > size || n > size - offset) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(n), '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    std::int64_t got = file.ReadAt(offset + done, bytes.data() + done, bytes.size() - done);
    if (got <= 0) return std::nullopt;
    done += static_cast<std::size_t>(got);
  }
  return bytes;
}

// The unsigned number of `width` bytes at `at`; the caller has checked that
// they lie inside `bytes`.
inline std::uint64_t LoadLe(std::string_view bytes, std::size_t at, std::size_t width) {
  std::uint64_t value = 0;
  for (std::size_t i = width; i-- > 0;)
    value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}
inline std::uint16_t LoadLe16(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint16_t>(LoadLe(bytes, at, 2));
}
inline std::uint32_t LoadLe32(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint32_t>(LoadLe(bytes, at, 4));
}
inline std::uint64_t LoadLe64(std::string_view bytes, std::size_t at) {
  return LoadLe(bytes, at, 8);
}

}  // namespace support
