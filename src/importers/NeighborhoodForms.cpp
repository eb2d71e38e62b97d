#include "importers/NeighborhoodForms.h"

#include <array>
#include <cstddef>

#include "importers/layouts/NeighborhoodLayout.h"
#include "support/Conversions.h"
#include "support/Windows1252.h"
#include "support/modINIFile.h"

namespace importers {

namespace nl = layouts::neighborhood;

namespace {

char UpperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// 1-based position of the first `c` at positions from..to of `text` (to at
// most the length), 0 when there is none or the range is empty.
std::ptrdiff_t FindIn(std::string_view text, char c, std::ptrdiff_t from, std::ptrdiff_t to) {
  for (std::ptrdiff_t i = from; i <= to; ++i)
    if (text[static_cast<std::size_t>(i - 1)] == c) return i;
  return 0;
}

}  // namespace

std::string GetFormName(std::string_view fileName, std::string_view prefix) {
  const std::size_t dot = fileName.find('.');
  if (dot == std::string_view::npos) return {};
  const std::string stem = support::LowerAscii(fileName.substr(0, dot));
  const std::size_t found = stem.find(support::LowerAscii(prefix));
  if (found == std::string::npos) return {};
  std::string code(fileName.substr(found + prefix.size(), dot - found - prefix.size()));
  if (code == "209") code = "2095";
  return code;
}

std::optional<std::string> TranslateFormCode(std::string_view code) {
  if (code.empty()) return std::nullopt;
  struct Rule {
    std::string_view beginning, result;
  };
  static constexpr std::array<Rule, 8> kRules{{{"ANVL", "LAR"},
                                               {"ALAR", "LAR"},
                                               {"ECU", "ICU"},
                                               {"NVL", "LAR"},
                                               {"NUR", "UA5"},
                                               {"NEO", "EOI"},
                                               {"NCU", "ICU"},
                                               {"NRI", "SRI"}}};
  const std::size_t width = UpperAscii(code.front()) == 'A' ? 4 : 3;
  std::string beginning(code.substr(0, width));
  for (char& c : beginning) c = UpperAscii(c);
  for (const Rule& rule : kRules)
    if (beginning == rule.beginning) return std::string(rule.result);
  return std::string(code);
}

std::vector<std::string> StringToCollection(std::string_view text, char delimiter) {
  std::vector<std::string> pieces;
  if (text.empty()) return pieces;
  std::size_t from = 0;
  for (;;) {
    const std::size_t at = text.find(delimiter, from);
    pieces.emplace_back(text.substr(from, at == std::string_view::npos ? text.npos : at - from));
    if (at == std::string_view::npos) return pieces;
    from = at + 1;
  }
}

bool FormMap::Add(std::string key, std::string value) {
  if (Find(key)) return false;
  entries_.emplace_back(std::move(key), std::move(value));
  return true;
}

std::optional<std::string> FormMap::Find(std::string_view key) const {
  for (const auto& [k, v] : entries_)
    if (support::EqualsIgnoringCase(k, key)) return v;
  return std::nullopt;
}

FormMap INISectionToCollection(const platform::Context& ctx, const std::string& iniFile,
                               const std::string& section) {
  try {
    FormMap map;
    const std::string names = modINIFile::GetINIFileSection(ctx, iniFile, section);
    for (const std::string& name : StringToCollection(names, '\0')) {
      // The list ends with a NUL, which leaves one empty piece behind the last name.
      std::string key = support::TrimSpaces(name);
      if (key.empty()) continue;
      std::string value =
          support::TrimSpaces(modINIFile::GetINIString(ctx, section, key, "", iniFile));
      map.Add(std::move(key), std::move(value));
    }
    return map;
  } catch (...) {
    return {};
  }
}

std::vector<std::pair<std::string, std::string>> WalkFieldText(
    std::string_view text, const std::vector<std::string>& tagList) {
  std::vector<std::pair<std::string, std::string>> values;
  const auto length = static_cast<std::ptrdiff_t>(text.size());
  std::ptrdiff_t pos = 1;
  if (!text.empty() && text.front() == nl::kPreambleStart) {
    const std::size_t end = text.find(nl::kValueEnd);
    if (end == std::string_view::npos) return values;
    pos = static_cast<std::ptrdiff_t>(end) + 2;
  }
  // The last characters a value search, and the skip search, may look at.
  const std::ptrdiff_t valueLimit = length - nl::kTrailingBytes;
  const std::ptrdiff_t skipLimit = length - 1;
  for (const std::string& tag : tagList) {
    pos += nl::kTagCodeWidth;
    if (pos > skipLimit) break;
    const std::ptrdiff_t found = FindIn(text, nl::kValueEnd, pos, valueLimit);
    const std::ptrdiff_t end = found != 0 ? found : valueLimit + 1;
    const std::size_t mark = tag.find(nl::kExtraValueMark);
    values.emplace_back(tag.substr(0, mark),
                        std::string(text.substr(static_cast<std::size_t>(pos - 1),
                                                static_cast<std::size_t>(end - pos))));
    pos = end + 1;
    if (mark != std::string::npos) {
      const std::ptrdiff_t skipped = FindIn(text, nl::kValueEnd, pos, skipLimit);
      pos = skipped != 0 ? skipped + 1 : length + 1;
    }
  }
  return values;
}

}  // namespace importers
