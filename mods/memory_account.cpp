#include "mods/memory_account.h"

#include <algorithm>
#include <cstdlib>

namespace zorv {
namespace {

bool reserve(MemoryPool* pool, std::size_t bytes) {
  if (!pool) return true;
  const std::size_t before = pool->used.fetch_add(bytes);
  if (before <= pool->limit && bytes <= pool->limit - before) return true;
  pool->used.fetch_sub(bytes);
  return false;
}

void release(MemoryPool* pool, std::size_t bytes) {
  if (pool) pool->used.fetch_sub(bytes);
}

}  // namespace

MemoryPool& sharedModMemory() {
  static MemoryPool pool;
  return pool;
}

void* limitedAlloc(void* userData, void* block, std::size_t oldSize, std::size_t newSize) {
  auto& account = *static_cast<MemoryAccount*>(userData);
  const std::size_t previous = block ? std::min(oldSize, account.used) : 0;  // for new blocks oldSize is a type tag
  if (newSize == 0) {
    std::free(block);
    account.used -= previous;
    release(account.pool, previous);
    return nullptr;
  }
  const std::size_t base = account.used - previous;
  if (newSize > previous && (newSize > account.limit || base > account.limit - newSize)) return nullptr;
  const std::size_t growth = newSize > previous ? newSize - previous : 0;
  if (!reserve(account.pool, growth)) return nullptr;
  void* grown = std::realloc(block, newSize);
  if (!grown) {
    release(account.pool, growth);
    return nullptr;
  }
  if (newSize < previous) release(account.pool, previous - newSize);
  account.used = base + newSize;
  return grown;
}

}  // namespace zorv
