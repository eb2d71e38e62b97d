// A lender record: 243 bytes after each length prefix, whatever the prefix
// says, so records lie 248 bytes apart. Every field is text. The column each
// field goes to is its position in the Lenders table (0 is never written).
#pragma once

#include "importers/layouts/RecordFraming.h"

namespace layouts::lender {

inline constexpr Field kLenderId = Text(0, 10);        // column 1, LenderDBID; lender.ini key
inline constexpr Field kName = Text(10, 40);           // column 2, LenderName
inline constexpr Field kAddress1 = Text(50, 40);       // column 3
inline constexpr Field kAddress2 = Text(90, 40);       // column 4
inline constexpr Field kCityStateZip = Text(130, 40);  // column 5
inline constexpr Field kPhone = Text(170, 15);         // column 6
inline constexpr Field kContactFirst = Text(185, 15);  // column 7
inline constexpr Field kContactLast = Text(200, 25);   // column 8
inline constexpr Field kNotImported = Text(225, 9);    // read past, never stored
inline constexpr Field kReference = Text(234, 9);      // column 10, a short reference code

inline constexpr int kRecordSize = 243;
inline constexpr int kRecordPitch = kLengthDigits + kRecordSize;

// Table positions written from the record, and those filled otherwise.
inline constexpr int kIdColumn = 1;
inline constexpr int kNameColumn = 2;
inline constexpr int kAddress1Column = 3;
inline constexpr int kAddress2Column = 4;
inline constexpr int kCityStateZipColumn = 5;
inline constexpr int kPhoneColumn = 6;
inline constexpr int kContactFirstColumn = 7;
inline constexpr int kContactLastColumn = 8;
inline constexpr int kEmptyColumn9 = 9;  // always the empty text
inline constexpr int kReferenceColumn = 10;
inline constexpr int kEmptyColumn11 = 11;  // always the empty text
inline constexpr int kEmailColumn = 12;    // from lender.ini
inline constexpr int kNoteColumn = 13;     // from lender.ini
inline constexpr int kLastColumn = 13;

inline constexpr Field kRecord[] = {kLenderId,     kName,     kAddress1,     kAddress2,
                                    kCityStateZip, kPhone,    kContactFirst, kContactLast,
                                    kNotImported,  kReference};
static_assert(Tiles(kRecord, kRecordSize));

}  // namespace layouts::lender
