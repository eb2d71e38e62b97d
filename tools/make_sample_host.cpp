// Writes a sample host installation for the demo and the end-to-end tests:
//   make-sample-host FOLDER
// FOLDER/Zev.ini, the template databases in FOLDER/Data/, lender.ini,
// Addons/Neighbor/NeighTags.ini and one data file of every data type in
// FOLDER/data/, already in the extracted record framing. Text is
// Windows-1252 (é is the byte 0xE9), as the host writes it.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "RecordWriter.h"
#include "ToolOptions.h"
#include "engine/DbConnection.h"
#include "importers/layouts/ComparablesLayout.h"
#include "importers/layouts/FileIndexLayout.h"
#include "importers/layouts/LenderLayout.h"
#include "importers/layouts/NeighborhoodLayout.h"
#include "importers/layouts/ResponsesLayout.h"
#include "importers/layouts/SupplementLayout.h"
#include "platform/Paths.h"
#include "platform/PosixEnv.h"
#include "support/ResourceStrings.h"
#include "support/TemplateDatabase.h"

namespace fs = std::filesystem;
using samplehost::Framed;
using samplehost::LengthPrefix;
using samplehost::RecordWriter;
using samplehost::ResponseRecord;

namespace {

// The neighborhood form the sample files are written for, and its tags in
// field-text order with the column each one fills ("X": one extra value).
constexpr char kNeighForm[] = "1004";
struct Tag {
  const char* listEntry;
  const char* tag;
  const char* column;
};
constexpr Tag kNeighTags[] = {
    {"LOC", "LOC", "Location"},           {"BUILTUP", "BUILTUP", "BuiltUp"},
    {"GROWTH", "GROWTH", "GrowthRate"},   {"PROPVALX", "PROPVAL", "PropertyValues"},
    {"DEMAND", "DEMAND", "DemandSupply"}, {"MKTTIME", "MKTTIME", "MarketingTime"},
    {"PRICELOW", "PRICELOW", "PriceLow"}, {"PRICEHIGH", "PRICEHIGH", "PriceHigh"},
};

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

// An empty file is an empty embedded database; each statement then lays down
// one table through the program's own connection layer.
// With a connection string instead of a file, the tables go to that database.
void MakeDatabase(const fs::path& file, const std::vector<std::string>& statements,
                  const std::string& connection = "") {
  if (connection.empty()) WriteFile(file, "");
  platform::PosixEnv env;
  DbConnection db(env);
  db.SetConnectionString(connection.empty()
                             ? "DRIVER={Microsoft Access Driver (*.mdb)};DBQ=" + file.string() + ";"
                             : connection);
  if (!db.Open())
    throw std::runtime_error("cannot open " + file.string() +
                             (db.Errors().empty() ? "" : ": " + db.Errors().front()));
  for (const std::string& sql : statements)
    if (!db.Execute(sql))
      throw std::runtime_error(file.string() + ": " +
                               (db.Errors().empty() ? sql : db.Errors().front()));
  db.Close();
}

std::string CreateTable(const std::string& table,
                        const std::vector<std::pair<std::string, std::string>>& columns) {
  std::string sql = "CREATE TABLE " + table + " (";
  for (std::size_t i = 0; i < columns.size(); ++i)
    sql += (i ? ", " : "") + columns[i].first + " " + columns[i].second;
  return sql + ")";
}

std::string Padded(int n) {
  std::string s = std::to_string(n);
  return std::string(3 - std::min<std::size_t>(3, s.size()), '0') + s;
}

// --- template databases ---------------------------------------------------

std::string LendersTable() {
  return CreateTable("Lenders", {{"ID", "COUNTER"},
                                 {"LenderDBID", "TEXT(10)"},
                                 {"LenderName", "TEXT(40)"},
                                 {"Address1", "TEXT(40)"},
                                 {"Address2", "TEXT(40)"},
                                 {"CityStateZip", "TEXT(40)"},
                                 {"Phone", "TEXT(15)"},
                                 {"ContactFirst", "TEXT(15)"},
                                 {"ContactLast", "TEXT(25)"},
                                 {"Fax", "TEXT(15)"},
                                 {"Reference", "TEXT(9)"},
                                 {"Website", "TEXT(255)"},
                                 {"Email", "TEXT(255)"},
                                 {"ContactNote", "TEXT(255)"}});
}

std::string NeighborhoodsTable() {
  namespace n = layouts::neighborhood;
  std::vector<std::pair<std::string, std::string>> columns;
  for (int position = 0; position < n::kMinColumnCount; ++position)
    columns.emplace_back("Field" + Padded(position), "TEXT(255)");
  columns[0] = {"ID", "COUNTER"};
  columns[n::kNameColumn].first = "NeighborhoodName";
  columns[n::kCodeColumn].first = "NeighborhoodCode";
  columns[n::kAreaColumn].first = "Area";
  columns[n::kDescriptionColumn].first = "Description";
  columns[n::kZoneColumn].first = "Zone";
  int position = n::kCodeColumn + 1;
  for (const Tag& t : kNeighTags) columns[position++].first = t.column;
  return CreateTable("Neighborhoods", columns);
}

// ZazOzurs in the layout both comparables passes address by position (the
// one the import creates), with its two indexes.
std::vector<std::string> ZazOzursTable() {
  auto forTable = [](std::string script) {
    const std::string table = ResourceString(560);
    for (std::size_t at = script.find("%s"); at != std::string::npos;
         at = script.find("%s", at + table.size()))
      script.replace(at, 2, table);
    return script;
  };
  return {forTable(layouts::comparables::CreateTableScript()), forTable(ResourceString(502)),
          forTable(layouts::comparables::kWcidIndexScript)};
}

// `connection`: the templates' tables all go to that database instead.
void WriteTemplates(const fs::path& dataDir, const std::string& connection = "") {
  MakeDatabase(dataDir / ResourceString(305), {templatedb::FileIndexCreateSql()}, connection);
  MakeDatabase(dataDir / ResourceString(306), {LendersTable()}, connection);
  MakeDatabase(
      dataDir / ResourceString(307),
      {NeighborhoodsTable(),
       CreateTable("Neighborhoods2", {{"ID", "COUNTER"}, {"NeighborhoodName", "TEXT(255)"}})},
      connection);
  // The responses importer creates its tables.
  if (connection.empty()) MakeDatabase(dataDir / ResourceString(301), {});
  MakeDatabase(dataDir / ResourceString(308), ZazOzursTable(), connection);
}

// --- data files -----------------------------------------------------------

std::string ResponsesFile() {
  namespace r = layouts::responses;
  std::string f;
  f += ResponseRecord(12, 3, 4, "Site view", false, 0,
                      "Quiet street facing the Caf\xE9 du Parc; no adverse easements noted.", 12);
  f += ResponseRecord(12, 3, r::kKeyCodeF9, "Default site", false, r::kFlagMacro,
                      "See attached addendum.\r\nPhotos on page 3.", 0);
  f += ResponseRecord(40, 1, 5, "Condition", true, r::kFlagNoAppend,
                      "Average; kitchen renovated by O'Neil & Sons in 2004.", 7);
  f += ResponseRecord(40, 1, 6, "", false, r::kFlagMacro | r::kFlagNoAppend, "", 3);
  // A trailing fragment too short to hold a head: the extractor's last block.
  f += LengthPrefix(r::kHeadSize) + std::string(12, '\0');
  return f;
}

// The last record ends at end of file without its NUL.
std::string GlobalResponsesFile() {
  std::string f;
  f += ResponseRecord(1, 1, 4, "Appraiser", false, 0,
                      "Ren\xE9"
                      "e Lefebvre, SRA",
                      20);
  f += ResponseRecord(1, 2, 7, "Company", false, 0, "Lefebvre & D'Amico Appraisals", 0, false);
  return f;
}

// The user's own global responses: one shares its field and key with the
// host's global set, so importing both asks the conflict question.
std::string PrivateGlobalResponsesFile() {
  std::string f;
  f += ResponseRecord(1, 1, 4, "Appraiser", false, 0,
                      "Marc-Andr\xE9 Tremblay, Certified Residential", 0);
  f += ResponseRecord(3, 1, 4, "License", false, 0, "License no. 1044-R; expires 12/31/2027", 4);
  return f;
}

std::string FileIndexRecord(std::string_view id, std::string_view owner, std::string_view street,
                            std::string_view city, int receivedDay, std::string_view path) {
  namespace i = layouts::fileindex;
  RecordWriter head(i::kHeadSize);
  head.Text(i::kFileId, id)
      .Text(i::kTrackingExtra, "Rush - call before visit", true)
      .Text(i::kStreet, street)
      .Text(i::kCity, city)
      .Text(i::kCensusTract, "0042.01")
      .Text(i::kZipCode, "02134")
      .Text(i::kLenderId, "FNB")
      .Text(i::kLenderCaseNo, "C-88123")
      .Text(i::kOwner, owner)
      .Text(i::kFormId, "1004")
      .Date(i::kDateReceived, receivedDay, receivedDay ? 1 : 0, 2006)
      .Date(i::kDateDue, 31, 1, 2006)
      .Date(i::kDateDelivered, 0, 0, 0)
      .Date(i::kDateAssigned, 6, 1, 2006)
      .Text(i::kBuildingType, "Detached", true)
      .Text(i::kBuildingDesign, "Colonial")
      .Text(i::kAppraiserId, "RL");
  return Framed(head.bytes() + std::string(path));
}

// The last record is cut short by end of file, partway through its head.
std::string FileIndexFile() {
  std::string f;
  f += FileIndexRecord("A12",
                       "Ren\xE9"
                       "e Dubois",
                       "14 Rue de l'\xC9glise",
                       "Montr\xE9"
                       "al",
                       5, "C:\\Reports\\2006\\A12.rpt");
  f += FileIndexRecord("B2006-17", "Patrick O'Neil", "221 Harbor View Rd", "Salem", 0, "");
  std::string last = FileIndexRecord("C7",
                                     "Jos\xE9 Garc\xED"
                                     "a",
                                     "9 Elm St", "Lowell", 12, "C:\\Reports\\2006\\C7.rpt");
  f += last.substr(0, static_cast<std::size_t>(layouts::kLengthDigits + 200));
  return f;
}

std::string LenderRecord(std::string_view id, std::string_view name, std::string_view city,
                         std::string_view first, std::string_view last) {
  namespace l = layouts::lender;
  RecordWriter r(l::kRecordSize);
  r.Text(l::kLenderId, id)
      .Text(l::kName, name)
      .Text(l::kAddress1, "Loan Servicing Dept.")
      .Text(l::kAddress2, "100 Main Street, Suite 4", true)
      .Text(l::kCityStateZip, city)
      .Text(l::kPhone, "(617) 555-0100")
      .Text(l::kContactFirst, first)
      .Text(l::kContactLast, last)
      .Text(l::kNotImported, "internal")
      .Text(l::kReference, "REF-22");
  return Framed(r.bytes());
}

// Ends with a fragment shorter than a lender record.
std::string LenderFile() {
  std::string f;
  f += LenderRecord("FNB", "First National Bank", "Boston, MA 02108", "Jane", "Smith");
  f += LenderRecord("O'NEIL", "O'Neil Mortgage Co.", "Quincy, MA 02169", "Sean", "O'Neil");
  f += LenderRecord("CREDMTL",
                    "Cr\xE9"
                    "dit Mutuel de Qu\xE9"
                    "bec",
                    "Montr\xE9"
                    "al, QC",
                    "Andr\xE9",
                    "B\xE9"
                    "langer");
  f += LengthPrefix(layouts::lender::kRecordSize) + std::string(100, ' ');
  return f;
}

// Field text for the sample form: values in tag order, an extra value after
// each "X" tag, two trailing bytes after the last end mark.
std::string NeighFieldText(const std::vector<std::string>& values, bool preamble) {
  namespace n = layouts::neighborhood;
  std::string text;
  if (preamble) text = std::string(1, n::kPreambleStart) + "v2.1" + n::kValueEnd;
  std::size_t i = 0;
  for (const Tag& t : kNeighTags) {
    text += "N" + std::to_string(i % 10);  // the 2-character code
    text += values.at(i++) + n::kValueEnd;
    if (std::string_view(t.listEntry).find(n::kExtraValueMark) != std::string_view::npos)
      text += std::string("skip") + n::kValueEnd;
  }
  return text + std::string(static_cast<std::size_t>(n::kTrailingBytes), '\0');
}

std::string NeighRecord(std::string_view name, std::string_view description,
                        const std::vector<std::string>& values, bool preamble) {
  namespace n = layouts::neighborhood;
  std::string text = NeighFieldText(values, preamble);
  RecordWriter head(n::kHeadSize);
  head.Text(n::kName, name)
      .Text(n::kArea, "North Shore", true)
      .Text(n::kDescription, description)
      .Text(n::kZone, "R-1")
      .Text(n::kCode, "NS-04")
      .Int16(n::kFieldTextLength, static_cast<std::int16_t>(text.size()));
  return Framed(head.bytes() + text);
}

std::string NeighborhoodFile() {
  namespace n = layouts::neighborhood;
  std::string f;
  f += NeighRecord(
      "Beaus\xE9jour", "Established suburb near the Caf\xE9 du Parc.",
      {"Suburban", "Over 75%", "Stable", "Increasing", "Balance", "3-6 mos", "185", "420"}, true);
  f += NeighRecord("Val-d'Or Est", "Mixed residential, O'Neil Park to the east.",
                   {"Urban", "25-75%", "Rapid", "Stable", "Shortage", "Under 3 mos", "150", "310"},
                   false);
  f += LengthPrefix(n::kHeadSize) + std::string(60, '\0');
  return f;
}

// The main-record field that lands in the column named `column`.
layouts::Field CompField(std::string_view column) {
  namespace c = layouts::comparables;
  for (int position = 0; position < c::kColumnCount; ++position)
    if (column == c::kColumns[position].name) return c::FieldAt(position);
  throw std::logic_error("no comparables column " + std::string(column));
}

struct Comparable {
  std::string_view wcid, street, neighborhood, source, comment;
  int price;
  int contractDay;  // 0: no contract date
};

std::string ComparableRecord(const Comparable& s) {
  RecordWriter r(layouts::comparables::kRecordSize);
  r.Int16(CompField("SqFt"), 1850)
      .Int16(CompField("Rooms"), 7)
      .Int16(CompField("Beds"), 3)
      .Int16(CompField("Photo1"), 1)
      .Int16(CompField("YearBuilt"), 1962)
      .Int32(CompField("Price"), s.price)
      .Int32(CompField("StreetNo"), 12)
      .Single(CompField("LotSize"), 7500.5f)
      .Single(CompField("Assessment"), 198250.0f)
      .Date(CompField("ContractDate"), s.contractDay, s.contractDay ? 2 : 0, 2006)
      .Date(CompField("ClosingDate"), 30, 3, 2006)
      .Date(CompField("Modified"), 4, 4, 2006)
      .Date(CompField("SystemDate"), 0, 0, 0)
      .Int32(CompField("UserID"), 17)
      .Date(CompField("ListingDate"), 9, 11, 2005)
      .Text(CompField("Photo2"), "Y")
      .Text(layouts::comparables::kWcid, s.wcid)
      .Text(CompField("Map"), "Grid 14-C")
      .Text(CompField("Neighborhood"), s.neighborhood)
      .Text(CompField("xStreet"), s.street)
      .Text(CompField("StreetDir"), "N")
      .Text(CompField("Status"), "S")
      .Text(CompField("xLot"), "Lot 42", true)
      .Text(CompField("NewConstruction"), "N")
      .Text(CompField("Remodeled"), "Y")
      .Text(CompField("Private"), "N")
      .Text(layouts::comparables::kFileNumber, "F-2006-117")  // not imported
      .Text(CompField("Source"), s.source)
      .Text(CompField("Baths"), "2.1")
      .Text(CompField("Fin1"), "Conventional")
      .Text(CompField("Fin2"), "No concess.")
      .Text(CompField("Site"), "7,500 sf")
      .Text(CompField("Design"), "Colonial")
      .Text(CompField("Age"), "44")
      .Text(CompField("Condition"), "Average")
      .Text(CompField("Bas1"), "Full")
      .Text(CompField("Bas2"), "Part fin.")
      .Text(CompField("Heat"), "FWA/Gas")
      .Text(CompField("Garage"), "2-car att.")
      .Text(CompField("Por1"), "Deck")
      .Text(CompField("Por2"), "Screened")
      .Text(CompField("Erg1"), "Ins. windows")
      .Text(CompField("Fireplace"), "1 brick")
      .Text(CompField("Other1"), "Shed")
      .Text(CompField("TypeProperty"), "SFR")
      .Text(CompField("Ext1"), "Vinyl siding", true)
      .Text(CompField("Ext2"), "Asphalt shingle roof")
      .Text(CompField("Ext3"), s.comment)
      .Text(CompField("Location"), "Residential")
      .Text(CompField("Quality"), "Average")
      .Text(CompField("Utilities"), "Public")
      .Text(CompField("Com1"), "Arm's length")
      .Text(CompField("Lease"), "FS");
  return r.bytes();
}

// The second record states a longer length (surplus bytes to skip); the last
// is cut short by the end of the file, partway through its fields.
std::string ComparablesFile() {
  namespace c = layouts::comparables;
  std::string f;
  f += Framed(ComparableRecord({"WC-1001",
                                "Rue de l'\xC9"
                                "cole",
                                "Beaus\xE9jour", "MLS #58231", "Caf\xE9 next door", 245000, 9}));
  std::string longer = ComparableRecord(
      {"wc-1002", "O'Neil Ave", "Val-d'Or Est", "Agent D'Amico", "Corner lot", 251500, 0});
  longer.append(18, '\0');
  f += Framed(longer);
  f += LengthPrefix(c::kRecordSize) + ComparableRecord({"WC-1003", "Birch Ln",
                                                        "Montr\xE9"
                                                        "al-Nord",
                                                        "Public record", "", 199900, 21})
                                          .substr(0, 420);
  return f;
}

std::string SupplementRecord(std::string_view wcid, std::string_view comment, int price) {
  namespace s = layouts::supplement;
  RecordWriter r(s::kRecordSize);
  r.Text(s::kWcid.field, wcid)
      .Text(s::kAddress2.field, "Unit 2")
      .Text(s::kVerificationSource.field, "MLS #60412")
      .Text(s::kLeaseFee.field, "Fee simple")
      .Text(s::kView.field, "Water")
      .Text(s::kSaleHistory1.field, "03/2001 $189,000")
      .Text(s::kComment.field, comment, true)
      .Text(s::kPhotoId.field, "P7")
      .Int32(s::kFinalListPrice.field, price)
      .Text(s::kMca.field, "Yes")
      .Text(s::kInteriorAppeal.field, "Good")
      .Text(s::kFeature1.field, "Fireplace")
      .Text(s::kProjectSize.field, "24 units")
      .Text(s::kFloorLocation.field, "2nd");
  return Framed(r.bytes());
}

// WC-1002 differs in case from its main record; WC-2001 has no main record.
std::string SupplementFile() {
  std::string f;
  f += SupplementRecord("WC-1002", "Corner lot; seller O'Neil paid closing costs.", 249900);
  f += SupplementRecord("WC-1001", "Caf\xE9 on the ground floor", 0);
  f += SupplementRecord("WC-2001", "Listed only", -1);
  return f;
}

void WriteDataFiles(const fs::path& data) {
  WriteFile(data / "resp.dat", ResponsesFile());
  WriteFile(data / "global.dat", GlobalResponsesFile());
  WriteFile(data / ResourceString(205), FileIndexFile());
  WriteFile(data / ResourceString(206), LenderFile());
  WriteFile(data / (ResourceString(res::kNeighPrefix) + kNeighForm + ".dta"), NeighborhoodFile());
  WriteFile(data / "xcomps.dat", ComparablesFile());
  WriteFile(data / "xcomps.cp2", SupplementFile());
}

// --- configuration files ----------------------------------------------------

std::string ZevIni(const fs::path& root) {
  std::string app = platform::ToProgramForm(root.string());
  if (app.empty() || app.back() != '\\') app += '\\';
  return "[Directories]\r\nAppDir=" + app + "\r\nDataDir=" + app + "data\\\r\nPrivateDir=" + app +
         "private\\\r\n\r\n[Vendor]\r\nApplicationName=" + ResourceString(res::kProductName) +
         "\r\n";
}

std::string LenderIni() {
  return "[" + ResourceString(701) +
         "]\r\nFNB=Jane Smith/jsmith@fnb.example.com\r\n"
         "O'NEIL=loans@oneil.example.com/Mortgage desk\r\n"
         "CREDMTL=Andr\xE9 pr\xEAts@creditmutuel.example.ca soir\r\n";
}

std::string NeighTagsIni() {
  std::string list, map;
  for (const Tag& t : kNeighTags) {
    list += (list.empty() ? "" : ",") + std::string(t.listEntry);
    map += std::string(t.tag) + "=" + t.column + "\r\n";
  }
  return "; Neighborhood field tags per form\r\n[" + ResourceString(707) + "]\r\n" + kNeighForm +
         "=" + list + "\r\n\r\n[" + kNeighForm + "]\r\n" + map;
}

int Generate(const fs::path& root) {
  const fs::path templates = root / "Data";
  const fs::path data = root / "data";
  const fs::path addon = root / "Addons" / "Neighbor";
  const fs::path priv = root / "private";
  for (const fs::path& p : {root, templates, data, addon, priv}) fs::create_directories(p);

  WriteFile(root / "Zev.ini", ZevIni(root));
  WriteTemplates(templates);
  WriteDataFiles(data);
  WriteFile(priv / "resp.dat", ResponsesFile());
  WriteFile(priv / "global.dat", PrivateGlobalResponsesFile());
  // lender.ini is read from the folder the lender data is imported from.
  WriteFile(root / ResourceString(res::kLenderIni), LenderIni());
  WriteFile(data / ResourceString(res::kLenderIni), LenderIni());
  WriteFile(addon / ResourceString(res::kNeighTagsIni), NeighTagsIni());

  for (const fs::path& p : {root, templates, data, addon, priv}) std::printf("%s\n", p.c_str());
  return 0;
}

}  // namespace

namespace {

constexpr char kUsage[] =
    "Usage: make-sample-host FOLDER\n"
    "Writes a sample host installation into FOLDER (created when missing): Zev.ini,\n"
    "the template databases in FOLDER/Data, the conversion INI files and one data\n"
    "file of every data type in FOLDER/data, ready for the sample extractor.\n"
    "       make-sample-host --tables CONNECTION\n"
    "Creates the template databases' tables in the server database that the ODBC\n"
    "connection string CONNECTION names.\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--tables") {
    try {
      WriteTemplates({}, argv[2]);
      return 0;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "make-sample-host: %s\n", e.what());
      return 1;
    }
  }
  if (const auto status = AnswerOption(argc, argv, "make-sample-host", kUsage)) return *status;
  if (argc != 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  try {
    return Generate(fs::absolute(argv[1]).lexically_normal());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make-sample-host: %s\n", e.what());
    return 1;
  }
}
