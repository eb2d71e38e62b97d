// The records of an extracted file, one after another. Every file shares the
// 5-digit length prefix; what follows it is described by a Framing: a fixed
// head, an optional variable body, and how the next record is found. The
// importers differ only in their Framing and in what they do with a record;
// the walking, the bounds checks and the end-of-file rules are here, once.
//
// Invariants:
// - The walk always moves forward: every record consumes at least its length
//   prefix, and no framing rule moves the position back before the record's
//   own bytes, so no input can make the walk loop.
// - A head is always exactly headSize bytes: bytes past the end of the file
//   read as zero (empty text, zero numbers), never as the previous record's.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "importers/RecordReader.h"
#include "importers/layouts/RecordFraming.h"

class FileTransaction;

namespace importers {

struct Framing {
  // Fixed bytes read after the length prefix, whatever the length says.
  int headSize = 0;
  // A record starts only while at least this many bytes remain, counted from
  // its length prefix; a shorter remainder is a trailing fragment, not read.
  int minRemaining = 1;

  enum class Body {
    None,         // the head is the whole record
    NulText,      // text up to and including a NUL, or to end of file
    LengthTail,   // length - headSize bytes, when the length is larger
    CountedText,  // as many bytes as the 16-bit head field `countField` says
  };
  Body body = Body::None;
  layouts::Field countField{0, 0, layouts::FieldKind::Int16};

  enum class Next {
    AfterRecord,      // the next record follows the bytes read
    SkipPadding,      // skip length - (head + body) bytes when positive
    StartPlusLength,  // when length != headSize, go to head start + length
  };
  Next next = Next::AfterRecord;
};

struct Record {
  std::int64_t number = 0;  // 1-based within the file
  std::int64_t offset = 0;  // byte offset of the length prefix
  std::int32_t length = 0;  // the length the prefix states
  // Just past the record's bytes in the file: the furthest of what was read
  // for it and where the next record starts (padding it skips included). So
  // [offset, end) is the record exactly as framed, ready to be read again.
  std::int64_t end = 0;
  std::string_view head;  // headSize bytes
  std::string_view body;  // the text or tail, raw bytes
  // The file ended inside the length prefix, the head, or the text the
  // record announces; the missing head bytes read as zero.
  bool cutShort = false;
};

class FramedRecords {
 public:
  FramedRecords(RecordReader& reader, const Framing& framing);

  // Reads the next record into `record` (views valid until the next call);
  // false when no further record starts.
  bool Next(Record& record);
  // After Next returned false: the bytes left that were too short to start a
  // record, and where they begin (0 bytes when the file ended cleanly).
  std::int64_t FragmentBytes() const { return fragmentBytes_; }
  std::int64_t FragmentOffset() const { return fragmentOffset_; }
  // The bytes left unread because a record's stated length pointed past the
  // end of the file (0 when none were).
  std::int64_t OverrunBytes() const { return overrunBytes_; }
  // Next returns false as soon as `transaction` has stopped: no record is
  // read for a file whose rows can no longer land.
  void StopWhen(const FileTransaction& transaction) { stop_ = &transaction; }

  // The counting pass: how many length prefixes a walk from the start meets
  // when it moves forward by each stated length. Leaves the reader at the
  // start of the file.
  std::int64_t Count();

 private:
  RecordReader& reader_;
  Framing framing_;
  std::int64_t number_ = 0;
  std::int64_t fragmentBytes_ = 0;
  std::int64_t fragmentOffset_ = 0;
  std::int64_t overrunBytes_ = 0;
  const FileTransaction* stop_ = nullptr;
  std::string head_;
  std::string body_;
};

}  // namespace importers
