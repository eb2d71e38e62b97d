// File-system helpers over the Env seam. Paths are in program form ('\').
// The last argument of most routines says what an unexpected failure does:
// show an error box (Errors::Show) or just give the failure value (false or
// the empty text). Ordinary negative answers (a missing file, a failed copy)
// are results, never boxes.
#pragma once

#include <string>

#include "platform/Context.h"

namespace modFileIO {

// What an unexpected failure does: an error box, or nothing but the result.
enum class Errors { Show, Silent };
// What CopyFile does with a destination that is already there.
enum class Existing { Keep, Replace };
// What FileExists does with a missing file.
enum class Missing { Report, Create };

// Folder creation refuses paths this long or longer.
inline constexpr std::size_t kMaxFolderPath = 249;

// The file name without its last extension ("C:\Data\lender.dta" -> "lender");
// a name without '.' gives the path back unchanged, folder included.
std::string GetFileTitle(const platform::Context& ctx, const std::string& path,
                         Errors errors = Errors::Show);
// The absolute, normalised form of `path`: '/' turned into '\', repeated
// separators collapsed, '.' and '..' folded ('..' above the root stays at the
// root), a trailing '\' kept. A path starting with a drive ("C:") or with '\'
// is already absolute; any other is taken from the current folder. "" for the
// empty path or when the current folder is unknown.
std::string ResolvePath(const platform::Context& ctx, const std::string& path,
                        Errors errors = Errors::Show);
// True when `path` is a folder that could be made the current one.
bool FolderExists(const platform::Context& ctx, const std::string& path,
                  Errors errors = Errors::Show);
// The text after the last '\'; the whole path when it has none. Pure text
// work with no user interface at hand, so it never shows a box.
std::string GetFilenameFromPath(const std::string& path);
// The text up to and including the last '\' (excluding it with
// dropTrailingBackslash); "" when the path has no '\'.
std::string GetFolderFromFullpath(const std::string& path, bool dropTrailingBackslash);
// Deletes the file named, or every file matching a '*'/'?' pattern in the
// last component (case ignored), permanently. Folders are never deleted, and
// nothing is recursive. True when at least one file matched and every match
// was deleted.
bool Remove(const platform::Context& ctx, const std::string& pattern, Errors errors = Errors::Show);
// Copies `source` to `destination` (each resolved first); true on success.
bool CopyFile(const platform::Context& ctx, const std::string& source,
              const std::string& destination, Existing existing, Errors errors = Errors::Show);
// The same, with the system's reason when the copy fails.
bool CopyFile(const platform::Context& ctx, const std::string& source,
              const std::string& destination, Existing existing, Errors errors,
              std::string& reason);
// Creates the folder and every missing parent; true when it exists afterwards
// and also when the name is already taken, by a folder or by a file (so true
// says "the name exists", not "it is a folder"). A path of kMaxFolderPath
// characters or more gives false without touching the disk. The current
// directory is never changed.
bool CreateDirectoryStructure(const platform::Context& ctx, const std::string& path,
                              Errors errors = Errors::Show);
// True when `path` is a file that can be opened for reading; with
// Missing::Create a missing file is created empty first. Its failures carry
// the host's old name, "Exists::modShow".
bool FileExists(const platform::Context& ctx, const std::string& path,
                Missing missing = Missing::Report, Errors errors = Errors::Show);
// The same, with the system's reason when it is not.
bool FileExists(const platform::Context& ctx, const std::string& path, std::string& reason,
                Missing missing = Missing::Report, Errors errors = Errors::Show);

}  // namespace modFileIO
