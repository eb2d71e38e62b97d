// Streaming reads of one extracted record file: a window of the file is kept
// in memory, so a file of any size costs a fixed amount of memory, and every
// read is bounds-checked against the end of the file (bytes past the end read
// as missing, never as garbage).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Env.h"

namespace importers {

class RecordReader {
 public:
  explicit RecordReader(std::unique_ptr<platform::ReadableFile> file);
  // Opens `path`; a file that cannot be opened reads as failed, with the reason.
  RecordReader(platform::Env& env, const std::string& path);

  std::int64_t Size() const { return size_; }
  // 0-based offset of the next byte to read.
  std::int64_t Position() const { return position_; }
  std::int64_t Remaining() const { return size_ - position_; }
  bool AtEnd() const { return position_ >= size_; }
  // True once a read of the file failed; reads then return nothing.
  bool Failed() const { return failed_; }
  // Why the file could not be opened or read: the system's text.
  const std::string& Error() const { return error_; }

  // Moves to `offset`, clamped to [0, Size()].
  void Seek(std::int64_t offset);
  // Moves forward (only) by `n` bytes, clamped to the end.
  void Skip(std::int64_t n);

  // Reads up to `n` bytes: a view of the bytes read (shorter only at end of
  // file), valid until the next call on this reader.
  std::string_view Read(std::size_t n);
  // Reads the response-style text: the bytes up to the first NUL (which is
  // consumed but not returned) or to end of file. Returns the bytes consumed,
  // NUL included; `text` receives the text.
  std::size_t ReadNulTerminated(std::string& text);
  // Reads up to `n` bytes at `offset` straight from the file into `buffer`,
  // leaving the position and the window as they are: the number read (fewer
  // only at end of file), or -1 with the system's reason.
  std::int64_t ReadAt(std::int64_t offset, char* buffer, std::size_t n, std::string& reason);

 private:
  // Makes bytes [position_, position_ + n) (or up to the end) resident.
  bool Fill(std::size_t n);

  std::unique_ptr<platform::ReadableFile> file_;
  std::int64_t size_ = 0;
  std::int64_t position_ = 0;
  std::vector<char> window_;
  std::int64_t windowStart_ = 0;  // file offset of window_[0]
  std::size_t windowLength_ = 0;  // valid bytes in window_
  bool failed_ = false;
  std::string error_;
};

// The record length of a length prefix: leading blanks skipped, then as much
// of a decimal number as the text holds (sign, digits, fraction, exponent);
// rounded to a whole number, halves to even. Text that is not a number, or a
// number outside the 32-bit range, gives 0.
std::int32_t LeadingNumber(std::string_view text);

}  // namespace importers
