#pragma once
// The pause menu's settings beyond the view ones: full screen, mouse inversion, interface
// scale, and the "Controls" list where every action's key is rebound.

#include "client/client_session.h"

namespace zorv {

// Check boxes for full screen and inverted mouse, the interface scale slider.
void windowAndInputSettings(ClientSession& session);

// Every action with its key as a button: a click waits for the next key (which the main
// loop's key callback binds, Esc cancels); keys used by several actions are listed in
// red below; "Reset to defaults" restores every key.
void controlsSection(ClientSession& session);

}  // namespace zorv
