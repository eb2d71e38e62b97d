#include "support/LikePattern.h"

#include <cctype>

namespace support {

namespace {

// Length of the single-character token at pattern[p] ("[...]" or one
// character), or 0 when a set is not closed.
std::size_t TokenLength(std::string_view pattern, std::size_t p) {
  if (pattern[p] != '[') return 1;
  std::size_t q = p + 1;
  if (q < pattern.size() && pattern[q] == '!') ++q;
  // A ']' right after "[" or "[!" belongs to the set.
  if (q < pattern.size() && pattern[q] == ']') ++q;
  while (q < pattern.size() && pattern[q] != ']') ++q;
  return q < pattern.size() ? q - p + 1 : 0;
}

bool SetContains(std::string_view set, char c) {
  for (std::size_t i = 0; i < set.size(); ++i) {
    if (i + 2 < set.size() && set[i + 1] == '-') {
      auto lo = static_cast<unsigned char>(set[i]);
      auto hi = static_cast<unsigned char>(set[i + 2]);
      auto uc = static_cast<unsigned char>(c);
      if (lo <= uc && uc <= hi) return true;
      i += 2;
    } else if (set[i] == c) {
      return true;
    }
  }
  return false;
}

bool TokenMatches(std::string_view token, char c) {
  if (token.size() == 1) {
    if (token[0] == '?') return true;
    if (token[0] == '#') return c >= '0' && c <= '9';
    return token[0] == c;
  }
  std::string_view set = token.substr(1, token.size() - 2);
  bool negate = !set.empty() && set[0] == '!';
  if (negate) set.remove_prefix(1);
  return SetContains(set, c) != negate;
}

}  // namespace

bool MatchesLike(std::string_view text, std::string_view pattern) {
  // Every token but '*' consumes exactly one character, so greedy matching
  // with a return to the last '*' is exact and linear in practice.
  std::size_t t = 0, p = 0;
  std::size_t starP = std::string_view::npos, starT = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = ++p;
      starT = t;
      continue;
    }
    if (p < pattern.size()) {
      std::size_t len = TokenLength(pattern, p);
      if (len == 0) return false;
      if (TokenMatches(pattern.substr(p, len), text[t])) {
        p += len;
        ++t;
        continue;
      }
    }
    if (starP == std::string_view::npos) return false;
    p = starP;
    t = ++starT;
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool MatchesFileWildcard(std::string_view name, std::string_view pattern) {
  if (pattern == "*.*" || pattern == "*") return true;
  auto fold = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
  std::size_t t = 0, p = 0;
  std::size_t starP = std::string_view::npos, starT = 0;
  while (t < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = ++p;
      starT = t;
    } else if (p < pattern.size() && (pattern[p] == '?' || fold(pattern[p]) == fold(name[t]))) {
      ++p;
      ++t;
    } else if (starP != std::string_view::npos) {
      p = starP;
      t = ++starT;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace support
