#pragma once
// What the menu screens, the pause screen and the death screen ask for, carried out on
// the session: creating, playing, deleting, hosting and joining worlds, saving, leaving
// and quitting; plus the texts written into screenshots.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "client/client_session.h"
#include "game/typed_text.h"

namespace zorv {

// Creates <base>/name (the platform's program folder) (with missing parents) and asks the desktop to show it.
void openFolder(std::string_view name);

void handleMenuAction(ClientSession& session, MenuAction action);
void handlePauseAction(ClientSession& session, PauseAction action);
void handleDeathAction(ClientSession& session, DeathAction action);

// "Zorvander " and the version.
std::string screenshotTitle();
// The untranslated description of what a screenshot shows (at most 511 bytes).
std::string screenshotDescription(const ClientSession& session);

}  // namespace zorv
