#include "support/IniSectionIndex.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "support/IniFile.h"
#include "support/Windows1252.h"

namespace support {

namespace {

constexpr std::size_t kChunk = std::size_t{1} << 16;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view s) {
  const std::size_t first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

// A line as IniFile reads it: without its CR, trimmed.
std::string_view Cleaned(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return Trim(line);
}

// The name of a "[name]" line; nullopt for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
  if (line.empty() || line.front() != '[') return std::nullopt;
  const std::size_t close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(line.substr(1, close - 1));
}

// The trimmed name of a "name = value" line; empty when the line is no key.
std::string_view KeyName(std::string_view line) {
  if (line.empty() || line.front() == ';') return {};
  const std::size_t eq = line.find('=');
  return eq == std::string_view::npos ? std::string_view() : Trim(line.substr(0, eq));
}

// Equal for every two names equal without regard to case: ASCII letters
// lowered, every other non-ASCII byte left out (the case rules pair ASCII
// letters with ASCII letters only, and code-page letters with letters of
// the same width), so raw Windows-1252 and UTF-8 spellings hash alike.
std::uint32_t NameHash(std::string_view name) {
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (char c : name) {
    if (static_cast<unsigned char>(c) >= 0x80) continue;
    const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
    hash = (hash ^ static_cast<unsigned char>(lower)) * 1099511628211ull;
  }
  return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

bool SameFile(const platform::FileInfo& a, const platform::FileInfo& b) {
  return a.size == b.size && a.modifiedNs == b.modifiedNs && a.fileId == b.fileId;
}

// Calls `line(offset, text)` for every line of `file`, without its LF, the
// first without a byte-order mark; false with the system's reason when a
// read fails.
template <typename Line>
bool ForEachLine(platform::ReadableFile& file, std::string& reason, Line&& line) {
  std::string chunk(kChunk, '\0'), pending;
  std::uint64_t read = 0, start = 0;
  bool first = true;
  auto emit = [&](std::string_view text) {
    std::uint64_t at = start;
    if (first && text.starts_with(kByteOrderMark)) {
      text.remove_prefix(kByteOrderMark.size());
      at += kByteOrderMark.size();
    }
    first = false;
    line(at, text);
  };
  while (read < file.Size()) {
    const std::int64_t n = file.ReadAt(
        read, chunk.data(),
        static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, file.Size() - read)), reason);
    if (n < 0) return false;
    if (n == 0) break;  // shorter than when opened
    const std::string_view data(chunk.data(), static_cast<std::size_t>(n));
    for (std::size_t from = 0;;) {
      const std::size_t lf = data.find('\n', from);
      if (lf == std::string_view::npos) {
        pending.append(data.substr(from));
        break;
      }
      if (pending.empty()) {
        emit(data.substr(from, lf - from));
      } else {
        pending.append(data.substr(from, lf - from));
        emit(pending);
        pending.clear();
      }
      start = read + lf + 1;
      from = lf + 1;
    }
    read += static_cast<std::uint64_t>(n);
  }
  if (start < read) emit(pending);
  return true;
}

}  // namespace

IniSectionIndex::IniSectionIndex(platform::Env& env, std::string path, std::string section)
    : env_(env), path_(std::move(path)), section_(std::move(section)) {}

IniSectionIndex::~IniSectionIndex() = default;

void IniSectionIndex::Refresh() {
  const double now = env_.MonotonicSeconds();
  if (checked_ && now - checkedAt_ < kRecheckSeconds) return;
  checked_ = true;
  checkedAt_ = now;
  const std::string located = LocateIniFile(env_, path_);
  const std::optional<platform::FileInfo> info =
      located.empty() ? std::nullopt : env_.Stat(located);
  if (info && !info->isFolder && info_ && SameFile(*info_, *info)) return;
  info_.reset();
  file_.reset();
  block_.clear();
  keys_.clear();
  keys_.shrink_to_fit();
  if (!info || info->isFolder) return;
  // A read that fails is tried once more before the file counts as
  // unreadable: one transient failure must not cost every lookup its value.
  const std::size_t told = failure_.size();
  const bool built = Build(located, *info) || Build(located, *info);
  if (built) info_ = info;
  if (failure_.size() != told) failure_ += built ? "; it was read again." : ".";
}

bool IniSectionIndex::Build(const std::string& located, const platform::FileInfo& info) {
  // Offsets are kept in 32 bits: a larger file is not read.
  if (info.size > std::numeric_limits<std::uint32_t>::max()) return false;
  keys_.clear();
  block_.clear();
  located_ = located;
  std::string reason;
  auto failed = [&] {
    if (failure_.empty()) failure_ = "'" + located_ + "' could not be read: " + reason;
    return false;
  };
  file_ = env_.OpenForReading(located, reason);
  if (!file_) return failed();
  if (file_->Size() > std::numeric_limits<std::uint32_t>::max()) return false;
  // The code page is the whole file's: UTF-8 only when every line is. The
  // keys of every section are counted, so the index is allocated once.
  utf8_ = true;
  std::size_t lines = 0;
  if (!ForEachLine(*file_, reason, [&](std::uint64_t, std::string_view line) {
        utf8_ = utf8_ && IsValidUtf8(line);
        if (!KeyName(Cleaned(line)).empty()) ++lines;
      }))
    return failed();
  keys_.reserve(lines);
  // The keys of the first section of the name, up to the next section.
  enum { Before, Inside, After } where = Before;
  const bool read = ForEachLine(*file_, reason, [&](std::uint64_t offset, std::string_view raw) {
    if (where == After) return;
    const std::string_view line = Cleaned(raw);
    if (const std::optional<std::string_view> name = SectionName(line)) {
      if (where == Inside)
        where = After;
      else if (EqualsIgnoringCase(utf8_ ? std::string(*name) : Windows1252ToUtf8(*name), section_))
        where = Inside;
      return;
    }
    const std::string_view key = KeyName(line);
    if (where == Inside && !key.empty())
      keys_.push_back({NameHash(key), static_cast<std::uint32_t>(offset)});
  });
  if (!read) return failed();
  // Among keys of one hash, the first in the file is tried first. Sorted in
  // place: a stable sort would take a buffer as large as the index.
  std::sort(keys_.begin(), keys_.end(), [](const Entry& a, const Entry& b) {
    return a.hash != b.hash ? a.hash < b.hash : a.offset < b.offset;
  });
  if (keys_.capacity() > 2 * keys_.size()) keys_.shrink_to_fit();
  return true;
}

bool IniSectionIndex::LineAt(std::uint32_t offset, std::string& line) {
  line.clear();
  std::string reason;
  for (std::uint64_t at = offset; at < file_->Size();) {
    if (at < blockAt_ || at >= blockAt_ + block_.size()) {
      // The block around `at`: the lookups of an import in the file's order
      // read it once for many lines.
      blockAt_ = at - at % kBlock;
      block_.resize(kBlock);
      const std::int64_t n = file_->ReadAt(blockAt_, block_.data(), kBlock, reason);
      block_.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
      if (n < 0) {
        if (failure_.empty()) failure_ = "'" + located_ + "' could not be read: " + reason;
        return false;
      }
      if (at >= blockAt_ + block_.size()) break;  // shorter than when opened
    }
    const std::string_view data = std::string_view(block_).substr(at - blockAt_);
    const std::size_t lf = data.find('\n');
    line.append(data.substr(0, lf));
    if (lf != std::string_view::npos) break;
    at = blockAt_ + block_.size();
  }
  return true;
}

std::optional<std::string> IniSectionIndex::Find(std::string_view key) {
  Refresh();
  if (!info_) return std::nullopt;
  const std::uint32_t hash = NameHash(key);
  auto at = std::lower_bound(keys_.begin(), keys_.end(), hash,
                             [](const Entry& e, std::uint32_t h) { return e.hash < h; });
  for (; at != keys_.end() && at->hash == hash; ++at) {
    const std::size_t told = failure_.size();
    const bool read = LineAt(at->offset, line_) || LineAt(at->offset, line_);
    if (failure_.size() != told) failure_ += read ? "; it was read again." : ".";
    if (!read) return std::nullopt;
    const std::string_view line = Cleaned(line_);
    const std::string_view name = KeyName(line);
    const std::string_view value = Unquote(Trim(line.substr(line.find('=') + 1)));
    if (utf8_ ? EqualsIgnoringCase(name, key) : EqualsIgnoringCase(Windows1252ToUtf8(name), key))
      return utf8_ ? std::string(value) : Windows1252ToUtf8(value);
  }
  return std::nullopt;
}

std::string IniSectionIndex::TakeFailure() {
  return std::exchange(failure_, std::string());
}

}  // namespace support
