#include "support/Windows1252.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace support {

namespace {

// The UTF-8 form of one byte: up to three bytes (the euro sign is the
// longest), then their count; four bytes in all, copied whole (see
// AppendWindows1252AsUtf8).
struct Utf8Form {
  char bytes[3] = {};
  std::uint8_t length = 0;
};
static_assert(sizeof(Utf8Form) == 4);

// Characters of bytes 0x80-0x9F; everything else is the Latin-1 code point of
// the same value. The five undefined bytes stay the C1 control of that value.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

constexpr Utf8Form Encode(char32_t cp) {
  Utf8Form f;
  if (cp < 0x80) {
    f.length = 1;
    f.bytes[0] = static_cast<char>(cp);
  } else if (cp < 0x800) {
    f.length = 2;
    f.bytes[0] = static_cast<char>(0xC0 | (cp >> 6));
    f.bytes[1] = static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    f.length = 3;
    f.bytes[0] = static_cast<char>(0xE0 | (cp >> 12));
    f.bytes[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    f.bytes[2] = static_cast<char>(0x80 | (cp & 0x3F));
  }
  return f;
}

constexpr std::array<Utf8Form, 256> BuildTable() {
  std::array<Utf8Form, 256> table{};
  for (char32_t b = 0; b < 256; ++b)
    table[b] = Encode(b >= 0x80 && b <= 0x9F ? kHighControls[b - 0x80] : b);
  return table;
}

constexpr std::array<Utf8Form, 256> kTable = BuildTable();

bool IsContinuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

// Decodes one character at `i` and advances past it. A byte that does not
// start a well-formed sequence is answered as a value above U+10FFFF that
// keeps the byte, so comparisons of malformed text stay exact.
char32_t NextCodePoint(std::string_view s, std::size_t& i) {
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char c = byte(i);
  std::size_t need = c < 0x80             ? 0
                     : (c & 0xE0) == 0xC0 ? 1
                     : (c & 0xF0) == 0xE0 ? 2
                     : (c & 0xF8) == 0xF0 ? 3
                                          : 4;
  if (need == 0) {
    ++i;
    return c;
  }
  if (need <= 3) {
    char32_t cp = c & (0x3F >> need);
    std::size_t k = 1;
    for (; k <= need && i + k < s.size() && IsContinuation(byte(i + k)); ++k)
      cp = (cp << 6) | (byte(i + k) & 0x3F);
    if (k > need) {
      i += need + 1;
      return cp;
    }
  }
  ++i;
  return 0x110000 + c;
}

// Lower case for the letters of the code page (ASCII, Latin-1 and the few
// letters of 0x80-0x9F); every other character is its own fold.
char32_t Fold(char32_t cp) {
  if (cp >= 'A' && cp <= 'Z') return cp + 0x20;
  if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) return cp + 0x20;
  switch (cp) {
    case 0x0160:
      return 0x0161;
    case 0x0152:
      return 0x0153;
    case 0x017D:
      return 0x017E;
    case 0x0178:
      return 0x00FF;
    default:
      return cp;
  }
}

}  // namespace

std::string Windows1252ToUtf8(std::string_view bytes) {
  std::string out;
  AppendWindows1252AsUtf8(bytes, out);
  return out;
}

void AppendWindows1252AsUtf8(std::string_view bytes, std::string& out) {
  // Most fields are plain ASCII: one branch-free scan, eight bytes at a time,
  // settles that. Otherwise one pass sizes the result exactly and one fills
  // it, so the string grows at most once per call, whatever the field.
  std::uint64_t high = 0;
  std::size_t i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    std::uint64_t eight;
    std::memcpy(&eight, bytes.data() + i, 8);
    high |= eight;
  }
  for (; i < bytes.size(); ++i) high |= static_cast<unsigned char>(bytes[i]);
  if ((high & 0x8080808080808080ULL) == 0) {
    out.append(bytes);
    return;
  }
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* end = in + bytes.size();
  std::size_t length = 0;
  const auto* b = in;
  for (; end - b >= 4; b += 4)
    length += kTable[b[0]].length + kTable[b[1]].length + kTable[b[2]].length + kTable[b[3]].length;
  for (; b < end; ++b) length += kTable[*b].length;
  // Each byte's whole table entry is copied and the output moves on by its
  // length: no branch per byte. The last copy reaches 3 bytes past the text.
  const std::size_t at = out.size();
  out.resize(at + length + 3);
  char* p = out.data() + at;
  auto put = [&p](unsigned char b) {
    std::memcpy(p, &kTable[b], sizeof(Utf8Form));
    p += kTable[b].length;
  };
  for (; end - in >= 4; in += 4) {
    put(in[0]);
    put(in[1]);
    put(in[2]);
    put(in[3]);
  }
  for (; in < end; ++in) put(*in);
  out.resize(at + length);
}

bool IsValidUtf8(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* end = p + bytes.size();
  while (p < end) {
    unsigned char c = *p;
    if (c < 0x80) {
      ++p;
      continue;
    }
    std::size_t need;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
      need = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      need = 2;
      if (c == 0xE0) lo = 0xA0;  // overlong
      if (c == 0xED) hi = 0x9F;  // surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
      need = 3;
      if (c == 0xF0) lo = 0x90;  // overlong
      if (c == 0xF4) hi = 0x8F;  // above U+10FFFF
    } else {
      return false;  // continuation byte, C0/C1 overlong lead, or F5-FF
    }
    if (static_cast<std::size_t>(end - p) <= need) return false;
    if (p[1] < lo || p[1] > hi) return false;
    for (std::size_t k = 2; k <= need; ++k)
      if (!IsContinuation(p[k])) return false;
    p += need + 1;
  }
  return true;
}

std::size_t Utf8Length(std::string_view text) {
  std::size_t count = 0;
  for (char c : text)
    if (!IsContinuation(static_cast<unsigned char>(c))) ++count;
  return count;
}

std::string_view Utf8Prefix(std::string_view text, std::size_t count) {
  std::size_t seen = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsContinuation(static_cast<unsigned char>(text[i]))) continue;
    if (seen == count) return text.substr(0, i);
    ++seen;
  }
  return text;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size())
    if (Fold(NextCodePoint(a, i)) != Fold(NextCodePoint(b, j))) return false;
  return i == a.size() && j == b.size();
}

void AppendUtf8(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace support
