#pragma once
// What a player's program shows of the session: its world, its screens and its chat line.
// The rules tell it when the world is replaced, prepared, edited or walked through, when
// the application state or the inventory changes, and which menu page to show. A session
// without one (a dedicated server, most rule tests) meshes and shows nothing.
#include <cstdint>
#include <string>

#include "world/vec.h"
#include "world/world.h"

namespace zorv {

enum AppState : std::uint8_t { AppMenu = 0, AppPlaying = 1, AppPaused = 2, AppDead = 3 };
enum MenuScreen : std::uint8_t { MenuMain = 0, MenuWorlds = 1, MenuMultiplayer = 2, MenuConnecting = 3 };

class SessionView {
 public:
  virtual ~SessionView() = default;

  // The world was left or replaced: every mesh and streaming state is stale, and the chat
  // line closes.
  virtual void forgetWorld() = 0;
  // Meshes the chunks within `radius` columns of `centre` at once (a new world's first area).
  virtual void showArea(World& world, Vec3 centre, int radius) = 0;
  // Meshes the world's remesh set now, so an edit shows in the same frame; empties it.
  virtual void remeshChanged(World& world) = 0;
  // One step of streaming and of the minimap around the player's eye.
  virtual void follow(World& world, Vec3 eye, float dt) = 0;
  virtual void setRenderDistance(int chunks) = 0;
  // Whether follow brings the columns around the player into the world (a streaming
  // view); without that the rules load them within the host's per-step budget.
  virtual bool streamsColumns() const = 0;

  // The application state was stored (the inventory is closed by then).
  virtual void appStateChanged(AppState state) = 0;
  virtual void inventoryOpened() = 0;
  virtual void inventoryClosed() = 0;
  // Shows a menu page with a status line (empty for none).
  virtual void showMenu(MenuScreen screen, const std::string& status) = 0;
  virtual void setMenuStatus(const std::string& status) = 0;
  // A world was saved or left: the list of saved worlds may have changed.
  virtual void worldListChanged() = 0;
  // A submitted command line, for the chat history.
  virtual void lineEntered(const std::string& line) = 0;
  // Shows or hides the debug overlay; returns whether it is shown now.
  virtual bool toggleDebugOverlay() = 0;
  // The name the player typed, as mods see it (see localPlayerName).
  virtual std::string playerName() const = 0;
};

}  // namespace zorv
