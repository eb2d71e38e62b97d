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
inline constexpr int kCreateResponsesTable = 501;
inline constexpr int kCreateIdIndex = 502;
inline constexpr int kInsertPattern = 503;
inline constexpr int kQueryPattern = 551;
inline constexpr int kResponsesOrder = 552;
inline constexpr int kFileIndexOrder = 553;
inline constexpr int kFileIndexTable = 554;
inline constexpr int kLendersTable = 555;
inline constexpr int kLendersOrder = 556;
inline constexpr int kNeighborhoodsTable = 557;
inline constexpr int kNeighborhoodsOrder = 558;
inline constexpr int kSecondaryNeighborhoodsTable = 559;
inline constexpr int kComparablesTable = 560;
inline constexpr int kComparablesOrder = 561;
inline constexpr int kResponseKeyCriteria = 571;
inline constexpr int kLenderIdCriteria = 573;
inline constexpr int kNeighborhoodNameCriteria = 574;
inline constexpr int kDataTypeNameBase = 601;
inline constexpr int kLenderIniSection = 701;
inline constexpr int kDirectoriesSection = 702;
inline constexpr int kNeighborhoodFormListSection = 707;
inline constexpr int kDataDirKey = 753;
inline constexpr int kAppDirKey = 754;
inline constexpr int kPrivateDirKey = 755;
inline constexpr int kVendorSection = 756;
inline constexpr int kApplicationNameKey = 757;
inline constexpr int kShellFoldersKey = 1001;
inline constexpr int kPersonalValue = 1002;
}  // namespace res

// The text of `id`, unchanged; nullopt when the table has no such entry.
std::optional<std::string_view> FindResourceString(int id);

// The text of `id`, unchanged; the empty text when the table has no such entry.
std::string ResourceString(int id);

// Number of entries in the table.
std::size_t ResourceStringCount();
