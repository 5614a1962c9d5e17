#pragma once
// The interface scale: Dear ImGui's text and widget sizes grown or shrunk together.

namespace zorv {

// Scales the font and the style's sizes to `percent` of their original values; cheap
// when the scale has not changed since the last call.
void applyInterfaceScale(int percent);
// The factor applied last (1 before any call).
float interfaceScale();

}  // namespace zorv
