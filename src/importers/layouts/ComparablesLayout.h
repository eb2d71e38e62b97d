// A main comparables record (files whose name does not contain ".cp2"): 622
// bytes read after each length prefix, whatever it says; the next record starts
// at the record start plus the framed length. Each field is written to a
// column of ZazOzurs by ordinal position (0 is the ID counter).
#pragma once

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
    {Text(148, 2), 63},  {Text(150, 2), 64},   {Text(152, 10), kNotStored},
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

}  // namespace layouts::comparables
