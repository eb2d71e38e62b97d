#include "importers/FramedRecords.h"

#include <algorithm>
#include <cstring>

#include "engine/DbConnection.h"
#include "importers/FieldDecoding.h"

namespace importers {

FramedRecords::FramedRecords(RecordReader& reader, const Framing& framing)
    : reader_(reader), framing_(framing), head_(static_cast<std::size_t>(framing.headSize), '\0') {}

bool FramedRecords::Next(Record& record) {
  fragmentBytes_ = 0;
  if (stop_ != nullptr && stop_->Stopped()) return false;
  if (reader_.AtEnd() || reader_.Failed()) return false;
  if (reader_.Remaining() < framing_.minRemaining) {
    fragmentOffset_ = reader_.Position();
    fragmentBytes_ = reader_.Remaining();
    return false;
  }

  record = Record{};
  record.number = ++number_;
  record.offset = reader_.Position();
  const std::string_view prefix = reader_.Read(layouts::kLengthDigits);
  record.length = LeadingNumber(prefix);
  const std::int64_t headStart = reader_.Position();

  const std::string_view head = reader_.Read(head_.size());
  if (!head.empty()) std::memcpy(head_.data(), head.data(), head.size());
  std::fill(head_.begin() + static_cast<std::ptrdiff_t>(head.size()), head_.end(), '\0');
  record.head = head_;
  record.cutShort = prefix.size() < layouts::kLengthDigits || head.size() < head_.size();

  body_.clear();
  std::int64_t bodyConsumed = 0;
  switch (framing_.body) {
    case Framing::Body::None:
      break;
    case Framing::Body::NulText:
      bodyConsumed = static_cast<std::int64_t>(reader_.ReadNulTerminated(body_));
      break;
    case Framing::Body::LengthTail:
      if (record.length > framing_.headSize) {
        const std::int64_t wanted = record.length - framing_.headSize;
        body_.assign(reader_.Read(static_cast<std::size_t>(wanted)));
        bodyConsumed = static_cast<std::int64_t>(body_.size());
        // A tail cut off by the end of the file loses bytes as a short head does.
        if (bodyConsumed < wanted) record.cutShort = true;
      }
      break;
    case Framing::Body::CountedText: {
      // A negative count reads nothing: the next record follows the head.
      const int count = ShortValue(Slice(record.head, framing_.countField));
      if (count > 0) body_.assign(reader_.Read(static_cast<std::size_t>(count)));
      bodyConsumed = static_cast<std::int64_t>(body_.size());
      if (bodyConsumed < count) record.cutShort = true;
      break;
    }
  }
  record.body = body_;
  const std::int64_t bodyEnd = reader_.Position();

  switch (framing_.next) {
    case Framing::Next::AfterRecord:
      break;
    case Framing::Next::SkipPadding: {
      const std::int64_t consumed = framing_.headSize + bodyConsumed;
      if (record.length > consumed) {
        const std::int64_t skip = record.length - consumed;
        if (skip > reader_.Remaining()) overrunBytes_ += reader_.Remaining();
        reader_.Skip(skip);
      }
      break;
    }
    case Framing::Next::StartPlusLength:
      // A negative length counts as 0, so the walk never goes back before
      // the head it just read.
      if (record.length != framing_.headSize) {
        const std::int64_t target = headStart + std::max<std::int32_t>(record.length, 0);
        if (target > reader_.Size() && reader_.Position() < reader_.Size())
          overrunBytes_ += reader_.Size() - reader_.Position();
        reader_.Seek(target);
      }
      break;
  }
  record.end = std::max(bodyEnd, reader_.Position());
  // A record a read failure cut into is no record: the file is given up.
  return !reader_.Failed();
}

std::int64_t FramedRecords::Count() {
  reader_.Seek(0);
  std::int64_t count = 0;
  while (!reader_.AtEnd() && !reader_.Failed()) {
    const std::int32_t length = LeadingNumber(reader_.Read(layouts::kLengthDigits));
    reader_.Skip(std::max<std::int32_t>(length, 0));
    ++count;
  }
  reader_.Seek(0);
  number_ = 0;
  return count;
}

}  // namespace importers
