// The two wildcard dialects. Input: a word giving the text's length, the
// text, then the pattern. Both matchers must finish quickly on any pair.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ImporterHarness.h"
#include "support/LikePattern.h"

namespace {

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "pattern property broken: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzing::InputReader in(data, size);
  const std::string_view text = in.Take(in.Word());
  const std::string_view pattern = in.Rest();
  const bool like = support::MatchesLike(text, pattern);
  support::MatchesFileWildcard(text, pattern);

  // Without special characters a pattern is the text itself.
  if (pattern.find_first_of("*?#[") == std::string_view::npos)
    Require(like == (text == pattern), "a plain pattern does not compare as text");
  if (text.find_first_of("*?#[") == std::string_view::npos) {
    Require(support::MatchesLike(text, std::string(text) + "*"), "text* does not match text");
    Require(support::MatchesLike(text, "*" + std::string(text)), "*text does not match text");
  }
  if (text.find_first_of("*?") == std::string_view::npos)
    Require(support::MatchesFileWildcard(text, text), "a name does not match itself");
  return 0;
}
