// Translating the host's SQL. Input: a byte choosing the dialect, then the
// statement. The host's own dialect passes unchanged, and so does the text
// of every '...' literal in the others.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/AccessSql.h"

namespace {

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "SQL translation property broken: %s\n", what);
  std::abort();
}

// The closed '...' literals of `sql` in order ('' inside one is a quote),
// read as the statement's tokens are: comments, "..." names and [...] names
// (where ]] is a ']' of the name) hold no literals.
std::vector<std::string_view> Literals(std::string_view sql) {
  std::vector<std::string_view> literals;
  // The end of the run from `i` (the opening `quote`) where a doubled quote
  // stands for one; npos when it is never closed.
  auto quoted = [&](std::size_t i, char quote) {
    for (++i; i < sql.size(); ++i)
      if (sql[i] == quote) {
        if (i + 1 < sql.size() && sql[i + 1] == quote)
          ++i;
        else
          return i;
      }
    return std::string_view::npos;
  };
  for (std::size_t i = 0; i < sql.size();) {
    std::size_t end = i;
    if (sql.compare(i, 2, "--") == 0) {
      end = sql.find('\n', i);
    } else if (sql.compare(i, 2, "/*") == 0) {
      end = sql.find("*/", i + 2);
      if (end != std::string_view::npos) ++end;
    } else if (sql[i] == '"') {
      end = quoted(i, '"');
    } else if (sql[i] == '[') {
      end = quoted(i, ']');
    } else if (sql[i] == '\'') {
      end = quoted(i, '\'');
      if (end != std::string_view::npos) literals.push_back(sql.substr(i, end + 1 - i));
    }
    if (end == std::string_view::npos) break;
    i = end + 1;
  }
  return literals;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const db::Dialect dialect = static_cast<db::Dialect>(data[0] % 3);
  const std::string_view sql(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string translated = accesssql::Translate(sql, dialect);
  if (dialect == db::Dialect::Access) {
    Require(translated == sql, "the host's dialect was changed");
    return 0;
  }
  Require(Literals(translated) == Literals(sql), "a literal was changed");
  return 0;
}
