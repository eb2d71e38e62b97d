// Version information: what a file states about itself, for the log and the
// About box, and the program's own version fields.
#pragma once

#include <string>
#include <vector>

#include "platform/Context.h"

namespace modVersion {

// The entry GetFileInformation appends for a file that states no version.
inline constexpr const char* kNoVersionInformation =
    "No version information available for this file.";

// Reads the version texts of the file at `path` (program form): the version
// resource of a Windows executable, or the block one of our native
// executables embeds (support/VersionBlock.h). Each text is cut to 127
// characters.
//
// When the product version, trimmed of spaces, is not empty, appends ONE
// entry of nine lines joined by CR LF ("Company Name:    ...", through
// "Product Version:    ..." and "Installed path:    " + path) and returns
// true. Otherwise (no version data at all, or an empty product version)
// appends kNoVersionInformation and returns false. A file that cannot be
// read or is malformed simply has no version data. An unexpected failure is
// shown as the error box of "GetFileInformation::modVersion"; then nothing is
// appended and the result is false. Earlier entries of `lines` are kept.
bool GetFileInformation(const platform::Context& ctx, const std::string& path,
                        std::vector<std::string>& lines);

// The program's own version, as the main window's version box shows it.
struct ProgramVersion {
  std::string title;
  std::string companyName;
  std::string fileDescription;
  int major = 0;
  int minor = 0;
  int revision = 0;
  std::string legalCopyright;
};

// The same texts and numbers the program's embedded block states.
ProgramVersion OwnVersion();

}  // namespace modVersion
