#include "render/deletion_queue.h"

#include <utility>

namespace zorv {

void DeletionQueue::push(std::function<void()> destroy) { steps_.push_back(std::move(destroy)); }

void DeletionQueue::flush() {
  // One step at a time off the back, so a step that flushes another queue or pushes onto
  // this one never sees itself again.
  while (!steps_.empty()) {
    std::function<void()> step = std::move(steps_.back());
    steps_.pop_back();
    step();
  }
}

}  // namespace zorv
