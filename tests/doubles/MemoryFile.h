// A readable file whose bytes are held in memory (not owned: they must
// outlive it), for reading images cut or patched in memory without a disk.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/Env.h"

namespace testing_doubles {

class MemoryFile final : public platform::ReadableFile {
 public:
  explicit MemoryFile(std::string_view bytes) : bytes_(bytes) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  std::int64_t ReadAt(std::uint64_t offset, char* buffer, std::size_t n, std::string&) override {
    if (offset >= bytes_.size()) return 0;
    n = std::min<std::size_t>(n, bytes_.size() - offset);
    std::memcpy(buffer, bytes_.data() + offset, n);
    return static_cast<std::int64_t>(n);
  }

 private:
  std::string_view bytes_;
};

}  // namespace testing_doubles
