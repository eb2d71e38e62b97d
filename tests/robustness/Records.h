// Framed records of each importer's output files, as the extraction program
// writes them, for the robustness suites.
#pragma once

#include <optional>
#include <string>

#include "RecordWriter.h"
#include "importers/layouts/ComparablesLayout.h"
#include "importers/layouts/FileIndexLayout.h"
#include "importers/layouts/LenderLayout.h"
#include "importers/layouts/NeighborhoodLayout.h"
#include "importers/layouts/SupplementLayout.h"

namespace robustness {

using samplehost::Framed;
using samplehost::RecordWriter;

inline std::string Lender(const std::string& id, const std::string& name,
                          const std::string& first = "", const std::string& last = "",
                          const std::string& city = "") {
  namespace l = layouts::lender;
  RecordWriter r(l::kRecordSize);
  r.Text(l::kLenderId, id).Text(l::kName, name).Text(l::kContactFirst, first);
  r.Text(l::kContactLast, last).Text(l::kCityStateZip, city);
  return Framed(r.bytes());
}

inline std::string FileIndex(const std::string& id, const std::string& street,
                             const std::string& path, bool due = true) {
  namespace i = layouts::fileindex;
  RecordWriter head(i::kHeadSize);
  head.Text(i::kFileId, id).Text(i::kStreet, street);
  if (due) head.Date(i::kDateDue, 9, 3, 2011);
  return Framed(head.bytes() + path);
}

// A head naming the neighborhood and `count` (the text's size unless given)
// as the length of the field text that follows.
inline std::string Neighborhood(const std::string& name, std::optional<int> count = {},
                                const std::string& text = std::string("N0Urban\x02N1Stable\x02\0\0",
                                                                      19)) {
  namespace n = layouts::neighborhood;
  RecordWriter head(n::kHeadSize);
  head.Text(n::kName, name)
      .Int16(n::kFieldTextLength, static_cast<std::int16_t>(count.value_or(text.size())));
  return Framed(head.bytes() + text);
}

inline std::string Comparable(const std::string& wcid, int price = 0,
                              const std::string& street = "") {
  namespace c = layouts::comparables;
  RecordWriter r(c::kRecordSize);
  r.Text(c::kWcid, wcid);
  for (int position = 0; position < c::kColumnCount; ++position) {
    const std::string_view column = c::kColumns[position].name;
    if (column == "Price") r.Int32(c::FieldAt(position), price);
    if (column == "xStreet") r.Text(c::FieldAt(position), street);
  }
  return Framed(r.bytes());
}

inline std::string Supplement(const std::string& wcid, const std::string& comment, int price = 0) {
  namespace s = layouts::supplement;
  RecordWriter r(s::kRecordSize);
  r.Text(s::kWcid.field, wcid)
      .Text(s::kComment.field, comment)
      .Int32(s::kFinalListPrice.field, price);
  return Framed(r.bytes());
}

}  // namespace robustness
