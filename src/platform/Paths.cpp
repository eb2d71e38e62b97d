#include "platform/Paths.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <cctype>
#include <memory>

namespace platform {

std::string ToNative(std::string_view path, const VariableLookup& variable) {
  std::string out;
  std::string_view rest = path;
  if (rest.size() >= 2 && rest[1] == ':' && std::isalpha(static_cast<unsigned char>(rest[0]))) {
    std::string name = "INGESTOR_DRIVE_";
    name += static_cast<char>(std::toupper(static_cast<unsigned char>(rest[0])));
    std::optional<std::string> root = variable ? variable(name) : std::nullopt;
    out = (root && !root->empty()) ? *root : std::string("/");
    rest.remove_prefix(2);
    // "C:x" and "C:\x" both name x at the drive's root; keep exactly one '/'.
    while (!out.empty() && out.size() > 1 && out.back() == '/') out.pop_back();
    if (out != "/" && !rest.empty() && rest[0] != '\\' && rest[0] != '/') out += '/';
    if (out == "/" && !rest.empty() && (rest[0] == '\\' || rest[0] == '/')) rest.remove_prefix(1);
  }
  out.reserve(out.size() + rest.size());
  for (char c : rest) out += (c == '\\') ? '/' : c;
  return out;
}

std::string ToProgramForm(std::string_view nativePath) {
  std::string out(nativePath);
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

namespace {

bool PathExists(const std::string& p) {
  struct stat st;
  return ::lstat(p.c_str(), &st) == 0;
}

// The entry of `folder` whose name equals `name` without regard to case.
std::optional<std::string> FindIgnoringCase(const std::string& folder, const std::string& name) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.empty() ? "." : folder.c_str()),
                                          ::closedir);
  if (!dir) return std::nullopt;
  while (struct dirent* e = ::readdir(dir.get())) {
    if (::strcasecmp(e->d_name, name.c_str()) == 0) return std::string(e->d_name);
  }
  return std::nullopt;
}

}  // namespace

std::string ResolveCase(const std::string& nativePath) {
  if (nativePath.empty() || PathExists(nativePath)) return nativePath;
  std::string resolved = nativePath[0] == '/' ? "/" : "";
  std::size_t pos = resolved.size();
  bool searching = true;
  while (pos <= nativePath.size()) {
    std::size_t slash = nativePath.find('/', pos);
    if (slash == std::string::npos) slash = nativePath.size();
    std::string part = nativePath.substr(pos, slash - pos);
    if (!part.empty()) {
      std::string folder = resolved;
      std::string candidate = resolved + part;
      if (searching && part != "." && part != ".." && !PathExists(candidate)) {
        std::string lookIn = folder.empty() ? "." : folder;
        if (auto found = FindIgnoringCase(lookIn, part))
          candidate = resolved + *found;
        else
          searching = false;
      }
      resolved = candidate;
      if (slash < nativePath.size()) resolved += '/';
    } else if (slash < nativePath.size() && !resolved.empty() && resolved.back() != '/') {
      resolved += '/';
    }
    pos = slash + 1;
  }
  return resolved;
}

}  // namespace platform
