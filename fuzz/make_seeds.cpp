// Writes the generated seed inputs of every fuzz target:
//   fuzz-make-seeds CORPUS_FOLDER
// Records come from the layout constants through the sample writer, so the
// seeds are well-formed host files that the fuzzer then bends. Each input
// starts with the bytes its target reads first (flags, lengths), as the
// targets' comments describe. Run once by hand; the files are committed.
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "RecordWriter.h"
#include "importers/layouts/ComparablesLayout.h"
#include "importers/layouts/FileIndexLayout.h"
#include "importers/layouts/LenderLayout.h"
#include "importers/layouts/NeighborhoodLayout.h"
#include "importers/layouts/ResponsesLayout.h"
#include "importers/layouts/SupplementLayout.h"
#include "support/ResourceStrings.h"

namespace fs = std::filesystem;
using samplehost::Framed;
using samplehost::LengthPrefix;
using samplehost::RecordWriter;
using samplehost::ResponseRecord;

namespace {

fs::path gRoot;

void Seed(const std::string& target, const std::string& name, const std::string& bytes) {
  fs::create_directories(gRoot / target);
  std::ofstream out(gRoot / target / name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + (gRoot / target / name).string());
}

std::string Byte(int b) {
  return std::string(1, static_cast<char>(b));
}
std::string Word(std::size_t n) {
  return Byte(n & 0xFF) + Byte((n >> 8) & 0xFF);
}

// --- importers ----------------------------------------------------------

void Responses() {
  namespace r = layouts::responses;
  std::string f;
  f += ResponseRecord(12, 3, 4, "Site view", false, 0, "Quiet street facing the Caf\xE9.", 12);
  f += ResponseRecord(12, 3, r::kKeyCodeF9, "Default site", false, r::kFlagMacro,
                      "See attached addendum.\r\nPhotos on page 3.", 0);
  f += ResponseRecord(40, 1, 5, "Condition", true, r::kFlagNoAppend, "Average; O'Neil & Sons.", 7);
  f += ResponseRecord(40, 1, 6, "", false, r::kFlagMacro | r::kFlagNoAppend, "", 3);
  const std::string tail = LengthPrefix(r::kHeadSize) + std::string(12, '\0');
  std::string open = ResponseRecord(1, 2, 7, "Company", false, 0, "Lefebvre & D'Amico", 0, false);
  Seed("responses", "plain", Byte(0) + f);
  Seed("responses", "short-tail", Byte(1) + f + tail);
  Seed("responses", "twice-keep", Byte(4) + f);
  Seed("responses", "twice-overwrite", Byte(4 | 0x30) + f + f);
  Seed("responses", "text-set-no-nul", Byte(2) + open);
  Seed("responses", "duplicate-key", Byte(3 | 4 | 0x10) + f + f.substr(0, f.size() / 2));
}

std::string IndexRecord(const std::string& id, int day, const std::string& path) {
  namespace i = layouts::fileindex;
  RecordWriter head(i::kHeadSize);
  head.Text(i::kFileId, id)
      .Text(i::kTrackingExtra, "Rush - call before visit", true)
      .Text(i::kStreet, "14 Rue de l'\xC9glise")
      .Text(i::kCity,
            "Montr\xE9"
            "al")
      .Text(i::kCensusTract, "0042.01")
      .Text(i::kZipCode, "02134")
      .Text(i::kLenderId, "FNB")
      .Text(i::kLenderCaseNo, "C-88123")
      .Text(i::kOwner, "Patrick O'Neil")
      .Text(i::kFormId, "1004")
      .Date(i::kDateReceived, day, day ? 1 : 0, 2006)
      .Date(i::kDateDue, 31, 1, 2006)
      .Date(i::kDateDelivered, 30, 2, 2006)  // no such day
      .Date(i::kDateAssigned, 6, 1, 2006)
      .Text(i::kBuildingType, "Detached", true)
      .Text(i::kBuildingDesign, "Colonial")
      .Text(i::kAppraiserId, "RL");
  return Framed(head.bytes() + path);
}

void FileIndex() {
  std::string f =
      IndexRecord("A12", 5, "C:\\Reports\\2006\\A12.rpt") + IndexRecord("B2006-17", 0, "");
  const std::string cut = IndexRecord("C7", 12, "C:\\Reports\\C7.rpt").substr(0, 200);
  Seed("file_index", "plain", Byte(0) + f);
  Seed("file_index", "cut-head", Byte(0) + f + cut);
  Seed("file_index", "two-files", Byte(1) + Word(f.size()) + f + IndexRecord("A12", 5, "x"));
  Seed("file_index", "no-table", Byte(2) + f);
  Seed("file_index", "long-tail", Byte(0) + IndexRecord("L", 1, std::string(3000, 'p')));
}

std::string LenderRecord(const std::string& id, const std::string& name) {
  namespace l = layouts::lender;
  RecordWriter r(l::kRecordSize);
  r.Text(l::kLenderId, id)
      .Text(l::kName, name)
      .Text(l::kAddress1, "Loan Servicing Dept.")
      .Text(l::kAddress2, "100 Main Street", true)
      .Text(l::kCityStateZip, "Boston, MA 02108")
      .Text(l::kPhone, "(617) 555-0100")
      .Text(l::kContactFirst, "Jane")
      .Text(l::kContactLast, "Smith")
      .Text(l::kNotImported, "internal")
      .Text(l::kReference, "REF-22");
  return Framed(r.bytes());
}

void Lenders() {
  std::string f = LenderRecord("FNB", "First National Bank") +
                  LenderRecord("O'NEIL", "O'Neil Mortgage Co.") +
                  LenderRecord("CREDMTL",
                               "Cr\xE9"
                               "dit Mutuel");
  const std::string fragment = LengthPrefix(layouts::lender::kRecordSize) + std::string(100, ' ');
  Seed("lenders", "plain", Byte(0) + f + fragment);
  Seed("lenders", "no-comparisons", Byte(1) + f);
  Seed("lenders", "twice-no", Byte(2) + f);
  Seed("lenders", "twice-yes-to-all", Byte(2 | 0x30) + f);
  Seed("lenders", "duplicate-ids", Byte(0x10) + f + LenderRecord("FNB", "Other Bank"));
}

// Field text written readably: "|" stands for the value end, "^" for the preamble start.
std::string F(std::string text) {
  namespace n = layouts::neighborhood;
  for (char& c : text) c = c == '|' ? n::kValueEnd : c == '^' ? n::kPreambleStart : c;
  return text;
}

std::string Neigh(const std::string& name, const std::string& text) {
  namespace n = layouts::neighborhood;
  RecordWriter head(n::kHeadSize);
  head.Text(n::kName, name)
      .Text(n::kArea, "  North Shore", true)
      .Text(n::kDescription, "Near the Caf\xE9")
      .Text(n::kZone, "R-1")
      .Text(n::kCode, "NS-04")
      .Int16(n::kFieldTextLength, static_cast<std::int16_t>(text.size()));
  return Framed(head.bytes() + text);
}

void Neighborhoods() {
  const std::string first =
      Neigh("Beaus\xE9jour", F("^v2.1|N0Lakeside|N1Rising|skip|N2Stable|N3x|N4y|.."));
  const std::string second = Neigh("Val-d'Or", F("N0Urban|N1Flat|s|N2Slow|N3|N4|.."));
  const std::string fragment =
      LengthPrefix(layouts::neighborhood::kHeadSize) + std::string(60, '\0');
  Seed("neighborhoods", "form-1004", Byte(0) + first + second + fragment);
  Seed("neighborhoods", "form-lar", Byte(1) + Neigh("Lar One", F("^pre|N0Rural|..")));
  Seed("neighborhoods", "form-2095", Byte(2) + Neigh("Form 2095", F("N0Booming|N1185|..")));
  Seed("neighborhoods", "no-tag-list", Byte(3) + first);
  Seed("neighborhoods", "twice-yes", Byte(4 | 0x10) + first + second);
  Seed("neighborhoods", "same-name", Byte(0x20) + first + first);
}

std::string MainRecord(const std::string& wcid, int seed) {
  namespace c = layouts::comparables;
  RecordWriter r(c::kRecordSize);
  for (const c::Placed& p : c::kFields) {
    const int v = p.position < 0 ? 0 : p.position;
    switch (p.field.kind) {
      case layouts::FieldKind::Int16:
        r.Int16(p.field, static_cast<std::int16_t>(seed * 100 + v));
        break;
      case layouts::FieldKind::Int32:
        r.Int32(p.field, 1000 * seed + v);
        break;
      case layouts::FieldKind::Single:
        r.Single(p.field, static_cast<float>(v) + 0.5f);
        break;
      case layouts::FieldKind::Date:
        r.Date(p.field, v % 28 + 1, seed % 12 + 1, 1990 + v);
        break;
      case layouts::FieldKind::Text:
        r.Text(p.field, "O'N\xE9il " + std::to_string(v));
        break;
    }
  }
  r.Text(c::kWcid, wcid);
  return r.bytes();
}

std::string SupplementRecord(const std::string& wcid, int price) {
  namespace s = layouts::supplement;
  RecordWriter r(s::kRecordSize);
  for (const s::TokenField& f : s::kFields)
    if (f.field.kind == layouts::FieldKind::Text) r.Text(f.field, std::string(f.token));
  r.Text(s::kWcid.field, wcid).Int32(s::kFinalListPrice.field, price);
  return Framed(r.bytes());
}

void Comparables() {
  namespace c = layouts::comparables;
  std::string longer = MainRecord("wc-1002", 2);
  longer.append(18, '\0');
  const std::string main = Framed(MainRecord("WC-1001", 1)) + Framed(longer) +
                           LengthPrefix(c::kRecordSize) + MainRecord("WC-1003", 3).substr(0, 420);
  const std::string supplement = SupplementRecord("WC-1002", 249900) +
                                 SupplementRecord("WC-1001", 0) + SupplementRecord("WC-2001", -1);
  const std::string both = Word(main.size()) + main + supplement;
  Seed("comparables", "host-table", Byte(0) + both);
  Seed("comparables", "made-table", Byte(1) + both);
  Seed("comparables", "older-table", Byte(2) + both);
  Seed("comparables", "supplement-first", Byte(4) + both);
  Seed("comparables", "each-twice", Byte(8) + both);
  Seed("comparables", "supplement-only", Byte(0) + Word(0) + supplement);
}

// --- text inputs --------------------------------------------------------

void IniFiles() {
  Seed("ini_file", "host",
       "[Directories]\r\nAppDir=C:\\Kestova\\\r\nDataDir=C:\\Kestova\\data\\\r\n\r\n[Vendor]"
       "\r\nApplicationName=Importer\r\n");
  Seed("ini_file", "lenders",
       "[IP]\r\nFNB=Jane Smith/jsmith@fnb.example.com\r\nCREDMTL=Andr\xE9 pr\xEAts\r\n");
  Seed("ini_file", "tags",
       "; tags\r\n[OldFields]\r\n1004=LOC,PROPVALX,GROWTH\r\n\r\n[1004]\r\nLOC = Location\r\n");
  Seed("ini_file", "odd",
       "\xEF\xBB\xBFkey=before\n[ spaced ] trailing\n  a = \"quoted\" \n "
       "b='x'\n;c=1\nnoequals\n[SPACED]\nA=dup\n[]\n=empty\n");
  Seed("ini_file", "utf8", "[Caf\xC3\xA9]\nNa\xC3\xAFve=\xE2\x82\xAC\r\n");
}

void RegStores() {
  const std::string header = "Windows Registry Editor Version 5.00\r\n\r\n";
  const std::string store =
      header +
      "[HKEY_CURRENT_USER\\Software\\Norvel\\Kestova\\Utilities\\Ingestor]\r\n"
      "\"Left\"=dword:00000064\r\n\"LastFile\"=\"C:\\\\Data\\\\x.dat\"\r\n"
      "@=\"default\"\r\n\"Multi\"=hex(7):41,00,00,00,\\\r\n  00,00\r\n"
      "\"Lines\"=hex(1):61,00,0d,00,0a,00,62,00,00,00\r\n\r\n";
  Seed("reg_store", "empty", Byte(0) + Word(0));
  Seed("reg_store", "store", Byte(0) + Word(5) + "Hello" + store);
  Seed("reg_store", "text-with-lines", Byte(2) + Word(7) + std::string("a\r\nb\xE9\0c", 7) + store);
  Seed("reg_store", "number", Byte(4) + Word(0) + store);
  Seed("reg_store", "new-key", Byte(1) + Word(3) + "New" + header);
  Seed("reg_store", "lf-only",
       Byte(0) + Word(2) + "\"q" +
           "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n"
           "\"x\"=hex(4):01,02,03,04\n\"y\"=hex(2):41,00\n");
}

void CommandLines() {
  const std::vector<std::string> lines = {
      " x.exe / C:\\data / C:\\out / 5 ",
      "x.exe/C:\\data//5",
      "x.exe/C:\\new\\folder//5",
      "x.exe/C:\\data\\lender.dta//5",
      "x.exe/C:\\data\\missing.dta//5",
      " /C:\\data//5",
      "nothere.exe/C:\\data//5",
      "x.exe/ //5",
      "x.exe/C:\\Cfg\\Zev.INI//5",
      "x.exe/C:\\data//five",
      "x.exe/C:\\data//7",
      "x.exe/C:\\data//6.5",
      "x.exe/C:\\data/",
      "x.exe/C:\\Cfg\\Zev.INI/",
      "C:\\bin\\x.exe/C:\\data/C:\\out/4/C:\\out\\db.mdb/True/False/-1",
      "x.exe/C:\\data//5//yes",
  };
  for (std::size_t i = 0; i < lines.size(); ++i)
    Seed("command_line", "line-" + std::to_string(i), lines[i]);
}

void LikePatterns() {
  const std::vector<std::pair<std::string, std::string>> pairs = {
      {"text.tmp", "*.tmp"}, {"neigh1004.tmp", "neigh####*"},
      {"a", "[a-c]"},        {"d", "[!a-c]"},
      {"ab", "a?"},          {"x[", "x["},
      {"README", "*.*"},     {"LENDER.INI", "lender.ini"},
      {"abc", "a*b*c*"},
  };
  for (std::size_t i = 0; i < pairs.size(); ++i)
    Seed("like_pattern", "pair-" + std::to_string(i),
         Word(pairs[i].first.size()) + pairs[i].first + pairs[i].second);
  // Many stars before a letter the text lacks: a backtracking matcher that
  // retries every star takes exponential time here.
  std::string stars;
  for (int i = 0; i < 40; ++i) stars += "*a";
  const std::string text(3000, 'a');
  Seed("like_pattern", "many-stars", Word(text.size()) + text + stars + "b");
  Seed("like_pattern", "many-star-sets", Word(text.size()) + text + stars + "[!a]");
}

void Sql() {
  int n = 0;
  for (int id = 500; id < 600; ++id) {
    const std::string sql = ResourceString(id);
    if (sql.find("SELECT") == std::string::npos && sql.find("CREATE") == std::string::npos &&
        sql.find("INSERT") == std::string::npos && sql.find("UPDATE") == std::string::npos)
      continue;
    for (int dialect = 0; dialect < 3; ++dialect)
      Seed("access_sql", "res-" + std::to_string(id) + "-" + std::to_string(dialect),
           Byte(dialect) + sql);
    ++n;
  }
  Seed("access_sql", "literals",
       Byte(0) +
           "SELECT * FROM [a'b] WHERE x = 'it''s [not] a name' -- c'\n"
           "AND \"q\"\"'\" = 1 /* ' */ ORDER BY x DESC, y");
  Seed("access_sql", "create",
       Byte(1) +
           "CREATE TABLE [T] (ID COUNTER, A TEXT(10), B MEMO, C "
           "SHORT, D BIT, E SINGLE, F DATE, G TEXT)");
  if (n == 0) throw std::runtime_error("no SQL found in the string table");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz-make-seeds CORPUS_FOLDER\n");
    return 2;
  }
  try {
    gRoot = argv[1];
    Responses();
    FileIndex();
    Lenders();
    Neighborhoods();
    Comparables();
    IniFiles();
    RegStores();
    CommandLines();
    LikePatterns();
    Sql();
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "fuzz-make-seeds: %s\n", e.what());
    return 1;
  }
}
