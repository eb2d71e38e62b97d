#include "support/modFileIO.h"

#include <cctype>
#include <string_view>
#include <vector>

#include "support/ErrorReport.h"
#include "support/LikePattern.h"

namespace modFileIO {

namespace {

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

bool HasDrive(std::string_view path) {
  return path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
}

// The non-empty components of `path` between separators.
std::vector<std::string> Components(std::string_view path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || IsSeparator(path[i])) {
      if (i > start) parts.emplace_back(path.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

// The path split into its root ("C:", "" for a path starting at the root, or
// nothing for a relative path) and its components.
struct SplitPath {
  bool absolute = false;
  std::string drive;
  std::vector<std::string> parts;
};

SplitPath Split(std::string_view path) {
  SplitPath split;
  if (HasDrive(path)) {
    split.absolute = true;
    split.drive = std::string(path.substr(0, 2));
    path.remove_prefix(2);
  } else {
    split.absolute = !path.empty() && IsSeparator(path[0]);
  }
  split.parts = Components(path);
  return split;
}

// `prefix` extended by one component, in the form the split path started in.
std::string Append(const SplitPath& split, const std::string& prefix, const std::string& part) {
  if (prefix.empty() && !split.absolute) return part;
  return prefix + "\\" + part;
}

bool IsWildcard(std::string_view name) {
  return name.find_first_of("*?") != std::string_view::npos;
}

// ResolvePath, falling back to the path as given when it cannot be resolved.
std::string ResolvedOrAsGiven(const platform::Context& ctx, const std::string& path,
                              Errors errors) {
  std::string resolved = ResolvePath(ctx, path, errors);
  return resolved.empty() ? path : resolved;
}

}  // namespace

std::string GetFileTitle(const platform::Context& ctx, const std::string& path, Errors errors) {
  return support::Trap(
      ctx.ui, "GetFileTitle::modFileIO", errors == Errors::Silent, std::string(), [&] {
        std::string name =
            path.find_first_of("\\:") != std::string::npos ? GetFilenameFromPath(path) : path;
        std::size_t dot = name.rfind('.');
        if (dot == std::string::npos) return path;
        return name.substr(0, dot);
      });
}

std::string ResolvePath(const platform::Context& ctx, const std::string& path, Errors errors) {
  return support::Trap(ctx.ui, "ResolvePath::modFileIO", errors == Errors::Silent, std::string(),
                       [&] {
                         if (path.empty()) return std::string();
                         std::string full = path;
                         if (!HasDrive(path) && !IsSeparator(path[0])) {
                           std::string current = ctx.env.CurrentFolder();
                           if (current.empty() || !(HasDrive(current) || IsSeparator(current[0])))
                             return std::string();
                           full = current + "\\" + path;
                         }
                         SplitPath split = Split(full);
                         std::vector<std::string> kept;
                         for (auto& part : split.parts) {
                           if (part == ".") continue;
                           if (part == "..") {
                             // Above the root is still the root.
                             if (!kept.empty()) kept.pop_back();
                             continue;
                           }
                           kept.push_back(std::move(part));
                         }
                         std::string out = split.drive;
                         for (const auto& part : kept) out += "\\" + part;
                         // The separator after the last folder is kept; "C:\a\." names C:\a.
                         if (kept.empty() || IsSeparator(path.back())) out += "\\";
                         return out;
                       });
}

bool FolderExists(const platform::Context& ctx, const std::string& path, Errors errors) {
  return support::Trap(ctx.ui, "FolderExists::modFileIO", errors == Errors::Silent, false, [&] {
    // Asked of the file system directly: the process's current directory is
    // never changed, so nothing else can be surprised by it.
    return ctx.env.CanEnterFolder(ResolvedOrAsGiven(ctx, path, errors));
  });
}

std::string GetFilenameFromPath(const std::string& path) {
  // No user interface is at hand here, so nothing is ever shown; the only
  // possible failure is running out of memory, which gives the empty text.
  try {
    std::size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
  } catch (...) {
    return std::string();
  }
}

std::string GetFolderFromFullpath(const std::string& path, bool dropTrailingBackslash) {
  try {
    std::size_t slash = path.rfind('\\');
    if (slash == std::string::npos) return std::string();
    return path.substr(0, dropTrailingBackslash ? slash : slash + 1);
  } catch (...) {
    return std::string();
  }
}

bool Remove(const platform::Context& ctx, const std::string& pattern, Errors errors) {
  // Folders are never deleted: a wildcard could otherwise take a whole tree
  // with it.
  return support::Trap(ctx.ui, "Remove::modFileIO", errors == Errors::Silent, false, [&] {
    std::string resolved = ResolvedOrAsGiven(ctx, pattern, errors);
    if (resolved.empty()) return false;
    std::size_t cut = resolved.find_last_of("\\/");
    std::string name = cut == std::string::npos ? resolved : resolved.substr(cut + 1);
    if (!IsWildcard(name)) return ctx.env.DeleteFile(resolved);

    std::string folder = cut == std::string::npos ? std::string() : resolved.substr(0, cut + 1);
    auto entries = ctx.env.ListFolder(folder.empty() ? "." : folder);
    if (!entries) return false;
    int matched = 0;
    bool allDeleted = true;
    for (const auto& entry : *entries) {
      if (entry.isFolder || !support::MatchesFileWildcard(entry.name, name)) continue;
      ++matched;
      if (!ctx.env.DeleteFile(folder + entry.name)) allDeleted = false;
    }
    return matched > 0 && allDeleted;
  });
}

bool CopyFile(const platform::Context& ctx, const std::string& source,
              const std::string& destination, Existing existing, Errors errors) {
  std::string reason;
  return CopyFile(ctx, source, destination, existing, errors, reason);
}

bool CopyFile(const platform::Context& ctx, const std::string& source,
              const std::string& destination, Existing existing, Errors errors,
              std::string& reason) {
  return support::Trap(ctx.ui, "CopyFile::modFileIO", errors == Errors::Silent, false, [&] {
    std::string from = ResolvedOrAsGiven(ctx, source, errors);
    std::string to = ResolvedOrAsGiven(ctx, destination, errors);
    return ctx.env.CopyFile(from, to, existing == Existing::Keep, reason);
  });
}

bool CreateDirectoryStructure(const platform::Context& ctx, const std::string& path,
                              Errors errors) {
  if (path.size() >= kMaxFolderPath) return false;
  return support::Trap(ctx.ui, "CreateDirectoryStructure::modFileIO", errors == Errors::Silent,
                       false, [&] {
                         std::string full = ResolvedOrAsGiven(ctx, path, errors);
                         if (full.empty()) return false;
                         // A name that is already there counts as done, whatever it names: a
                         // caller that needs a folder must ask FolderExists afterwards.
                         if (ctx.env.Stat(full)) return true;
                         SplitPath split = Split(full);
                         if (split.parts.empty()) return ctx.env.CanEnterFolder(full);
                         // From the root down; folders that are already there are left alone.
                         std::string prefix = split.drive;
                         for (const auto& part : split.parts) {
                           prefix = Append(split, prefix, part);
                           if (ctx.env.CanEnterFolder(prefix)) continue;
                           if (ctx.env.CreateFolder(prefix) == platform::FolderResult::Failed)
                             return false;
                         }
                         return true;
                       });
}

bool FileExists(const platform::Context& ctx, const std::string& path, Missing missing,
                Errors errors) {
  std::string reason;
  return FileExists(ctx, path, reason, missing, errors);
}

bool FileExists(const platform::Context& ctx, const std::string& path, std::string& reason,
                Missing missing, Errors errors) {
  return support::Trap(ctx.ui, "Exists::modShow", errors == Errors::Silent, false, [&] {
    return missing == Missing::Create ? ctx.env.OpenOrCreate(path, reason)
                                      : ctx.env.CanOpenForReading(path, reason);
  });
}

}  // namespace modFileIO
