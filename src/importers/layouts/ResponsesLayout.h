// A common-responses record: the 30-byte head, then the response text ended by
// a NUL, then padding up to the framed length (which counts head, text, NUL
// and padding).
#pragma once

#include "importers/layouts/RecordFraming.h"

namespace layouts::responses {

inline constexpr Field kLine = Int16(0);     // report-form line of the field
inline constexpr Field kAcross = Int16(2);   // across position of the field
inline constexpr Field kKeyCode = Int16(4);  // function key code: key + 3, or 999
inline constexpr Field kTitle = Text(6, 22);
inline constexpr Field kFlags = Int16(28);  // bit 0 macro; bit 1 set = do not append

inline constexpr int kHeadSize = 30;
// Ends the response text; the text is read up to it (or to end of file).
inline constexpr char kTextEnd = '\0';

// The key code stored as function key 6 (shown as F9) instead of code - 3.
inline constexpr int kKeyCodeF9 = 999;
inline constexpr int kKeyCodeOffset = 3;
inline constexpr int kFlagMacro = 1;
inline constexpr int kFlagNoAppend = 2;

inline constexpr Field kHead[] = {kLine, kAcross, kKeyCode, kTitle, kFlags};
static_assert(Tiles(kHead, kHeadSize));

}  // namespace layouts::responses
