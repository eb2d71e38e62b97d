#include "support/modEncryption.h"

#include <cstddef>
#include <string_view>

#include "support/Windows1252.h"

namespace modEncryption {

namespace {

constexpr std::size_t kMaxLength = 255;

// Characters of bytes 0x80-0x9F that are not the C1 control of the same value.
struct HighCharacter {
  char32_t codePoint;
  unsigned char byte;
};
constexpr HighCharacter kHighCharacters[] = {
    {0x20AC, 0x80}, {0x201A, 0x82}, {0x0192, 0x83}, {0x201E, 0x84}, {0x2026, 0x85}, {0x2020, 0x86},
    {0x2021, 0x87}, {0x02C6, 0x88}, {0x2030, 0x89}, {0x0160, 0x8A}, {0x2039, 0x8B}, {0x0152, 0x8C},
    {0x017D, 0x8E}, {0x2018, 0x91}, {0x2019, 0x92}, {0x201C, 0x93}, {0x201D, 0x94}, {0x2022, 0x95},
    {0x2013, 0x96}, {0x2014, 0x97}, {0x02DC, 0x98}, {0x2122, 0x99}, {0x0161, 0x9A}, {0x203A, 0x9B},
    {0x0153, 0x9C}, {0x017E, 0x9E}, {0x0178, 0x9F},
};

// The Windows-1252 byte of a character; '?' for one the code page lacks, as
// the host's conversion answers. The five undefined bytes come back from the
// C1 controls they were read as.
unsigned char ToWindows1252(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<unsigned char>(cp);
  if (cp == 0x81 || cp == 0x8D || cp == 0x8F || cp == 0x90 || cp == 0x9D)
    return static_cast<unsigned char>(cp);
  for (const HighCharacter& h : kHighCharacters)
    if (h.codePoint == cp) return h.byte;
  return '?';
}

// UTF-8 to Windows-1252 bytes, one byte per character. A byte that does not
// start a well-formed sequence stands for itself.
std::string Utf8ToWindows1252(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t rest = text.size() - i;
    std::size_t length = 1;
    for (std::size_t n = 1; n <= 4 && n <= rest; ++n) {
      if (support::IsValidUtf8(text.substr(i, n))) {
        length = n;
        break;
      }
    }
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    char32_t cp = byte(0);
    if (length == 2) {
      cp = ((cp & 0x1F) << 6) | (byte(1) & 0x3F);
    } else if (length == 3) {
      cp = ((cp & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) | (byte(2) & 0x3F);
    } else if (length == 4) {
      cp = ((cp & 0x07) << 18) | ((byte(1) & 0x3F) << 12) | ((byte(2) & 0x3F) << 6) |
           (byte(3) & 0x3F);
    }
    out.push_back(static_cast<char>(length == 1 ? byte(0) : ToWindows1252(cp)));
    i += length;
  }
  return out;
}

}  // namespace

std::string Encrypt(const std::string& text) {
  std::string bytes = Utf8ToWindows1252(text);
  if (bytes.empty() || bytes.size() > kMaxLength) return "";
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    // Unsigned arithmetic wraps modulo 256, which is the mod wanted for n < i.
    auto n = static_cast<unsigned char>(bytes[i]);
    auto shifted = static_cast<unsigned char>(n - static_cast<unsigned char>(i));
    bytes[i] = static_cast<char>(shifted ^ 0xFF);
  }
  return support::Windows1252ToUtf8(bytes);
}

}  // namespace modEncryption
