#include "support/modShow.h"

#include "support/modFileIO.h"

#include "support/ErrorReport.h"

namespace modShow {

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

namespace modShow {

std::string ShowOpen(const platform::Context& ctx, std::string& initialFolder,
                     const std::string& filter, int& filterIndex, const std::string& title,
                     std::string& fileTitle, std::int32_t flags) {
  return support::Trap(ctx.ui, "ShowOpen::modShow", false, std::string(), [&] {
    platform::OpenDialogOptions options;
    options.title = title.empty() ? std::string("Open File") : title;
    if (filter.empty()) {
      options.filter = std::string("All files (*.*)\0*.*\0", 20);
    } else {
      options.filter = filter;
      for (char& ch : options.filter)
        if (ch == '|') ch = '\0';
      if (options.filter.back() != '\0') options.filter += '\0';
    }
    options.initialFolder = initialFolder.empty() ? GetSystemDir(ctx) : initialFolder;
    options.filterIndex = filterIndex != 0 ? filterIndex : 1;
    options.multiSelect = (flags & kAllowMultiSelect) != 0;

    platform::OpenDialogResult chosen = ctx.ui.ShowOpenDialog(options);
    filterIndex = chosen.filterIndex;
    const std::string& buffer = chosen.buffer;
    std::string text = buffer.substr(0, buffer.find('\0'));
    if (text.empty()) {
      fileTitle.clear();
      return std::string();
    }
    if (modFileIO::FileExists(ctx, text)) {
      fileTitle = MakePath(text, true);
      initialFolder = MakePath(text, false);
      return text;
    }
    // A multiple selection: the buffer starts with the folder.
    initialFolder = text + "\\";
    fileTitle = "Multi-select used. Filename NOT available";
    std::size_t end = buffer.find(std::string("\0\0", 2), text.size());
    return end == std::string::npos ? buffer : buffer.substr(0, end + 1);
  });
}

}  // namespace modShow
