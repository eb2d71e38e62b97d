// The INI reader: the input is a whole file. Every section and key the parse
// gives must be found again by name, the file read through the cached loader
// must parse to the same sections, and the raw-file index of a section must
// give every key of it the value the parse gives.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "doubles/TestWorld.h"
#include "support/IniFile.h"
#include "support/IniSectionIndex.h"

namespace {

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "INI property broken: %s\n", what);
  std::abort();
}

bool SameSections(const support::IniFile& a, const support::IniFile& b) {
  if (a.sections().size() != b.sections().size()) return false;
  for (std::size_t i = 0; i < a.sections().size(); ++i) {
    const support::IniSection& x = a.sections()[i];
    const support::IniSection& y = b.sections()[i];
    if (x.name != y.name || x.keys.size() != y.keys.size()) return false;
    for (std::size_t k = 0; k < x.keys.size(); ++k)
      if (x.keys[k].name != y.keys[k].name || x.keys[k].value != y.keys[k].value) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static testing_doubles::TestWorld world;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const support::IniFile ini = support::IniFile::Parse(bytes);

  for (const support::IniSection& section : ini.sections()) {
    const support::IniSection* found = ini.FindSection(section.name);
    Require(found != nullptr, "a parsed section is not found by its name");
    for (const support::IniKey& key : section.keys)
      Require(support::IniFile::FindKey(section, key.name) != nullptr,
              "a parsed key is not found by its name");
  }
  ini.FindSection("Directories");
  ini.FindSection("");

  // Through a file, as the program reads it. The cache must not hand back an
  // older parse of the same path.
  world.Write("fuzz.ini", std::string(bytes));
  support::ClearIniFileCache();
  const auto loaded = support::LoadCachedIniFile(world.env, world.Program("fuzz.ini"));
  Require(loaded != nullptr, "an existing file did not load");
  Require(SameSections(*loaded, ini), "the file parse differs from the byte parse");

  for (const support::IniSection& section : ini.sections()) {
    const support::IniSection* first = ini.FindSection(section.name);
    support::IniSectionIndex index(world.env, world.Program("fuzz.ini"), section.name);
    for (const support::IniKey& key : first->keys)
      Require(index.Find(key.name) == support::IniFile::FindKey(*first, key.name)->value,
              "the section index gives a key another value than the parse");
  }
  return 0;
}
