#include "ui/FileFilter.h"

#include <cctype>

namespace ui {

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string::size_type start = 0;
  while (start <= text.size()) {
    std::string::size_type end = text.find(separator, start);
    if (end == std::string::npos) end = text.size();
    parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

std::string Trimmed(const std::string& text) {
  std::string::size_type first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::vector<FilterPair> SplitFilter(const std::string& filter) {
  std::vector<std::string> parts;
  for (std::string& part : Split(filter, '\0')) {
    if (part.empty()) break;  // an empty part (two NULs in a row) ends the list
    parts.push_back(std::move(part));
  }
  std::vector<FilterPair> pairs;
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) pairs.push_back({parts[i], parts[i + 1]});
  return pairs;
}

std::vector<std::string> CaseBlindGlobs(const std::string& patterns) {
  std::vector<std::string> globs;
  for (const std::string& raw : Split(patterns, ';')) {
    std::string pattern = Trimmed(raw);
    if (pattern.empty()) continue;
    if (pattern == "*.*") {
      globs.emplace_back("*");
      continue;
    }
    std::string glob;
    bool inSet = false;
    for (char ch : pattern) {
      unsigned char c = static_cast<unsigned char>(ch);
      if (inSet) {
        glob += ch;
        if (ch == ']') inSet = false;
      } else if (ch == '[') {
        glob += ch;
        inSet = true;
      } else if (c < 0x80 && std::isalpha(c)) {
        glob += '[';
        glob += static_cast<char>(std::tolower(c));
        glob += static_cast<char>(std::toupper(c));
        glob += ']';
      } else {
        glob += ch;
      }
    }
    globs.push_back(std::move(glob));
  }
  return globs;
}

}  // namespace ui
