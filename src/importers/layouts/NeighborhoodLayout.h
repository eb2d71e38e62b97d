// A neighborhood record: a 176-byte head whose last field N gives the length
// of the field text that follows it; the next record follows that text (the
// length prefix is not used to find it).
//
// Field text: an optional preamble (starts with kPreambleStart, ends with the
// first kValueEnd), then per tag of the form's tag list a 2-character code,
// the value and kValueEnd; a tag marked "X" is followed by one more value and
// kValueEnd. Values are found only up to the third-last character, so the
// host leaves two bytes after the last value's end mark.
#pragma once

#include "importers/layouts/RecordFraming.h"

namespace layouts::neighborhood {

inline constexpr Field kName = Text(0, 20);            // column 1, NeighborhoodName
inline constexpr Field kArea = Text(20, 20);           // column 122
inline constexpr Field kDescription = Text(40, 120);   // column 236
inline constexpr Field kZone = Text(160, 5);           // column 237
inline constexpr Field kCode = Text(165, 9);           // column 2
inline constexpr Field kFieldTextLength = Int16(174);  // N

inline constexpr int kHeadSize = 176;

// Fixed columns of Neighborhoods, by position.
inline constexpr int kNameColumn = 1;
inline constexpr int kCodeColumn = 2;
inline constexpr int kAreaColumn = 122;
inline constexpr int kDescriptionColumn = 236;
inline constexpr int kZoneColumn = 237;
// A table in the host's layout has at least this many columns.
inline constexpr int kMinColumnCount = kZoneColumn + 1;

// Field-text control characters.
inline constexpr char kPreambleStart = '\x15';
inline constexpr char kValueEnd = '\x02';
inline constexpr int kTagCodeWidth = 2;
// Marks, in a tag list, a tag followed by one extra value to skip.
inline constexpr char kExtraValueMark = 'X';
inline constexpr char kTagListSeparator = ',';
// Bytes the value search leaves unexamined at the end of the field text.
inline constexpr int kTrailingBytes = 2;

inline constexpr Field kHead[] = {kName, kArea, kDescription, kZone, kCode, kFieldTextLength};
static_assert(Tiles(kHead, kHeadSize));

}  // namespace layouts::neighborhood
