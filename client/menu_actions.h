#pragma once
// What the menu screens, the pause screen and the death screen ask for, carried out on
// the session: creating, playing, deleting, hosting and joining worlds, saving, leaving
// and quitting; plus the texts written into screenshots.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/game_session.h"

namespace zorv {

// A UDP port typed by the user: decimal digits only, 1 to 65535; nothing when invalid.
std::optional<std::uint16_t> parsePortText(std::string_view text);
// The seed of a new world: FNV-1a of the typed bytes, or the clock seed when empty.
std::uint32_t seedFromText(std::string_view text);

void handleMenuAction(GameSession& session, MenuAction action);
void handlePauseAction(GameSession& session, PauseAction action);
void handleDeathAction(GameSession& session, DeathAction action);

// "Zorvander " and the version.
std::string screenshotTitle();
// The untranslated description of what a screenshot shows (at most 511 bytes).
std::string screenshotDescription(const GameSession& session);

}  // namespace zorv
