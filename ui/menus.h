#pragma once
// The out-of-world menu (main page, world list, multiplayer page, connecting page) and
// the in-world pause menu with its settings. Both are rebuilt every frame and return the
// action the user clicked; the main loop carries it out. The menus only edit the
// session's text buffers, settings and menu page in place.

#include "client/client_session.h"
#include "ui/ui_frame.h"

namespace zorv {

// The main menu window of the current page.
MenuAction buildMainMenu(ClientSession& session);

// The pause menu window; also hands the mouse sensitivity to the player and a changed
// render distance to the chunk streamer.
PauseAction buildPauseMenu(ClientSession& session, const UiFrameInfo& frame);

// What one frame's presses come to when several buttons report at once.
MenuAction worldsPageAction(bool createPressed, bool deletePressed, bool playPressed);
MenuAction multiplayerPageAction(bool joinPressed, bool hostNewPressed, bool hostSelectedPressed);
PauseAction pauseMenuAction(bool resumePressed, bool savePressed, bool toMenuPressed, bool quitPressed);

}  // namespace zorv
