#include "support/TemplateDatabase.h"

namespace templatedb {

namespace {

using T = ColumnType;

constexpr Column kFileIndex[] = {
    {"ID", T::AutoNumber, 0, ""},
    {"FileID", T::Text, 9, "ID of file, not necessarily unique though is *should* be"},
    {"FormName", T::Text, 4, "Form ID, defined by us"},
    {"Filename", T::Text, 255, ""},
    {"Fullpath", T::Text, 255, "Path to report file when it was originally added to database"},
    {"Owner", T::Text, 255, "Owner of property"},
    {"Street", T::Text, 255, "Street address"},
    {"City", T::Text, 50, "City"},
    {"State", T::Text, 2, "State"},
    {"ZipCode", T::Text, 10, "Zip code, can be zip+4 format"},
    {"Census", T::Text, 15, "Census tract"},
    {"Neighborhood", T::Text, 255, "Neighborhood property is located in"},
    {"BuildingType", T::Text, 255, "Building type"},
    {"BuildingDesign", T::Text, 255, "Building design"},
    {"LenderID", T::Text, 255,
     "Lender's ID - this can now be the entire lending institution's name"},
    {"LenderCaseNo", T::Text, 255, "Lender's case #"},
    {"Appraiser", T::Text, 255, "Appraiser's ID/name"},
    {"DateReceived", T::DateTime, 0, "Date appraisal request was received"},
    {"DateAssigned", T::DateTime, 0, "Date appraisal was assigned to specified appraiser"},
    {"DateDue", T::DateTime, 0, "Date appraisal is due"},
    {"DateDelivered", T::DateTime, 0, "Data appraisal was delivered / sent"},
    {"TrackingExtra", T::Text, 255, "Extra data field for tracking"},
};

}  // namespace

std::span<const Column> FileIndexColumns() {
  return kFileIndex;
}

std::string FileIndexCreateSql() {
  std::string sql = "CREATE TABLE ";
  sql.append(kTableName).append(" (");
  bool first = true;
  for (const Column& c : kFileIndex) {
    if (!first) sql += ", ";
    first = false;
    sql.append(c.name).append(" ");
    switch (c.type) {
      case T::AutoNumber:
        sql += "COUNTER";
        break;
      case T::Text:
        sql += "TEXT(" + std::to_string(c.width) + ")";
        break;
      case T::DateTime:
        sql += "DATE";
        break;
    }
  }
  sql += ")";
  return sql;
}

}  // namespace templatedb
