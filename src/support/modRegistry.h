// Per-user settings addressed like the system registry (root, key path, value
// name). The store is a text file in registry-export format at
// ${XDG_CONFIG_HOME:-$HOME/.config}/ingestor/HKEY_CURRENT_USER.reg, replaced
// atomically on every write. Values keep their type (number or text). Key
// paths and value names compare without regard to case; one leading '\' of a
// key path is dropped. The store is read afresh on every call. A store file
// that cannot be read or parsed reads as empty and is never overwritten: saves
// then fail, so nothing stored in it is lost. Only HKEY_CURRENT_USER exists;
// any other root gives the failure value.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Context.h"

namespace modRegistry {

// The only root the program uses.
inline constexpr std::uint32_t HKEY_CURRENT_USER = 0x80000001u;

// With createKey the key (and its parents) is created when missing; otherwise
// a missing key makes the save fail. True when the value was written.
bool SaveRegistryNumeric(const platform::Context& ctx, std::uint32_t root,
                         const std::string& subKey, const std::string& valueName,
                         std::int32_t value, bool createKey);
bool SaveRegistryString(const platform::Context& ctx, std::uint32_t root, const std::string& subKey,
                        const std::string& valueName, const std::string& value, bool createKey);
// Without openOnly a missing key is created (empty) by the read. A missing
// value, or one of the other type, gives 0 or "".
std::int32_t GetRegistryNumeric(const platform::Context& ctx, std::uint32_t root,
                                const std::string& subKey, const std::string& valueName,
                                bool openOnly);
// The shell-folder value "Personal" (the documents folder) is answered from
// the XDG documents folder when the store holds no such value.
std::string GetRegistryString(const platform::Context& ctx, std::uint32_t root,
                              const std::string& subKey, const std::string& valueName,
                              bool openOnly);

}  // namespace modRegistry
