#include "render/vulkan_support.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <stdexcept>

#include "scratch_folder.h"

namespace zorv {
namespace {

TEST(VulkanSupport, LayoutTrackerRecordsOnlyRealChanges) {
  VkImageLayout tracked = VK_IMAGE_LAYOUT_UNDEFINED;
  const LayoutTransition toShadowWrite{VK_IMAGE_LAYOUT_DEPTH_ATTACHMENT_OPTIMAL, VK_IMAGE_ASPECT_DEPTH_BIT,
                                       VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT, VK_PIPELINE_STAGE_EARLY_FRAGMENT_TESTS_BIT,
                                       VK_ACCESS_SHADER_READ_BIT, VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT, 3};
  const auto first = planTransition(VK_NULL_HANDLE, tracked, toShadowWrite);
  ASSERT_TRUE(first.has_value());
  // From UNDEFINED nothing has to be waited for.
  EXPECT_EQ(first->sourceStage, static_cast<VkPipelineStageFlags>(VK_PIPELINE_STAGE_TOP_OF_PIPE_BIT));
  EXPECT_EQ(first->barrier.srcAccessMask, 0u);
  EXPECT_EQ(first->barrier.dstAccessMask, static_cast<VkAccessFlags>(VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT));
  EXPECT_EQ(first->barrier.oldLayout, VK_IMAGE_LAYOUT_UNDEFINED);
  EXPECT_EQ(first->barrier.subresourceRange.layerCount, 3u);
  EXPECT_EQ(first->barrier.subresourceRange.aspectMask, static_cast<VkImageAspectFlags>(VK_IMAGE_ASPECT_DEPTH_BIT));
  EXPECT_EQ(tracked, VK_IMAGE_LAYOUT_DEPTH_ATTACHMENT_OPTIMAL);

  EXPECT_FALSE(planTransition(VK_NULL_HANDLE, tracked, toShadowWrite).has_value());  // already there

  const LayoutTransition toRead{VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL, VK_IMAGE_ASPECT_DEPTH_BIT,
                                VK_PIPELINE_STAGE_EARLY_FRAGMENT_TESTS_BIT, VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT,
                                VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT, VK_ACCESS_SHADER_READ_BIT, 3};
  const auto second = planTransition(VK_NULL_HANDLE, tracked, toRead);
  ASSERT_TRUE(second.has_value());
  EXPECT_EQ(second->sourceStage, static_cast<VkPipelineStageFlags>(VK_PIPELINE_STAGE_EARLY_FRAGMENT_TESTS_BIT));
  EXPECT_EQ(second->barrier.srcAccessMask, static_cast<VkAccessFlags>(VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT));
  EXPECT_EQ(second->barrier.oldLayout, VK_IMAGE_LAYOUT_DEPTH_ATTACHMENT_OPTIMAL);
  EXPECT_EQ(tracked, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL);
}

DeviceTraits capable(std::uint32_t api, bool discrete) {
  DeviceTraits t;
  t.apiVersion = api;
  t.discrete = discrete;
  t.hasGraphicsQueue = t.hasPresentQueue = t.hasSwapchain = t.dynamicRenderingFeature = true;
  t.hasDynamicRenderingExtension = api < VK_API_VERSION_1_3;
  return t;
}

TEST(VulkanSupport, DeviceChoicePrefersDiscreteThenNewerThenEarlier) {
  EXPECT_EQ(deviceScore(capable(VK_API_VERSION_1_1, true)), 1001);
  EXPECT_EQ(deviceScore(capable(VK_API_VERSION_1_3, false)), 503);
  EXPECT_EQ(chooseDevice({capable(VK_API_VERSION_1_3, false), capable(VK_API_VERSION_1_1, true)}), 1);
  EXPECT_EQ(chooseDevice({capable(VK_API_VERSION_1_2, false), capable(VK_API_VERSION_1_2, false)}), 0);

  DeviceTraits noSwapchain = capable(VK_API_VERSION_1_3, true);
  noSwapchain.hasSwapchain = false;
  DeviceTraits noExtension = capable(VK_API_VERSION_1_2, true);
  noExtension.hasDynamicRenderingExtension = false;
  DeviceTraits noFeature = capable(VK_API_VERSION_1_3, true);
  noFeature.dynamicRenderingFeature = false;
  DeviceTraits noPresent = capable(VK_API_VERSION_1_3, true);
  noPresent.hasPresentQueue = false;
  for (const DeviceTraits& t : {noSwapchain, noExtension, noFeature, noPresent}) EXPECT_EQ(deviceScore(t), -1);
  EXPECT_EQ(chooseDevice({noSwapchain, noFeature}), -1);
  EXPECT_EQ(chooseDevice({}), -1);
}

TEST(VulkanSupport, SurfaceChoices) {
  EXPECT_EQ(choosePresentMode(true, {VK_PRESENT_MODE_IMMEDIATE_KHR, VK_PRESENT_MODE_FIFO_KHR}), VK_PRESENT_MODE_FIFO_KHR);
  EXPECT_EQ(choosePresentMode(false, {VK_PRESENT_MODE_FIFO_KHR, VK_PRESENT_MODE_MAILBOX_KHR}), VK_PRESENT_MODE_MAILBOX_KHR);
  EXPECT_EQ(choosePresentMode(false, {VK_PRESENT_MODE_MAILBOX_KHR, VK_PRESENT_MODE_IMMEDIATE_KHR}), VK_PRESENT_MODE_IMMEDIATE_KHR);
  EXPECT_EQ(choosePresentMode(false, {VK_PRESENT_MODE_FIFO_KHR}), VK_PRESENT_MODE_FIFO_KHR);

  const VkSurfaceFormatKHR unorm{VK_FORMAT_B8G8R8A8_UNORM, VK_COLOR_SPACE_SRGB_NONLINEAR_KHR};
  const VkSurfaceFormatKHR srgb{VK_FORMAT_B8G8R8A8_SRGB, VK_COLOR_SPACE_SRGB_NONLINEAR_KHR};
  EXPECT_EQ(chooseSurfaceFormat({unorm, srgb}).format, VK_FORMAT_B8G8R8A8_SRGB);
  EXPECT_EQ(chooseSurfaceFormat({unorm}).format, VK_FORMAT_B8G8R8A8_UNORM);

  VkSurfaceCapabilitiesKHR capabilities{};
  capabilities.minImageCount = 2;
  capabilities.maxImageCount = 0;  // no upper limit
  EXPECT_EQ(chooseImageCount(capabilities), 3u);
  capabilities.maxImageCount = 2;
  EXPECT_EQ(chooseImageCount(capabilities), 2u);

  EXPECT_EQ(chooseCompositeAlpha(VK_COMPOSITE_ALPHA_INHERIT_BIT_KHR | VK_COMPOSITE_ALPHA_POST_MULTIPLIED_BIT_KHR),
            VK_COMPOSITE_ALPHA_POST_MULTIPLIED_BIT_KHR);
  EXPECT_EQ(chooseCompositeAlpha(VK_COMPOSITE_ALPHA_INHERIT_BIT_KHR), VK_COMPOSITE_ALPHA_INHERIT_BIT_KHR);
}

TEST(VulkanSupport, ShaderFilesAreCheckedBeforeUse) {
  const testing::ScratchFolder scratch("shader_files");
  const std::filesystem::path& folder = scratch.path();
  auto write = [&](const char* name, const std::string& bytes) {
    std::ofstream(folder / name, std::ios::binary) << bytes;
    return folder / name;
  };
  struct Case {
    std::filesystem::path path;
    const char* message;
  };
  const std::string magic("\x03\x02\x23\x07", 4);
  const Case cases[] = {{folder / "absent.spv", "shader not found: "},
                        {write("empty.spv", ""), "shader has invalid size: "},
                        {write("odd.spv", magic + "ab"), "shader has invalid size: "},
                        {write("text.spv", "#version"), "shader is not SPIR-V: "}};
  for (const Case& c : cases) {
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(readShaderFile(c.path).has_value()) << c.path;
    const std::string output = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(output, c.message + c.path.string() + "\n");
  }
  const auto words = readShaderFile(write("good.spv", magic + std::string(4, '\x01')));
  ASSERT_TRUE(words.has_value());
  EXPECT_EQ(words->size(), 2u);
  EXPECT_EQ((*words)[0], 0x07230203u);
}

TEST(VulkanSupport, FailedCallsReportTheCallAndThrow) {
  ::testing::internal::CaptureStderr();
  EXPECT_THROW(ZORV_VK_CHECK(VK_ERROR_DEVICE_LOST), std::runtime_error);
  const std::string output = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(output.find("vulkan: VK_ERROR_DEVICE_LOST failed (-4) at line "), std::string::npos) << output;
  EXPECT_NO_THROW(ZORV_VK_CHECK(VK_SUCCESS));
}

}  // namespace
}  // namespace zorv
