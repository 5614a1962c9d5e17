#pragma once
// Options with every field away from its default, for tests that carry them somewhere and back.

#include "client/options.h"

namespace zorv::testing {

// Every field away from its default, so a field the file forgets cannot come back equal.
inline Options changedOptions() {
  Options o;
  o.mouseSensitivity = 0.27f;
  o.fieldOfView = 93.5f;
  o.renderDistance = 16;
  o.renderScale = 65;
  o.shadows = false;
  o.postProcessing = false;
  o.verticalSync = true;
  o.language = 1;
  o.minimap = false;
  o.debugOverlay = true;
  o.invertMouse = true;
  o.interfaceScale = 175;
  o.playerName = "Ada Lovelace";
  o.port = "40001";
  o.serverAddress = "play.example.com:4000";
  o.recentAddresses = {"a.example", "10.0.0.2:27632", "c.example", "d.example", "e.example"};
  o.windowWidth = 1600;
  o.windowHeight = 900;
  o.windowX = -20;
  o.windowY = 35;
  o.fullScreen = true;
  o.keys.bind(Action::Jump, 'J');
  o.keys.bind(Action::Pause, 284);
  o.keys.bind(Action::Hotbar9, 329);
  return o;
}

}  // namespace zorv::testing
