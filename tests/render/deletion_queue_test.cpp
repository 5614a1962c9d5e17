#include "render/deletion_queue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zorv {
namespace {

TEST(DeletionQueue, RunsNewestFirstOnceAndCanBeFilledAgain) {
  DeletionQueue queue;
  std::vector<std::string> destroyed;
  queue.flush();  // nothing recorded yet: harmless
  EXPECT_TRUE(destroyed.empty());

  for (const char* name : {"instance", "device", "allocator", "buffer"})
    queue.push([&destroyed, name] { destroyed.emplace_back(name); });
  EXPECT_EQ(queue.size(), 4u);
  queue.flush();
  EXPECT_EQ(destroyed, (std::vector<std::string>{"buffer", "allocator", "device", "instance"}));
  EXPECT_TRUE(queue.empty());

  // Emptied twice: the steps ran once.
  queue.flush();
  EXPECT_EQ(destroyed.size(), 4u);

  // Filled again after being emptied, as on a second bring-up.
  destroyed.clear();
  queue.push([&] { destroyed.emplace_back("surface"); });
  queue.push([&] { destroyed.emplace_back("swapchain"); });
  queue.flush();
  EXPECT_EQ(destroyed, (std::vector<std::string>{"swapchain", "surface"}));
}

TEST(DeletionQueue, StepsMayFlushAnotherQueueOrPushOntoTheirOwn) {
  DeletionQueue outer, inner;
  std::vector<std::string> destroyed;
  outer.push([&] { destroyed.emplace_back("device"); });
  // The swapchain's own queue is emptied where the swapchain was first created.
  outer.push([&] { inner.flush(); });
  outer.push([&] { destroyed.emplace_back("pipeline"); });
  inner.push([&] { destroyed.emplace_back("swapchain"); });
  inner.push([&] { destroyed.emplace_back("view"); });
  // A step that records another runs it before the older steps.
  outer.push([&] { outer.push([&] { destroyed.emplace_back("late"); }); });
  outer.flush();
  EXPECT_EQ(destroyed, (std::vector<std::string>{"late", "pipeline", "view", "swapchain", "device"}));
  EXPECT_TRUE(outer.empty());
  EXPECT_TRUE(inner.empty());
}

}  // namespace
}  // namespace zorv
