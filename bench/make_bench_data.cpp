// Load files for the import benchmarks (bench/run-all.sh), in the framing the
// extraction program writes, under the names a folder import looks for:
//   make-bench-data responses     DIR COUNT [FIRST]             DIR/resp.dat
//   make-bench-data fileindex     DIR COUNT [FIRST]             DIR/didovuro.dta
//   make-bench-data lenders       DIR COUNT [FIRST [CONTACTS]]  DIR/lender.dta, lender.ini
//   make-bench-data neighborhoods DIR COUNT FIRST TAGS_INI      DIR/neigh1004.dta
// COUNT records whose keys are numbered from FIRST (default 0), so a file
// made with FIRST = COUNT holds none of the keys of one made with FIRST = 0:
// loaded into the table the first filled, every record is compared and added.
// lender.ini names a contact for every lender numbered below CONTACTS
// (default FIRST + COUNT: like the host's file, it names the lenders already
// in the table too). The neighborhood field text follows the tag list that
// TAGS_INI (the host's conversion file) gives form 1004. The same arguments
// give the same bytes. Exit status 0, 1 when a file cannot be written, 2 for
// a usage error.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "BenchRecords.h"
#include "RecordWriter.h"
#include "importers/NeighborhoodForms.h"
#include "importers/layouts/FileIndexLayout.h"
#include "importers/layouts/LenderLayout.h"
#include "importers/layouts/NeighborhoodLayout.h"
#include "support/IniFile.h"
#include "support/ResourceStrings.h"

namespace {

namespace fs = std::filesystem;
using bench::FileIndexRecord;
using bench::LenderId;
using bench::LenderRecord;
using samplehost::Framed;
using samplehost::RecordWriter;

constexpr char kNeighForm[] = "1004";
constexpr int kFormListSection = 707;   // OldFields
constexpr int kLenderIniSection = 701;  // IP
constexpr int kFileIndexName = 205;     // didovuro.dta
constexpr int kLenderName = 206;        // lender.dta

// Words of the kind the host's text fields hold (Windows-1252).
constexpr const char* kWords[] = {
    "Suburban", "Urban",    "Over 75%", "25-75%",      "Stable",      "Increasing",
    "Balance",  "Shortage", "3-6 mos",  "Under 3 mos", "Caf\xE9 row", "O'Neil Park",
};
constexpr std::size_t kWordCount = std::size(kWords);

// Writes through a buffer of whole records; throws when the file cannot be
// written, so a short file never passes for a load file.
class Output {
 public:
  explicit Output(const fs::path& path) : path_(path), file_(path, std::ios::binary) {
    if (!file_) throw std::runtime_error("cannot create " + path.string());
  }
  void Write(std::string_view bytes) {
    buffer_.append(bytes);
    if (buffer_.size() >= (1u << 20)) Flush();
  }
  void Close() {
    Flush();
    file_.close();
    if (!file_) throw std::runtime_error("cannot write " + path_.string());
  }

 private:
  void Flush() {
    file_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    if (!file_) throw std::runtime_error("cannot write " + path_.string());
    buffer_.clear();
  }

  fs::path path_;
  std::ofstream file_;
  std::string buffer_;
};

// Response n's key (Line, Across, FunctionKey) is unique for every n below
// 400 * 32767: 80 fields a line and five function keys a field.
std::string ResponseRecord(std::int64_t n) {
  const int across = static_cast<int>(n % 80);
  const int keyCode = 4 + static_cast<int>(n / 80 % 5);
  const int line = 1 + static_cast<int>(n / 400);
  if (line > 32767) throw std::runtime_error("too many responses for distinct keys");
  return samplehost::ResponseRecord(line, across, keyCode, "Title " + std::to_string(n), false,
                                    static_cast<int>(n % 4),
                                    "Response text of entry " + std::to_string(n) +
                                        ", as the report forms hold it; " + kWords[n % kWordCount],
                                    static_cast<int>(n % 7));
}

std::string LenderIniLine(std::int64_t n) {
  return LenderId(n) + "=Contact " + std::to_string(n) + "/desk" + std::to_string(n) +
         "@lender.example\r\n";
}

// Form 1004's tag list as the conversion file gives it; throws when it has none.
std::vector<std::string> NeighTagList(const fs::path& tagsIni) {
  std::ifstream in(tagsIni, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  if (!in) throw std::runtime_error("cannot read " + tagsIni.string());
  const support::IniFile ini = support::IniFile::Parse(bytes.str());
  const support::IniSection* section = ini.FindSection(ResourceString(kFormListSection));
  const support::IniKey* key =
      section != nullptr ? support::IniFile::FindKey(*section, kNeighForm) : nullptr;
  std::vector<std::string> tags;
  if (key != nullptr)
    tags = importers::StringToCollection(key->value, layouts::neighborhood::kTagListSeparator);
  if (tags.empty())
    throw std::runtime_error(tagsIni.string() + " gives form " + kNeighForm + " no tags");
  return tags;
}

std::string NeighborhoodRecord(std::int64_t n, const std::vector<std::string>& tags) {
  namespace nb = layouts::neighborhood;
  std::string text;
  for (std::size_t i = 0; i < tags.size(); ++i) {
    text += "N" + std::to_string(i % 10);  // the 2-character code
    text += std::string(kWords[(static_cast<std::size_t>(n) + i) % kWordCount]) + nb::kValueEnd;
    // A tag marked for an extra value is followed by one the import skips.
    if (tags[i].find(nb::kExtraValueMark) != std::string::npos)
      text += std::string("skip") + nb::kValueEnd;
  }
  text.append(static_cast<std::size_t>(nb::kTrailingBytes), '\0');
  if (text.size() > 32767) throw std::runtime_error("field text too long for its counter");

  char name[32];
  std::snprintf(name, sizeof name, "Nbhd %08lld", static_cast<long long>(n));
  RecordWriter head(nb::kHeadSize);
  head.Text(nb::kName, name)
      .Text(nb::kArea, "North Shore", true)
      .Text(nb::kDescription,
            "Established suburb near the Caf\xE9 du Parc, block " + std::to_string(n % 977) + ".")
      .Text(nb::kZone, "R-1")
      .Text(nb::kCode, "NS-" + std::to_string(n % 100))
      .Int16(nb::kFieldTextLength, static_cast<std::int16_t>(text.size()));
  return Framed(head.bytes() + text);
}

// A whole non-negative number, or -1.
std::int64_t Count(const std::string& text) {
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  return end != text.c_str() && *end == '\0' && v >= 0 ? v : -1;
}

void Generate(const std::string& kind, const fs::path& dir, std::int64_t count, std::int64_t first,
              const std::vector<std::string>& extra) {
  if ((kind == "responses" || kind == "fileindex") && !extra.empty())
    throw std::invalid_argument(kind + " takes nothing after FIRST");
  fs::create_directories(dir);
  auto records = [&](const std::string& name, auto&& record) {
    Output out(dir / name);
    for (std::int64_t n = first; n < first + count; ++n) out.Write(record(n));
    out.Close();
  };
  if (kind == "responses") {
    records("resp.dat", ResponseRecord);
  } else if (kind == "fileindex") {
    records(ResourceString(kFileIndexName), FileIndexRecord);
  } else if (kind == "lenders") {
    if (extra.size() > 1) throw std::invalid_argument("lenders takes at most CONTACTS after FIRST");
    const std::int64_t contacts = extra.empty() ? first + count : Count(extra[0]);
    if (contacts < 0) throw std::invalid_argument("CONTACTS must be a whole number");
    records(ResourceString(kLenderName), LenderRecord);
    Output ini(dir / ResourceString(res::kLenderIni));
    ini.Write("[" + ResourceString(kLenderIniSection) + "]\r\n");
    for (std::int64_t n = 0; n < contacts; ++n) ini.Write(LenderIniLine(n));
    ini.Close();
  } else if (kind == "neighborhoods") {
    if (extra.size() != 1) throw std::invalid_argument("neighborhoods needs TAGS_INI");
    const std::vector<std::string> tags = NeighTagList(extra[0]);
    records(ResourceString(res::kNeighPrefix) + kNeighForm + ".dta",
            [&](std::int64_t n) { return NeighborhoodRecord(n, tags); });
  } else {
    throw std::invalid_argument("unknown kind '" + kind + "'");
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr,
                 "usage: make-bench-data responses|fileindex DIR COUNT [FIRST]\n"
                 "       make-bench-data lenders DIR COUNT [FIRST [CONTACTS]]\n"
                 "       make-bench-data neighborhoods DIR COUNT FIRST TAGS_INI\n");
    return 2;
  }
  const std::int64_t count = Count(argv[3]);
  const std::int64_t first = argc > 4 ? Count(argv[4]) : 0;
  if (count < 0 || first < 0) {
    std::fprintf(stderr, "make-bench-data: COUNT and FIRST must be whole numbers\n");
    return 2;
  }
  try {
    Generate(argv[1], argv[2], count, first,
             std::vector<std::string>(argv + std::min(argc, 5), argv + argc));
  } catch (const std::invalid_argument& e) {
    std::fprintf(stderr, "make-bench-data: %s\n", e.what());
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make-bench-data: %s\n", e.what());
    return 1;
  }
  return 0;
}
