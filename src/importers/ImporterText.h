// Small text helpers every importer uses to build its SQL texts and values.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/db/Value.h"

namespace importers {

// Replaces the placeholders of `pattern` left to right: the i-th one by
// values[i], every one past the last value by the last value. Inserted text
// is not searched again.
std::string ReplacePlaceholders(std::string_view pattern, std::string_view placeholder,
                                std::initializer_list<std::string_view> values);

// The text with every "'" doubled, for a quoted literal of a filter or statement.
std::string DoubleApostrophes(std::string_view text);

// Record text (Windows-1252 bytes) as a database text value (UTF-8).
db::Value TextValue(std::string_view bytes);
// A packed date field as its DateText: blank text (stored as NULL) when no date.
db::Value DateValue(std::string_view field);

}  // namespace importers
