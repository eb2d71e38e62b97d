// The small routines behind the neighborhood import: which report form an
// output file was written for, that form's map from field tag to column, its
// tag list, and the walk that pairs the tags with the values of a record's
// field text.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Context.h"

namespace importers {

// The prefix of neighborhood data file names (string resource 252).
inline constexpr std::string_view kNeighborhoodFilePrefix = "neigh";

// The form code in an output file name: the text after the first occurrence of
// `prefix` (ASCII case ignored) in the part of the name before its first ".".
// Empty when the name has no ".", the prefix does not occur there, or nothing
// follows it. "209" becomes "2095". neigh1004.tmp -> 1004, NEIGH209.tmp -> 2095.
std::string GetFormName(std::string_view fileName,
                        std::string_view prefix = kNeighborhoodFilePrefix);

// The code under which the conversion file keeps a form: ANVL, ALAR and NVL
// -> LAR; ECU and NCU -> ICU; NUR -> UA5; NEO -> EOI; NRI -> SRI, matched on
// the upper-cased first four characters of a code beginning with A (first
// three otherwise); any other code comes back unchanged. nullopt for the empty
// code, which names no form: the caller must not go on with that file.
std::optional<std::string> TranslateFormCode(std::string_view code);

// The pieces of `text` between the delimiters, in order and untrimmed ("a,,b"
// gives a, "", b); no pieces for the empty text.
std::vector<std::string> StringToCollection(std::string_view text, char delimiter);

// A form map: field tag -> column name, in file order. Tags compare without
// regard to case (as INI names do); the first of two equal tags wins.
class FormMap {
 public:
  // False, leaving the map unchanged, when `key` is already present.
  bool Add(std::string key, std::string value);
  std::optional<std::string> Find(std::string_view key) const;
  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  const std::vector<std::pair<std::string, std::string>>& entries() const { return entries_; }

 private:
  std::vector<std::pair<std::string, std::string>> entries_;
};

// Every key of `section` in `iniFile`, trimmed, with its value (read with
// GetINIString, default empty, trimmed). Keys and values are UTF-8, as the INI
// routines return them. Empty when the file or section is missing or has no
// keys. Never throws: a failure to build the map gives the empty map.
FormMap INISectionToCollection(const platform::Context& ctx, const std::string& iniFile,
                               const std::string& section);

// Pairs the tags of a form's tag list with the values of a record's field text
// (raw bytes, returned as they are). Positions are 1-based, L is the length.
//   - Preamble: when character 1 is 21, P starts after the first character 2;
//     with no character 2 at all the whole text is preamble and nothing is
//     read. Otherwise P = 1.
//   - Per tag: P += 2 (the code). If P > L - 1, stop: neither this tag nor any
//     later one gets a value. The value runs from P to just before the first
//     2 found in P..L-2; when none is found there it runs from P to L-2 (so
//     the last two characters never belong to a value, and a value may be
//     empty). P moves past that 2 (to L when it was not found).
//   - A tag containing an upper-case "X" is named by the text before its first
//     "X"; after its value one further value is skipped: P moves past the
//     first 2 in P..L-1, or beyond the end when there is none, which ends the
//     walk at the next tag.
// The result holds (tag name, value) for every tag reached, in tag-list order.
std::vector<std::pair<std::string, std::string>> WalkFieldText(
    std::string_view text, const std::vector<std::string>& tagList);

}  // namespace importers
