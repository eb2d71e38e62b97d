// An appraisal-index record: a 288-byte head, then a tail of (length - 288)
// bytes holding the report's full path. Dates are packed DateFields.
#pragma once

#include "importers/layouts/RecordFraming.h"

namespace layouts::fileindex {

inline constexpr Field kFileId = Text(0, 9);  // also the base of the report file name
inline constexpr Field kTrackingExtra = Text(9, 41);
inline constexpr Field kStreet = Text(50, 61);
inline constexpr Field kCity = Text(111, 21);
inline constexpr Field kCensusTract = Text(132, 15);
inline constexpr Field kZipCode = Text(147, 13);
inline constexpr Field kLenderId = Text(160, 9);
inline constexpr Field kLenderCaseNo = Text(169, 9);
inline constexpr Field kOwner = Text(178, 61);
inline constexpr Field kFormId = Text(239, 4);
inline constexpr Field kDateReceived = Date(243);
inline constexpr Field kDateDue = Date(247);
inline constexpr Field kDateDelivered = Date(251);
inline constexpr Field kDateAssigned = Date(255);
inline constexpr Field kBuildingType = Text(259, 12);
inline constexpr Field kBuildingDesign = Text(271, 12);
inline constexpr Field kAppraiserId = Text(283, 5);

inline constexpr int kHeadSize = 288;
// The tail length is held in a signed 16-bit counter.
inline constexpr int kMaxTailSize = 32767;
// Appended to the file ID to name the report file.
inline constexpr char kReportExtension[] = ".rpt";

inline constexpr Field kHead[] = {
    kFileId,        kTrackingExtra, kStreet,       kCity,           kCensusTract,  kZipCode,
    kLenderId,      kLenderCaseNo,  kOwner,        kFormId,         kDateReceived, kDateDue,
    kDateDelivered, kDateAssigned,  kBuildingType, kBuildingDesign, kAppraiserId};
static_assert(Tiles(kHead, kHeadSize));

}  // namespace layouts::fileindex
