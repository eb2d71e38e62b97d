#include "support/modRegistry.h"

#include <functional>
#include <optional>
#include <string_view>

#include "support/ErrorReport.h"
#include "support/RegStore.h"
#include "support/Windows1252.h"

namespace modRegistry {

namespace {

constexpr std::string_view kRootName = "HKEY_CURRENT_USER";
constexpr std::string_view kShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr std::string_view kPersonal = "Personal";

// The sub-key with one leading '\' dropped, under the root.
std::string KeyPath(std::string_view subKey) {
  if (!subKey.empty() && subKey.front() == '\\') subKey.remove_prefix(1);
  std::string path(kRootName);
  if (!subKey.empty()) path.append("\\").append(subKey);
  return path;
}

using Setter = std::function<bool(support::RegStore&, const std::string&)>;

bool SaveValue(platform::Env& env, std::uint32_t root, const std::string& subKey, bool createKey,
               const Setter& set) {
  if (root != HKEY_CURRENT_USER) return false;
  support::RegStoreFile file = support::LoadRegStore(env);
  if (!file.writable) return false;
  std::string key = KeyPath(subKey);
  if (createKey ? !file.store.CreateKey(key) : !file.store.HasKey(key)) return false;
  return set(file.store, key) && support::SaveRegStore(env, file);
}

// The stored value, after opening the key the way the read asks for: without
// openOnly a missing key is created (and stays, empty, in the store).
std::optional<support::RegValue> ReadValue(platform::Env& env, std::uint32_t root,
                                           const std::string& subKey, const std::string& valueName,
                                           bool openOnly) {
  if (root != HKEY_CURRENT_USER) return std::nullopt;
  support::RegStoreFile file = support::LoadRegStore(env);
  std::string key = KeyPath(subKey);
  if (!file.store.HasKey(key)) {
    // A new key holds no values, whether or not creating it succeeded.
    if (!openOnly && file.writable && file.store.CreateKey(key)) support::SaveRegStore(env, file);
    return std::nullopt;
  }
  const support::RegValue* value = file.store.FindValue(key, valueName);
  if (!value) return std::nullopt;
  return *value;
}

std::string ProgramForm(std::string path) {
  for (char& c : path)
    if (c == '/') c = '\\';
  while (path.size() > 1 && path.back() == '\\') path.pop_back();
  return path;
}

std::string_view TrimBlanks(std::string_view s) {
  std::size_t first = s.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// The XDG_DOCUMENTS_DIR assignment of user-dirs.dirs (shell syntax: the last
// assignment counts; "$HOME" is the only expansion the file may use).
std::optional<std::string> DocumentsFromUserDirs(std::string_view text, const std::string& home) {
  constexpr std::string_view kName = "XDG_DOCUMENTS_DIR";
  std::optional<std::string> found;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = TrimBlanks(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.starts_with(kName)) continue;
    std::string_view rest = TrimBlanks(line.substr(kName.size()));
    if (rest.empty() || rest.front() != '=') continue;
    rest = TrimBlanks(rest.substr(1));
    std::string value;
    if (!rest.empty() && rest.front() == '"') {
      for (std::size_t i = 1; i < rest.size() && rest[i] != '"'; ++i) {
        if (rest[i] == '\\' && i + 1 < rest.size()) ++i;
        value += rest[i];
      }
    } else {
      value = rest;
    }
    for (std::string_view var : {"${HOME}", "$HOME"})
      if (std::string_view(value).starts_with(var)) {
        value = home + value.substr(var.size());
        break;
      }
    if (value.empty()) continue;
    if (value.front() != '/') value = home + "/" + value;
    found = value;
  }
  return found;
}

// The user's documents folder in program form: $XDG_DOCUMENTS_DIR, else the
// user-dirs.dirs entry, else $HOME/Documents; "" when none is known.
std::string DocumentsFolder(platform::Env& env) {
  std::optional<std::string> documents = env.Variable("XDG_DOCUMENTS_DIR");
  if (documents && !documents->empty()) return ProgramForm(*documents);
  std::string home = env.Variable("HOME").value_or("");
  std::string config = support::UserConfigFolder(env);
  if (!config.empty())
    if (std::optional<std::string> dirs = env.ReadWholeFile(config + "\\user-dirs.dirs"))
      if (std::optional<std::string> found = DocumentsFromUserDirs(*dirs, home))
        return ProgramForm(*found);
  return home.empty() ? std::string() : ProgramForm(home + "/Documents");
}

bool IsPersonalFolder(std::string_view subKey, std::string_view valueName) {
  if (!subKey.empty() && subKey.front() == '\\') subKey.remove_prefix(1);
  return support::EqualsIgnoringCase(subKey, kShellFolders) &&
         support::EqualsIgnoringCase(valueName, kPersonal);
}

}  // namespace

bool SaveRegistryNumeric(const platform::Context& ctx, std::uint32_t root,
                         const std::string& subKey, const std::string& valueName,
                         std::int32_t value, bool createKey) {
  return support::Trap(ctx.ui, "SaveRegistryNumeric::modRegistry", false, false, [&] {
    return SaveValue(ctx.env, root, subKey, createKey,
                     [&](support::RegStore& store, const std::string& key) {
                       return store.SetNumber(key, valueName, value);
                     });
  });
}

bool SaveRegistryString(const platform::Context& ctx, std::uint32_t root, const std::string& subKey,
                        const std::string& valueName, const std::string& value, bool createKey) {
  return support::Trap(ctx.ui, "SaveRegistryString::modRegistry", false, false, [&] {
    return SaveValue(ctx.env, root, subKey, createKey,
                     [&](support::RegStore& store, const std::string& key) {
                       return store.SetText(key, valueName, value);
                     });
  });
}

std::int32_t GetRegistryNumeric(const platform::Context& ctx, std::uint32_t root,
                                const std::string& subKey, const std::string& valueName,
                                bool openOnly) {
  return support::Trap(ctx.ui, "GetRegistryNumeric::modRegistry", false, std::int32_t{0}, [&] {
    std::optional<support::RegValue> value = ReadValue(ctx.env, root, subKey, valueName, openOnly);
    return value ? support::RegNumber(*value).value_or(0) : 0;
  });
}

std::string GetRegistryString(const platform::Context& ctx, std::uint32_t root,
                              const std::string& subKey, const std::string& valueName,
                              bool openOnly) {
  return support::Trap(ctx.ui, "GetRegistryString::modRegistry", false, std::string(), [&] {
    std::optional<support::RegValue> value = ReadValue(ctx.env, root, subKey, valueName, openOnly);
    if (value) return support::RegText(*value).value_or(std::string());
    if (root == HKEY_CURRENT_USER && IsPersonalFolder(subKey, valueName))
      return DocumentsFolder(ctx.env);
    return std::string();
  });
}

}  // namespace modRegistry
