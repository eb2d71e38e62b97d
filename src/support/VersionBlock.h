// How our native executables carry their version texts, so that
// modVersion::GetFileInformation can report them the way it reports the
// version resource of a Windows executable.
//
// The block is the contents of an ELF section named ".ingestor.version":
//   tag NUL  Name=Value NUL  ...  NUL
// that is the tag, then one "Name=Value" entry for each of the eight version
// names, each ended by a NUL, then an empty entry. Values are UTF-8.
//
// This header needs nothing but the compiler, so the tools that do not link
// the support library can embed a block too. The version numbers come from
// the build (INGESTOR_VERSION_MAJOR, _MINOR and _REVISION, set by the
// ingestor_version CMake target).
#pragma once

#include <array>
#include <string_view>

// The texts every one of our binaries states about its maker.
#define INGESTOR_COMPANY_NAME "Norvel Software"
#define INGESTOR_LEGAL_COPYRIGHT "Copyright (C) 2026 Norvel Software"
#define INGESTOR_PRODUCT_NAME "Ingestor"
#define INGESTOR_FILE_DESCRIPTION "Ingestor data converter"

#define INGESTOR_VERSION_STRINGIZE_(x) #x
#define INGESTOR_VERSION_STRINGIZE(x) INGESTOR_VERSION_STRINGIZE_(x)
// "major.minor.revision" as a string literal.
#define INGESTOR_VERSION_TEXT                                                            \
  INGESTOR_VERSION_STRINGIZE(INGESTOR_VERSION_MAJOR)                                     \
  "." INGESTOR_VERSION_STRINGIZE(INGESTOR_VERSION_MINOR) "." INGESTOR_VERSION_STRINGIZE( \
      INGESTOR_VERSION_REVISION)

#define INGESTOR_VERSION_BLOCK_TAG "IngestorVersionBlock/1"

// Defines the block of the binary being linked; use it once per executable, at
// namespace scope, followed by ';'. Every argument must be a string literal
// (adjacent literals and the macros above are fine). The section attribute
// gives the block its own section; `used` keeps the otherwise unreferenced
// array in the object file and `retain` keeps the linker from dropping the
// section when it collects unused ones. The literal's own closing NUL is the
// empty entry that ends the block.
#define INGESTOR_VERSION_BLOCK(company, description, fileVersion, internalName, copyright, \
                               originalName, productName, productVersion)                  \
  [[gnu::section(".ingestor.version"), gnu::used,                                          \
    gnu::retain]] constexpr char kIngestorVersionBlock[] = INGESTOR_VERSION_BLOCK_TAG      \
      "\0"                                                                                 \
      "CompanyName=" company                                                               \
      "\0"                                                                                 \
      "FileDescription=" description                                                       \
      "\0"                                                                                 \
      "FileVersion=" fileVersion                                                           \
      "\0"                                                                                 \
      "InternalName=" internalName                                                         \
      "\0"                                                                                 \
      "LegalCopyright=" copyright                                                          \
      "\0"                                                                                 \
      "OriginalFileName=" originalName                                                     \
      "\0"                                                                                 \
      "ProductName=" productName                                                           \
      "\0"                                                                                 \
      "ProductVersion=" productVersion "\0"

// The ingestor's own block, with the texts of modVersion::OwnVersion().
#define INGESTOR_PROGRAM_VERSION_BLOCK()                                                          \
  INGESTOR_VERSION_BLOCK(INGESTOR_COMPANY_NAME, INGESTOR_FILE_DESCRIPTION, INGESTOR_VERSION_TEXT, \
                         "ingestor", INGESTOR_LEGAL_COPYRIGHT, "ingestor", INGESTOR_PRODUCT_NAME, \
                         INGESTOR_VERSION_TEXT)

namespace support {

inline constexpr std::string_view kVersionSectionName = ".ingestor.version";
inline constexpr std::string_view kVersionBlockTag = INGESTOR_VERSION_BLOCK_TAG;

// The eight version names, in the order the block and the report use them.
inline constexpr std::array<std::string_view, 8> kVersionNames = {
    "CompanyName",    "FileDescription",  "FileVersion", "InternalName",
    "LegalCopyright", "OriginalFileName", "ProductName", "ProductVersion",
};

}  // namespace support
