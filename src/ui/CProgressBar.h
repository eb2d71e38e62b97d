// The progress bar the engine moves: a range and a position. How it is drawn
// (the gradient columns, the text) belongs to the window and is added there;
// the engine only sets the range and steps the value.
#pragma once

#include <cstdint>

namespace ui {

class CProgressBar {
 public:
  virtual ~CProgressBar() = default;

  std::int32_t Min() const { return min_; }
  std::int32_t Max() const { return max_; }
  std::int32_t Value() const { return value_; }
  virtual void SetMin(std::int32_t value) { min_ = value; }
  virtual void SetMax(std::int32_t value) { max_ = value; }
  virtual void SetValue(std::int32_t value) { value_ = value; }

 private:
  std::int32_t min_ = 0;
  std::int32_t max_ = 100;
  std::int32_t value_ = 0;
};

}  // namespace ui
