#include "ui/controls_menu.h"

#include <string>

#include <imgui.h>

#include "lang/localisation.h"
#include "ui/interface_scale.h"

namespace zorv {
namespace {

constexpr ImVec4 kConflictColour(0.95f, 0.35f, 0.3f, 1.0f);
constexpr float kControlsListHeight = 190.0f;

// The slider's value while it is dragged: the scale changes only on release, so the
// widget does not grow under the mouse.
int draftInterfaceScale = 0;

void interfaceScaleSlider(Settings& settings) {
  if (!ImGui::IsAnyItemActive() || draftInterfaceScale == 0) draftInterfaceScale = settings.interfaceScale;
  ImGui::SliderInt(tr("Interface scale"), &draftInterfaceScale, 75, 200, "%d%%", ImGuiSliderFlags_AlwaysClamp);
  if (ImGui::IsItemDeactivatedAfterEdit()) settings.interfaceScale = draftInterfaceScale;
}

std::string conflictNames(const KeyBindings& keys, Action action) {
  std::string names = tr(actionInfo(action).label);
  for (const Action other : conflictsOf(keys, action)) names += std::string(", ") + tr(actionInfo(other).label);
  return names;
}

// One line per key that several actions share, named once at its first action.
void conflictLines(const KeyBindings& keys) {
  for (const ActionInfo& info : actionTable()) {
    const auto others = conflictsOf(keys, info.action);
    if (others.empty() || others.front() < info.action) continue;
    const std::string line = formatTranslated("Key %s is used by: %s", keyLabel(keys.key(info.action)).data(),
                                              conflictNames(keys, info.action).c_str());
    ImGui::PushStyleColor(ImGuiCol_Text, kConflictColour);
    ImGui::TextWrapped("%s", line.c_str());
    ImGui::PopStyleColor();
  }
}

void bindingRow(ClientSession& session, const ActionInfo& info) {
  KeyBindings& keys = session.settings.keys;
  ImGui::TableNextRow();
  ImGui::TableNextColumn();
  ImGui::AlignTextToFramePadding();
  ImGui::TextUnformatted(tr(info.label));
  ImGui::TableNextColumn();
  const bool waiting = session.keyCapture.waiting == info.action;
  const bool conflict = !conflictsOf(keys, info.action).empty();
  const std::string text =
      std::string(waiting ? tr("Press a key...") : keyLabel(keys.key(info.action)).data()) + "##" + info.fileKey;
  if (conflict) ImGui::PushStyleColor(ImGuiCol_Text, kConflictColour);
  if (ImGui::Button(text.c_str(), ImVec2(-1.0f, 0.0f))) session.keyCapture.waiting = info.action;
  if (conflict) ImGui::PopStyleColor();
}

}  // namespace

void windowAndInputSettings(ClientSession& session) {
  Settings& settings = session.settings;
  ImGui::Checkbox(tr("Full screen"), &settings.fullScreen);
  ImGui::Checkbox(tr("Invert mouse"), &settings.invertMouse);
  interfaceScaleSlider(settings);
}

void controlsSection(ClientSession& session) {
  ImGui::TextDisabled("%s", tr("Click an action, then press its new key (Esc cancels)."));
  ImGui::BeginChild("##controls", ImVec2(0.0f, kControlsListHeight * interfaceScale()), true);
  if (ImGui::BeginTable("##bindings", 2, ImGuiTableFlags_SizingStretchSame)) {
    for (const ActionInfo& info : actionTable()) bindingRow(session, info);
    ImGui::EndTable();
  }
  ImGui::EndChild();
  conflictLines(session.settings.keys);
  if (ImGui::Button(tr("Reset to defaults"), ImVec2(-1.0f, 26.0f * interfaceScale()))) {
    session.settings.keys = KeyBindings();
    session.keyCapture.waiting.reset();
  }
}

}  // namespace zorv
