// The comparable identifiers (WCIDs) of the main records read in one import,
// compared without regard to case: the supplement pass asks it whether a
// supplement record updates a row of this import or adds one.
//
// It also remembers how each identifier was spelled in the rows it names, so
// that the UPDATE can find them by the exact text they hold (databases other
// than the host's compare text with regard to case), and whether any of them
// was saved at all.
//
// Memory: one 13-byte slot per identifier in an open-addressing table kept
// at most 80% full (3.4 MB for a 200,000-record import); only identifiers met
// in several spellings use a side list.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "importers/layouts/ComparablesLayout.h"

namespace importers {

class WcidSet {
 public:
  // The longest identifier a record can hold; longer text is cut to it.
  static constexpr std::size_t kMaxLength =
      static_cast<std::size_t>(layouts::comparables::kWcid.width);

  // Adds one main record's identifier (cleaned record bytes); `saved` says
  // whether its row was saved. Adding an identifier already present adds
  // nothing but a new spelling. A save counts once its file is settled.
  void Add(std::string_view wcid, bool saved);
  // Ends the current file: its saves count when `committed`, and are
  // forgotten when the file's rows were rolled back. One pass over the
  // table per file, so no per-file list of identifiers is kept.
  void SettleFile(bool committed);

  struct Match {
    bool found = false;
    bool saved = false;  // a row with this identifier was saved in this import
    // The distinct spellings the rows of this identifier hold, first met first.
    std::vector<std::string> spellings;
  };
  // Looks `wcid` up without regard to case; `match` is filled in (its
  // spellings' storage is re-used from call to call).
  void Find(std::string_view wcid, Match& match) const;
  // After an UPDATE wrote `spelling` into every row of `wcid`: those rows now
  // hold that one spelling.
  void Respell(std::string_view wcid, std::string_view spelling);

  std::size_t size() const { return count_; }
  // Makes room for `identifiers` in all, so adding them moves nothing.
  void Reserve(std::size_t identifiers);

 private:
  // The length and the flags share a byte: a slot is the identifier's bytes
  // and one more, with no padding (the set's memory is this times the slots).
  struct Slot {
    char text[kMaxLength];
    std::uint8_t meta;  // low four bits: the length; high four: the flags

    std::size_t length() const { return meta & 0x0F; }
    std::string_view view() const { return {text, length()}; }
    void SetLength(std::size_t n) { meta = static_cast<std::uint8_t>((meta & 0xF0) | n); }
  };
  static_assert(kMaxLength <= 0x0F && sizeof(Slot) == kMaxLength + 1);
  static constexpr std::uint8_t kUsed = 0x10, kSaved = 0x20, kMoreSpellings = 0x40,
                                kPendingSave = 0x80;

  static std::uint64_t Hash(std::string_view text);
  // Where the probe for `wcid` starts.
  std::size_t Home(std::string_view wcid) const;
  // The slot holding `wcid`, or the empty slot where it would go.
  std::size_t Locate(std::string_view wcid) const;
  void Rehash(std::size_t slots);
  static std::string Folded(std::string_view text);

  std::vector<Slot> slots_;  // a power of two of them
  int shift_ = 64;           // 64 - log2(slots_.size())
  std::size_t count_ = 0;
  // Further spellings of identifiers met in more than one, by folded text.
  std::unordered_map<std::string, std::vector<std::string>> more_;
};

// `a` and `b` are the same text without regard to the case of the code page's
// letters (ASCII, Latin-1, and Š Œ Ž Ÿ), compared byte by byte as record text.
bool SameIgnoringCase1252(std::string_view a, std::string_view b);

}  // namespace importers
