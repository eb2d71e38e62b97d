#include "support/modShow.h"

#include "support/ErrorReport.h"

namespace modShow {

bool Exists(const platform::Context& ctx, const std::string& path) {
  return support::Trap(ctx.ui, "Exists::modShow", false, false,
                       [&] { return ctx.env.CanOpenForReading(path); });
}

std::string GetSystemDir(const platform::Context& ctx) {
  return support::Trap(ctx.ui, "GetSystemDir::modShow", false, std::string(), [&] {
    std::string folder = ctx.env.SystemFolder();
    // The folder ends at its first zero character, as a system buffer would.
    folder.resize(folder.find('\0') == std::string::npos ? folder.size() : folder.find('\0'));
    return folder + "\\";
  });
}

std::string MakePath(const std::string& path, bool filePart) {
  // No user interface is at hand here; only running out of memory can fail,
  // which gives the empty text.
  try {
    std::size_t slash = path.rfind('\\');
    if (filePart) return slash == std::string::npos ? path : path.substr(slash + 1);
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  } catch (...) {
    return std::string();
  }
}

}  // namespace modShow
