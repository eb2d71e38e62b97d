// The file-dialog helpers that do not need the window.
#pragma once

#include <string>

#include "platform/Context.h"

namespace modShow {

// True when `path` is a file that can be opened for reading.
bool Exists(const platform::Context& ctx, const std::string& path);
// The platform's system folder followed by '\'.
std::string GetSystemDir(const platform::Context& ctx);
// With filePart: the text after the last '\'; otherwise the text up to and
// including the last '\' ("" when there is none).
std::string MakePath(const std::string& path, bool filePart);

}  // namespace modShow
