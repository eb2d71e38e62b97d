// Looking up string-table texts for display.
#pragma once

#include <string>

#include "platform/UserInterface.h"

namespace modResourceTools {

// The text of `id` with every '|' replaced by CR LF; the empty text, silently,
// when the table has no such entry. Any other failure shows the error box of
// "disLoadResString::modResourceTools" and gives the empty text.
std::string disLoadResString(platform::UserInterface& ui, int id);

}  // namespace modResourceTools
