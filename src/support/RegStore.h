// The per-user registry store: a text file in registry-export format,
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Norvel\Kestova\Utilities\Ingestor]
//   "Left"=dword:00000064
//   "LastFile"="C:\\Data\\x.dat"
//
// with CR LF line ends (LF is read too). Keys keep the order in which they were
// first read or created; key paths and value names compare without regard to
// case and keep the spelling they were created with. Data of types this
// program does not use (hex:, hex(7): ...) is kept verbatim and written back
// unchanged.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Env.h"

namespace support {

// One value: its name ("" is the key's default value, written '@') and its
// data exactly as written after '=', continuation lines included.
struct RegValue {
  std::string name;
  std::string data;
};

struct RegKey {
  std::string path;  // full path, root included: "HKEY_CURRENT_USER\Software\..."
  std::vector<RegValue> values;
};

class RegStore {
 public:
  // nullopt when `text` is not an export this store could write back without
  // losing something (wrong header, a line it does not understand). An empty
  // text is an empty store.
  static std::optional<RegStore> Parse(std::string_view text);
  std::string Serialize() const;

  // A key exists when it was read or created, when it is the parent of one
  // that was, or when it is a root (a path without '\').
  bool HasKey(std::string_view path) const;
  // Adds the key when it does not exist. False when the path cannot be
  // written (empty, or holding a line break).
  bool CreateKey(std::string_view path);
  // nullptr when the key or the value is missing.
  const RegValue* FindValue(std::string_view path, std::string_view name) const;
  // Write a value into an existing key; false when the key does not exist or
  // the name holds a line break. Text holding a line break or NUL is stored
  // as hex(1) data (UTF-16LE), which keeps it on one line.
  bool SetNumber(std::string_view path, std::string_view name, std::int32_t value);
  bool SetText(std::string_view path, std::string_view name, std::string_view text);

  const std::vector<RegKey>& keys() const { return keys_; }

 private:
  RegKey* FindKey(std::string_view path);
  bool SetData(std::string_view path, std::string_view name, std::string data);

  std::vector<RegKey> keys_;
};

// The value as a 32-bit number (dword:, or hex(4): of exactly four bytes);
// nullopt for any other type.
std::optional<std::int32_t> RegNumber(const RegValue& value);
// The value as text (a quoted string, or hex(1): / hex(2): UTF-16LE data with
// its terminator dropped); nullopt for any other type.
std::optional<std::string> RegText(const RegValue& value);

// ${XDG_CONFIG_HOME:-$HOME/.config} in program form, without a trailing
// separator; "" when neither variable gives a folder.
std::string UserConfigFolder(platform::Env& env);
// ${XDG_STATE_HOME:-$HOME/.local/state} in the same form.
std::string UserStateFolder(platform::Env& env);

// The store as found on disk.
struct RegStoreFile {
  std::string path;  // program form; "" when there is no configuration folder
  RegStore store;
  // False when the file exists but could not be read or parsed: it then reads
  // as empty and is never overwritten, so nothing stored in it is lost.
  bool writable = false;
};

// Reads <UserConfigFolder>\ingestor\HKEY_CURRENT_USER.reg; a missing file is an
// empty, writable store.
RegStoreFile LoadRegStore(platform::Env& env);
// Creates the folder when missing and replaces the file atomically. False when
// the store is not writable or the write failed (the old file is then intact).
bool SaveRegStore(platform::Env& env, const RegStoreFile& file);

}  // namespace support
