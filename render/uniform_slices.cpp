#include "render/uniform_slices.h"

namespace zorv {

namespace {

std::uint64_t roundUp(std::uint64_t value, std::uint64_t alignment) { return (value + alignment - 1) / alignment * alignment; }

}  // namespace

UniformSlices layoutUniformSlices(std::uint64_t visualSize, std::uint64_t frameSize, std::uint64_t alignment,
                                  std::uint32_t frames) {
  const std::uint64_t align = alignment == 0 ? 1 : alignment;
  UniformSlices layout;
  std::uint64_t offset = 0;
  for (std::uint32_t i = 0; i < frames; ++i) {
    UniformSlice slice;
    slice.visual = offset;
    slice.frame = roundUp(offset + visualSize, align);
    offset = roundUp(slice.frame + frameSize, align);
    layout.slices.push_back(slice);
  }
  // The last block needs only its own bytes, not the padding after it.
  layout.size = layout.slices.empty() ? 0 : layout.slices.back().frame + frameSize;
  return layout;
}

}  // namespace zorv
