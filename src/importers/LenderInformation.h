// Pieces of the lender import that are worth testing on their own: the lender
// configuration file and its values turned into the e-mail and note columns.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "importers/LenderContact.h"
#include "platform/Context.h"
#include "support/IniSectionIndex.h"

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
// GetINIString reads it (the same case rules, first match, code page, cut and
// error box), but through an index of the raw file (support::IniSectionIndex):
// the host keeps an entry per lender, so a parse held in memory would grow
// with the file, and a scan of the key list per row would make an import
// quadratic. A change to the file shows within IniSectionIndex::kRecheckSeconds.
class LenderConfiguration {
 public:
  LenderConfiguration(const platform::Context& ctx, std::string file, std::string section);
  // The value of `key`; "" when the file, the section or the key is missing.
  std::string Value(std::string_view key);
  // A failure to read the file since the last call, for the log; "" when none.
  std::string TakeFailure() { return index_.TakeFailure(); }

 private:
  const platform::Context& ctx_;
  support::IniSectionIndex index_;
};

}  // namespace importers
