#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/CSImportEngine.h"
#include "support/Conversions.h"
#include "support/LikePattern.h"
#include "support/ResourceStrings.h"
#include "support/modFileIO.h"

namespace {

constexpr const char* kAllFiles = "*.*";

// The masks of a data type joined by ';' ("*.*" when the type has none).
std::string MaskTextFor(std::int32_t dataType) {
  const std::int64_t id = std::int64_t{res::kSourceMaskBase} + dataType;
  std::string text;
  if (id >= std::numeric_limits<int>::min() && id <= std::numeric_limits<int>::max())
    text = ResourceString(static_cast<int>(id));
  return text.empty() ? std::string(kAllFiles) : text;
}

// Splits at every ';'; empty pieces are kept (they match no file).
std::vector<std::string> SplitMasks(const std::string& text) {
  std::vector<std::string> masks;
  std::size_t start = 0;
  for (;;) {
    std::size_t semi = text.find(';', start);
    masks.push_back(
        text.substr(start, semi == std::string::npos ? std::string::npos : semi - start));
    if (semi == std::string::npos) break;
    start = semi + 1;
  }
  return masks;
}

// An entry name as the directory search delivers it ends at its first NUL.
std::string CutAtNul(const std::string& name) {
  return name.substr(0, name.find('\0'));
}

// The files (never folders) of a listing whose lower-cased name matches
// `mask`, in listing order and as spelt on disk.
std::vector<std::string> MatchingFiles(const std::vector<platform::DirEntry>& entries,
                                       const std::string& mask) {
  std::vector<std::string> found;
  for (const auto& entry : entries) {
    if (entry.isFolder) continue;
    std::string name = CutAtNul(entry.name);
    if (support::MatchesLike(support::LowerAscii(name), mask)) found.push_back(name);
  }
  return found;
}

}  // namespace

std::int16_t CSImportEngine::LoadSourceFiles() {
  static constexpr const char* kSource = "LoadSourceFiles::CSImportEngine";
  return Trapped(kSource, std::int16_t{0}, [&] {
    const std::string maskText = MaskTextFor(Number(dataType_));
    WriteToLog("Searching input folder for files like: '" + maskText + "'", kSource, -1);

    // One listing serves every mask; a folder that cannot be searched yields nothing.
    auto entries = ctx_.env.ListFolder(source_);
    std::vector<std::string> names;
    if (entries) {
      for (const std::string& mask : SplitMasks(maskText)) {
        for (std::string& name : MatchingFiles(*entries, mask)) names.push_back(std::move(name));
      }
    }
    // The count is a 16-bit number; more names than it holds is a failure.
    if (names.size() > static_cast<std::size_t>(std::numeric_limits<std::int16_t>::max()))
      throw std::overflow_error("Overflow");

    sourceFiles_ = std::move(names);
    const auto count = static_cast<std::int16_t>(sourceFiles_.size());
    if (count > 0) WriteToLog("Found " + std::to_string(count) + " source files.", kSource, -1);
    return count;
  });
}

std::int32_t CSImportEngine::LoadSourceFilesFromList(const std::vector<std::string>* list) {
  return Trapped("LoadSourceFilesFromList::CSImportEngine", std::int32_t{0}, [&] {
    if (list == nullptr) return std::int32_t{0};
    sourceFiles_ = *list;
    return static_cast<std::int32_t>(sourceFiles_.size());
  });
}

std::optional<std::vector<std::string>> CSImportEngine::GetSourceFiles() {
  using Result = std::optional<std::vector<std::string>>;
  return Trapped("GetSourceFiles::CSImportEngine", Result{}, [&]() -> Result {
    if (sourceFiles_.empty()) return std::nullopt;
    return sourceFiles_;
  });
}

bool CSImportEngine::ClearSourceFiles() {
  return Trapped("ClearSourceFiles::CSImportEngine", false, [&] {
    sourceFiles_.clear();
    return false;
  });
}

bool CSImportEngine::SourceIsFolder(const std::string& path) {
  return Trapped("SourceIsFolder::CSImportEngine", false, [&] {
    if (path.empty()) return false;
    if (modFileIO::FolderExists(ctx_, path, modFileIO::Errors::Silent)) return true;
    // A file that is there is a single source, with or without an extension
    // (host files copied from elsewhere may have none).
    if (auto info = ctx_.env.Stat(path); info && !info->isFolder) return false;
    // A missing path without an extension is a folder still to be created.
    return path.find('.') == std::string::npos;
  });
}

std::int32_t CSImportEngine::GetOutputFiles(const std::string& folder, std::string& mask) {
  return Trapped("GetOutputFiles::CSImportEngine", std::int32_t{-1}, [&] {
    if (mask.empty()) mask = kAllFiles;
    // The search is folder + '\' + "*.*", so an empty folder means the root.
    const bool hasSeparator = !folder.empty() && folder.back() == '\\';
    auto entries = ctx_.env.ListFolder(hasSeparator ? folder : folder + "\\");
    if (!entries) return std::int32_t{-1};
    std::vector<std::string> found = MatchingFiles(*entries, mask);
    const auto count = static_cast<std::int32_t>(found.size());
    // With nothing found the list keeps what an earlier call put there.
    if (count > 0) outputFiles_ = std::move(found);
    return count;
  });
}
