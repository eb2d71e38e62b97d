#include "engine/KeyHashIndex.h"

#include <algorithm>

namespace {

// Below this many recent rows a merge is not worth its pass over the table.
constexpr std::size_t kMinRecentBeforeMerge = 4096;

constexpr auto kByHash = [](const auto& a, const auto& b) { return a.hash < b.hash; };

}  // namespace

KeyHashIndex::Hash KeyHashIndex::HashOf(std::string_view key) {
  // FNV-1a, then a finalising mix so that keys differing in their last bytes
  // (line numbers, mostly) differ in every bit.
  Hash h = 14695981039346656037ull;
  for (unsigned char c : key) {
    h ^= c;
    h *= 1099511628211ull;
  }
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdull;
  h ^= h >> 33;
  h *= 0xc4ceb9fe1a85ec53ull;
  h ^= h >> 33;
  return h;
}

void KeyHashIndex::Seal() {
  std::stable_sort(sorted_.begin(), sorted_.end(), kByHash);
  sorted_.shrink_to_fit();
}

void KeyHashIndex::Add(Hash hash, Locator locator) {
  recent_[hash].push_back(locator);
  ++recentCount_;
  if (recentCount_ > std::max(kMinRecentBeforeMerge, sorted_.size() / 4)) Merge();
}

bool KeyHashIndex::Remove(Hash hash, Locator locator) {
  if (auto it = recent_.find(hash); it != recent_.end()) {
    auto at = std::find(it->second.begin(), it->second.end(), locator);
    if (at != it->second.end()) {
      it->second.erase(at);
      if (it->second.empty()) recent_.erase(it);
      --recentCount_;
      return true;
    }
  }
  auto [first, last] = std::equal_range(sorted_.begin(), sorted_.end(), Entry{hash, 0}, kByHash);
  for (auto at = first; at != last; ++at) {
    const auto position = static_cast<std::size_t>(at - sorted_.begin());
    if (at->locator != locator || (!removed_.empty() && removed_[position])) continue;
    if (removed_.empty()) removed_.assign(sorted_.size(), false);
    removed_[position] = true;
    ++removedCount_;
    return true;
  }
  return false;
}

void KeyHashIndex::Find(Hash hash, std::vector<Locator>& out) const {
  auto [first, last] = std::equal_range(sorted_.begin(), sorted_.end(), Entry{hash, 0}, kByHash);
  for (auto at = first; at != last; ++at)
    if (removed_.empty() || !removed_[static_cast<std::size_t>(at - sorted_.begin())])
      out.push_back(at->locator);
  if (auto it = recent_.find(hash); it != recent_.end())
    out.insert(out.end(), it->second.begin(), it->second.end());
}

void KeyHashIndex::Merge() {
  std::vector<Entry> recent;
  recent.reserve(recentCount_);
  for (const auto& [hash, locators] : recent_)
    for (Locator locator : locators) recent.push_back({hash, locator});
  // Each hash's rows are already together and in order; only hashes move.
  std::stable_sort(recent.begin(), recent.end(), kByHash);

  std::vector<Entry> merged;
  merged.reserve(size());
  auto next = recent.begin();
  for (std::size_t i = 0; i < sorted_.size(); ++i) {
    if (!removed_.empty() && removed_[i]) continue;
    // Built (and earlier merged) rows come before recent ones of the same hash.
    for (; next != recent.end() && next->hash < sorted_[i].hash; ++next) merged.push_back(*next);
    merged.push_back(sorted_[i]);
  }
  merged.insert(merged.end(), next, recent.end());

  sorted_ = std::move(merged);
  removed_.clear();
  removed_.shrink_to_fit();
  removedCount_ = 0;
  recent_.clear();
  recentCount_ = 0;
}
