// The allocator's implementation, compiled once; it reaches Vulkan through volk's loaders.
#include <volk.h>
#define VMA_IMPLEMENTATION
#include <vk_mem_alloc.h>
