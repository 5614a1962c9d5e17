#pragma once
// The session of a player's program: the game session plus what shows its world — the
// chunk streamer and the renderer that receives its meshes — and the sounds it plays.
#include "client/streamer.h"
#include "game/game_session.h"
#include "render/renderer.h"

namespace zorv {

struct ClientSession : GameSession, WorldView {
  ClientSession() { view = this; }

  // May be null (headless tests); meshes are then dropped, the streaming state is kept.
  Renderer* renderer = nullptr;
  ChunkStreamer streamer;

  void forgetWorld() override;
  void showArea(World& world, Vec3 centre, int radius) override;
  void remeshChanged(World& world) override;
  void follow(World& world, Vec3 eye) override;
  void setRenderDistance(int chunks) override;
};

// Plays the queued sound cues, oldest first, and empties the queue.
void playQueuedSounds(GameSession& session);

}  // namespace zorv
