#include "support/ErrorReport.h"

namespace support {

void ShowErrorBox(platform::UserInterface& ui, std::string_view routine,
                  std::string_view description, std::string_view suffix) noexcept {
  try {
    std::string title = "Error in \"";
    title.append(routine).append("\"").append(suffix);
    std::string text = "The following error(s) occurred: \r\n\r\n";
    text.append(description);
    ui.MessageBox(text, title, platform::MsgButtons::OK, platform::MsgIcon::Information);
  } catch (...) {
    // Reporting a failure must never fail in turn.
  }
}

}  // namespace support
