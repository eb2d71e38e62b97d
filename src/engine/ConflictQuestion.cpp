// The conflict question: Yes/No boxes with two run-wide "to all" answers.
#include "engine/CSImportEngine.h"
#include "support/ResourceStrings.h"

ConflictAnswer CSImportEngine::AskConflict(const std::string& question,
                                           std::string_view keepAllQuestion,
                                           std::string_view overwriteAllQuestion) {
  if (overwriteAllConflicts_) return {true, false};
  if (keepAllExisting_) return {false, false};

  platform::UserInterface& ui = ctx_.ui;
  const std::string title = ResourceString(res::kTitle);
  auto ask = [&](const std::string& text) {
    return ui.MessageBox(text, title, platform::MsgButtons::YesNo, platform::MsgIcon::Question);
  };
  // Without anyone to answer, the boxes answer No: the existing row stays.
  // Only the first such question is shown, so the reader learns what was
  // asked; the rest are counted for the run's closing line.
  const bool unanswered = !ui.CanAsk();
  if (unanswered && unansweredConflicts_++ > 0) return {false, true};
  if (ask(question) == platform::MsgAnswer::No) {
    if (ask(std::string(keepAllQuestion)) == platform::MsgAnswer::Yes) keepAllExisting_ = true;
    return {false, unanswered};
  }
  if (ask(std::string(overwriteAllQuestion)) == platform::MsgAnswer::Yes)
    overwriteAllConflicts_ = true;
  return {true, unanswered};
}
