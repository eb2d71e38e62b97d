// The program's one way of reporting an unexpected failure inside a module
// routine: a message box with an OK button and the information icon, titled
//   Error in "Routine::module"
// and reading "The following error(s) occurred: " CR LF CR LF + description.
// Routines catch at their boundary with Trap(); nothing escapes to the caller.
#pragma once

#include <exception>
#include <string>
#include <string_view>

#include "platform/UserInterface.h"

namespace support {

// `routine` is "Name::module"; `suffix` follows the closing quote (for example
// " at (3)").
void ShowErrorBox(platform::UserInterface& ui, std::string_view routine,
                  std::string_view description, std::string_view suffix = "") noexcept;

// Runs `body`. An exception escaping it is shown as the error box of `routine`
// (unless `silent`) and `failure` is returned instead.
template <class R, class F>
R Trap(platform::UserInterface& ui, std::string_view routine, bool silent, R failure,
       F&& body) noexcept {
  try {
    return body();
  } catch (const std::exception& e) {
    if (!silent) ShowErrorBox(ui, routine, e.what());
  } catch (...) {
    if (!silent) ShowErrorBox(ui, routine, "Unknown error");
  }
  return failure;
}

// A log sentence that names the system's reason when there is one:
// WithReason("The file 'x' could not be opened", "Permission denied") is
// "The file 'x' could not be opened: Permission denied."
inline std::string WithReason(const std::string& sentence, const std::string& reason) {
  return reason.empty() ? sentence + "." : sentence + ": " + reason + ".";
}

}  // namespace support
