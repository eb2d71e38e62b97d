#include "engine/AccessSql.h"

#include <cstddef>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace accesssql {
namespace {

// The translator works on tokens so that nothing inside a literal, a quoted
// name or a comment is ever looked at, and keywords only match whole words.
enum class Kind {
  Word,       // identifier or keyword
  Bracketed,  // [name]
  Literal,    // 'text' with '' inside
  Quoted,     // "..." passed through untouched
  Number,
  Space,  // white space and comments
  Punct,  // one character
  Opaque  // an unterminated [ ... : the rest of the text, untouched
};

struct Token {
  Kind kind;
  std::string_view text;
  // What to write instead of `text` once `replaced` is set.
  std::string out;
  bool replaced = false;
  // Written right after the token (NULLS FIRST / NULLS LAST).
  std::string suffix;
};

using Tokens = std::vector<Token>;
constexpr std::size_t kNone = static_cast<std::size_t>(-1);

bool IsWordStart(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}
bool IsDigit(unsigned char c) {
  return c >= '0' && c <= '9';
}
bool IsWordChar(unsigned char c) {
  return IsWordStart(c) || IsDigit(c);
}
bool IsSpace(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Lower(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = AsciiLower(c);
  return r;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

// Length of the quoted run starting at `start` (the opening quote), where a
// doubled quote stands for one; the whole rest when it is never closed.
std::size_t QuotedLength(std::string_view sql, std::size_t start, char quote) {
  std::size_t i = start + 1;
  while (i < sql.size()) {
    if (sql[i] == quote) {
      if (i + 1 < sql.size() && sql[i + 1] == quote) {
        i += 2;
        continue;
      }
      return i + 1 - start;
    }
    ++i;
  }
  return sql.size() - start;
}

Tokens Tokenize(std::string_view sql) {
  Tokens tokens;
  // A statement of names, commas and spaces has a token every three or four
  // characters: one allocation instead of a dozen moves of every token.
  tokens.reserve(sql.size() / 3 + 1);
  std::size_t i = 0;
  while (i < sql.size()) {
    const unsigned char c = static_cast<unsigned char>(sql[i]);
    Kind kind = Kind::Punct;
    std::size_t n = 1;
    if (IsSpace(c)) {
      kind = Kind::Space;
      while (i + n < sql.size() && IsSpace(static_cast<unsigned char>(sql[i + n]))) ++n;
    } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
      kind = Kind::Space;
      const std::size_t end = sql.find('\n', i);
      n = (end == std::string_view::npos ? sql.size() : end) - i;
    } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
      kind = Kind::Space;
      const std::size_t end = sql.find("*/", i + 2);
      n = (end == std::string_view::npos ? sql.size() : end + 2) - i;
    } else if (IsWordStart(c)) {
      kind = Kind::Word;
      while (i + n < sql.size() && IsWordChar(static_cast<unsigned char>(sql[i + n]))) ++n;
    } else if (IsDigit(c)) {
      kind = Kind::Number;
      while (i + n < sql.size() &&
             (IsWordChar(static_cast<unsigned char>(sql[i + n])) || sql[i + n] == '.')) {
        ++n;
      }
    } else if (c == '\'') {
      kind = Kind::Literal;
      n = QuotedLength(sql, i, '\'');
    } else if (c == '"') {
      kind = Kind::Quoted;
      n = QuotedLength(sql, i, '"');
    } else if (c == '[') {
      // A "]]" inside the brackets stands for one ']' of the name.
      kind = Kind::Opaque;
      n = sql.size() - i;
      for (std::size_t j = i + 1; j < sql.size(); ++j) {
        if (sql[j] != ']') continue;
        if (j + 1 < sql.size() && sql[j + 1] == ']') {
          ++j;
          continue;
        }
        kind = Kind::Bracketed;
        n = j + 1 - i;
        break;
      }
    }
    tokens.push_back(Token{kind, sql.substr(i, n), {}, false, {}});
    i += n;
  }
  return tokens;
}

// Index of the first token at or after `from` that is not white space;
// kNone at the end.
std::size_t Next(const Tokens& tokens, std::size_t from) {
  for (std::size_t i = from; i < tokens.size(); ++i) {
    if (tokens[i].kind != Kind::Space) return i;
  }
  return kNone;
}

bool IsKeyword(const Tokens& tokens, std::size_t i, std::string_view keyword) {
  return i != kNone && tokens[i].kind == Kind::Word && EqualsNoCase(tokens[i].text, keyword);
}

bool IsPunct(const Tokens& tokens, std::size_t i, char c) {
  return i != kNone && tokens[i].kind == Kind::Punct && tokens[i].text[0] == c;
}

bool IsName(const Tokens& tokens, std::size_t i) {
  return i != kNone && (tokens[i].kind == Kind::Word || tokens[i].kind == Kind::Bracketed);
}

// The name a Word or Bracketed token stands for, without brackets.
std::string NameOf(const Token& token) {
  if (token.kind != Kind::Bracketed) return std::string(token.text);
  std::string name;
  const std::string_view inner = token.text.substr(1, token.text.size() - 2);
  for (std::size_t i = 0; i < inner.size(); ++i) {
    name += inner[i];
    if (inner[i] == ']') ++i;  // the second of a doubled ']'
  }
  return name;
}

void Replace(Token& token, std::string text) {
  token.out = std::move(text);
  token.replaced = true;
}

// Words PostgreSQL will not take as an unquoted table or column name, each
// between spaces.
constexpr std::string_view kPostgresReserved =
    " ALL ANALYSE ANALYZE AND ANY ARRAY AS ASC ASYMMETRIC AUTHORIZATION BINARY BOTH"
    " CASE CAST CHECK COLLATE COLLATION COLUMN CONCURRENTLY CONSTRAINT CREATE CROSS"
    " CURRENT_CATALOG CURRENT_DATE CURRENT_ROLE CURRENT_SCHEMA CURRENT_TIME"
    " CURRENT_TIMESTAMP CURRENT_USER DEFAULT DEFERRABLE DESC DISTINCT DO ELSE END"
    " EXCEPT FALSE FETCH FOR FOREIGN FREEZE FROM FULL GRANT GROUP HAVING ILIKE IN"
    " INITIALLY INNER INTERSECT INTO IS ISNULL JOIN LATERAL LEADING LEFT LIKE LIMIT"
    " LOCALTIME LOCALTIMESTAMP NATURAL NOT NOTNULL NULL OFFSET ON ONLY OR ORDER OUTER"
    " OVERLAPS PLACING PRIMARY REFERENCES RETURNING RIGHT SELECT SESSION_USER SIMILAR"
    " SOME SYMMETRIC SYSTEM_USER TABLE TABLESAMPLE THEN TO TRAILING TRUE UNION UNIQUE"
    " USER USING VARIADIC VERBOSE WHEN WHERE WINDOW WITH"
    " ";

// A name PostgreSQL reads unquoted as itself (folded to lower case).
bool IsPlainPostgresName(std::string_view name) {
  if (name.empty()) return false;
  const unsigned char first = static_cast<unsigned char>(name[0]);
  if (!(IsWordStart(first) && first < 0x80)) return false;
  for (char ch : name) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c >= 0x80 || !IsWordChar(c)) return false;
  }
  std::string word = " ";
  for (char c : name) word += AsciiUpper(c);
  word += ' ';
  return kPostgresReserved.find(word) == std::string_view::npos;
}

std::string DoubleQuoted(std::string_view name) {
  std::string r = "\"";
  for (char c : name) {
    if (c == '"') r += '"';
    r += c;
  }
  r += '"';
  return r;
}

// How a bracketed name is written. PostgreSQL folds unquoted names to lower
// case, so a name that must be quoted is quoted in its folded form; creation
// and use then agree whichever way a statement spells it.
std::string DialectName(std::string_view name, db::Dialect dialect) {
  // SQL Server reads bracketed names as they are.
  if (dialect == db::Dialect::SqlServer) return Bracket(name);
  if (dialect == db::Dialect::PostgreSQL) {
    return IsPlainPostgresName(name) ? std::string(name) : DoubleQuoted(Lower(name));
  }
  return DoubleQuoted(name);
}

// Index names are per schema here but per table in the host's SQL: the table
// name goes in front so the same index name on two tables does not collide.
std::string IndexName(std::string_view table, std::string_view index, db::Dialect dialect) {
  std::string name = std::string(table) + "_" + std::string(index);
  if (dialect == db::Dialect::SqlServer) return Bracket(name);
  if (dialect == db::Dialect::PostgreSQL) {
    name = Lower(name);
    return IsPlainPostgresName(name) ? name : DoubleQuoted(name);
  }
  return DoubleQuoted(name);
}

// Index of the ')' that closes the '(' at `open`; kNone when unclosed.
std::size_t MatchingClose(const Tokens& tokens, std::size_t open) {
  int depth = 0;
  for (std::size_t i = open; i < tokens.size(); ++i) {
    if (IsPunct(tokens, i, '(')) ++depth;
    if (IsPunct(tokens, i, ')') && --depth == 0) return i;
  }
  return kNone;
}

// Rewrites the declared type at `at` (the word after a column name).
void RewriteType(Tokens& tokens, std::size_t at, db::Dialect dialect) {
  if (at == kNone || tokens[at].kind != Kind::Word) return;
  const bool pg = dialect == db::Dialect::PostgreSQL;
  const bool ms = dialect == db::Dialect::SqlServer;
  const std::string_view type = tokens[at].text;
  const std::size_t after = Next(tokens, at + 1);
  auto is = [&](std::string_view word) { return EqualsNoCase(type, word); };

  if (is("COUNTER") || is("AUTOINCREMENT")) {
    // Only an auto-numbered primary key makes either engine fill the ID.
    Replace(tokens[at], pg   ? "SERIAL PRIMARY KEY"
                        : ms ? "INT IDENTITY(1,1) PRIMARY KEY"
                             : "INTEGER PRIMARY KEY AUTOINCREMENT");
    if (IsPunct(tokens, after, '(')) {
      // The host's (seed, step) has no counterpart; numbering starts at 1.
      const std::size_t close = MatchingClose(tokens, after);
      if (close == kNone) return;
      // Only numbers are dropped: anything else stays for the database to judge.
      for (std::size_t i = after + 1; i < close; ++i)
        if (tokens[i].kind != Kind::Number && tokens[i].kind != Kind::Space &&
            !IsPunct(tokens, i, ',') && !IsPunct(tokens, i, '-') && !IsPunct(tokens, i, '+'))
          return;
      for (std::size_t i = at + 1; i <= close; ++i) Replace(tokens[i], "");
    }
  } else if (is("SHORT") || is("BYTE")) {
    // SQL Server's TINYINT has no negative numbers; a BYTE column gets SMALLINT too.
    Replace(tokens[at], pg || ms ? "SMALLINT" : "INTEGER");
  } else if (is("LONG") || is("INT") || is("INTEGER")) {
    Replace(tokens[at], "INTEGER");
  } else if (is("BIT")) {
    // SQLite keeps the name: the record set reads it to know a truth value.
    Replace(tokens[at], pg ? "SMALLINT" : "BIT");
  } else if (is("TEXT")) {
    // Unicode columns on SQL Server: its VARCHAR holds one code page only.
    const char* text = ms ? "NVARCHAR" : "VARCHAR";
    Replace(tokens[at], IsPunct(tokens, after, '(') ? text : std::string(text) + "(255)");
  } else if (is("MEMO")) {
    Replace(tokens[at], ms ? "NVARCHAR(MAX)" : "TEXT");
  } else if (is("SINGLE")) {
    Replace(tokens[at], "REAL");
  } else if (is("DOUBLE")) {
    if (IsKeyword(tokens, after, "PRECISION")) return;
    Replace(tokens[at], pg ? "DOUBLE PRECISION" : ms ? "FLOAT" : "REAL");
  } else if (is("DATE")) {
    Replace(tokens[at], "DATE");
  } else if (is("DATETIME")) {
    Replace(tokens[at], pg ? "TIMESTAMP" : ms ? "DATETIME2" : "DATE");
  }
}

// A table constraint rather than a column: CONSTRAINT ..., PRIMARY KEY (...),
// FOREIGN KEY (...), UNIQUE (...), CHECK (...). A column may be called Key,
// Unique or Primary, so the word alone does not decide.
bool IsTableConstraint(const Tokens& tokens, std::size_t i) {
  if (IsKeyword(tokens, i, "CONSTRAINT")) return true;
  const std::size_t next = Next(tokens, i + 1);
  if (IsKeyword(tokens, i, "PRIMARY") || IsKeyword(tokens, i, "FOREIGN")) {
    return IsKeyword(tokens, next, "KEY");
  }
  return (IsKeyword(tokens, i, "UNIQUE") || IsKeyword(tokens, i, "CHECK")) &&
         IsPunct(tokens, next, '(');
}

// CREATE TABLE name ( col type ..., col type ... ): the word after each
// column name is its type; nothing else in the list is a type.
void RewriteColumnList(Tokens& tokens, std::size_t open, db::Dialect dialect) {
  if (!IsPunct(tokens, open, '(')) return;
  std::size_t i = open + 1;
  while (true) {
    const std::size_t column = Next(tokens, i);
    if (!IsName(tokens, column)) return;
    if (!IsTableConstraint(tokens, column)) RewriteType(tokens, Next(tokens, column + 1), dialect);
    // Skip to the ',' or ')' that ends this definition.
    int depth = 0;
    std::size_t j = column + 1;
    for (; j < tokens.size(); ++j) {
      if (IsPunct(tokens, j, '(')) ++depth;
      if (IsPunct(tokens, j, ')')) {
        if (depth == 0) return;
        --depth;
      }
      if (depth == 0 && IsPunct(tokens, j, ',')) break;
    }
    if (j >= tokens.size()) return;
    i = j + 1;
  }
}

// The statement shapes that carry types or per-table index names.
void RewriteDefinitions(Tokens& tokens, db::Dialect dialect) {
  const std::size_t first = Next(tokens, 0);
  if (IsKeyword(tokens, first, "CREATE")) {
    std::size_t i = Next(tokens, first + 1);
    if (IsKeyword(tokens, i, "TABLE")) {
      const std::size_t table = Next(tokens, i + 1);
      if (IsName(tokens, table)) RewriteColumnList(tokens, Next(tokens, table + 1), dialect);
      return;
    }
    if (IsKeyword(tokens, i, "UNIQUE")) i = Next(tokens, i + 1);
    if (!IsKeyword(tokens, i, "INDEX")) return;
    const std::size_t index = Next(tokens, i + 1);
    const std::size_t on = IsName(tokens, index) ? Next(tokens, index + 1) : kNone;
    const std::size_t table = IsKeyword(tokens, on, "ON") ? Next(tokens, on + 1) : kNone;
    if (!IsName(tokens, table) || !IsPunct(tokens, Next(tokens, table + 1), '(')) return;
    Replace(tokens[index], IndexName(NameOf(tokens[table]), NameOf(tokens[index]), dialect));
    return;
  }
  if (IsKeyword(tokens, first, "ALTER")) {
    // ALTER TABLE name ADD [COLUMN] col type
    const std::size_t table = IsKeyword(tokens, Next(tokens, first + 1), "TABLE")
                                  ? Next(tokens, Next(tokens, first + 1) + 1)
                                  : kNone;
    std::size_t i = IsName(tokens, table) ? Next(tokens, table + 1) : kNone;
    if (!IsKeyword(tokens, i, "ADD")) return;
    i = Next(tokens, i + 1);
    if (IsKeyword(tokens, i, "COLUMN")) i = Next(tokens, i + 1);
    if (IsName(tokens, i) && !IsTableConstraint(tokens, i)) {
      RewriteType(tokens, Next(tokens, i + 1), dialect);
    }
  }
}

void RewriteNames(Tokens& tokens, db::Dialect dialect) {
  for (Token& token : tokens) {
    if (token.kind == Kind::Bracketed && !token.replaced) {
      Replace(token, DialectName(NameOf(token), dialect));
    }
  }
}

bool EndsOrderList(const Tokens& tokens, std::size_t i) {
  return IsPunct(tokens, i, ';') || IsKeyword(tokens, i, "LIMIT") ||
         IsKeyword(tokens, i, "OFFSET") || IsKeyword(tokens, i, "FOR") ||
         IsKeyword(tokens, i, "FETCH");
}

// Gives one ORDER BY item its NULLS clause: the host's engine and SQLite
// sort NULL before everything, PostgreSQL after.
void MarkOrderItem(Tokens& tokens, std::size_t last, bool hasNulls, bool descending) {
  if (last == kNone || hasNulls) return;
  tokens[last].suffix = descending ? " NULLS LAST" : " NULLS FIRST";
}

// Handles the ORDER BY list that starts at `from`. It ends at the end of the
// statement, at a ')' that closes an enclosing '(' or at LIMIT, OFFSET, FOR.
void MarkOrderList(Tokens& tokens, std::size_t from) {
  int depth = 0;
  std::size_t last = kNone;  // last token of the current item that is not space
  bool hasNulls = false;
  bool descending = false;
  for (std::size_t i = from; i < tokens.size(); ++i) {
    if (tokens[i].kind == Kind::Space) continue;
    if (depth == 0) {
      if (IsPunct(tokens, i, ')') || EndsOrderList(tokens, i)) break;
      if (IsPunct(tokens, i, ',')) {
        MarkOrderItem(tokens, last, hasNulls, descending);
        last = kNone;
        hasNulls = false;
        descending = false;
        continue;
      }
      if (IsKeyword(tokens, i, "NULLS")) hasNulls = true;
      descending = IsKeyword(tokens, i, "DESC");
    }
    if (IsPunct(tokens, i, '(')) ++depth;
    if (IsPunct(tokens, i, ')')) --depth;
    last = i;
  }
  MarkOrderItem(tokens, last, hasNulls, descending);
}

void MarkOrderBy(Tokens& tokens) {
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    if (!IsKeyword(tokens, i, "ORDER")) continue;
    const std::size_t by = Next(tokens, i + 1);
    if (!IsKeyword(tokens, by, "BY")) continue;
    MarkOrderList(tokens, by + 1);
    i = by;  // an ORDER BY nested in an item is found by going on from here
  }
}

std::string Join(const Tokens& tokens, std::size_t sizeHint) {
  std::string r;
  r.reserve(sizeHint);
  for (const Token& token : tokens) {
    if (token.replaced) {
      r += token.out;
    } else {
      r += token.text;
    }
    r += token.suffix;
  }
  return r;
}

}  // namespace

std::string EscapeBracketed(std::string_view name) {
  std::string r;
  for (char c : name) {
    if (c == ']') r += ']';
    r += c;
  }
  return r;
}

std::string Bracket(std::string_view name) {
  return "[" + EscapeBracketed(name) + "]";
}

std::optional<IndexedColumn> UniqueIndexOfOneColumn(std::string_view sql) {
  try {
    const Tokens tokens = Tokenize(sql);
    std::size_t i = Next(tokens, 0);
    for (const char* word : {"CREATE", "UNIQUE", "INDEX"}) {
      if (!IsKeyword(tokens, i, word)) return std::nullopt;
      i = Next(tokens, i + 1);
    }
    if (!IsName(tokens, i) || !IsKeyword(tokens, Next(tokens, i + 1), "ON")) return std::nullopt;
    const std::size_t table = Next(tokens, Next(tokens, i + 1) + 1);
    const std::size_t open = IsName(tokens, table) ? Next(tokens, table + 1) : kNone;
    const std::size_t column = IsPunct(tokens, open, '(') ? Next(tokens, open + 1) : kNone;
    if (!IsName(tokens, column)) return std::nullopt;
    std::size_t close = Next(tokens, column + 1);
    if (IsKeyword(tokens, close, "ASC")) close = Next(tokens, close + 1);
    if (!IsPunct(tokens, close, ')')) return std::nullopt;
    const std::size_t end = Next(tokens, close + 1);
    if (end != kNone && !(IsPunct(tokens, end, ';') && Next(tokens, end + 1) == kNone))
      return std::nullopt;
    return IndexedColumn{NameOf(tokens[table]), NameOf(tokens[column])};
  } catch (...) {
    return std::nullopt;  // out of memory: the statement runs as written
  }
}

std::string Translate(std::string_view sql, db::Dialect dialect) {
  try {
    if (dialect == db::Dialect::Access) return std::string(sql);
    Tokens tokens = Tokenize(sql);
    RewriteDefinitions(tokens, dialect);
    RewriteNames(tokens, dialect);
    if (dialect == db::Dialect::PostgreSQL) MarkOrderBy(tokens);
    return Join(tokens, sql.size() + sql.size() / 8);  // quotes for brackets, a NULLS or two
  } catch (...) {
    // Only memory can run out here; an empty statement then fails visibly
    // at the database instead of an exception leaving the engine.
    return {};
  }
}

std::string TranslateRemembered(const std::string& sql, db::Dialect dialect) {
  constexpr std::size_t kMostKept = 256;
  static std::mutex mutex;
  static std::unordered_map<std::string, std::string> kept[4];  // by dialect
  auto& byText = kept[static_cast<std::size_t>(dialect) % 4];
  {
    const std::lock_guard<std::mutex> lock(mutex);
    if (auto it = byText.find(sql); it != byText.end()) return it->second;
  }
  std::string translated = Translate(sql, dialect);
  if (translated.empty() && !sql.empty()) return translated;  // out of memory: not kept
  try {
    const std::lock_guard<std::mutex> lock(mutex);
    if (byText.size() >= kMostKept) byText.clear();
    byText.emplace(sql, translated);
  } catch (...) {
    // Not kept; the translation stands.
  }
  return translated;
}

}  // namespace accesssql
