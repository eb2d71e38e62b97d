// Row locators by a 64-bit hash of a key: what a record set needs to find the
// rows of a key without holding the rows, at 16 bytes a row.
//
// A hash only names candidates: different keys may share one, and a row may
// have changed since it was indexed, so the caller reads each candidate and
// compares its key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

class KeyHashIndex {
 public:
  using Hash = std::uint64_t;
  using Locator = std::int64_t;
  using HashFunction = Hash (*)(std::string_view key);

  // A well-spread 64-bit hash of `key` (the same bytes give the same hash in
  // every run).
  static Hash HashOf(std::string_view key);

  // Building: every row once, in record-set order, then Seal. Rows appended
  // before Seal are not found.
  void Append(Hash hash, Locator locator) { sorted_.push_back({hash, locator}); }
  void Seal();

  // A row added (or given another key) after Seal; it follows every row
  // already under its hash.
  void Add(Hash hash, Locator locator);
  // Forgets the row under `hash`; false when it is not there.
  bool Remove(Hash hash, Locator locator);
  // Appends the locators under `hash` to `out`: built rows in record-set
  // order, then rows added since, in the order they were added.
  void Find(Hash hash, std::vector<Locator>& out) const;

  // Rows indexed (removed ones not counted).
  std::size_t size() const { return sorted_.size() - removedCount_ + recentCount_; }

 private:
  struct Entry {
    Hash hash;
    Locator locator;
  };
  // Folds the recent rows into the sorted ones and drops the removed ones.
  void Merge();

  std::vector<Entry> sorted_;  // by hash; equal hashes in the order indexed
  std::vector<bool> removed_;  // by position in sorted_; empty while none is
  std::size_t removedCount_ = 0;
  // Rows added since the last merge. Merged once they are a fair share of the
  // sorted ones, so a long import keeps 16 bytes a row and adding stays O(1)
  // amortised.
  std::unordered_map<Hash, std::vector<Locator>> recent_;
  std::size_t recentCount_ = 0;
};
