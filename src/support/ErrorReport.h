// The program's one way of reporting an unexpected failure inside a module
// routine: a message box with an OK button and the information icon, titled
//   Error in "Routine::module"
// and reading "The following error(s) occurred: " CR LF CR LF + description.
// Routines catch at their boundary with Trap(); nothing escapes to the caller.
#pragma once

#include <exception>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "platform/UserInterface.h"

namespace support {

// `routine` is "Name::module"; `suffix` follows the closing quote (for example
// " at (3)").
void ShowErrorBox(platform::UserInterface& ui, std::string_view routine,
                  std::string_view description, std::string_view suffix = "") noexcept;

// A routine with no stages of its own.
enum class NoStage : int { Start = -1 };

// The program's one error trap; every routine that must not let a failure
// escape runs its body through it. `body` is handed the routine's stage (an
// enum whose values are the numbers a report shows, starting at Stage::Start)
// and moves it on as it goes; a body without stages takes no argument. An
// exception escaping `body` is handed to `report(description, stageNumber)`
// and `failure` is returned instead. A report that throws is ignored.
template <class Stage, class R, class Body, class Report>
R Guard(R failure, Body&& body, Report&& report) noexcept {
  Stage stage = Stage::Start;
  auto tell = [&](const char* description) noexcept {
    try {
      report(description, static_cast<int>(stage));
    } catch (...) {
    }
  };
  try {
    if constexpr (std::is_invocable_v<Body&, Stage&>)
      return body(stage);
    else
      return body();
  } catch (const std::exception& e) {
    tell(e.what());
  } catch (...) {
    tell("Unknown error");
  }
  return failure;
}

// The module and window routines' trap: a failure is shown as the error box
// of `routine` (unless `silent`) and `failure` is returned instead.
template <class R, class F>
R Trap(platform::UserInterface& ui, std::string_view routine, bool silent, R failure,
       F&& body) noexcept {
  return Guard<NoStage>(std::move(failure), std::forward<F>(body), [&](const char* what, int) {
    if (!silent) ShowErrorBox(ui, routine, what);
  });
}

// The same for a routine with stages: the box's title ends in " at (" + the
// stage reached + ")".
template <class Stage, class R, class F>
R TrapStages(platform::UserInterface& ui, std::string_view routine, R failure, F&& body) noexcept {
  return Guard<Stage>(std::move(failure), std::forward<F>(body), [&](const char* what, int step) {
    ShowErrorBox(ui, routine, what, " at (" + std::to_string(step) + ")");
  });
}

// A log sentence that names the system's reason when there is one:
// WithReason("The file 'x' could not be opened", "Permission denied") is
// "The file 'x' could not be opened: Permission denied."
inline std::string WithReason(const std::string& sentence, const std::string& reason) {
  return reason.empty() ? sentence + "." : sentence + ": " + reason + ".";
}

}  // namespace support
