// The per-user registry store. Input: a flag byte, a word giving the length
// of a text, the text, then the store's file. A store that parses must write
// out text that parses back to the same store, and a text set into it must
// read back as set.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "ImporterHarness.h"
#include "support/RegStore.h"
#include "support/Windows1252.h"

namespace {

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "registry store property broken: %s\n", what);
  std::abort();
}

bool SameKeys(const support::RegStore& a, const support::RegStore& b) {
  if (a.keys().size() != b.keys().size()) return false;
  for (std::size_t i = 0; i < a.keys().size(); ++i) {
    const support::RegKey& x = a.keys()[i];
    const support::RegKey& y = b.keys()[i];
    if (x.path != y.path || x.values.size() != y.values.size()) return false;
    for (std::size_t v = 0; v < x.values.size(); ++v)
      if (x.values[v].name != y.values[v].name || x.values[v].data != y.values[v].data)
        return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzing::InputReader in(data, size);
  const std::uint8_t flags = in.Byte();
  const std::string text(in.Take(in.Word()));
  std::optional<support::RegStore> store = support::RegStore::Parse(in.Rest());
  if (!store) return 0;

  for (const support::RegKey& key : store->keys()) {
    Require(store->HasKey(key.path), "a parsed key does not exist");
    for (const support::RegValue& value : key.values) {
      Require(store->FindValue(key.path, value.name) != nullptr, "a parsed value is not found");
      support::RegNumber(value);
      support::RegText(value);
    }
  }

  const std::string written = store->Serialize();
  std::optional<support::RegStore> again = support::RegStore::Parse(written);
  Require(again.has_value(), "the written store does not parse");
  Require(SameKeys(*store, *again), "the written store reads back different");
  Require(again->Serialize() == written, "writing is not stable");

  // A value set into a key (the first one, or a new key named by the text).
  const std::string path = store->keys().empty() || (flags & 1)
                               ? "HKEY_CURRENT_USER\\Software\\" + text
                               : store->keys().front().path;
  if (!store->CreateKey(path)) return 0;
  const std::string name = (flags & 2) ? text : "Value";
  const bool isNumber = flags & 4;
  const bool set = isNumber ? store->SetNumber(path, name, static_cast<std::int32_t>(size))
                            : store->SetText(path, name, text);
  if (!set) return 0;
  std::optional<support::RegStore> reread = support::RegStore::Parse(store->Serialize());
  Require(reread.has_value(), "a store with a value set does not parse");
  const support::RegValue* value = reread->FindValue(path, name);
  Require(value != nullptr, "a value set is not found after writing");
  if (isNumber) {
    Require(support::RegNumber(*value) == static_cast<std::int32_t>(size),
            "a number set reads back different");
  } else {
    // Text with a line break is stored as UTF-16; text that is not UTF-8 is
    // then read as the code page's bytes.
    const bool oneLine = text.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
    const std::string expected =
        oneLine || support::IsValidUtf8(text) ? text : support::Windows1252ToUtf8(text);
    Require(support::RegText(*value) == expected, "a text set reads back different");
  }
  return 0;
}
