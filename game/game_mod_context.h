#pragma once
// The running game as the mods' Lua API sees it: block queries and edits, messages,
// items, the player (the local one, or the remote one a command runs for) and drops, all
// applied to one game session.

#include <cstdint>
#include <string>

#include "mods/mod_context.h"

namespace zorv {

struct GameSession;
struct NamedStack;
struct RemotePlayer;

class GameModContext : public ModContext {
 public:
  explicit GameModContext(GameSession& session) : session_(session) {}

  bool getBlock(int x, int y, int z, std::string& name) override;
  // Through the world's edit path (saved, sent to clients), without mod events or drops.
  bool setBlock(int x, int y, int z, const std::string& name) override;
  void message(const std::string& text) override;
  bool give(const std::string& name, int count) override;
  void playerPosition(float& x, float& y, float& z) override;
  bool teleport(float x, float y, float z) override;
  bool spawnDrop(int x, int y, int z, const std::string& name, int count) override;
  bool isHost() override;
  void log(const std::string& text) override;

  // The remote player a host runs a mod command for (0: the session's own player). The
  // player's position is the last one received; items given are granted to that player's
  // game as a pickup. A teleport is refused: a player's game owns its position and no
  // message moves it.
  void actFor(std::int32_t remotePlayerId) { actingFor_ = remotePlayerId; }

 private:
  const RemotePlayer* actingRemotePlayer() const;
  bool grantToRemotePlayer(const NamedStack& stack, int count);

  GameSession& session_;
  std::int32_t actingFor_ = 0;
};

// The stack a mod names: a registered block other than air (durability 0), else a
// registered item with its full durability. Nothing for an unknown name.
struct NamedStack {
  std::uint16_t id = 0;
  std::int32_t durability = 0;
};
bool resolveItemName(const std::string& name, NamedStack& stack);

}  // namespace zorv
