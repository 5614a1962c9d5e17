#pragma once
// Destruction steps recorded as objects are created and run in reverse: whatever was
// created later, and so may depend on what came before it, is destroyed first.

#include <cstddef>
#include <functional>
#include <vector>

namespace zorv {

class DeletionQueue {
 public:
  // Records how to destroy something just created.
  void push(std::function<void()> destroy);
  // Runs every recorded step, newest first, and leaves the queue empty; a step may push
  // further steps, which run before the older ones.
  void flush();
  bool empty() const { return steps_.empty(); }
  std::size_t size() const { return steps_.size(); }

 private:
  std::vector<std::function<void()>> steps_;
};

}  // namespace zorv
