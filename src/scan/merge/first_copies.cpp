#include "scan/merge/first_copies.h"

#include <functional>

namespace quillon {

namespace {

constexpr std::size_t kFirstTableSize = 1024;

// Nearly every mail found is kept as one: a million of them stay under a hundred megabytes.
static_assert(sizeof(FirstCopy) < 100);

std::size_t KeyIndex(CopyKey key) {
  return static_cast<std::size_t>(key);
}

// Spreads a hash over the table's bits: keys made of similar values must not crowd one end.
std::size_t SlotStart(std::uint64_t hash, std::size_t mask) {
  hash ^= hash >> 33;
  hash *= 0xff51afd7ed558ccdULL;
  hash ^= hash >> 33;
  return static_cast<std::size_t>(hash) & mask;
}

// The 32 bits of a hash a slot keeps: all 64 folded, as hashes of similar values may differ in
// either half alone.
std::uint32_t TagOf(std::uint64_t hash) {
  return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

}  // namespace

std::uint64_t KeyOf(std::initializer_list<std::string_view> values) {
  std::uint64_t key = 0x9e3779b97f4a7c15ULL;
  for (const std::string_view value : values) {
    // The length goes in too, so that no two different lists of values read the same.
    key = (key ^ std::hash<std::string_view>{}(value)) * 0x100000001b3ULL;
    key = (key ^ value.size()) * 0x100000001b3ULL;
  }
  return key;
}

std::size_t FirstCopies::SlotOf(CopyKey key, std::uint64_t hash) const {
  const std::vector<Slot>& table = tables_[KeyIndex(key)];
  const std::size_t mask = table.size() - 1;
  const std::uint32_t tag = TagOf(hash);
  for (std::size_t slot = SlotStart(hash, mask);; slot = (slot + 1) & mask) {
    const Slot& at = table[slot];
    if (at.number == kNone || (at.tag == tag && At(at.number).keys[KeyIndex(key)] == hash))
      return slot;
  }
}

std::uint32_t FirstCopies::FirstUnder(CopyKey key, std::uint64_t hash) const {
  if (tables_[KeyIndex(key)].empty()) return kNone;
  return tables_[KeyIndex(key)][SlotOf(key, hash)].number;
}

std::uint32_t FirstCopies::Keep(const FirstCopy& copy) {
  if (count_ % kBlockCopies == 0) blocks_.push_back(std::make_unique<FirstCopy[]>(kBlockCopies));
  const std::uint32_t number = count_++;
  FirstCopy& kept = Mutable(number);
  kept = copy;
  kept.next[0] = kept.next[1] = kNone;
  return number;
}

void FirstCopies::List(std::uint32_t number, CopyKey key) {
  const std::size_t k = KeyIndex(key);
  if ((listed_[k] + 1) * 4 > tables_[k].size() * 3) Grow(key);
  const std::uint64_t hash = At(number).keys[k];
  Slot& first = tables_[k][SlotOf(key, hash)];
  if (first.number == kNone) {
    first = {number, TagOf(hash)};
    ++listed_[k];
    return;
  }
  std::uint32_t last = first.number;
  while (At(last).next[k] != kNone) last = At(last).next[k];
  Mutable(last).next[k] = number;
}

void FirstCopies::Grow(CopyKey key) {
  const std::size_t k = KeyIndex(key);
  std::vector<Slot> old = std::move(tables_[k]);
  tables_[k].assign(old.empty() ? kFirstTableSize : 2 * old.size(), Slot{});
  for (const Slot& slot : old) {
    if (slot.number != kNone) tables_[k][SlotOf(key, At(slot.number).keys[k])] = slot;
  }
}

std::size_t FirstCopies::HeldBytes() const {
  return blocks_.size() * kBlockCopies * sizeof(FirstCopy) +
         blocks_.capacity() * sizeof(blocks_[0]) +
         (tables_[0].capacity() + tables_[1].capacity()) * sizeof(Slot);
}

}  // namespace quillon
