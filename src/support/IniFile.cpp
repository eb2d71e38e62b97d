#include "support/IniFile.h"

#include <map>
#include <mutex>

#include "support/Windows1252.h"

namespace support {

namespace {

std::string_view Trim(std::string_view s) {
  std::size_t first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  std::size_t last = s.find_last_not_of(" \t");
  return s.substr(first, last - first + 1);
}

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

struct CacheEntry {
  platform::FileInfo info;
  std::shared_ptr<const IniFile> file;
};

// Function-local so that the cache exists before any static user needs it.
std::map<std::string, CacheEntry>& Cache() {
  static std::map<std::string, CacheEntry> cache;
  return cache;
}

std::mutex& CacheMutex() {
  static std::mutex mutex;
  return mutex;
}

bool SameFile(const platform::FileInfo& a, const platform::FileInfo& b) {
  return a.size == b.size && a.modifiedNs == b.modifiedNs && a.fileId == b.fileId;
}

}  // namespace

std::string LocateIniFile(platform::Env& env, const std::string& path) {
  if (path.empty() || path.find_first_of("\\/:") != std::string::npos) return path;
  std::string folder = env.WindowsFolder();
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  return folder + path;
}

IniFile IniFile::Parse(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  // Converting the whole file before splitting it is safe: every character the
  // syntax uses is ASCII, and no multi-byte UTF-8 sequence contains an ASCII byte.
  std::string text = IsValidUtf8(bytes) ? std::string(bytes) : Windows1252ToUtf8(bytes);

  IniFile file;
  std::string_view rest = text;
  while (!rest.empty()) {
    std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = Trim(line);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      std::size_t close = line.find(']');
      if (close != std::string_view::npos) {
        file.sections_.push_back({std::string(Trim(line.substr(1, close - 1))), {}});
        continue;
      }
    }
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos || file.sections_.empty()) continue;
    std::string_view name = Trim(line.substr(0, eq));
    if (name.empty()) continue;
    file.sections_.back().keys.push_back(
        {std::string(name), std::string(Unquote(Trim(line.substr(eq + 1))))});
  }
  for (std::size_t i = 0; i < file.sections_.size(); ++i)
    file.byRoughKey_[RoughKey(file.sections_[i].name)].push_back(i);
  return file;
}

std::string IniFile::RoughKey(std::string_view name) {
  std::string key(name);
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (static_cast<unsigned char>(c) >= 0x80) c = '\x80';
  }
  return key;
}

const IniSection* IniFile::FindSection(std::string_view name) const {
  auto it = byRoughKey_.find(RoughKey(name));
  if (it == byRoughKey_.end()) return nullptr;
  for (std::size_t i : it->second)
    if (EqualsIgnoringCase(sections_[i].name, name)) return &sections_[i];
  return nullptr;
}

const IniKey* IniFile::FindKey(const IniSection& section, std::string_view name) {
  for (const IniKey& k : section.keys)
    if (EqualsIgnoringCase(k.name, name)) return &k;
  return nullptr;
}

std::shared_ptr<const IniFile> LoadCachedIniFile(platform::Env& env, const std::string& path) {
  std::string located = LocateIniFile(env, path);
  if (located.empty()) return nullptr;
  std::optional<platform::FileInfo> info = env.Stat(located);

  std::lock_guard<std::mutex> lock(CacheMutex());
  auto& cache = Cache();
  if (!info || info->isFolder) {
    cache.erase(located);
    return nullptr;
  }
  auto it = cache.find(located);
  if (it != cache.end() && SameFile(it->second.info, *info)) return it->second.file;

  // The information taken before the read is what is remembered: a change
  // made while reading then shows up as a difference on the next call.
  std::optional<std::string> bytes = env.ReadWholeFile(located);
  if (!bytes) {
    cache.erase(located);
    return nullptr;
  }
  auto parsed = std::make_shared<const IniFile>(IniFile::Parse(*bytes));
  cache[located] = CacheEntry{*info, parsed};
  return parsed;
}

void ClearIniFileCache() {
  std::lock_guard<std::mutex> lock(CacheMutex());
  Cache().clear();
}

}  // namespace support
