#pragma once
// Graphics pipelines for dynamic rendering from a short description, and a guard that
// destroys shader modules once the pipelines are built.

#include <volk.h>

#include <utility>
#include <vector>

namespace zorv {

enum class BlendMode { None, Alpha, Additive };

struct PipelineDescription {
  VkPipelineLayout layout = VK_NULL_HANDLE;
  VkShaderModule vertexShader = VK_NULL_HANDLE;
  VkShaderModule fragmentShader = VK_NULL_HANDLE;  // none for depth-only pipelines
  const char* vertexEntry = "VSMain";
  const char* fragmentEntry = "PSMain";
  bool meshVertices = false;    // 36-byte MeshVertex input; otherwise no vertex input
  bool shadowVertices = false;  // only locations 0–3
  VkFormat colourFormat = VK_FORMAT_UNDEFINED;
  VkFormat depthFormat = VK_FORMAT_UNDEFINED;
  bool depthTest = false;
  bool depthWrite = false;
  bool depthBias = false;
  BlendMode blend = BlendMode::None;
  // Only faces wound counter-clockwise on screen are drawn: for closed surfaces, whose
  // other faces are always hidden behind them.
  bool cullBackFaces = false;
  // Block programs: specialisation constant 0 on (tone-mapped output) and the alpha channel
  // left alone, as the window's image is drawn into directly.
  bool displayOutput = false;
};

VkResult buildPipeline(VkDevice device, const PipelineDescription& description, VkPipeline* pipeline);

class ShaderModules {
 public:
  ShaderModules(VkDevice device, std::vector<VkShaderModule> modules) : device_(device), modules_(std::move(modules)) {}
  ~ShaderModules();
  ShaderModules(const ShaderModules&) = delete;
  ShaderModules& operator=(const ShaderModules&) = delete;

 private:
  VkDevice device_;
  std::vector<VkShaderModule> modules_;
};

}  // namespace zorv
