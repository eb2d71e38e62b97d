// One section of an INI file, looked up key by key without parsing the file
// into memory: the file is read once to index the keys of its section (a
// hash of the name and the byte offset of its line, 8 bytes a key), and a
// lookup reads only the lines under the key's hash. The answers are those of
// a parse by IniFile (the first section of the name, the first key of the
// name in it, the same trimming, quotes, code page and case rules), so a
// section of hundreds of thousands of keys costs a few megabytes, not the
// parse's hundreds of bytes a key.
//
// The file is looked at again (its size, modification time and identity) at
// most every kRecheckSeconds; a change indexes it anew.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Env.h"

namespace support {

class IniSectionIndex {
 public:
  static constexpr double kRecheckSeconds = 0.025;

  // `path` in program form; a bare file name is looked for in the Windows
  // folder, as for every INI file.
  IniSectionIndex(platform::Env& env, std::string path, std::string section);
  ~IniSectionIndex();

  // The value of `key` (UTF-8, trimmed, unquoted); nullopt when the file,
  // the section or the key is missing, or the file cannot be read.
  std::optional<std::string> Find(std::string_view key);
  // What failed since the last call, with the system's reason and whether
  // the read that was tried again worked; "" when nothing failed. A file
  // that cannot be read answers as a missing one, so this is the only trace.
  std::string TakeFailure();

 private:
  struct Entry {
    std::uint32_t hash;
    std::uint32_t offset;  // of the key's line
  };
  // Indexes the file when it changed since it was indexed (or was not yet).
  void Refresh();
  bool Build(const std::string& located, const platform::FileInfo& info);
  // The line starting at `offset`, without its end; false when it cannot be read.
  bool LineAt(std::uint32_t offset, std::string& line);

  platform::Env& env_;
  std::string path_;
  std::string section_;
  bool checked_ = false;
  double checkedAt_ = 0;
  std::optional<platform::FileInfo> info_;  // of the file indexed, if any
  std::string located_;                     // the file indexed, as opened
  std::unique_ptr<platform::ReadableFile> file_;
  bool utf8_ = false;        // the whole file is valid UTF-8 (else Windows-1252)
  std::vector<Entry> keys_;  // by hash, in file order among equal hashes
  std::string line_;         // re-used by every lookup
  static constexpr std::size_t kBlock = 16384;
  std::string block_;  // the bytes of the file read last, from blockAt_
  std::uint64_t blockAt_ = 0;
  std::string failure_;
};

}  // namespace support
