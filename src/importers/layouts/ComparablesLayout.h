// A main comparables record (files whose name does not contain ".cp2"): 622
// bytes read after each length prefix, whatever it says; the next record starts
// at the record start plus the framed length. Each field is written to a
// column of ZazOzurs by ordinal position (0 is the ID counter).
#pragma once

#include <string>

#include "importers/layouts/RecordFraming.h"

namespace layouts::comparables {

// A record field and the column position that receives it (kNotStored: none).
struct Placed {
  Field field;
  int position;
};
inline constexpr int kNotStored = -1;

inline constexpr int kRecordSize = 622;
// The comparable's identifier, the key the supplement records match on.
inline constexpr Field kWcid = Text(52, 12);
inline constexpr int kWcidColumn = 1;
// The host's file number (FileNo): read past, never imported.
inline constexpr Field kFileNumber = Text(152, 10);
// Written with the empty text for every record; no field feeds it.
inline constexpr int kUnfedColumn = 13;
// Main and supplement records together fill positions 1 to 76.
inline constexpr int kColumnCount = 77;

// Every field in record order. The host does not name them beyond WCID; the
// position is what the importer relies on.
inline constexpr Placed kFields[] = {
    {Int16(0), 40},      {Int16(2), 37},       {Int16(4), 38},
    {Int16(6), 8},       {Int16(8), 35},       {Int32(10), 17},
    {Int32(14), 4},      {Single(18), 29},     {Single(22), 59},
    {Date(26), 20},      {Date(30), 25},       {Date(34), 10},
    {Date(38), 11},      {Int32(42), 2},       {Date(46), 19},
    {Text(50, 2), 9},    {kWcid, kWcidColumn}, {Text(64, 23), 15},
    {Text(87, 21), 14},  {Text(108, 24), 6},   {Text(132, 2), 5},
    {Text(134, 2), 12},  {Text(136, 10), 16},  {Text(146, 2), 62},
    {Text(148, 2), 63},  {Text(150, 2), 64},   {kFileNumber, kNotStored},
    {Text(162, 21), 21}, {Text(183, 5), 39},   {Text(188, 13), 23},
    {Text(201, 13), 24}, {Text(214, 13), 30},  {Text(227, 13), 32},
    {Text(240, 13), 33}, {Text(253, 13), 36},  {Text(266, 13), 41},
    {Text(279, 13), 42}, {Text(292, 13), 44},  {Text(305, 13), 47},
    {Text(318, 13), 48}, {Text(331, 13), 49},  {Text(344, 13), 45},
    {Text(357, 13), 46}, {Text(370, 13), 50},  {Text(383, 13), 52},
    {Text(396, 13), 51}, {Text(409, 6), 65},   {Text(415, 28), 71},
    {Text(443, 28), 72}, {Text(471, 28), 73},  {Text(499, 28), 74},
    {Text(527, 28), 75}, {Text(555, 13), 26},  {Text(568, 13), 34},
    {Text(581, 13), 43}, {Text(594, 13), 60},  {Text(607, 13), 61},
    {Text(620, 2), 27},
};

// The field stored at `position`; kind Text with width 0 when none is.
constexpr Field FieldAt(int position) {
  for (const Placed& p : kFields)
    if (p.position == position) return p.field;
  return Text(0, 0);
}

static_assert(Tiles(kFields, kRecordSize, [](const Placed& p) { return p.field; }));
// 57 stored fields and one unused; with the unfed column, 58 positions.
static_assert(sizeof(kFields) / sizeof(kFields[0]) == 58);

// --- The ZazOzurs table both passes fill -------------------------------------
//
// The host's own CREATE TABLE text (string 504) names the columns in the order
// of the main record's fields, not in the order of the positions above: its
// seven INTEGER columns (SqFt ... StreetNo) are the five shorts and two int32s
// at offsets 0-14, LotSize and Assessment the two singles, the four dates at
// 26-38 are ContractDate ... SystemDate, then UserID (the int32 at 42),
// ListingDate (46), Photo2 (50), and after the WCID the texts from Map (64)
// to Lease (620), the 10 bytes at 152 being FileNo, which is not imported.
// The supplement columns keep the names string 504 gives them. So a table
// created by the import carries every one of string 504's names, each at the
// position its value is written to, plus SalesHistory4 (a supplement token no
// field feeds) and UserID typed to hold the number it receives. FileNo, a
// sort key of the import's query, sits at position 13, the one position no
// field feeds.
struct Column {
  const char* name;
  const char* type;  // the host's SQL: COUNTER, INTEGER, SINGLE, DATE, TEXT(255)
};

inline constexpr Column kColumns[] = {
    {"ID", "COUNTER"},
    {"WCID", "TEXT(255)"},             //  1  text 52 (12), also the supplement's key
    {"UserID", "INTEGER"},             //  2  int32 42
    {"PhotoID", "TEXT(255)"},          //  3  supplement
    {"StreetNo", "INTEGER"},           //  4  int32 14
    {"StreetDir", "TEXT(255)"},        //  5  text 132 (2)
    {"xStreet", "TEXT(255)"},          //  6  text 108 (24)
    {"Address2", "TEXT(255)"},         //  7  supplement
    {"Photo1", "INTEGER"},             //  8  short 6
    {"Photo2", "TEXT(255)"},           //  9  text 50 (2)
    {"Modified", "DATE"},              // 10  date 34
    {"SystemDate", "DATE"},            // 11  date 38
    {"Status", "TEXT(255)"},           // 12  text 134 (2)
    {"FileNo", "TEXT(255)"},           // 13  always empty
    {"Neighborhood", "TEXT(255)"},     // 14  text 87 (21)
    {"Map", "TEXT(255)"},              // 15  text 64 (23)
    {"xLot", "TEXT(255)"},             // 16  text 136 (10)
    {"Price", "INTEGER"},              // 17  int32 10
    {"FLP", "INTEGER"},                // 18  supplement (final list price)
    {"ListingDate", "DATE"},           // 19  date 46
    {"ContractDate", "DATE"},          // 20  date 26
    {"Source", "TEXT(255)"},           // 21  text 162 (21)
    {"VSource", "TEXT(255)"},          // 22  supplement
    {"Fin1", "TEXT(255)"},             // 23  text 188 (13)
    {"Fin2", "TEXT(255)"},             // 24  text 201 (13)
    {"ClosingDate", "DATE"},           // 25  date 30
    {"Location", "TEXT(255)"},         // 26  text 555 (13)
    {"Lease", "TEXT(255)"},            // 27  text 620 (2)
    {"LeaseFee", "TEXT(255)"},         // 28  supplement
    {"LotSize", "SINGLE"},             // 29  single 18
    {"Site", "TEXT(255)"},             // 30  text 214 (13)
    {"View", "TEXT(255)"},             // 31  supplement
    {"Design", "TEXT(255)"},           // 32  text 227 (13)
    {"Age", "TEXT(255)"},              // 33  text 240 (13)
    {"Quality", "TEXT(255)"},          // 34  text 568 (13)
    {"YearBuilt", "INTEGER"},          // 35  short 8
    {"Condition", "TEXT(255)"},        // 36  text 253 (13)
    {"Rooms", "INTEGER"},              // 37  short 2
    {"Beds", "INTEGER"},               // 38  short 4
    {"Baths", "TEXT(255)"},            // 39  text 183 (5)
    {"SqFt", "INTEGER"},               // 40  short 0
    {"Bas1", "TEXT(255)"},             // 41  text 266 (13)
    {"Bas2", "TEXT(255)"},             // 42  text 279 (13)
    {"Utilities", "TEXT(255)"},        // 43  text 581 (13)
    {"Heat", "TEXT(255)"},             // 44  text 292 (13)
    {"Erg1", "TEXT(255)"},             // 45  text 344 (13)
    {"Erg2", "TEXT(255)"},             // 46  text 357 (13)
    {"Garage", "TEXT(255)"},           // 47  text 305 (13)
    {"Por1", "TEXT(255)"},             // 48  text 318 (13)
    {"Por2", "TEXT(255)"},             // 49  text 331 (13)
    {"Fireplace", "TEXT(255)"},        // 50  text 370 (13)
    {"Other2", "TEXT(255)"},           // 51  text 396 (13)
    {"Other1", "TEXT(255)"},           // 52  text 383 (13)
    {"Int_Appeal", "TEXT(255)"},       // 53  supplement
    {"Sig_Feat1", "TEXT(255)"},        // 54  supplement
    {"Sig_Feat2", "TEXT(255)"},        // 55  supplement
    {"Sig_Feat3", "TEXT(255)"},        // 56  supplement
    {"Prj_Size", "TEXT(255)"},         // 57  supplement
    {"Floor_Loc", "TEXT(255)"},        // 58  supplement
    {"Assessment", "SINGLE"},          // 59  single 22
    {"Com1", "TEXT(255)"},             // 60  text 594 (13)
    {"Com2", "TEXT(255)"},             // 61  text 607 (13)
    {"NewConstruction", "TEXT(255)"},  // 62  text 146 (2)
    {"Remodeled", "TEXT(255)"},        // 63  text 148 (2)
    {"Private", "TEXT(255)"},          // 64  text 150 (2)
    {"TypeProperty", "TEXT(255)"},     // 65  text 409 (6)
    {"MCA", "TEXT(255)"},              // 66  supplement
    {"SalesHistory1", "TEXT(255)"},    // 67  supplement
    {"SalesHistory2", "TEXT(255)"},    // 68  supplement
    {"SalesHistory3", "TEXT(255)"},    // 69  supplement
    {"SalesHistory4", "TEXT(255)"},    // 70  supplement, always empty
    {"Ext1", "TEXT(255)"},             // 71  text 415 (28)
    {"Ext2", "TEXT(255)"},             // 72  text 443 (28)
    {"Ext3", "TEXT(255)"},             // 73  text 471 (28)
    {"Ext4", "TEXT(255)"},             // 74  text 499 (28)
    {"Ext5", "TEXT(255)"},             // 75  text 527 (28)
    {"Comment", "TEXT(255)"},          // 76  supplement
};
static_assert(sizeof(kColumns) / sizeof(kColumns[0]) == kColumnCount);

// The table's CREATE TABLE text, "%s" standing for the table name.
inline std::string CreateTableScript() {
  std::string sql = "CREATE TABLE %s (";
  for (int position = 0; position < kColumnCount; ++position) {
    if (position > 0) sql += ", ";
    sql += kColumns[position].name;
    sql += ' ';
    sql += kColumns[position].type;
  }
  return sql + ")";
}
// The supplement statements find their row by WCID: without an index each of
// them would read the whole table.
inline constexpr const char* kWcidIndexScript = "CREATE INDEX WCID ON %s (WCID)";

namespace detail {
constexpr bool Same(const char* a, const char* b) {
  while (*a != '\0' && *a == *b) ++a, ++b;
  return *a == *b;
}
constexpr bool TypeHolds(const char* type, FieldKind kind) {
  switch (kind) {
    case FieldKind::Int16:
    case FieldKind::Int32:
      return Same(type, "INTEGER");
    case FieldKind::Single:
      return Same(type, "SINGLE");
    case FieldKind::Date:
      return Same(type, "DATE");
    case FieldKind::Text:
      return Same(type, "TEXT(255)");
  }
  return false;
}
constexpr bool EveryFieldFitsItsColumn() {
  for (const Placed& p : kFields)
    if (p.position != kNotStored && !TypeHolds(kColumns[p.position].type, p.field.kind))
      return false;
  return Same(kColumns[kWcidColumn].name, "WCID") && Same(kColumns[0].type, "COUNTER");
}
}  // namespace detail
static_assert(detail::EveryFieldFitsItsColumn());

}  // namespace layouts::comparables
