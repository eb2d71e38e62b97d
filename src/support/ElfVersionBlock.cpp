#include "support/ElfVersionBlock.h"

#include "support/FileBytes.h"
#include "support/VersionBlock.h"

namespace support {

namespace {

constexpr std::string_view kElfMagic = "\177ELF";
constexpr std::size_t kElfHeaderBytes = 64;
constexpr std::size_t kSectionHeaderBytes = 64;
constexpr std::uint32_t kNoBitsSection = 8;  // SHT_NOBITS: occupies no file bytes
// The section header table and the section-name table are read whole; our
// binaries need a few KiB of each.
constexpr std::uint64_t kMaxTableBytes = 1u << 20;
// A block states eight short texts.
constexpr std::uint64_t kMaxBlockBytes = 1u << 16;

struct SectionHeader {
  std::uint32_t name = 0;  // offset in the section-name table
  std::uint32_t type = 0;
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
};

SectionHeader HeaderAt(std::string_view table, std::size_t at) {
  return {LoadLe32(table, at), LoadLe32(table, at + 4), LoadLe64(table, at + 24),
          LoadLe64(table, at + 32)};
}

// The bytes of a section that has bytes in the file, at most `cap` of them.
std::optional<std::string> SectionBytes(platform::ReadableFile& file, const SectionHeader& h,
                                        std::uint64_t cap) {
  if (h.type == kNoBitsSection || h.size > cap) return std::nullopt;
  return ReadBytesAt(file, h.offset, h.size);
}

// The NUL-ended name at `at` in the name table; nullopt when it runs past it.
std::optional<std::string_view> NameAt(std::string_view names, std::uint32_t at) {
  if (at >= names.size()) return std::nullopt;
  std::size_t end = names.find('\0', at);
  if (end == std::string_view::npos) return std::nullopt;
  return names.substr(at, end - at);
}

}  // namespace

std::optional<VersionEntries> ParseVersionBlock(std::string_view bytes) {
  if (bytes.size() <= kVersionBlockTag.size() ||
      bytes.substr(0, kVersionBlockTag.size()) != kVersionBlockTag ||
      bytes[kVersionBlockTag.size()] != '\0')
    return std::nullopt;
  VersionEntries entries;
  std::size_t at = kVersionBlockTag.size() + 1;
  for (;;) {
    std::size_t end = bytes.find('\0', at);
    if (end == std::string_view::npos) return std::nullopt;  // cut off before its end
    std::string_view entry = bytes.substr(at, end - at);
    at = end + 1;
    if (entry.empty()) return entries;
    std::size_t eq = entry.find('=');
    if (eq != std::string_view::npos)
      entries.emplace_back(std::string(entry.substr(0, eq)), std::string(entry.substr(eq + 1)));
  }
}

std::optional<VersionEntries> ReadElfVersionBlock(platform::ReadableFile& file) {
  auto header = ReadBytesAt(file, 0, kElfHeaderBytes);
  if (!header || header->compare(0, kElfMagic.size(), kElfMagic) != 0) return std::nullopt;
  constexpr char kClass64 = 2, kLittleEndian = 1;
  if ((*header)[4] != kClass64 || (*header)[5] != kLittleEndian) return std::nullopt;

  std::uint64_t tableAt = LoadLe64(*header, 0x28);
  std::uint16_t entrySize = LoadLe16(*header, 0x3A);
  std::uint16_t count = LoadLe16(*header, 0x3C);
  std::uint16_t namesIndex = LoadLe16(*header, 0x3E);
  if (entrySize < kSectionHeaderBytes || count == 0 || namesIndex >= count) return std::nullopt;
  std::uint64_t tableBytes = std::uint64_t{entrySize} * count;
  if (tableBytes > kMaxTableBytes) return std::nullopt;
  auto table = ReadBytesAt(file, tableAt, tableBytes);
  if (!table) return std::nullopt;

  auto names =
      SectionBytes(file, HeaderAt(*table, std::size_t{namesIndex} * entrySize), kMaxTableBytes);
  if (!names) return std::nullopt;
  for (std::size_t i = 0; i < count; ++i) {
    SectionHeader section = HeaderAt(*table, i * entrySize);
    if (NameAt(*names, section.name) != kVersionSectionName) continue;
    auto bytes = SectionBytes(file, section, kMaxBlockBytes);
    if (!bytes) return std::nullopt;
    return ParseVersionBlock(*bytes);
  }
  return std::nullopt;
}

}  // namespace support
