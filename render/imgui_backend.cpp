// Dear ImGui: its context and style, the font (with the Chinese face when one is found),
// the GLFW and Vulkan back-ends and the texture-array layers it can show.

#include <fontconfig/fontconfig.h>
#include <imgui.h>
#include <imgui_impl_glfw.h>
#include <imgui_impl_vulkan.h>

#include <stdexcept>

#include "lang/localisation.h"
#include "render/vulkan_renderer.h"
#include "render/vulkan_support.h"
#include "world/villages.h"

namespace zorv {

namespace {

// Glyphs of the Chinese face: Dear ImGui's common simplified set plus every character of
// the translated texts and the village names, a few of which the common set lacks. Built
// once and kept: the atlas reads the ranges when it is built, after the font is added.
const ImWchar* chineseGlyphRanges() {
  static const ImVector<ImWchar> ranges = [] {
    ImFontGlyphRangesBuilder builder;
    builder.AddRanges(ImGui::GetIO().Fonts->GetGlyphRangesChineseSimplifiedCommon());
    for (const Translation& row : translationTable()) {
      if (row.chinese) builder.AddText(row.chinese);
    }
    builder.AddText(chineseVillageNameText().c_str());
    ImVector<ImWchar> built;
    builder.BuildRanges(&built);
    return built;
  }();
  return ranges.Data;
}

// Font files that cover simplified Chinese: fontconfig's best match first, then the
// usual locations of WenQuanYi Micro Hei and Noto Sans CJK.
std::vector<std::string> chineseFontCandidates() {
  std::vector<std::string> candidates;
  if (FcInit()) {
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif:lang=zh-cn"));
    if (pattern) {
      FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
      FcDefaultSubstitute(pattern);
      FcResult result = FcResultNoMatch;
      FcPattern* match = FcFontMatch(nullptr, pattern, &result);
      FcChar8* file = nullptr;
      FcLangSet* languages = nullptr;
      if (match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch &&
          FcPatternGetLangSet(match, FC_LANG, 0, &languages) == FcResultMatch &&
          FcLangSetHasLang(languages, reinterpret_cast<const FcChar8*>("zh-cn")) != FcLangDifferentLang) {
        candidates.emplace_back(reinterpret_cast<const char*>(file));
      }
      if (match) FcPatternDestroy(match);
      FcPatternDestroy(pattern);
    }
  }
  candidates.emplace_back("/usr/share/fonts/truetype/wqy/wqy-microhei.ttc");
  candidates.emplace_back("/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc");
  return candidates;
}

}  // namespace

void VulkanRenderer::createImGui() {
  const std::uint32_t sets = layerCount_ + 1;
  ZORV_VK_CHECK(createDescriptorPool(device_, {{VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, sets}}, sets,
                                     VK_DESCRIPTOR_POOL_CREATE_FREE_DESCRIPTOR_SET_BIT, &imguiPool_));
  deletionQueue_.push([this] {
    vkDestroyDescriptorPool(device_, imguiPool_, nullptr);
    imguiPool_ = VK_NULL_HANDLE;
  });

  IMGUI_CHECKVERSION();
  ImGui::CreateContext();
  imguiContext_ = true;
  // Either back-end may not have started if init failed part way; the Vulkan one goes
  // while its device and pool still exist.
  deletionQueue_.push([this] {
    if (ImGui::GetIO().BackendRendererUserData) ImGui_ImplVulkan_Shutdown();
    if (ImGui::GetIO().BackendPlatformUserData) ImGui_ImplGlfw_Shutdown();
    ImGui::DestroyContext();
    imguiContext_ = false;
    uiFrameOpen_ = false;
    layerTextures_.clear();
  });
  ImGui::StyleColorsDark();
  ImGuiStyle& style = ImGui::GetStyle();
  style.WindowPadding = ImVec2(12, 12);
  style.WindowRounding = 0.0f;
  style.WindowBorderSize = 1.0f;
  style.FrameRounding = 3.0f;
  ImVec4* colours = style.Colors;
  colours[ImGuiCol_WindowBg] = ImVec4(0.09f, 0.10f, 0.11f, 0.94f);
  colours[ImGuiCol_Border] = ImVec4(0.24f, 0.25f, 0.27f, 0.60f);
  colours[ImGuiCol_TitleBg] = ImVec4(0.13f, 0.14f, 0.15f, 1.0f);
  colours[ImGuiCol_TitleBgActive] = ImVec4(0.16f, 0.17f, 0.19f, 1.0f);
  colours[ImGuiCol_CheckMark] = ImVec4(0.55f, 0.72f, 0.45f, 1.0f);
  colours[ImGuiCol_Button] = ImVec4(0.17f, 0.19f, 0.21f, 1.0f);
  colours[ImGuiCol_ButtonHovered] = ImVec4(0.23f, 0.26f, 0.29f, 1.0f);
  colours[ImGuiCol_ButtonActive] = ImVec4(0.29f, 0.33f, 0.36f, 1.0f);
  colours[ImGuiCol_Header] = ImVec4(0.20f, 0.23f, 0.25f, 1.0f);
  colours[ImGuiCol_HeaderHovered] = ImVec4(0.26f, 0.29f, 0.32f, 1.0f);
  colours[ImGuiCol_Separator] = ImVec4(0.26f, 0.27f, 0.29f, 1.0f);

  ImGuiIO& io = ImGui::GetIO();
  io.IniFilename = nullptr;
  for (const std::string& candidate : chineseFontCandidates()) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(candidate, error)) continue;
    if (io.Fonts->AddFontFromFileTTF(candidate.c_str(), 16.0f, nullptr, chineseGlyphRanges())) {
      uiFontPath_ = candidate;
      break;
    }
  }
  if (uiFontPath_.empty()) io.Fonts->AddFontDefault();

  if (!ImGui_ImplGlfw_InitForVulkan(window_, true)) throw std::runtime_error("imgui glfw init failed");
  ImGui_ImplVulkan_LoadFunctions([](const char* name, void* instance) {
    return vkGetInstanceProcAddr(*static_cast<VkInstance*>(instance), name);
  }, &instance_);
  ImGui_ImplVulkan_InitInfo info{};
  info.Instance = instance_;
  info.PhysicalDevice = physicalDevice_;
  info.Device = device_;
  info.QueueFamily = graphicsFamily_;
  info.Queue = graphicsQueue_;
  info.DescriptorPool = imguiPool_;
  info.MinImageCount = 2;
  info.ImageCount = static_cast<std::uint32_t>(swapchainImages_.size());
  info.MSAASamples = VK_SAMPLE_COUNT_1_BIT;
  info.UseDynamicRendering = true;
  info.ColorAttachmentFormat = swapchainFormat_;
  // No MinAllocationSize: this back-end version records the allocation size as the buffer's
  // size, so a frame with more vertices than the first would read past the buffer's end.
  if (!ImGui_ImplVulkan_Init(&info, VK_NULL_HANDLE)) throw std::runtime_error("imgui vulkan init failed");
  for (VkImageView view : textureLayerViews_) {
    VkDescriptorSet set = ImGui_ImplVulkan_AddTexture(sampler_, view, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL);
    layerTextures_.push_back(reinterpret_cast<std::uint64_t>(set));
  }
}

void VulkanRenderer::beginUiFrame() {
  if (!imguiContext_) return;
  if (uiFrameOpen_) ImGui::EndFrame();  // the last frame was never drawn (swapchain recreated)
  ImGui_ImplVulkan_NewFrame();
  ImGui_ImplGlfw_NewFrame();
  ImGui::NewFrame();
  uiFrameOpen_ = true;
}

std::uint64_t VulkanRenderer::layerTexture(std::uint32_t layer) const {
  return layer < layerTextures_.size() ? layerTextures_[layer] : 0;
}

}  // namespace zorv
