#pragma once
// Where each frame in flight keeps its own copy of the visual and frame uniforms inside
// one host-written buffer: a slice per frame, each block at an offset the device accepts
// as a dynamic uniform-buffer offset.

#include <cstdint>
#include <vector>

namespace zorv {

struct UniformSlice {
  std::uint64_t visual = 0;  // offset of the visual uniforms
  std::uint64_t frame = 0;   // offset of the frame uniforms
};

struct UniformSlices {
  std::vector<UniformSlice> slices;  // one per frame in flight
  std::uint64_t size = 0;            // bytes the buffer needs
};

// `alignment` is the device's minUniformBufferOffsetAlignment (0 is taken as 1).
UniformSlices layoutUniformSlices(std::uint64_t visualSize, std::uint64_t frameSize, std::uint64_t alignment,
                                  std::uint32_t frames);

}  // namespace zorv
