#include "support/Conversions.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace support {

std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool ContainsIgnoringCase(std::string_view haystack, std::string_view needle) {
  // Compared in place: it runs on every statement the engine executes.
  auto lower = [](char c) { return std::tolower(static_cast<unsigned char>(c)); };
  return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                     [&](char a, char b) { return lower(a) == lower(b); }) != haystack.end();
}

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

std::string TrimSpaces(std::string_view text) {
  std::size_t b = text.find_first_not_of(' ');
  if (b == std::string_view::npos) return "";
  std::size_t e = text.find_last_not_of(' ');
  return std::string(text.substr(b, e - b + 1));
}

std::optional<double> ParseNumber(std::string_view text) {
  std::size_t b = 0, e = text.size();
  while (b < e && (text[b] == ' ' || text[b] == '\t')) ++b;
  while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t')) --e;
  std::string s(text.substr(b, e - b));
  if (s.empty()) return std::nullopt;
  if (s.size() > 2 && s[0] == '&') {
    int base = (s[1] == 'h' || s[1] == 'H') ? 16 : (s[1] == 'o' || s[1] == 'O') ? 8 : 0;
    if (base == 0) return std::nullopt;
    std::uint64_t v = 0;
    for (std::size_t i = 2; i < s.size(); ++i) {
      int d = std::isdigit(static_cast<unsigned char>(s[i])) ? s[i] - '0'
              : std::isxdigit(static_cast<unsigned char>(s[i]))
                  ? std::tolower(static_cast<unsigned char>(s[i])) - 'a' + 10
                  : 99;
      if (d >= base || v > 0xFFFFFFFFull) return std::nullopt;
      v = v * static_cast<unsigned>(base) + static_cast<unsigned>(d);
    }
    if (v > 0xFFFFFFFFull) return std::nullopt;
    // &H values are 16- or 32-bit two's complement: &HFFFF is -1.
    if (v <= 0xFFFF) return static_cast<double>(static_cast<std::int16_t>(v));
    return static_cast<double>(static_cast<std::int32_t>(v));
  }
  // Sign, digits, optional fraction, optional exponent; nothing else.
  std::size_t i = 0;
  if (s[i] == '+' || s[i] == '-') ++i;
  std::size_t digits = 0;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t expDigits = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++expDigits;
    if (expDigits == 0) return std::nullopt;
  }
  if (i != s.size()) return std::nullopt;
  errno = 0;
  double v = std::strtod(s.c_str(), nullptr);
  if (errno == ERANGE && std::isinf(v)) return std::nullopt;
  return v;
}

std::optional<std::int32_t> RoundToLong(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  double r = std::nearbyint(value);  // default rounding mode: halves to even
  if (r < -2147483648.0 || r > 2147483647.0) return std::nullopt;
  return static_cast<std::int32_t>(r);
}

std::optional<bool> ParseTruth(std::string_view text) {
  std::string word = LowerAscii(TrimSpaces(text));
  if (word == "true") return true;
  if (word == "false") return false;
  if (auto n = ParseNumber(text)) return *n != 0.0;
  return std::nullopt;
}

namespace {

std::string Pad2(int v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", v);
  return buf;
}

}  // namespace

std::string FormatDateTime(std::string_view pattern, const platform::LocalTime& t) {
  std::string out;
  bool afterHour = false;
  std::size_t i = 0;
  auto run = [&](char c) {
    std::size_t n = 0;
    while (i + n < pattern.size() && std::tolower(static_cast<unsigned char>(pattern[i + n])) == c)
      ++n;
    return n;
  };
  while (i < pattern.size()) {
    char c = static_cast<char>(std::tolower(static_cast<unsigned char>(pattern[i])));
    if (pattern[i] == '\\') {
      if (i + 1 < pattern.size()) out += pattern[i + 1];
      i += 2;
      continue;
    }
    if (pattern[i] == '"') {
      std::size_t close = pattern.find('"', i + 1);
      if (close == std::string_view::npos) close = pattern.size();
      out.append(pattern.substr(i + 1, close - i - 1));
      i = close + 1;
      continue;
    }
    std::size_t n =
        (c == 'y' || c == 'm' || c == 'd' || c == 'h' || c == 'n' || c == 's') ? run(c) : 0;
    if (n == 0) {
      out += pattern[i++];
      continue;
    }
    switch (c) {
      case 'y':
        out += n >= 4 ? std::to_string(t.year) : Pad2(t.year % 100);
        n = n >= 4 ? 4 : 2;
        break;
      case 'm':
        n = std::min<std::size_t>(n, 2);
        if (afterHour)
          out += n == 2 ? Pad2(t.minute) : std::to_string(t.minute);
        else
          out += n == 2 ? Pad2(t.month) : std::to_string(t.month);
        break;
      case 'd':
        n = std::min<std::size_t>(n, 2);
        out += n == 2 ? Pad2(t.day) : std::to_string(t.day);
        break;
      case 'h':
        n = std::min<std::size_t>(n, 2);
        out += n == 2 ? Pad2(t.hour) : std::to_string(t.hour);
        break;
      case 'n':
        n = std::min<std::size_t>(n, 2);
        out += n == 2 ? Pad2(t.minute) : std::to_string(t.minute);
        break;
      case 's':
        n = std::min<std::size_t>(n, 2);
        out += n == 2 ? Pad2(t.second) : std::to_string(t.second);
        break;
    }
    afterHour = c == 'h';
    i += n;
  }
  return out;
}

std::string GroupedDigits(std::int64_t n) {
  // Through the unsigned magnitude, so the most negative value is safe too.
  const std::uint64_t magnitude =
      n < 0 ? 0 - static_cast<std::uint64_t>(n) : static_cast<std::uint64_t>(n);
  const std::string digits = std::to_string(magnitude);
  std::string out = n < 0 ? "-" : "";
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

void AppendPadded(std::string& out, unsigned value, int width) {
  char digits[10];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  for (int i = n; i < width; ++i) out += '0';
  while (n > 0) out += digits[--n];
}

namespace {

bool IsControl(unsigned char c) {
  return c < 0x20 || c == 0x7F;
}

}  // namespace

std::string EscapeControls(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  // Plain runs are copied whole; most lines have no control at all.
  std::size_t run = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (!IsControl(c)) continue;
    out.append(text, run, i - run);
    run = i + 1;
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      const char escape[] = {'\\', 'x', kHex[c >> 4], kHex[c & 0xF]};
      out.append(escape, sizeof escape);
    }
  }
  out.append(text, run, text.size() - run);
  return out;
}

bool HoldsQuoteOrControl(std::string_view text) {
  for (char ch : text)
    if (ch == '"' || IsControl(static_cast<unsigned char>(ch))) return true;
  return false;
}

}  // namespace support
