// Pieces of the lender import that are worth testing on their own: the lender
// configuration file and its values turned into the e-mail and note columns.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "importers/LenderContact.h"
#include "platform/Context.h"
#include "support/IniFile.h"

namespace importers {

// UTF-8 text as Windows-1252 bytes, the way the system's single-byte profile
// calls hand it over: each character of the code page becomes its byte, any
// other character (or a malformed byte) becomes "?".
std::string Utf8ToWindows1252(std::string_view utf8);

// Splits a configuration value as read from the INI layer (UTF-8): the split
// counts single-byte characters, so it runs on the code-page form; both parts
// come back as UTF-8.
LenderContact SplitLenderContactUtf8(std::string_view utf8Value);

// One section of the lender configuration file, read per lender exactly as
// GetINIString reads it (the same cached parse, re-read when the file
// changes; the same case rules, first match, cut and error box), but through
// a key index built once per parse: the host keeps an entry per lender, and a
// scan of the key list per row would make an import quadratic.
class LenderConfiguration {
 public:
  LenderConfiguration(const platform::Context& ctx, std::string file, std::string section);
  // The value of `key`; "" when the file, the section or the key is missing.
  std::string Value(std::string_view key);

 private:
  std::string Lookup(std::string_view key);

  const platform::Context& ctx_;
  std::string file_;
  std::string section_;
  std::shared_ptr<const support::IniFile> parsed_;  // the parse the index was built from
  const support::IniSection* found_ = nullptr;      // the section within it, if any
  // The keys by a hash of the form every spelling of a name shares, sorted by
  // hash and in file order among equal hashes: 16 bytes a key, so a lender
  // file of hundreds of thousands of entries costs little beyond its parse.
  std::vector<std::pair<std::uint64_t, const support::IniKey*>> keys_;
};

}  // namespace importers
