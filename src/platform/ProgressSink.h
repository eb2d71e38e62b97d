// Progress the core reports while it works: a range and a value that moves
// forward. The window's and the console's progress bars implement it; the
// engine and the importers see nothing else of them.
#pragma once

#include <cstdint>

namespace platform {

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void SetMin(std::int32_t value) = 0;
  // Also resets the value to 0.
  virtual void SetMax(std::int32_t value) = 0;
  // Moves forward to `value`; 0 resets; anything else below is ignored.
  virtual void SetValue(std::int32_t value) = 0;
  virtual std::int32_t Value() const = 0;
};

}  // namespace platform
