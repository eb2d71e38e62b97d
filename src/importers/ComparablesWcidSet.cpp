#include "importers/ComparablesWcidSet.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace importers {

namespace {

// Each Windows-1252 byte's lower-case form.
constexpr std::array<unsigned char, 256> kFold = [] {
  std::array<unsigned char, 256> fold{};
  for (int c = 0; c < 256; ++c) {
    int lower = c;
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
      lower = c + 32;
    else if (c == 0x8A || c == 0x8C || c == 0x8E)  // Š Œ Ž
      lower = c + 16;
    else if (c == 0x9F)  // Ÿ
      lower = 0xFF;
    fold[static_cast<std::size_t>(c)] = static_cast<unsigned char>(lower);
  }
  return fold;
}();

unsigned char Fold(char c) {
  return kFold[static_cast<unsigned char>(c)];
}

constexpr std::size_t kInitialSlots = 1024;

}  // namespace

bool SameIgnoringCase1252(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Fold(a[i]) != Fold(b[i])) return false;
  return true;
}

std::uint64_t WcidSet::Hash(std::string_view text) {
  std::uint64_t h = 1469598103934665603ull;  // FNV-1a over the folded bytes
  for (char c : text) {
    h ^= Fold(c);
    h *= 1099511628211ull;
  }
  return h;
}

std::string WcidSet::Folded(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(Fold(c));
  return out;
}

std::size_t WcidSet::Home(std::string_view wcid) const {
  // The high bits of a multiplicative mix: identifiers that differ only in
  // their last characters still spread over the whole table.
  return static_cast<std::size_t>((Hash(wcid.substr(0, kMaxLength)) * 0x9E3779B97F4A7C15ull) >>
                                  shift_);
}

std::size_t WcidSet::Locate(std::string_view wcid) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = Home(wcid);; i = (i + 1) & mask) {
    const Slot& s = slots_[i];
    if (!(s.meta & kUsed)) return i;
    if (SameIgnoringCase1252(s.view(), wcid)) return i;
  }
}

void WcidSet::Rehash(std::size_t slots) {
  std::vector<Slot> old;
  old.swap(slots_);
  slots_.assign(slots, Slot{});
  shift_ = 64;
  for (std::size_t n = slots; n > 1; n >>= 1) --shift_;
  for (const Slot& s : old)
    if (s.meta & kUsed) slots_[Locate(s.view())] = s;
}

void WcidSet::Reserve(std::size_t identifiers) {
  std::size_t slots = std::max(kInitialSlots, slots_.size());
  // Kept at most 80% full, so a probe meets an empty slot soon.
  while (identifiers * 10 > slots * 8) slots *= 2;
  if (slots != slots_.size()) Rehash(slots);
}

void WcidSet::Add(std::string_view wcid, bool saved) {
  wcid = wcid.substr(0, kMaxLength);
  Reserve(count_ + 1);
  Slot& s = slots_[Locate(wcid)];
  if (!(s.meta & kUsed)) {
    std::copy(wcid.begin(), wcid.end(), s.text);  // an empty view may hold no pointer
    s.meta = kUsed;
    s.SetLength(wcid.size());
    ++count_;
  } else if (s.view() != wcid) {
    std::vector<std::string>& more = more_[Folded(wcid)];
    if (std::find(more.begin(), more.end(), wcid) == more.end()) {
      more.emplace_back(wcid);
      s.meta |= kMoreSpellings;
    }
  }
  // Saved only once the file's commit is known (SettleFile).
  if (saved && !(s.meta & kSaved)) s.meta |= kPendingSave;
}

void WcidSet::SettleFile(bool committed) {
  for (Slot& s : slots_) {
    if (!(s.meta & kPendingSave)) continue;
    s.meta &= static_cast<std::uint8_t>(~kPendingSave);
    if (committed) s.meta |= kSaved;
  }
}

void WcidSet::Find(std::string_view wcid, Match& match) const {
  match.found = false;
  match.saved = false;
  match.spellings.clear();
  if (slots_.empty()) return;
  wcid = wcid.substr(0, kMaxLength);
  const Slot& s = slots_[Locate(wcid)];
  if (!(s.meta & kUsed)) return;
  match.found = true;
  match.saved = (s.meta & kSaved) != 0;
  match.spellings.emplace_back(s.view());
  if (s.meta & kMoreSpellings) {
    auto it = more_.find(Folded(wcid));
    if (it != more_.end())
      match.spellings.insert(match.spellings.end(), it->second.begin(), it->second.end());
  }
}

void WcidSet::Respell(std::string_view wcid, std::string_view spelling) {
  if (slots_.empty()) return;
  wcid = wcid.substr(0, kMaxLength);
  spelling = spelling.substr(0, kMaxLength);
  Slot& s = slots_[Locate(wcid)];
  // Only a spelling of the same identifier keeps the slot where it is.
  if (!(s.meta & kUsed) || !SameIgnoringCase1252(wcid, spelling)) return;
  std::copy(spelling.begin(), spelling.end(), s.text);
  s.SetLength(spelling.size());
  if (s.meta & kMoreSpellings) {
    more_.erase(Folded(wcid));
    s.meta &= static_cast<std::uint8_t>(~kMoreSpellings);
  }
}

}  // namespace importers
