#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "doubles/MemoryFile.h"
#include "doubles/TestWorld.h"
#include "support/ElfVersionBlock.h"
#include "support/PeVersionResource.h"
#include "support/VersionBlock.h"
#include "support/modVersion.h"

using namespace std::string_literals;

namespace {

using testing_doubles::MemoryFile;

void Put(std::string& s, std::size_t at, std::uint32_t v, int width) {
  if (s.size() < at + width) s.resize(at + width);
  for (int i = 0; i < width; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}

std::string Utf16(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) Put(out, out.size(), c, 2);
  return out;
}

// A copy of `s` with `v` written at `at`.
std::string Patched(std::string s, std::size_t at, std::uint32_t v, int width) {
  Put(s, at, v, width);
  return s;
}

void Pad4(std::string& s) {
  s.resize((s.size() + 3) & ~std::size_t{3});
}

// One version node; wLength covers the node up to its last child.
std::string Node(std::u16string_view key, std::string value, std::uint16_t valueLength, bool text,
                 const std::vector<std::string>& children = {}) {
  std::string node(6, '\0');
  node += Utf16(key) + "\0\0"s;
  Pad4(node);
  node += value;
  for (const auto& child : children) {
    Pad4(node);
    node += child;
  }
  Put(node, 0, node.size(), 2);
  Put(node, 2, valueLength, 2);
  Put(node, 4, text ? 1 : 0, 2);
  return node;
}

std::string Text(std::u16string_view name, std::u16string_view value) {
  return Node(name, Utf16(value) + "\0\0"s, value.size() + 1, true);
}

// A VS_VERSIONINFO with the string table 040904B0 and one translation,
// language 0x409 and `codePage`.
std::string Block(std::uint16_t codePage, const std::vector<std::string>& strings) {
  std::string translation;
  Put(translation, 0, 0x409, 2);
  Put(translation, 2, codePage, 2);
  return Node(u"VS_VERSION_INFO", std::string(52, '\x01'), 52, false,
              {Node(u"StringFileInfo", "", 0, true, {Node(u"040904B0", "", 0, true, strings)}),
               Node(u"VarFileInfo", "", 0, true, {Node(u"Translation", translation, 4, false)})});
}

// Offsets of the pieces of the image below, from the start of the file.
constexpr std::size_t kSectionAt = 0x200;
constexpr std::size_t kNameDirectory = kSectionAt + 0x18;
constexpr std::size_t kBlockAt = kSectionAt + 0x58;

// A PE32 (or PE32+) image with one .rsrc section at RVA 0x1000 holding type
// 16 -> name 1 -> language 0x409 -> `block`, which ends the file.
std::string PeImage(const std::string& block, bool plus = false) {
  std::string f = "MZ" + std::string(kSectionAt - 2, '\0');
  f.replace(0x40, 4, "PE\0\0"s);
  const std::uint32_t optional = plus ? 240 : 224, dirs = 0x58 + (plus ? 112 : 96),
                      table = 0x58 + optional, size = 0x58 + block.size();
  f.replace(table, 5, ".rsrc");
  // Headers (machine, one section, optional header, 16 data directories,
  // the resource one), the section, then three directories of one entry
  // each (its count, id and target) and the data entry.
  // clang-format off
  using Field = std::tuple<std::size_t, std::uint32_t, int>;  // offset, value, width
  for (const auto& [at, value, width] : std::initializer_list<Field>{
           {0x3C, 0x40, 4}, {0x44, plus ? 0x8664u : 0x14Cu, 2}, {0x46, 1, 2}, {0x54, optional, 2},
           {0x58, plus ? 0x20Bu : 0x10Bu, 2}, {dirs - 4, 16, 4}, {dirs + 16, 0x1000, 4},
           {dirs + 20, size, 4}, {table + 8, size, 4}, {table + 12, 0x1000, 4},
           {table + 16, size, 4}, {table + 20, kSectionAt, 4},
           {kSectionAt + 14, 1, 2}, {kSectionAt + 16, 16, 4}, {kSectionAt + 20, 0x80000018, 4},
           {kNameDirectory + 14, 1, 2}, {kNameDirectory + 16, 1, 4},
           {kNameDirectory + 20, 0x80000030, 4},
           {kSectionAt + 0x3E, 1, 2}, {kSectionAt + 0x40, 0x409, 4}, {kSectionAt + 0x44, 0x48, 4},
           {kSectionAt + 0x48, 0x1058, 4}, {kSectionAt + 0x4C, std::uint32_t(block.size()), 4}})
    Put(f, at, value, width);
  // clang-format on
  f.resize(kBlockAt);
  return f + block;
}

// The sample extractor's test pins every name; here two of them.
std::vector<std::string> Strings(std::u16string_view company, std::u16string_view product) {
  return {Text(u"CompanyName", company), Text(u"ProductVersion", product)};
}

std::string Expected(const std::string& company, const std::string& version,
                     const std::string& path) {
  return "Company Name:    " + company +
         "\r\nFile Description:    \r\nFile Version:    \r\nInternal Name:    \r\nLegal "
         "Copyright:    \r\nOriginal FileName:    \r\nProduct Name:    \r\nProduct Version:    " +
         version + "\r\nInstalled path:    " + path;
}

class VersionInfoTest : public ::testing::Test {
 protected:
  // GetFileInformation of `bytes` written to a file; the entry it appended.
  bool Info(const std::string& bytes, std::string& entry) {
    world.Write("f.exe", bytes);
    std::vector<std::string> lines{"earlier"};
    bool found = modVersion::GetFileInformation(world.ctx, world.Program("f.exe"), lines);
    EXPECT_EQ(lines.size(), 2u);
    entry = lines.back();
    return found;
  }
  testing_doubles::TestWorld world;
};

TEST_F(VersionInfoTest, ReportsTheStringsOfAnImageOrNone) {
  std::string entry;
  // Values are cut at 127 characters and at their first NUL.
  std::u16string company(200, u'x');
  company[126] = u'\u00E9';
  auto strings = Strings(company, u"2.5");
  strings[1] = Node(u"ProductVersion", Utf16(u"2.5") + "\0\0junk"s, 8, true);
  ASSERT_TRUE(Info(PeImage(Block(0x04B0, strings), true), entry));
  EXPECT_EQ(entry, Expected(std::string(126, 'x') + "\u00E9", "2.5", world.Program("f.exe")));

  // A blank version, a translation without its table, offsets past the end,
  // a directory naming itself, and the image cut at every length.
  const std::string good = PeImage(Block(0x04B0, Strings(u"Norvel", u"1.0")));
  const std::string none[] = {PeImage(Block(0x04B0, Strings(u"Norvel", u"   "))),
                              PeImage(Block(0x04E4, Strings(u"Norvel", u"1.0"))),
                              Patched(good, kBlockAt, 0xFFFF, 2),
                              Patched(good, kNameDirectory + 20, 0x80000018, 4),
                              Patched(good, kSectionAt + 0x48, 0xFFFFFFF0, 4),
                              Patched(good, 0x3C, 0xFFFFFFF0, 4)};
  for (std::size_t i = 0; i < std::size(none); ++i) {
    EXPECT_FALSE(Info(none[i], entry)) << "case " << i;
    EXPECT_EQ(entry, modVersion::kNoVersionInformation) << "case " << i;
  }
  for (std::size_t n = 0; n < good.size(); ++n) {
    MemoryFile cut(std::string_view(good).substr(0, n));
    EXPECT_FALSE(support::PeVersionResource::Read(cut).has_value()) << "cut at " << n;
  }
  // A missing file or a read error is no version data.
  std::vector<std::string> lines;
  world.env.FailAlways("ReadAt");
  EXPECT_FALSE(modVersion::GetFileInformation(world.ctx, world.Program("f.exe"), lines) ||
               modVersion::GetFileInformation(world.ctx, world.Program("missing.exe"), lines));
  EXPECT_EQ(lines, std::vector<std::string>(2, modVersion::kNoVersionInformation));
  EXPECT_TRUE(world.ui.boxes.empty());
  world.env.ThrowOn("OpenForReading");  // what escapes is the routine's box
  EXPECT_FALSE(modVersion::GetFileInformation(world.ctx, world.Program("f.exe"), lines));
  EXPECT_EQ(world.ui.boxes.at(0).title, "Error in \"GetFileInformation::modVersion\"");
}

TEST_F(VersionInfoTest, SampleExtractorCarriesItsBlock) {
  const std::string path = INGESTOR_SAMPLE_EXTRACTOR;
  std::string program = path;
  std::replace(program.begin(), program.end(), '/', '\\');
  modVersion::ProgramVersion own = modVersion::OwnVersion();
  EXPECT_EQ(own.title, "Ingestor");
  const std::string version = std::to_string(own.major) + "." + std::to_string(own.minor) + "." +
                              std::to_string(own.revision);
  std::vector<std::string> lines;
  ASSERT_TRUE(modVersion::GetFileInformation(world.ctx, program, lines));
  EXPECT_EQ(lines.at(0), "Company Name:    " + own.companyName +
                             "\r\nFile Description:    Sample extraction program"
                             "\r\nFile Version:    " +
                             version + "\r\nInternal Name:    sample-extractor" +
                             "\r\nLegal Copyright:    " + own.legalCopyright +
                             "\r\nOriginal FileName:    sample-extractor"
                             "\r\nProduct Name:    Ingestor sample tools"
                             "\r\nProduct Version:    " +
                             version + "\r\nInstalled path:    " + program);

  // Damaged copies of the binary read as none: another tag, headers past the
  // end, the ending entry and any padding after it (a sanitizer build pads
  // its globals) overwritten.
  std::ifstream in(path, std::ios::binary);
  const std::string binary{std::istreambuf_iterator<char>(in), {}};
  MemoryFile whole(binary);
  ASSERT_TRUE(support::ReadElfVersionBlock(whole).has_value());
  const std::size_t tag = binary.find(support::kVersionBlockTag);
  const std::size_t end = binary.find("\0\0"s, tag);
  ASSERT_NE(end, std::string::npos);
  std::string unended = binary;
  unended.replace(end + 1, 1024, 1024, 'x');
  for (const std::string& bytes :
       {Patched(binary, tag, 'i', 1), Patched(binary, 0x28, std::uint32_t(binary.size() - 8), 4),
        unended}) {
    MemoryFile file(bytes);
    EXPECT_FALSE(support::ReadElfVersionBlock(file).has_value());
  }
}

}  // namespace
