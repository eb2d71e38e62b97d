// The file-open dialog's filter text, "Description" NUL "*.a;*.b" NUL ...,
// taken apart for a dialog that wants its pairs one by one. Patterns follow
// the conventions of the host's file system: "*.*" means every file, and
// names match without regard to case.
#pragma once

#include <string>
#include <vector>

namespace ui {

struct FilterPair {
  std::string description;
  std::string patterns;  // ';'-separated, as given
};

// The complete pairs of `filter`. The list ends at the first empty part (two
// NULs in a row) or at the end of the text; a description left without its
// patterns there is dropped.
std::vector<FilterPair> SplitFilter(const std::string& filter);

// The patterns of one pair as globs for a case-sensitive file system: "*.*"
// becomes "*", and each ASCII letter outside a bracket set becomes a set of
// both cases ("*.ini" -> "*.[iI][nN][iI]"). Empty patterns are left out.
std::vector<std::string> CaseBlindGlobs(const std::string& patterns);

}  // namespace ui
