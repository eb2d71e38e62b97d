#include "platform/db/Value.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace db {

std::string Value::ToText() const {
  if (IsNull()) return "";
  if (IsInteger()) return std::to_string(integer());
  if (IsText()) return text();
  char buf[32];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, real());
  return ec == std::errc() ? std::string(buf, end) : std::to_string(real());
}

std::optional<double> Value::ToNumber() const {
  if (IsInteger()) return static_cast<double>(integer());
  if (IsReal()) return real();
  if (!IsText()) return std::nullopt;
  const std::string& t = text();
  std::size_t b = t.find_first_not_of(" \t");
  if (b == std::string::npos) return std::nullopt;
  std::size_t e = t.find_last_not_of(" \t") + 1;
  double v = 0;
  auto [end, ec] = std::from_chars(t.data() + b, t.data() + e, v);
  if (ec != std::errc() || end != t.data() + e || !std::isfinite(v)) return std::nullopt;
  return v;
}

}  // namespace db
