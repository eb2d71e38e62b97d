#include "support/modResourceTools.h"

#include "support/ErrorReport.h"
#include "support/ResourceStrings.h"

namespace modResourceTools {

std::string disLoadResString(platform::UserInterface& ui, int id) {
  return support::Trap(ui, "disLoadResString::modResourceTools", false, std::string(), [&] {
    auto text = FindResourceString(id);
    if (!text) return std::string();
    std::string out;
    out.reserve(text->size());
    for (char c : *text) {
      if (c == '|')
        out += "\r\n";
      else
        out += c;
    }
    return out;
  });
}

}  // namespace modResourceTools
