#include "support/PeVersionResource.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "support/FileBytes.h"
#include "support/Windows1252.h"

namespace support {

namespace {

constexpr std::uint32_t kVersionType = 16;  // RT_VERSION
constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr std::uint16_t kPe32Magic = 0x10B;
constexpr std::uint16_t kPe32PlusMagic = 0x20B;
constexpr std::uint16_t kTextValue = 1;  // wType of a node whose value is text
// Section tables and directory entry lists are read whole; a longer one than
// this is no image we would report on.
constexpr std::uint64_t kMaxTableBytes = 1u << 20;

// One section's window from RVAs to file offsets.
struct Section {
  std::uint32_t rva = 0;
  std::uint32_t span = 0;  // bytes of the section that come from the file
  std::uint32_t fileOffset = 0;
};

// What the headers tell: where the resource tree starts and how RVAs map.
class Image {
 public:
  static std::optional<Image> Open(platform::ReadableFile& file);

  // `n` bytes at `rva`, which must lie within one section's file data.
  std::optional<std::string> ReadRva(std::uint64_t rva, std::uint64_t n) const {
    for (const Section& s : sections_) {
      if (rva < s.rva || rva - s.rva >= s.span) continue;
      std::uint64_t into = rva - s.rva;
      if (n > s.span - into) return std::nullopt;
      return ReadBytesAt(*file_, std::uint64_t{s.fileOffset} + into, n);
    }
    return std::nullopt;
  }
  std::uint32_t ResourceRva() const { return resourceRva_; }

 private:
  platform::ReadableFile* file_ = nullptr;
  std::vector<Section> sections_;
  std::uint32_t resourceRva_ = 0;
};

std::optional<Image> Image::Open(platform::ReadableFile& file) {
  auto dos = ReadBytesAt(file, 0, 64);
  if (!dos || dos->compare(0, 2, "MZ") != 0) return std::nullopt;
  std::uint64_t peOffset = LoadLe32(*dos, 0x3C);
  auto coff = ReadBytesAt(file, peOffset, 24);
  if (!coff || coff->compare(0, 4, std::string_view("PE\0\0", 4)) != 0) return std::nullopt;
  std::uint16_t sectionCount = LoadLe16(*coff, 6);
  std::uint16_t optionalSize = LoadLe16(*coff, 20);
  auto optional = ReadBytesAt(file, peOffset + 24, optionalSize);
  if (!optional || optional->size() < 2) return std::nullopt;

  // Where the count of data directories and the directories themselves sit.
  std::size_t countAt = 0;
  std::size_t directoriesAt = 0;
  switch (LoadLe16(*optional, 0)) {
    case kPe32Magic:
      countAt = 92;
      directoriesAt = 96;
      break;
    case kPe32PlusMagic:
      countAt = 108;
      directoriesAt = 112;
      break;
    default:
      return std::nullopt;
  }
  constexpr std::size_t kResourceEntry = 2;
  std::size_t resourceAt = directoriesAt + kResourceEntry * 8;
  if (optional->size() < resourceAt + 8) return std::nullopt;
  if (LoadLe32(*optional, countAt) <= kResourceEntry) return std::nullopt;

  Image image;
  image.file_ = &file;
  image.resourceRva_ = LoadLe32(*optional, resourceAt);
  if (image.resourceRva_ == 0) return std::nullopt;

  std::uint64_t tableBytes = std::uint64_t{sectionCount} * 40;
  if (tableBytes > kMaxTableBytes) return std::nullopt;
  auto table = ReadBytesAt(file, peOffset + 24 + optionalSize, tableBytes);
  if (!table) return std::nullopt;
  for (std::size_t at = 0; at < table->size(); at += 40) {
    Section s;
    std::uint32_t virtualSize = LoadLe32(*table, at + 8);
    s.rva = LoadLe32(*table, at + 12);
    std::uint32_t rawSize = LoadLe32(*table, at + 16);
    s.fileOffset = LoadLe32(*table, at + 20);
    // Past its virtual size a section is not mapped; some linkers leave the
    // virtual size 0, and then the file data is all there is.
    s.span = virtualSize != 0 ? std::min(virtualSize, rawSize) : rawSize;
    image.sections_.push_back(s);
  }
  return image;
}

// The entries (8 bytes each) of the resource directory at `offset` from the
// resource root; nullopt when it cannot be read or is empty.
std::optional<std::string> DirectoryEntries(const Image& image, std::uint32_t offset) {
  std::uint64_t at = std::uint64_t{image.ResourceRva()} + offset;
  auto header = image.ReadRva(at, 16);
  if (!header) return std::nullopt;
  std::uint64_t count = std::uint64_t{LoadLe16(*header, 12)} + LoadLe16(*header, 14);
  if (count == 0) return std::nullopt;
  return image.ReadRva(at + 16, count * 8);
}

// The VS_VERSIONINFO block: type 16, its first entry, that entry's first
// language. The walk has exactly three levels, so an entry that points back
// at a directory above cannot make it loop.
std::optional<std::string> VersionBlock(const Image& image) {
  auto types = DirectoryEntries(image, 0);
  if (!types) return std::nullopt;
  std::optional<std::uint32_t> names;
  for (std::size_t at = 0; at < types->size() && !names; at += 8) {
    std::uint32_t id = LoadLe32(*types, at);
    std::uint32_t target = LoadLe32(*types, at + 4);
    if (id == kVersionType && (target & kHighBit) != 0) names = target & ~kHighBit;
  }
  if (!names) return std::nullopt;

  auto nameEntries = DirectoryEntries(image, *names);
  if (!nameEntries) return std::nullopt;
  std::uint32_t languages = LoadLe32(*nameEntries, 4);
  if ((languages & kHighBit) == 0) return std::nullopt;

  auto languageEntries = DirectoryEntries(image, languages & ~kHighBit);
  if (!languageEntries) return std::nullopt;
  std::uint32_t dataEntryOffset = LoadLe32(*languageEntries, 4);
  if ((dataEntryOffset & kHighBit) != 0) return std::nullopt;

  auto dataEntry = image.ReadRva(std::uint64_t{image.ResourceRva()} + dataEntryOffset, 16);
  if (!dataEntry) return std::nullopt;
  std::uint32_t blockRva = LoadLe32(*dataEntry, 0);
  std::uint32_t blockSize = LoadLe32(*dataEntry, 4);
  // The root node's own length says how much of the data is the block.
  auto head = image.ReadRva(blockRva, 2);
  if (!head) return std::nullopt;
  std::uint16_t length = LoadLe16(*head, 0);
  if (length < 6 || length > blockSize) return std::nullopt;
  return image.ReadRva(blockRva, length);
}

std::size_t Align4(std::size_t at) {
  return (at + 3) & ~std::size_t{3};
}

// One node of a version block:
//   WORD wLength; WORD wValueLength; WORD wType; WCHAR szKey[]; padding;
//   value; padding; children.
// Offsets are from the start of the block, which is 32-bit aligned.
struct Node {
  std::size_t keyAt = 0, keyEnd = 0;  // the key's UTF-16 units, NUL excluded
  std::size_t valueAt = 0, valueBytes = 0;
  std::size_t childrenAt = 0, end = 0;
};

// The node at `at`, which must end by `limit`.
std::optional<Node> ParseNode(std::string_view block, std::size_t at, std::size_t limit) {
  if (at > limit || limit - at < 6) return std::nullopt;
  std::size_t length = LoadLe16(block, at);
  if (length < 6 || length > limit - at) return std::nullopt;
  Node node;
  node.end = at + length;
  node.keyAt = at + 6;
  std::size_t k = node.keyAt;
  for (;; k += 2) {
    if (node.end - k < 2) return std::nullopt;  // no NUL before the node ends
    if (LoadLe16(block, k) == 0) break;
  }
  node.keyEnd = k;
  std::size_t valueLength = LoadLe16(block, at + 2);
  // A text value's length counts UTF-16 units, any other value's bytes.
  if (LoadLe16(block, at + 4) == kTextValue) valueLength *= 2;
  node.valueAt = std::min(Align4(k + 2), node.end);
  node.valueBytes = std::min(valueLength, node.end - node.valueAt);
  node.childrenAt = std::min(Align4(node.valueAt + node.valueBytes), node.end);
  return node;
}

bool KeyIs(std::string_view block, const Node& node, std::string_view name) {
  if ((node.keyEnd - node.keyAt) / 2 != name.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    std::uint16_t unit = LoadLe16(block, node.keyAt + 2 * i);
    auto lower = [](unsigned c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
    if (unit >= 0x80 || lower(unit) != lower(static_cast<unsigned char>(name[i]))) return false;
  }
  return true;
}

// The first child of `parent` keyed `name`. The walk stops at the first
// child that does not fit; each step moves forward by at least six bytes.
std::optional<Node> FindChild(std::string_view block, const Node& parent, std::string_view name) {
  std::size_t at = parent.childrenAt;
  while (at < parent.end) {
    auto child = ParseNode(block, at, parent.end);
    if (!child) return std::nullopt;
    if (KeyIs(block, *child, name)) return child;
    at = Align4(child->end);
  }
  return std::nullopt;
}

std::optional<Node> FindNode(std::string_view block, std::string_view subBlock) {
  auto node = ParseNode(block, 0, block.size());
  while (node && !subBlock.empty()) {
    std::size_t sep = subBlock.find('\\');
    std::string_view key = subBlock.substr(0, sep);
    subBlock = sep == std::string_view::npos ? std::string_view() : subBlock.substr(sep + 1);
    if (!key.empty()) node = FindChild(block, *node, key);
  }
  return node;
}

// UTF-16LE up to the first NUL (or an odd last byte) as UTF-8.
std::string Utf16LeToUtf8(std::string_view bytes) {
  std::string out;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char32_t unit = LoadLe16(bytes, i);
    if (unit == 0) break;
    if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
      char32_t low = LoadLe16(bytes, i + 2);
      if (low >= 0xDC00 && low < 0xE000) {
        AppendUtf8(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00), out);
        i += 2;
        continue;
      }
    }
    AppendUtf8(unit >= 0xD800 && unit < 0xE000 ? 0xFFFD : unit, out);
  }
  return out;
}

}  // namespace

std::string TranslationKey(VersionTranslation translation) {
  char key[9];
  std::snprintf(key, sizeof key, "%04X%04X", unsigned{translation.language},
                unsigned{translation.codePage});
  return key;
}

std::optional<PeVersionResource> PeVersionResource::Read(platform::ReadableFile& file) {
  auto image = Image::Open(file);
  if (!image) return std::nullopt;
  auto block = VersionBlock(*image);
  if (!block) return std::nullopt;
  return PeVersionResource(std::move(*block));
}

std::optional<std::string_view> PeVersionResource::QueryValue(std::string_view subBlock) const {
  auto node = FindNode(block_, subBlock);
  if (!node) return std::nullopt;
  return std::string_view(block_).substr(node->valueAt, node->valueBytes);
}

std::optional<std::string> PeVersionResource::QueryText(std::string_view subBlock) const {
  auto value = QueryValue(subBlock);
  if (!value) return std::nullopt;
  return Utf16LeToUtf8(*value);
}

std::optional<VersionTranslation> PeVersionResource::FirstTranslation() const {
  auto value = QueryValue("\\VarFileInfo\\Translation");
  if (!value || value->size() < 4) return std::nullopt;
  return VersionTranslation{LoadLe16(*value, 0), LoadLe16(*value, 2)};
}

}  // namespace support
