// A comparables supplement record (files whose name contains ".cp2"): 393 bytes
// read after each length prefix, framed like the main records. Each field
// replaces a "@TOKEN@" of the UPDATE/INSERT statement and lands in the column
// at `position` of ZazOzurs.
#pragma once

#include <string_view>

#include "importers/layouts/ComparablesLayout.h"
#include "importers/layouts/RecordFraming.h"

namespace layouts::supplement {

struct TokenField {
  Field field;
  std::string_view token;
  int position;
};

inline constexpr int kRecordSize = 393;

inline constexpr TokenField kWcid = {Text(0, 12), "@WCID@", 1};  // also the lookup key
inline constexpr TokenField kAddress2 = {Text(12, 22), "@ADDRESS2@", 7};
inline constexpr TokenField kVerificationSource = {Text(34, 22), "@VSOURCE@", 22};
inline constexpr TokenField kLeaseFee = {Text(56, 13), "@LEASEFEE@", 28};
inline constexpr TokenField kView = {Text(69, 13), "@VIEW@", 31};
inline constexpr TokenField kSaleHistory1 = {Text(82, 22), "@SALEHIST1@", 67};
inline constexpr TokenField kSaleHistory2 = {Text(104, 22), "@SALEHIST2@", 68};
inline constexpr TokenField kSaleHistory3 = {Text(126, 22), "@SALEHIST3@", 69};
inline constexpr TokenField kComment = {Text(148, 135), "@COMMENT@", 76};
inline constexpr TokenField kPhotoId = {Text(283, 15), "@PHOTOID@", 3};
// Written bare (plain decimal, minus sign when negative).
inline constexpr TokenField kFinalListPrice = {Int32(298), "@FINALLISTPRICE@", 18};
inline constexpr TokenField kMca = {Text(302, 13), "@MCA@", 66};
inline constexpr TokenField kInteriorAppeal = {Text(315, 13), "@INTERIORAPPEAL@", 53};
inline constexpr TokenField kFeature1 = {Text(328, 13), "@FEATURE1@", 54};
inline constexpr TokenField kFeature2 = {Text(341, 13), "@FEATURE2@", 55};
inline constexpr TokenField kFeature3 = {Text(354, 13), "@FEATURE3@", 56};
inline constexpr TokenField kProjectSize = {Text(367, 13), "@PROJECTSIZE@", 57};
inline constexpr TokenField kFloorLocation = {Text(380, 13), "@FLOORLOC@", 58};
// No field feeds it: always the empty text.
inline constexpr std::string_view kSaleHistory4Token = "@SALEHIST4@";
inline constexpr int kSaleHistory4Column = 70;

// Every field in record order.
inline constexpr TokenField kFields[] = {
    kWcid,           kAddress2,     kVerificationSource, kLeaseFee, kView,
    kSaleHistory1,   kSaleHistory2, kSaleHistory3,       kComment,  kPhotoId,
    kFinalListPrice, kMca,          kInteriorAppeal,     kFeature1, kFeature2,
    kFeature3,       kProjectSize,  kFloorLocation};

// The positions whose column names the statements use, in the order they are
// read (name1 ... name19).
inline constexpr int kNamePositions[] = {1,  3,  7,  22, 28, 31, 53, 54, 55, 56,
                                         18, 66, 67, 68, 69, 70, 76, 57, 58};

static_assert(Tiles(kFields, kRecordSize, [](const TokenField& p) { return p.field; }));

// The index in kFields of the field whose value goes to the column of name i
// (position kNamePositions[i]); -1 for SalesHistory4, which always gets "".
// An index, not a pointer: comparing a global's address is not a constant
// expression under every compiler setting.
constexpr int FieldForName(int i) {
  for (int k = 0; k < static_cast<int>(sizeof(kFields) / sizeof(kFields[0])); ++k)
    if (kFields[k].position == kNamePositions[i]) return k;
  return -1;
}

namespace detail {
namespace c = layouts::comparables;
// Every name position is fed by exactly one field (SalesHistory4 by none), its
// column in the created table holds that field's kind, and together with the
// main record the two passes write every position from 1 to 76 once (WCID,
// the shared key, twice).
constexpr bool NamesPairWithFields() {
  constexpr int kNames = sizeof(kNamePositions) / sizeof(kNamePositions[0]);
  int written[c::kColumnCount] = {};
  for (const c::Placed& p : c::kFields)
    if (p.position != c::kNotStored) ++written[p.position];
  ++written[c::kUnfedColumn];
  for (int i = 0; i < kNames; ++i) {
    const int k = FieldForName(i);
    if (k < 0 && kNamePositions[i] != kSaleHistory4Column) return false;
    if (k >= 0 &&
        !c::detail::TypeHolds(c::kColumns[kFields[k].position].type, kFields[k].field.kind))
      return false;
    ++written[kNamePositions[i]];
  }
  if (written[0] != 0 || written[c::kWcidColumn] != 2) return false;
  for (int position = 2; position < c::kColumnCount; ++position)
    if (written[position] != 1) return false;
  return kNames == static_cast<int>(sizeof(kFields) / sizeof(kFields[0])) + 1;
}
}  // namespace detail
static_assert(detail::NamesPairWithFields());

}  // namespace layouts::supplement
