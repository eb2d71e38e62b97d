#include "importers/RecordReader.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "support/Conversions.h"

namespace importers {

namespace {
// Big enough that a file is read in a few large system calls, small enough
// that memory stays flat whatever the file's size.
constexpr std::size_t kWindowSize = 1 << 20;
}  // namespace

RecordReader::RecordReader(std::unique_ptr<platform::ReadableFile> file)
    : file_(std::move(file)), size_(file_ ? static_cast<std::int64_t>(file_->Size()) : 0) {
  failed_ = file_ == nullptr;
}

RecordReader::RecordReader(platform::Env& env, const std::string& path) : RecordReader(nullptr) {
  file_ = env.OpenForReading(path, error_);
  failed_ = file_ == nullptr;
  size_ = file_ ? static_cast<std::int64_t>(file_->Size()) : 0;
}

void RecordReader::Seek(std::int64_t offset) {
  position_ = std::clamp<std::int64_t>(offset, 0, size_);
}

void RecordReader::Skip(std::int64_t n) {
  if (n > 0) Seek(position_ + std::min(n, size_ - position_));
}

bool RecordReader::Fill(std::size_t n) {
  if (failed_) return false;
  const std::int64_t want = std::min<std::int64_t>(static_cast<std::int64_t>(n), Remaining());
  const std::int64_t windowEnd = windowStart_ + static_cast<std::int64_t>(windowLength_);
  if (position_ >= windowStart_ && position_ + want <= windowEnd) return true;
  // No bigger than what is left of the file: a small file costs a small window.
  const std::size_t capacity =
      std::max<std::size_t>({std::min(kWindowSize, static_cast<std::size_t>(Remaining())),
                             static_cast<std::size_t>(want), 1});
  if (window_.size() < capacity) window_.resize(capacity);
  const std::size_t length = static_cast<std::size_t>(
      std::min<std::int64_t>(static_cast<std::int64_t>(capacity), size_ - position_));
  const std::int64_t got =
      file_->ReadAt(static_cast<std::uint64_t>(position_), window_.data(), length, error_);
  if (got < 0) {
    failed_ = true;
    windowLength_ = 0;
    return false;
  }
  windowStart_ = position_;
  windowLength_ = static_cast<std::size_t>(got);
  // A file that shrank while it was read ends where the bytes end.
  if (static_cast<std::size_t>(got) < length) size_ = position_ + got;
  return true;
}

std::int64_t RecordReader::ReadAt(std::int64_t offset, char* buffer, std::size_t n,
                                  std::string& reason) {
  if (!file_) {
    reason = error_;
    return -1;
  }
  if (offset < 0 || offset >= size_) return 0;
  n = static_cast<std::size_t>(
      std::min<std::int64_t>(static_cast<std::int64_t>(n), size_ - offset));
  return file_->ReadAt(static_cast<std::uint64_t>(offset), buffer, n, reason);
}

std::string_view RecordReader::Read(std::size_t n) {
  if (n == 0 || AtEnd() || !Fill(n)) return {};
  const std::size_t available =
      static_cast<std::size_t>(windowStart_ + static_cast<std::int64_t>(windowLength_) - position_);
  const std::size_t take = std::min(n, available);
  std::string_view bytes(window_.data() + (position_ - windowStart_), take);
  position_ += static_cast<std::int64_t>(take);
  return bytes;
}

std::size_t RecordReader::ReadNulTerminated(std::string& text) {
  text.clear();
  std::size_t consumed = 0;
  while (!AtEnd()) {
    if (!Fill(1)) break;
    const char* begin = window_.data() + (position_ - windowStart_);
    const std::size_t available = static_cast<std::size_t>(
        windowStart_ + static_cast<std::int64_t>(windowLength_) - position_);
    const void* nul = std::memchr(begin, '\0', available);
    const std::size_t take =
        nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - begin) : available;
    text.append(begin, take);
    consumed += take;
    position_ += static_cast<std::int64_t>(take);
    if (nul) {
      ++position_;
      return consumed + 1;
    }
  }
  return consumed;
}

std::int32_t LeadingNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  const std::size_t start = i;
  auto digit = [&](std::size_t k) { return k < text.size() && text[k] >= '0' && text[k] <= '9'; };
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  bool any = false;
  while (digit(i)) ++i, any = true;
  // Plain digits, as every length prefix is written: read without a parse.
  const bool plain = i > start && i - start <= 9 && text[start] != '+' && text[start] != '-' &&
                     (i == text.size() || (text[i] != '.' && text[i] != 'e' && text[i] != 'E' &&
                                           text[i] != 'd' && text[i] != 'D'));
  if (plain) {
    std::int32_t value = 0;
    for (std::size_t k = start; k < i; ++k) value = value * 10 + (text[k] - '0');
    return value;
  }
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (digit(i)) ++i, any = true;
  }
  if (!any) return 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
    std::size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    if (digit(j)) {
      while (digit(j)) ++j;
      i = j;
    }
  }
  std::string number(text.substr(start, i - start));
  for (char& c : number)
    if (c == 'd' || c == 'D') c = 'e';
  const double value = std::strtod(number.c_str(), nullptr);
  return support::RoundToLong(value).value_or(0);
}

}  // namespace importers
