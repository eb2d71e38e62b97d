// The file index and lender records the benchmarks load: realistic field
// values (a quote, a Windows-1252 letter, dates), varied by record number.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "RecordWriter.h"
#include "importers/layouts/FileIndexLayout.h"
#include "importers/layouts/LenderLayout.h"

namespace bench {

// One framed file index record of form "1004", file ID "F" + n.
inline std::string FileIndexRecord(std::int64_t n) {
  namespace fi = layouts::fileindex;
  const std::string id = "F" + std::to_string(n);
  const int day = static_cast<int>(n % 28) + 1, month = static_cast<int>(n % 12) + 1;
  samplehost::RecordWriter head(fi::kHeadSize);
  head.Text(fi::kFileId, id)
      .Text(fi::kTrackingExtra, "Rush - call before visit", true)
      .Text(fi::kStreet, std::to_string(n % 900 + 1) + " Harbor View Rd")
      .Text(fi::kCity,
            "Montr\xE9"
            "al")
      .Text(fi::kCensusTract, "0042.01")
      .Text(fi::kZipCode, "02134")
      .Text(fi::kLenderId, "FNB")
      .Text(fi::kLenderCaseNo, "C-" + std::to_string(n % 1000000))
      .Text(fi::kOwner, "Patrick O'Neil", true)
      .Text(fi::kFormId, "1004")
      .Date(fi::kDateReceived, day, month, 2006)
      .Date(fi::kDateDue, day, month % 12 + 1, 2006)
      .Date(fi::kDateDelivered, n % 3 == 0 ? 0 : 15, 6, 2006)
      .Date(fi::kDateAssigned, 6, 1, 2006)
      .Text(fi::kBuildingType, "Detached")
      .Text(fi::kBuildingDesign, "Colonial")
      .Text(fi::kAppraiserId, "RL");
  return samplehost::Framed(head.bytes() + "C:\\Reports\\2006\\" + id + ".rpt");
}

// "L" + n in seven digits.
inline std::string LenderId(std::int64_t n) {
  char id[32];
  std::snprintf(id, sizeof id, "L%07lld", static_cast<long long>(n));
  return id;
}

inline std::string LenderRecord(std::int64_t n) {
  namespace l = layouts::lender;
  samplehost::RecordWriter r(l::kRecordSize);
  r.Text(l::kLenderId, LenderId(n))
      .Text(l::kName, "Lender number " + std::to_string(n))
      .Text(l::kAddress1, "Loan Servicing Dept.")
      .Text(l::kAddress2, "100 Main Street, Suite " + std::to_string(n % 500), true)
      .Text(l::kCityStateZip, "Boston, MA 02108")
      .Text(l::kPhone, "(617) 555-0100")
      .Text(l::kContactFirst, "Jane")
      .Text(l::kContactLast, "O'Neil")
      .Text(l::kReference, "REF-" + std::to_string(n % 1000));
  return samplehost::Framed(r.bytes());
}

}  // namespace bench
