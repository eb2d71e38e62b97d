#include "support/ResourceStrings.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {

struct Entry {
  int id;
  std::string_view text;
};

// Sorted by ID. The "%s" and "%d" markers are filled by the callers by plain
// substitution.
constexpr Entry kTable[] = {
    {101, "Kestova - Data importer"},
    {102, "Kestova"},
    {151, "OEMFiles"},
    {152, "DBScripts"},
    {201, "*.dat"},
    {202, "*.dat"},
    {203, "global.dat"},
    {204, "global.dat"},
    {205, "didovuro.dta"},
    {206, "lender.dta"},
    {207, "neigh*.dta"},
    {208, "*comps.dat;*comps.cp2;zazozur.*"},
    {251, "lender.ini"},
    {252, "neigh"},
    {301, "CommonResponses.mdb"},
    {302, "CommonResponses.mdb"},
    {303, "CommonResponses.mdb"},
    {304, "CommonResponses.mdb"},
    {305, "Appraisals.mdb"},
    {306, "Lenders.mdb"},
    {307, "Neighborhoods.mdb"},
    {308, "Comparables.mdb"},
    {351, "Addons\\Neighbor\\"},
    {352, "NeighTags.ini"},
    {401, "yyyy-mm-dd-hhmmss-logfile.txt"},
    {402, "yyyymmddhhmmss\\\\"},
    {403, ".cp2"},
    {404, "My %s\\"},
    {501,
     "CREATE TABLE %s (ID COUNTER, Line SHORT, Across SHORT, FunctionKey BYTE, Macro BIT, Append "
     "BIT, Title TEXT(255), Data MEMO, Vendor BIT)"},
    {502, "CREATE UNIQUE INDEX ID ON %s (ID)"},
    {503, "INSERT INTO [%s] (%s) VALUES ('%s')"},
    {504,
     "CREATE TABLE %s (ID COUNTER, WCID TEXT(255), SqFt INTEGER, Rooms INTEGER, Beds INTEGER, "
     "Photo1 INTEGER, YearBuilt INTEGER, Price INTEGER, StreetNo INTEGER, LotSize SINGLE, "
     "Assessment SINGLE, ContractDate DATE, ClosingDate DATE, Modified DATE, SystemDate DATE, "
     "UserID TEXT(255), ListingDate DATE, Photo2 TEXT(255), Map TEXT(255), Neighborhood TEXT(255), "
     "xStreet TEXT(255), StreetDir TEXT(255), Status TEXT(255), xLot TEXT(255), NewConstruction "
     "TEXT(255), Remodeled TEXT(255), Private TEXT(255), FileNo TEXT(255), Source TEXT(255), Baths "
     "TEXT(255), Fin1 TEXT(255), Fin2 TEXT(255), Site TEXT(255), Design TEXT(255), Age TEXT(255), "
     "Condition TEXT(255), Bas1 TEXT(255), Bas2 TEXT(255), Heat TEXT(255), Garage TEXT(255), Por1 "
     "TEXT(255), Por2 TEXT(255), Erg1 TEXT(255), Erg2 TEXT(255), Fireplace TEXT(255), Other1 "
     "TEXT(255), Other2 TEXT(255), TypeProperty TEXT(255), Ext1 TEXT(255), Ext2 TEXT(255), Ext3 "
     "TEXT(255), Ext4 TEXT(255), Ext5 TEXT(255), Location TEXT(255), Quality TEXT(255), Utilities "
     "TEXT(255), Com1 TEXT(255), Com2 TEXT(255), Lease TEXT(255), Address2 TEXT(255), VSource "
     "TEXT(255), LeaseFee TEXT(255), View TEXT(255), SalesHistory1 TEXT(255), SalesHistory2 "
     "TEXT(255), SalesHistory3 TEXT(255), Comment TEXT(255), PhotoID TEXT(255), FLP INTEGER, MCA "
     "TEXT(255), Int_Appeal TEXT(255), Sig_Feat1 TEXT(255), Sig_Feat2 TEXT(255), Sig_Feat3 "
     "TEXT(255), Prj_Size TEXT(255), Floor_Loc TEXT(255))"},
    {505, "UPDATE [%s] SET %s WHERE %s"},
    {506, "INSERT INTO [%s] (%s) VALUES (%s)"},
    {551, "SELECT * FROM [%s] ORDER BY %s"},
    {552, "Line, Across"},
    {553, "FileID, Fullpath"},
    {554, "FileIndex"},
    {555, "Lenders"},
    {556, "LenderDBID, LenderName"},
    {557, "Neighborhoods"},
    {558, "NeighborhoodName"},
    {559, "Neighborhoods2"},
    {560, "ZazOzurs"},
    {561, "WCID, FileNo"},
    {562, "ZazOzurs2"},
    {563, "IDLink"},
    {564, "SELECT * FROM [%s] WHERE"},
    {571, "Line = %d AND Across = %d AND FunctionKey = %d"},
    {572, "FileID = '%s' AND Fullpath = '%s'"},
    {573, "LenderDBID = '%s'"},
    {574, "NeighborhoodName = '%s'"},
    {575, "WCID = '%s'"},
    {601, "Common responses"},
    {602, "Private common responses"},
    {603, "Global responses"},
    {604, "Private global responses"},
    {605, "Appraisal index data"},
    {606, "Lender information"},
    {607, "Neighborhood information"},
    {608, "ZazOzur comparables"},
    {701, "IP"},
    {702, "Directories"},
    {703, "ColumnHeadings"},
    {704, "ColumnHeadings2"},
    {705, "OldColumnHeadings"},
    {706, "-Extended"},
    {707, "OldFields"},
    {751, "Phone"},
    {752, "Email"},
    {753, "DataDir"},
    {754, "AppDir"},
    {755, "PrivateDir"},
    {756, "Vendor"},
    {757, "ApplicationName"},
    {1001, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"},
    {1002, "Personal"},
};

constexpr bool IsSorted() {
  for (std::size_t i = 1; i < std::size(kTable); ++i)
    if (kTable[i - 1].id >= kTable[i].id) return false;
  return true;
}
static_assert(IsSorted(), "the string table must stay sorted by ID");

}  // namespace

std::optional<std::string_view> FindResourceString(int id) {
  auto it = std::lower_bound(std::begin(kTable), std::end(kTable), id,
                             [](const Entry& e, int key) { return e.id < key; });
  if (it == std::end(kTable) || it->id != id) return std::nullopt;
  return it->text;
}

std::string ResourceString(int id) {
  auto text = FindResourceString(id);
  return text ? std::string(*text) : std::string();
}

std::size_t ResourceStringCount() {
  return std::size(kTable);
}
