#pragma once
// Everything drawn over the world while one is open: weather streaks, minimap, crosshair,
// hotbar, block outlines, hurt flash, hearts, break progress, creature health bars, name
// tags, the chat box with command hints, the debug overlay, and the death screen; the
// inventory window and the pause menu are called from here too.

#include <array>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <imgui.h>

#include "client/client_session.h"
#include "ui/ui_frame.h"

namespace zorv {

struct InGameUiResult {
  PauseAction pause = PauseNone;
  DeathAction death = DeathNone;
};

// The whole in-game interface of one frame, in its drawing order; called while the
// application state is not Menu.
InGameUiResult buildInGameUi(ClientSession& session, const UiFrameInfo& frame);

// Rain streaks or snow flakes of the session's weather on the background list, moving
// with the session clock.
void drawWeatherOverlay(const ClientSession& session, const UiFrameInfo& frame);
// The names of the remote players above their heads, on the foreground list.
void drawNameTags(const ClientSession& session, const UiFrameInfo& frame);

// Ten hearts for 20 health points, two points each.
enum class HeartState : std::uint8_t { Empty, Half, Full };
std::array<HeartState, 10> heartStates(int health);

// 0 East, 1 South, 2 West, 3 North: quarters centred on multiples of 90 degrees of yaw.
int facingIndex(float yawDegrees);

// A chat-box line: its index in the message log and its opacity.
struct ShownMessage {
  std::size_t index = 0;
  float alpha = 1.0f;
};
// At most 10 messages, newest first. With the chat closed, messages fade out from 8 to
// 12 seconds of age and older ones are left out; an open chat shows them all fully.
std::vector<ShownMessage> shownMessages(const std::deque<LogEntry>& log, double now, bool chatOpen);

// Up to five "/name" completions of the command word being typed; none once the word is
// followed by a space or the text is no command.
std::vector<std::string> commandHints(std::string_view chatText);

// A point of the world on the display: nothing when its clip w is at most `minimumW`.
struct ScreenPoint {
  ImVec2 position;
  float ndcX = 0.0f, ndcY = 0.0f;  // clip x and y divided by w
};
std::optional<ScreenPoint> projectToScreen(const std::array<float, 16>& viewProjection, Vec3 point, float minimumW,
                                           ImVec2 display);

// The filled share of a creature's health bar; nothing at full health or at 0.
std::optional<float> creatureBarFraction(const Mob& mob);

// Whether the cell a placed block would go to is outlined: its column is loaded and it
// holds air or a fluid.
bool placementOutlineShown(const World& world, const PickResult& pick);

// What hotbar slot `slot` shows: the stack, or in Creative the palette block for an
// empty slot (with count 1, so no count is drawn). Empty when nothing is shown.
ItemStack hotbarSlotContent(const ClientSession& session, int slot);

// The debug overlay's lines in order.
struct DebugLine {
  std::string text;
  bool separatorAfter = false;
  bool disabled = false;
};
std::vector<DebugLine> debugOverlayLines(const ClientSession& session, const UiFrameInfo& frame);

}  // namespace zorv
