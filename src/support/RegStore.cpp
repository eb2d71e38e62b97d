#include "support/RegStore.h"

#include <cstdio>

#include "support/Windows1252.h"

namespace support {

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kOldHeader = "REGEDIT4";
constexpr std::string_view kStoreName = "\\ingestor\\HKEY_CURRENT_USER.reg";

std::string_view Trim(std::string_view s) {
  std::size_t first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  std::size_t last = s.find_last_not_of(" \t");
  return s.substr(first, last - first + 1);
}

bool HasLineBreak(std::string_view s) {
  return s.find_first_of("\r\n") != std::string_view::npos;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Quote(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  out += '"';
  return out;
}

// Reads a quoted text starting at s[0] == '"'. \\ and \" stand for \ and ";
// any other backslash is kept as written, so a hand-typed "C:\Data" survives.
// Sets `end` past the closing quote; nullopt when the quote is never closed.
std::optional<std::string> ReadQuoted(std::string_view s, std::size_t& end) {
  std::string out;
  for (std::size_t i = 1; i < s.size(); ++i) {
    char c = s[i];
    if (c == '"') {
      end = i + 1;
      return out;
    }
    if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) c = s[++i];
    out += c;
  }
  return std::nullopt;
}

// The bytes of hex data ("41,00,\<line break>  42,00"); nullopt when malformed.
std::optional<std::string> HexBytes(std::string_view list) {
  std::string bytes;
  int digits = 0, value = 0;
  for (char c : list) {
    int d = HexDigit(c);
    if (d >= 0) {
      if (++digits > 2) return std::nullopt;
      value = value * 16 + d;
    } else if (c == ',') {
      if (digits == 0) return std::nullopt;
      bytes += static_cast<char>(value);
      digits = value = 0;
    } else if (c != '\\' && c != '\r' && c != '\n' && c != ' ' && c != '\t') {
      return std::nullopt;
    }
  }
  if (digits > 0) bytes += static_cast<char>(value);
  return bytes;
}

// UTF-16LE text data as the system reads it: when a zero character is present
// the last character (the stored terminator) is dropped.
std::optional<std::string> DecodeUtf16Text(std::string_view bytes) {
  if (bytes.size() % 2 != 0) return std::nullopt;
  std::vector<char16_t> units;
  for (std::size_t i = 0; i < bytes.size(); i += 2)
    units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                          static_cast<unsigned char>(bytes[i + 1]) << 8));
  for (char16_t u : units)
    if (u == 0) {
      units.pop_back();
      break;
    }
  std::string out;
  for (std::size_t i = 0; i < units.size(); ++i) {
    char32_t cp = units[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    AppendUtf8(cp, out);
  }
  return out;
}

// hex(1): data for a text, terminator included. Text that is not UTF-8 is
// taken as the code page's bytes.
std::string EncodeUtf16Text(std::string_view text) {
  std::string utf8 = IsValidUtf8(text) ? std::string(text) : Windows1252ToUtf8(text);
  std::string data = "hex(1):";
  char buffer[4];
  auto unit = [&](unsigned u) {
    std::snprintf(buffer, sizeof buffer, "%02x,", u & 0xFF);
    data += buffer;
    std::snprintf(buffer, sizeof buffer, "%02x,", (u >> 8) & 0xFF);
    data += buffer;
  };
  for (std::size_t i = 0; i < utf8.size();) {
    auto b = [&](std::size_t k) { return static_cast<unsigned char>(utf8[i + k]) & 0x3Fu; };
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    char32_t cp;
    if (c < 0x80) {
      cp = c, i += 1;
    } else if (c < 0xE0) {
      cp = ((c & 0x1Fu) << 6) | b(1), i += 2;
    } else if (c < 0xF0) {
      cp = ((c & 0x0Fu) << 12) | (b(1) << 6) | b(2), i += 3;
    } else {
      cp = ((c & 0x07u) << 18) | (b(1) << 12) | (b(2) << 6) | b(3), i += 4;
    }
    if (cp >= 0x10000) {
      unit(0xD800 + ((cp - 0x10000) >> 10));
      unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      unit(cp);
    }
  }
  data += "00,00";
  return data;
}

bool EndsWithContinuation(std::string_view line) {
  line = Trim(line);
  return !line.empty() && line.back() == '\\';
}

}  // namespace

std::optional<RegStore> RegStore::Parse(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  RegStore store;
  bool headerSeen = false;
  RegKey* key = nullptr;
  RegValue* continued = nullptr;  // a value whose data goes on to the next line
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

    if (continued) {
      continued->data.append("\r\n").append(line);
      if (!EndsWithContinuation(line)) continued = nullptr;
      continue;
    }
    std::string_view trimmed = Trim(line);
    if (trimmed.empty()) continue;
    if (!headerSeen) {
      if (trimmed != kHeader && trimmed != kOldHeader) return std::nullopt;
      headerSeen = true;
      continue;
    }
    if (trimmed.front() == ';') continue;
    if (trimmed.front() == '[') {
      // "[-path]" deletes a key when imported; a store has nothing to delete.
      if (trimmed.back() != ']' || trimmed.size() < 3 || trimmed[1] == '-') return std::nullopt;
      std::string_view path = trimmed.substr(1, trimmed.size() - 2);
      store.CreateKey(path);
      key = store.FindKey(path);
      continue;
    }
    if (!key || (trimmed.front() != '"' && trimmed.front() != '@')) return std::nullopt;

    std::string name;
    std::size_t at = 1;
    if (trimmed.front() == '"') {
      std::optional<std::string> quoted = ReadQuoted(trimmed, at);
      if (!quoted) return std::nullopt;
      name = std::move(*quoted);
    }
    std::string_view rest = Trim(trimmed.substr(at));
    if (rest.empty() || rest.front() != '=') return std::nullopt;
    std::string_view data = Trim(rest.substr(1));
    if (!data.empty() && data.front() == '"') {
      std::size_t close = 0;
      if (!ReadQuoted(data, close) || close != data.size()) return std::nullopt;
    }
    // A name read twice keeps the data read last, as an import would.
    RegValue* value = nullptr;
    for (RegValue& v : key->values)
      if (EqualsIgnoringCase(v.name, name)) value = &v;
    if (!value) value = &key->values.emplace_back(RegValue{std::move(name), {}});
    value->data.assign(data);
    if (!data.empty() && data.front() != '"' && EndsWithContinuation(data)) continued = value;
  }
  // A value the end of the text cut off after a continuation ends with the
  // empty line it is written back with, so a re-read finds the same data.
  if (continued) continued->data.append("\r\n");
  return store;
}

std::string RegStore::Serialize() const {
  std::string out(kHeader);
  out += "\r\n\r\n";
  for (const RegKey& key : keys_) {
    out.append("[").append(key.path).append("]\r\n");
    for (const RegValue& v : key.values)
      out.append(v.name.empty() ? "@" : Quote(v.name)).append("=").append(v.data).append("\r\n");
    out += "\r\n";
  }
  return out;
}

bool RegStore::HasKey(std::string_view path) const {
  if (path.find('\\') == std::string_view::npos) return true;
  for (const RegKey& key : keys_) {
    if (EqualsIgnoringCase(key.path, path)) return true;
    // Case folding keeps byte lengths, so the parent is a byte prefix.
    if (key.path.size() > path.size() && key.path[path.size()] == '\\' &&
        EqualsIgnoringCase(std::string_view(key.path).substr(0, path.size()), path))
      return true;
  }
  return false;
}

bool RegStore::CreateKey(std::string_view path) {
  if (path.empty() || HasLineBreak(path)) return false;
  if (!FindKey(path)) keys_.push_back(RegKey{std::string(path), {}});
  return true;
}

RegKey* RegStore::FindKey(std::string_view path) {
  for (RegKey& key : keys_)
    if (EqualsIgnoringCase(key.path, path)) return &key;
  return nullptr;
}

const RegValue* RegStore::FindValue(std::string_view path, std::string_view name) const {
  for (const RegKey& key : keys_) {
    if (!EqualsIgnoringCase(key.path, path)) continue;
    for (const RegValue& v : key.values)
      if (EqualsIgnoringCase(v.name, name)) return &v;
    return nullptr;
  }
  return nullptr;
}

bool RegStore::SetData(std::string_view path, std::string_view name, std::string data) {
  if (HasLineBreak(name) || name.find('\0') != std::string_view::npos || !HasKey(path))
    return false;
  // A key known only as a parent (or a root) gets its own line once it holds a value.
  if (!CreateKey(path)) return false;
  RegKey* key = FindKey(path);
  for (RegValue& v : key->values)
    if (EqualsIgnoringCase(v.name, name)) {
      v.data = std::move(data);
      return true;
    }
  key->values.push_back(RegValue{std::string(name), std::move(data)});
  return true;
}

bool RegStore::SetNumber(std::string_view path, std::string_view name, std::int32_t value) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "dword:%08x", static_cast<std::uint32_t>(value));
  return SetData(path, name, digits);
}

bool RegStore::SetText(std::string_view path, std::string_view name, std::string_view text) {
  bool oneLine = text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
  return SetData(path, name, oneLine ? Quote(text) : EncodeUtf16Text(text));
}

std::optional<std::int32_t> RegNumber(const RegValue& value) {
  std::string_view data = value.data;
  if (StartsWithNoCase(data, "dword:")) {
    std::string_view digits = data.substr(6);
    if (digits.empty() || digits.size() > 8) return std::nullopt;
    std::uint32_t n = 0;
    for (char c : digits) {
      int d = HexDigit(c);
      if (d < 0) return std::nullopt;
      n = n * 16 + static_cast<std::uint32_t>(d);
    }
    return static_cast<std::int32_t>(n);
  }
  if (StartsWithNoCase(data, "hex(4):")) {
    std::optional<std::string> bytes = HexBytes(data.substr(7));
    if (!bytes || bytes->size() != 4) return std::nullopt;
    std::uint32_t n = 0;
    for (int i = 3; i >= 0; --i) n = n << 8 | static_cast<unsigned char>((*bytes)[i]);
    return static_cast<std::int32_t>(n);
  }
  return std::nullopt;
}

std::optional<std::string> RegText(const RegValue& value) {
  std::string_view data = value.data;
  if (!data.empty() && data.front() == '"') {
    std::size_t end = 0;
    return ReadQuoted(data, end);
  }
  if (StartsWithNoCase(data, "hex(1):") || StartsWithNoCase(data, "hex(2):")) {
    std::optional<std::string> bytes = HexBytes(data.substr(7));
    if (!bytes) return std::nullopt;
    return DecodeUtf16Text(*bytes);
  }
  return std::nullopt;
}

namespace {

// A base folder of the user's: `variable` when it holds an absolute path,
// else $HOME + `underHome`.
std::string UserBaseFolder(platform::Env& env, const char* variable, const char* underHome) {
  std::string folder;
  std::optional<std::string> config = env.Variable(variable);
  // Relative values are to be ignored, as the base-directory rules say.
  if (config && !config->empty() && config->front() == '/') {
    folder = *config;
  } else {
    std::optional<std::string> home = env.Variable("HOME");
    if (!home || home->empty()) return {};
    folder = *home + underHome;
  }
  for (char& c : folder)
    if (c == '/') c = '\\';
  while (folder.size() > 1 && folder.back() == '\\') folder.pop_back();
  return folder;
}

}  // namespace

std::string UserConfigFolder(platform::Env& env) {
  return UserBaseFolder(env, "XDG_CONFIG_HOME", "/.config");
}

std::string UserStateFolder(platform::Env& env) {
  return UserBaseFolder(env, "XDG_STATE_HOME", "/.local/state");
}

RegStoreFile LoadRegStore(platform::Env& env) {
  RegStoreFile file;
  std::string folder = UserConfigFolder(env);
  if (folder.empty()) return file;
  file.path = folder + std::string(kStoreName);
  std::optional<std::string> text = env.ReadWholeFile(file.path);
  if (!text) {
    // Missing is an empty store; present but unreadable must not be replaced.
    file.writable = !env.Stat(file.path).has_value();
    return file;
  }
  std::optional<RegStore> parsed = RegStore::Parse(*text);
  if (!parsed) return file;
  file.store = std::move(*parsed);
  file.writable = true;
  return file;
}

namespace {

bool EnsureFolder(platform::Env& env, const std::string& folder) {
  if (std::optional<platform::FileInfo> info = env.Stat(folder)) return info->isFolder;
  std::size_t cut = folder.find_last_of('\\');
  if (cut != std::string::npos && cut > 0) {
    std::string parent = folder.substr(0, cut);
    bool driveRoot = parent.size() == 2 && parent[1] == ':';
    if (!driveRoot && !EnsureFolder(env, parent)) return false;
  }
  return env.CreateFolder(folder) != platform::FolderResult::Failed;
}

}  // namespace

bool SaveRegStore(platform::Env& env, const RegStoreFile& file) {
  if (!file.writable || file.path.empty()) return false;
  std::string folder = file.path.substr(0, file.path.find_last_of('\\'));
  if (!EnsureFolder(env, folder)) return false;
  return env.ReplaceFile(file.path, file.store.Serialize());
}

}  // namespace support
