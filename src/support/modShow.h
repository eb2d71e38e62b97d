// The file-open dialog and its helpers.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Context.h"

namespace modShow {

// The platform's system folder followed by '\'.
std::string GetSystemDir(const platform::Context& ctx);
// With filePart: the text after the last '\'; otherwise the text up to and
// including the last '\' ("" when there is none).
std::string MakePath(const std::string& path, bool filePart);

// Dialog flag: several files may be chosen.
inline constexpr std::int32_t kAllowMultiSelect = 512;

// Shows the file-open dialog of the user interface (owned by its main window)
// and returns the chosen path, or "" when cancelled. Empty `title`, `filter`
// or `initialFolder` and a zero `filterIndex` take the defaults ("Open File",
// all files, the system folder, 1); `filter` separates its parts with '|'.
// On a choice, `initialFolder` becomes the chosen file's folder and
// `fileTitle` its name. A multiple selection returns the folder and the names,
// each ended by a NUL, with `fileTitle` "Multi-select used. Filename NOT
// available". `filterIndex` receives the filter the user ended with.
std::string ShowOpen(const platform::Context& ctx, std::string& initialFolder,
                     const std::string& filter, int& filterIndex, const std::string& title,
                     std::string& fileTitle, std::int32_t flags);

}  // namespace modShow
