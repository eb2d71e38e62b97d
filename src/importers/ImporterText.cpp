#include "importers/ImporterText.h"

#include "importers/FieldDecoding.h"
#include "support/Windows1252.h"

namespace importers {

std::string ReplacePlaceholders(std::string_view pattern, std::string_view placeholder,
                                std::initializer_list<std::string_view> values) {
  std::string out;
  std::size_t from = 0;
  std::size_t index = 0;
  for (std::size_t at = pattern.find(placeholder);
       at != std::string_view::npos && values.size() > 0; at = pattern.find(placeholder, from)) {
    out.append(pattern, from, at - from);
    out += *(values.begin() + std::min(index++, values.size() - 1));
    from = at + placeholder.size();
  }
  out.append(pattern.substr(from));
  return out;
}

std::string DoubleApostrophes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

db::Value TextValue(std::string_view bytes) {
  // Converted straight into the value: every text field of every record passes here.
  db::Value value = db::Value::Text({});
  support::AppendWindows1252AsUtf8(bytes, value.text());
  return value;
}

db::Value DateValue(std::string_view field) {
  db::Value value = db::Value::Text({});
  AppendDateText(field, value.text());
  return value;
}

}  // namespace importers
