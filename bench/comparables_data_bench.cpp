// Test data for the comparables import benchmark (bench/comparables_import.sh):
//   comparables_data_bench DIR N M
// writes, deterministically,
//   DIR/src/xcomps.dat  N main records (unique WCIDs), framed as the host writes them;
//   DIR/src/xcomps.cp2  M supplement records: nine in ten update a main record
//                       (every third spelled in lower case), the tenth adds a row;
//   DIR/main.csv        the N main rows decoded, one CSV line per row in the
//                       table's column order (ID first), for sqlite3's .import;
//   DIR/schema.sql      the table the import creates, with its indexes, in SQLite's SQL.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "RecordWriter.h"
#include "engine/AccessSql.h"
#include "importers/FieldDecoding.h"
#include "importers/layouts/ComparablesLayout.h"
#include "importers/layouts/SupplementLayout.h"
#include "support/ResourceStrings.h"
#include "support/Windows1252.h"

namespace {

namespace fs = std::filesystem;
namespace c = layouts::comparables;
namespace s = layouts::supplement;
using samplehost::RecordWriter;

// Windows-1252 words of the kind the host's fields hold.
constexpr const char* kWords[] = {
    "Rue de l'\xC9glise",
    "O'Neil Ave",
    "Beaus\xE9jour",
    "Val-d'Or Est",
    "Colonial",
    "Conventional",
    "Average",
    "Full basement",
    "FWA/Gas",
    "2-car att.",
    "Caf\xE9 du Parc",
    "Arm's length",
    "Montr\xE9"
    "al-Nord",
    "Vinyl siding",
    "Asphalt shingle",
    "Good",
    "Public",
    "Ren\xE9"
    "e's deck",
    "Ch\xE2teau Ln",
    "Water view",
    "Fee simple",
    "MLS #58231",
    "Agent D'Amico",
};
constexpr int kWordCount = static_cast<int>(std::size(kWords));

class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint32_t Next() {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<std::uint32_t>(state_ >> 33);
  }
  int Range(int low, int high) { return low + static_cast<int>(Next() % (high - low + 1)); }

 private:
  std::uint64_t state_;
};

std::string Wcid(int i) {
  char text[16];
  std::snprintf(text, sizeof text, "WC%08d", i);
  return text;
}

std::string MainRecord(int i, Rng& rng) {
  RecordWriter r(c::kRecordSize);
  for (const c::Placed& p : c::kFields) {
    switch (p.field.kind) {
      case layouts::FieldKind::Int16:
        r.Int16(p.field, static_cast<std::int16_t>(rng.Range(0, 4000)));
        break;
      case layouts::FieldKind::Int32:
        r.Int32(p.field, rng.Range(50000, 900000));
        break;
      case layouts::FieldKind::Single:
        r.Single(p.field, static_cast<float>(rng.Range(0, 1000000)) / 100.0f);
        break;
      case layouts::FieldKind::Date:
        // One date in ten is empty.
        if (rng.Range(0, 9) == 0)
          r.Date(p.field, 0, 0, 0);
        else
          r.Date(p.field, rng.Range(1, 28), rng.Range(1, 12), rng.Range(1990, 2010));
        break;
      case layouts::FieldKind::Text:
        if (rng.Range(0, 7) != 0) r.Text(p.field, kWords[rng.Range(0, kWordCount - 1)]);
        break;
    }
  }
  r.Text(c::kWcid, Wcid(i));
  return samplehost::Framed(r.bytes());
}

std::string SupplementRecord(int j, int mainCount, int extraCount, Rng& rng) {
  std::string wcid;
  if (j % 10 == 9) {
    wcid = "NEW" + std::to_string(j);
  } else {
    wcid = Wcid(static_cast<int>(static_cast<std::int64_t>(j) * mainCount / extraCount));
    if (j % 3 == 0)
      for (char& ch : wcid) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  }
  RecordWriter r(s::kRecordSize);
  for (const s::TokenField& f : s::kFields)
    if (f.field.kind == layouts::FieldKind::Text)
      r.Text(f.field, kWords[rng.Range(0, kWordCount - 1)]);
  r.Text(s::kWcid.field, wcid)
      .Text(s::kComment.field, "Seller's concession of 3%; kitchen redone by O'Neil & Sons.", true)
      .Int32(s::kFinalListPrice.field, rng.Range(-1, 900000));
  return samplehost::Framed(r.bytes());
}

// One CSV field: quoted when it must be.
void AppendCsv(std::string& line, std::string_view value) {
  if (value.find_first_of(",\"\r\n") == std::string_view::npos) {
    line += value;
    return;
  }
  line += '"';
  for (char ch : value) {
    if (ch == '"') line += '"';
    line += ch;
  }
  line += '"';
}

// The row a main record becomes, in column order, as the table holds it.
std::string CsvRow(std::int64_t id, std::string_view head) {
  std::vector<std::string> values(c::kColumnCount);
  values[0] = std::to_string(id);
  char number[48];
  for (const c::Placed& p : c::kFields) {
    if (p.position == c::kNotStored) continue;
    const std::string_view bytes = importers::Slice(head, p.field);
    std::string& v = values[p.position];
    switch (p.field.kind) {
      case layouts::FieldKind::Int16:
        v = std::to_string(importers::ShortValue(bytes));
        break;
      case layouts::FieldKind::Int32:
        v = std::to_string(importers::LongValue(bytes));
        break;
      case layouts::FieldKind::Single:
        std::snprintf(number, sizeof number, "%.9g", importers::SingleValue(bytes));
        v = number;
        break;
      case layouts::FieldKind::Date: {
        const std::string mdy = importers::DateText(bytes);  // MM-DD-YYYY
        if (!mdy.empty()) v = mdy.substr(6) + "-" + mdy.substr(0, 2) + "-" + mdy.substr(3, 2);
        break;
      }
      case layouts::FieldKind::Text:
        v = support::Windows1252ToUtf8(importers::CleanView(bytes));
        break;
    }
  }
  std::string line;
  for (int i = 0; i < c::kColumnCount; ++i) {
    if (i > 0) line += ',';
    AppendCsv(line, values[i]);
  }
  return line + "\n";
}

std::string ForTable(std::string script) {
  const std::string table = ResourceString(560);
  for (std::size_t at = script.find("%s"); at != std::string::npos;
       at = script.find("%s", at + table.size()))
    script.replace(at, 2, table);
  return accesssql::Translate(script, db::Dialect::SQLite);
}

class Output {
 public:
  explicit Output(const fs::path& path) : file_(std::fopen(path.c_str(), "wb")) {
    if (file_ == nullptr) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      std::exit(1);
    }
  }
  ~Output() { std::fclose(file_); }
  void Write(std::string_view bytes) { std::fwrite(bytes.data(), 1, bytes.size(), file_); }

 private:
  std::FILE* file_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: comparables_data_bench DIR MAIN_RECORDS SUPPLEMENT_RECORDS\n");
    return 2;
  }
  const fs::path dir = argv[1];
  const int mainCount = std::atoi(argv[2]);
  const int extraCount = std::atoi(argv[3]);
  if (mainCount <= 0 || extraCount < 0) {
    std::fprintf(stderr, "comparables_data_bench: counts must be positive\n");
    return 2;
  }
  fs::create_directories(dir / "src");
  {
    Output dat(dir / "src" / "xcomps.dat");
    Output csv(dir / "main.csv");
    Rng rng(20060214);
    for (int i = 0; i < mainCount; ++i) {
      const std::string record = MainRecord(i, rng);
      dat.Write(record);
      csv.Write(CsvRow(i + 1, std::string_view(record).substr(layouts::kLengthDigits)));
    }
  }
  {
    Output cp2(dir / "src" / "xcomps.cp2");
    Rng rng(20060215);
    for (int j = 0; j < extraCount; ++j) cp2.Write(SupplementRecord(j, mainCount, extraCount, rng));
  }
  Output schema(dir / "schema.sql");
  // The unique index on ID is left out as the import leaves it out: on
  // SQLite the INTEGER PRIMARY KEY is that index already.
  for (const std::string& sql : {ForTable(c::CreateTableScript()), ForTable(c::kWcidIndexScript)})
    schema.Write(sql + ";\n");
  return 0;
}
