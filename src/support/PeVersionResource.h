// The version resource of a Windows executable (PE32 or PE32+), read from the
// file and queried the way the system's version query does it.
//
// Reading: the DOS header's e_lfanew leads to "PE\0\0", the COFF header and
// the optional header, whose resource data directory (entry 2) gives the RVA
// of the resource tree; RVAs become file offsets through the section table.
// The tree is walked type 16 (version) -> its first entry -> that entry's
// first language -> the data entry holding the VS_VERSIONINFO block.
//
// Every offset and length found in the file is checked before use: a
// truncated, malformed or hostile file gives nullopt, never a read outside
// the file, an unbounded loop or an allocation beyond one block (a block's
// length is a 16-bit number, so at most 64 KiB).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Env.h"

namespace support {

// A language and code page pair of "\VarFileInfo\Translation".
struct VersionTranslation {
  std::uint16_t language = 0;
  std::uint16_t codePage = 0;
};

// The name of a translation's string table: language then code page as
// eight uppercase hex digits, each number padded with '0' ("040904B0").
std::string TranslationKey(VersionTranslation translation);

class PeVersionResource {
 public:
  // The VS_VERSIONINFO block of `file`; nullopt when the file is not a PE
  // image or has no well-formed version resource.
  static std::optional<PeVersionResource> Read(platform::ReadableFile& file);
  // A block given directly (the bytes of a VS_VERSIONINFO node).
  explicit PeVersionResource(std::string block) : block_(std::move(block)) {}

  // The value bytes of the node `subBlock` names, a path of keys separated by
  // '\' from the root node ("\VarFileInfo\Translation"); keys compare without
  // regard to ASCII case. nullopt when no node matches.
  std::optional<std::string_view> QueryValue(std::string_view subBlock) const;
  // The value of a text node (UTF-16LE) as UTF-8, ended at its first NUL;
  // unpaired surrogates become U+FFFD. nullopt when no node matches.
  std::optional<std::string> QueryText(std::string_view subBlock) const;
  // The first pair of "\VarFileInfo\Translation"; nullopt when there is none.
  std::optional<VersionTranslation> FirstTranslation() const;

 private:
  std::string block_;
};

}  // namespace support
