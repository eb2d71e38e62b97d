// A database value as the record set reads and writes it: NULL, a whole
// number, a real number or UTF-8 text. Truth values are whole numbers (true is
// -1, false 0, as the host's databases store them); dates are ISO text
// "YYYY-MM-DD" (optionally followed by " hh:mm:ss").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace db {

class Value {
 public:
  Value() = default;
  static Value Null() { return Value(); }
  static Value Integer(std::int64_t v) { return Value(Storage(v)); }
  static Value Real(double v) { return Value(Storage(v)); }
  static Value Text(std::string v) {
    // Built in place: every value of every imported record passes here.
    Value value;
    value.v_.emplace<std::string>(std::move(v));
    return value;
  }
  static Value Bool(bool v) { return Integer(v ? -1 : 0); }

  bool IsNull() const { return std::holds_alternative<std::monostate>(v_); }
  bool IsInteger() const { return std::holds_alternative<std::int64_t>(v_); }
  bool IsReal() const { return std::holds_alternative<double>(v_); }
  bool IsText() const { return std::holds_alternative<std::string>(v_); }

  std::int64_t integer() const { return std::get<std::int64_t>(v_); }
  double real() const { return std::get<double>(v_); }
  const std::string& text() const { return std::get<std::string>(v_); }
  // A text value's characters, for building it in place (no copy of a
  // finished string, which for short texts would copy the characters).
  std::string& text() { return std::get<std::string>(v_); }

  // The value as text: "" for NULL, decimal for numbers (reals in the
  // shortest form that reads back the same).
  std::string ToText() const;
  // The value as a number when it is one or is text that reads as one.
  std::optional<double> ToNumber() const;

  bool operator==(const Value& other) const = default;

 private:
  using Storage = std::variant<std::monostate, std::int64_t, double, std::string>;
  explicit Value(Storage v) : v_(std::move(v)) {}
  Storage v_;
};

}  // namespace db
