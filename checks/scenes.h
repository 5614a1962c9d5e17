#pragma once
// Scripted screenshot scenes: a named situation built in a fresh world (or a menu screen),
// drawn for three frames, the last one saved with the screenshot texts.

#include <filesystem>
#include <string>

struct GLFWwindow;

namespace zorv {

struct ClientSession;
class VulkanRenderer;

inline constexpr const char* kSceneWorld = "Screenshot";

// Builds the scene `name` (an unknown name gives the default camera), captures it to
// `output` and returns 0.
int runSceneCapture(ClientSession& session, VulkanRenderer& renderer, GLFWwindow* window,
                    const std::filesystem::path& output, const std::string& name);

}  // namespace zorv
