#include "support/modINIFile.h"

#include "support/ErrorReport.h"
#include "support/IniFile.h"
#include "support/Windows1252.h"

namespace modINIFile {

namespace {

// The system's key-list buffer holds 32767 characters, one of them the final NUL.
constexpr std::size_t kMaxKeyList = 32766;

std::string ReadValue(platform::Env& env, const std::string& section, const std::string& key,
                      const std::string& defaultValue, const std::string& file) {
  auto ini = support::LoadCachedIniFile(env, file);
  if (!ini) return defaultValue;
  const support::IniSection* s = ini->FindSection(section);
  if (!s) return defaultValue;
  const support::IniKey* k = support::IniFile::FindKey(*s, key);
  if (!k || k->value.empty()) return defaultValue;
  return std::string(support::Utf8Prefix(k->value, kMaxValue));
}

std::string ReadKeyNames(platform::Env& env, const std::string& file, const std::string& section) {
  auto ini = support::LoadCachedIniFile(env, file);
  if (!ini) return {};
  const support::IniSection* s = ini->FindSection(section);
  if (!s) return {};
  std::string names;
  std::size_t characters = 0;
  for (const support::IniKey& k : s->keys) {
    // Only whole names fit; the list stops at the first one that does not.
    std::size_t length = support::Utf8Length(k.name) + 1;
    if (characters + length > kMaxKeyList) break;
    characters += length;
    names.append(k.name).push_back('\0');
  }
  return names;
}

}  // namespace

std::string GetINIString(const platform::Context& ctx, const std::string& section,
                         const std::string& key, const std::string& defaultValue,
                         const std::string& file) {
  return support::Trap(ctx.ui, "GetINIString::modINIFile", false, defaultValue,
                       [&] { return ReadValue(ctx.env, section, key, defaultValue, file); });
}

std::string GetINIFileSection(const platform::Context& ctx, const std::string& file,
                              const std::string& section) {
  return support::Trap(ctx.ui, "GetINIFileSection::modINIFile", false, std::string(),
                       [&] { return ReadKeyNames(ctx.env, file, section); });
}

void ClearINICache() {
  support::ClearIniFileCache();
}

}  // namespace modINIFile
