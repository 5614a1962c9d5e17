#pragma once
// The allocator behind every mod's Lua state: each state has its own ceiling, and all
// states together draw on one pool, so that many mods cannot add up to exhaust the machine.

#include <atomic>
#include <cstddef>

namespace zorv {

constexpr std::size_t kModMemoryLimit = 64u * 1024u * 1024u;
constexpr std::size_t kAllModsMemoryLimit = 256u * 1024u * 1024u;

struct MemoryPool {
  std::atomic<std::size_t> used{0};
  std::size_t limit = kAllModsMemoryLimit;
};

// The pool every mod draws on unless it is given another.
MemoryPool& sharedModMemory();

// One state's bookkeeping: bytes in use against its ceiling and its pool.
struct MemoryAccount {
  std::size_t used = 0;
  std::size_t limit = kModMemoryLimit;
  MemoryPool* pool = nullptr;  // none: only the state's own ceiling applies
};

// A lua_Alloc over a MemoryAccount: an allocation beyond either ceiling fails.
void* limitedAlloc(void* account, void* block, std::size_t oldSize, std::size_t newSize);

}  // namespace zorv
