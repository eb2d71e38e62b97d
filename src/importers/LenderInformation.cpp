#include "importers/LenderInformation.h"

#include <array>
#include <optional>
#include <utility>

#include "support/ErrorReport.h"
#include "support/Windows1252.h"
#include "support/modINIFile.h"

namespace importers {

namespace {

// The characters of bytes 0x80-0x9F. The five bytes the code page leaves
// undefined read as the C1 control of the same value, so they map back too.
constexpr std::array<char32_t, 32> kHighCharacters = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

constexpr char kUnmappable = '?';

char ToByte(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  for (std::size_t i = 0; i < kHighCharacters.size(); ++i)
    if (kHighCharacters[i] == cp) return static_cast<char>(0x80 + i);
  return kUnmappable;
}

// Decodes the character at `i` and moves past it; a malformed sequence is
// one unmappable byte.
char32_t Next(std::string_view s, std::size_t& i) {
  const auto lead = static_cast<unsigned char>(s[i++]);
  if (lead < 0x80) return lead;
  int extra = 0;
  char32_t cp = 0;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1;
    cp = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2;
    cp = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3;
    cp = lead & 0x07;
  } else {
    return 0xFFFFFFFF;
  }
  for (int k = 0; k < extra; ++k) {
    if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 0xFFFFFFFF;
    cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
  }
  // An overlong form would smuggle in a byte the text does not show.
  constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
  return cp < kSmallest[extra] ? 0xFFFFFFFF : cp;
}

}  // namespace

std::string Utf8ToWindows1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) out += ToByte(Next(utf8, i));
  return out;
}

LenderContact SplitLenderContactUtf8(std::string_view utf8Value) {
  LenderContact c = SplitLenderContact(Utf8ToWindows1252(utf8Value));
  return {support::Windows1252ToUtf8(c.email), support::Windows1252ToUtf8(c.note)};
}

LenderConfiguration::LenderConfiguration(const platform::Context& ctx, std::string file,
                                         std::string section)
    : ctx_(ctx), index_(ctx.env, std::move(file), std::move(section)) {}

std::string LenderConfiguration::Value(std::string_view key) {
  return support::Trap(ctx_.ui, "GetINIString::modINIFile", false, std::string(), [&] {
    const std::optional<std::string> value = index_.Find(key);
    return value ? std::string(support::Utf8Prefix(*value, modINIFile::kMaxValue)) : std::string();
  });
}

}  // namespace importers
