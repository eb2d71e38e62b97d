// The program's string table: product titles, source masks, database file
// names, SQL templates, table and key names, data-type names and the host's
// configuration section and key names, each under a numeric ID. Texts that
// depend on the data type sit at a base plus the type number: masks at 201 + n,
// database files at 301 + n, names at 601 + n.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// Named IDs of the entries the code refers to by meaning.
namespace res {
inline constexpr int kTitle = 101;
inline constexpr int kProductName = 102;
inline constexpr int kSourceMaskBase = 201;
inline constexpr int kLenderIni = 251;
inline constexpr int kNeighPrefix = 252;
inline constexpr int kDatabaseFileBase = 301;
inline constexpr int kNeighAddonFolder = 351;
inline constexpr int kNeighTagsIni = 352;
inline constexpr int kLogFilePattern = 401;
inline constexpr int kBackupFolderPattern = 402;
inline constexpr int kSupplementExtension = 403;
inline constexpr int kPersonalFolderPattern = 404;
inline constexpr int kDataTypeNameBase = 601;
inline constexpr int kDirectoriesSection = 702;
inline constexpr int kAppDirKey = 754;
}  // namespace res

// The text of `id`, unchanged; nullopt when the table has no such entry.
std::optional<std::string_view> FindResourceString(int id);

// The text of `id`, unchanged; the empty text when the table has no such entry.
std::string ResourceString(int id);

// Number of entries in the table.
std::size_t ResourceStringCount();
