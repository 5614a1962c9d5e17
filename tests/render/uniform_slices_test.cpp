#include "render/uniform_slices.h"

#include <gtest/gtest.h>

namespace zorv {
namespace {

TEST(UniformSlices, EveryBlockIsAlignedAndNoTwoOverlap) {
  struct Case {
    std::uint64_t visual, frame, alignment;
  };
  for (const Case c : {Case{48, 720, 256}, Case{256, 256, 256}, Case{16, 20, 64}, Case{100, 36, 1}, Case{48, 80, 0}}) {
    const UniformSlices layout = layoutUniformSlices(c.visual, c.frame, c.alignment, 2);
    ASSERT_EQ(layout.slices.size(), 2u);
    const std::uint64_t align = c.alignment == 0 ? 1 : c.alignment;
    struct Block {
      std::uint64_t offset, size;
    };
    std::vector<Block> blocks;
    for (const UniformSlice& slice : layout.slices) {
      EXPECT_EQ(slice.visual % align, 0u) << c.visual << " " << c.frame << " " << c.alignment;
      EXPECT_EQ(slice.frame % align, 0u) << c.visual << " " << c.frame << " " << c.alignment;
      blocks.push_back({slice.visual, c.visual});
      blocks.push_back({slice.frame, c.frame});
    }
    for (std::size_t i = 0; i < blocks.size(); ++i) {
      EXPECT_LE(blocks[i].offset + blocks[i].size, layout.size);
      for (std::size_t k = i + 1; k < blocks.size(); ++k) {
        const bool apart = blocks[i].offset + blocks[i].size <= blocks[k].offset || blocks[k].offset + blocks[k].size <= blocks[i].offset;
        EXPECT_TRUE(apart) << "blocks " << i << " and " << k << " overlap";
      }
    }
  }
  // Tightly packed when the sizes are already aligned: two slices of 256 + 256 bytes.
  const UniformSlices packed = layoutUniformSlices(256, 256, 256, 2);
  EXPECT_EQ(packed.slices[1].visual, 512u);
  EXPECT_EQ(packed.size, 1024u);
  EXPECT_TRUE(layoutUniformSlices(48, 720, 256, 0).slices.empty());
}

}  // namespace
}  // namespace zorv
