#include "support/modVersion.h"

#include <array>
#include <memory>
#include <optional>
#include <string_view>

#include "support/ElfVersionBlock.h"
#include "support/ErrorReport.h"
#include "support/PeVersionResource.h"
#include "support/VersionBlock.h"
#include "support/Windows1252.h"

namespace modVersion {

namespace {

// The longest text kept of each version value.
constexpr std::size_t kMaxValueLength = 127;

// The eight texts, in the order of support::kVersionNames.
using VersionTexts = std::array<std::string, support::kVersionNames.size()>;

// A value ends at its first NUL and keeps at most kMaxValueLength characters.
std::string Clip(std::string_view value) {
  value = value.substr(0, value.find('\0'));
  return std::string(support::Utf8Prefix(value, kMaxValueLength));
}

std::optional<VersionTexts> FromPe(platform::ReadableFile& file) {
  auto resource = support::PeVersionResource::Read(file);
  if (!resource) return std::nullopt;
  auto translation = resource->FirstTranslation();
  if (!translation) return std::nullopt;
  std::string table = "\\StringFileInfo\\" + support::TranslationKey(*translation) + "\\";
  VersionTexts texts;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    // A name the table lacks stays empty.
    auto value = resource->QueryText(table + std::string(support::kVersionNames[i]));
    if (value) texts[i] = Clip(*value);
  }
  return texts;
}

std::optional<VersionTexts> FromElf(platform::ReadableFile& file) {
  auto entries = support::ReadElfVersionBlock(file);
  if (!entries) return std::nullopt;
  VersionTexts texts;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    for (const auto& [name, value] : *entries) {
      if (name != support::kVersionNames[i]) continue;
      texts[i] = Clip(value);
      break;
    }
  }
  return texts;
}

// The version texts of `path`; nullopt when it cannot be opened or states none.
std::optional<VersionTexts> Load(const platform::Context& ctx, const std::string& path) {
  std::unique_ptr<platform::ReadableFile> file = ctx.env.OpenForReading(path);
  if (file == nullptr) return std::nullopt;
  // Each reader checks the file's own signature first.
  if (auto texts = FromPe(*file)) return texts;
  return FromElf(*file);
}

bool IsBlank(std::string_view text) {
  return text.find_first_not_of(' ') == std::string_view::npos;
}

}  // namespace

bool GetFileInformation(const platform::Context& ctx, const std::string& path,
                        std::vector<std::string>& lines) {
  return support::Trap(ctx.ui, "GetFileInformation::modVersion", false, false, [&] {
    std::optional<VersionTexts> texts = Load(ctx, path);
    // The product version is the last of the names.
    if (!texts || IsBlank(texts->back())) {
      lines.emplace_back(kNoVersionInformation);
      return false;
    }
    static constexpr std::array<std::string_view, support::kVersionNames.size()> kLabels = {
        "Company Name:    ",  "File Description:    ", "File Version:    ",
        "Internal Name:    ", "Legal Copyright:    ",  "Original FileName:    ",
        "Product Name:    ",  "Product Version:    ",
    };
    std::string entry;
    for (std::size_t i = 0; i < kLabels.size(); ++i)
      entry.append(kLabels[i]).append((*texts)[i]).append("\r\n");
    entry.append("Installed path:    ").append(path);
    lines.push_back(std::move(entry));
    return true;
  });
}

ProgramVersion OwnVersion() {
  return {INGESTOR_PRODUCT_NAME,   INGESTOR_COMPANY_NAME,  INGESTOR_FILE_DESCRIPTION,
          INGESTOR_VERSION_MAJOR,  INGESTOR_VERSION_MINOR, INGESTOR_VERSION_REVISION,
          INGESTOR_LEGAL_COPYRIGHT};
}

}  // namespace modVersion
