// The flat key sets of the world's queues.
#include <algorithm>

#include "world/world.h"

namespace zorv {

std::size_t FlatKeySet::homeSlot(std::uint64_t key) const {
  // Packed positions differ in few bits; mixing spreads them over the table.
  key ^= key >> 33;
  key *= 0xFF51AFD7ED558CCDull;
  key ^= key >> 33;
  return static_cast<std::size_t>(key) & (slots_.size() - 1);
}

std::size_t FlatKeySet::slotOf(std::uint64_t key) const {
  std::size_t slot = homeSlot(key);
  while (slots_[slot] != 0 && slots_[slot] != key) slot = (slot + 1) & (slots_.size() - 1);
  return slot;
}

void FlatKeySet::grow() {
  std::vector<std::uint64_t> old(std::max<std::size_t>(64, slots_.size() * 2), 0);
  old.swap(slots_);
  for (std::uint64_t key : old) {
    if (key != 0) slots_[slotOf(key)] = key;
  }
}

bool FlatKeySet::insert(std::uint64_t key) {
  if (key == 0) {
    if (hasZero_) return false;
    hasZero_ = true;
    ++size_;
    return true;
  }
  // At most half full, so runs of occupied slots stay short.
  if (2 * (size_ + 1) > slots_.size()) grow();
  const std::size_t slot = slotOf(key);
  if (slots_[slot] == key) return false;
  slots_[slot] = key;
  ++size_;
  return true;
}

bool FlatKeySet::contains(std::uint64_t key) const {
  if (key == 0) return hasZero_;
  return !slots_.empty() && slots_[slotOf(key)] == key;
}

bool FlatKeySet::erase(std::uint64_t key) {
  if (key == 0) {
    if (!hasZero_) return false;
    hasZero_ = false;
    --size_;
    return true;
  }
  if (slots_.empty()) return false;
  const std::size_t mask = slots_.size() - 1;
  std::size_t hole = slotOf(key);
  if (slots_[hole] != key) return false;
  slots_[hole] = 0;
  --size_;
  // Moves later keys of the run back into the hole when their home slot allows it, so
  // every key stays reachable from its home slot without gaps.
  for (std::size_t next = (hole + 1) & mask; slots_[next] != 0; next = (next + 1) & mask) {
    const std::size_t distanceFromHome = (next - homeSlot(slots_[next])) & mask;
    const std::size_t distanceToHole = (next - hole) & mask;
    if (distanceFromHome >= distanceToHole) {
      slots_[hole] = slots_[next];
      slots_[next] = 0;
      hole = next;
    }
  }
  return true;
}

void FlatKeySet::clear() {
  if (size_ == 0) return;
  std::fill(slots_.begin(), slots_.end(), 0);
  size_ = 0;
  hasZero_ = false;
}

namespace {

// The low four bits of x, y and z of a block key pick the cell within its table; the
// other bits pick the table.
constexpr std::uint64_t kCellBitsOfKey = (0xFull << 40) | (0xFull << 19) | 0xFull;

std::size_t cellBitOf(BlockKey key) {
  return static_cast<std::size_t>((key & 0xF) | ((key >> 19) & 0xF) << 4 | ((key >> 40) & 0xF) << 8);
}

}  // namespace

BlockKeySet::Table* BlockKeySet::find(std::uint64_t tableKey) const {
  if (last_ != nullptr && lastKey_ == tableKey) return last_;
  const auto found = tables_.find(tableKey);
  if (found == tables_.end()) return nullptr;
  lastKey_ = tableKey;
  last_ = found->second.get();
  return last_;
}

bool BlockKeySet::insert(BlockKey key) {
  const std::uint64_t tableKey = key & ~kCellBitsOfKey;
  Table* table = find(tableKey);
  if (table == nullptr) {
    table = (tables_[tableKey] = std::make_unique<Table>()).get();
    lastKey_ = tableKey;
    last_ = table;
  }
  const std::size_t bit = cellBitOf(key);
  if (table->cells.test(bit)) return false;
  table->cells.set(bit);
  ++table->count;
  ++size_;
  return true;
}

bool BlockKeySet::erase(BlockKey key) {
  const std::uint64_t tableKey = key & ~kCellBitsOfKey;
  Table* table = find(tableKey);
  const std::size_t bit = cellBitOf(key);
  if (table == nullptr || !table->cells.test(bit)) return false;
  table->cells.reset(bit);
  --size_;
  if (--table->count == 0) {  // empty tables go, so the set's memory follows its size
    if (last_ == table) last_ = nullptr;
    tables_.erase(tableKey);
  }
  return true;
}

bool BlockKeySet::contains(BlockKey key) const {
  const Table* table = find(key & ~kCellBitsOfKey);
  return table != nullptr && table->cells.test(cellBitOf(key));
}

void BlockKeySet::clear() {
  tables_.clear();
  last_ = nullptr;
  size_ = 0;
}

}  // namespace zorv
