// File-system helpers over the Env seam. Paths are in program form ('\').
// The last argument of most routines is the silent flag: when true, an
// unexpected failure shows no error box and the routine just returns its
// failure value (false or the empty text). Ordinary negative answers (a
// missing file, a failed copy) are results, never boxes.
#pragma once

#include <string>

#include "platform/Context.h"

namespace modFileIO {

// Folder creation refuses paths this long or longer.
inline constexpr std::size_t kMaxFolderPath = 249;

// The file name without its last extension ("C:\Data\lender.dta" -> "lender");
// a name without '.' gives the path back unchanged, folder included.
std::string GetFileTitle(const platform::Context& ctx, const std::string& path,
                         bool silent = false);
// The absolute, normalised form of `path`: '/' turned into '\', repeated
// separators collapsed, '.' and '..' folded ('..' above the root stays at the
// root), a trailing '\' kept. A path starting with a drive ("C:") or with '\'
// is already absolute; any other is taken from the current folder. "" for the
// empty path or when the current folder is unknown.
std::string ResolvePath(const platform::Context& ctx, const std::string& path, bool silent = false);
// Always false: there is no 9x family here.
bool IsWindows9x();
// True when `path` is a folder that could be made the current one.
bool FolderExists(const platform::Context& ctx, const std::string& path, bool silent = false);
// The text after the last '\'; the whole path when it has none. Pure text
// work with no user interface at hand, so it never shows a box.
std::string GetFilenameFromPath(const std::string& path, bool silent = false);
// The text up to and including the last '\' (excluding it with
// dropTrailingBackslash); "" when the path has no '\'.
std::string GetFolderFromFullpath(const std::string& path, bool dropTrailingBackslash);
// Deletes the file named, or every file matching a '*'/'?' pattern in the
// last component (case ignored), permanently. Folders are never deleted,
// whatever `filesOnly` says, and nothing is recursive. True when at least one
// file matched and every match was deleted.
bool Remove(const platform::Context& ctx, const std::string& pattern, bool filesOnly,
            bool silent = false);
// Copies `source` to `destination` (each resolved first); true on success.
bool CopyFile(const platform::Context& ctx, const std::string& source,
              const std::string& destination, bool failIfExists, bool silent = false);
// The same, with the system's reason when the copy fails.
bool CopyFile(const platform::Context& ctx, const std::string& source,
              const std::string& destination, bool failIfExists, bool silent, std::string& reason);
// Creates the folder and every missing parent; true when it exists afterwards
// and also when the name is already taken, by a folder or by a file (so true
// says "the name exists", not "it is a folder"). A path of kMaxFolderPath
// characters or more gives false without touching the disk.
bool CreateDirectoryStructure(const platform::Context& ctx, const std::string& path,
                              bool silent = false);
// The component-by-component variant over the path as given (not resolved
// first); an existing file in its way gives false. Neither variant changes
// the current directory.
bool CreateDirectoryStructure_9x(const platform::Context& ctx, const std::string& path,
                                 bool silent = false);
// True when `path` is a file that can be opened for reading; with
// createIfMissing a missing file is created empty first.
bool Exists(const platform::Context& ctx, const std::string& path, bool createIfMissing = false,
            bool silent = false);

}  // namespace modFileIO
