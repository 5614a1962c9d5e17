#pragma once
// The session's side of the options file: which session fields the stored options are,
// in both directions. The windowed game reads them at start-up and compares them every
// frame to save what the player changed.

#include "client/options.h"

namespace zorv {

struct ClientSession;

// The options as the session holds them now, the language included.
Options sessionOptions(const ClientSession& session);

// Puts stored options into the session: preferences, settings, overlays, profile texts, the window's
// placement and the key bindings; the language only when the options name one.
void applySessionOptions(ClientSession& session, const Options& options);

}  // namespace zorv
