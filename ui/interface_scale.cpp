#include "ui/interface_scale.h"

#include <imgui.h>

namespace zorv {
namespace {

float currentScale = 1.0f;

}  // namespace

void applyInterfaceScale(int percent) {
  const float scale = static_cast<float>(percent) / 100.0f;
  if (scale == currentScale) return;
  // The style's sizes are scaled from the unscaled style each time, so repeated changes
  // do not accumulate rounding.
  static const ImGuiStyle original = ImGui::GetStyle();
  ImGuiStyle scaled = original;
  scaled.ScaleAllSizes(scale);
  ImGui::GetStyle() = scaled;
  ImGui::GetIO().FontGlobalScale = scale;
  currentScale = scale;
}

float interfaceScale() { return currentScale; }

}  // namespace zorv
