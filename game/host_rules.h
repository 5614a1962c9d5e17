#pragma once
// and the entity rules every step runs.
#include "game/game_session.h"

namespace zorv {

// The day clock (a day lasts 180 s).
void advanceClock(GameSession& session, float dt);

// Weather, the fluid step and the mods' tick.
void runHostWorldRules(GameSession& session, float dt);

// The periodic autosave, then the queued chunk jobs and the view's meshes.
void autosaveAndRunChunkJobs(GameSession& session, float dt);

// The weather timer and its random change.
void changeWeather(GameSession& session, float dt);

// Zombies burning by day and night spawns near the players.
void burnAndSpawnZombies(GameSession& session, float dt);

// One host step of the world's rules: clock, weather, fluids, the mods' tick, the
// autosave, relighting, mobs and drops, burning zombies and night spawns around every
// player. Without a local player (the dedicated server) the columns around the remote
// players are loaded within a per-step budget and those far from every player and the
// spawn are unloaded.
void stepHostRules(GameSession& session, float dt);
// Columns around the players loaded (or generated) per step: players who walk (or are
// teleported) into new terrain together do not stall one step with all of it.
constexpr int kColumnLoadsPerStep = 4;
// Loads (or generates) the columns within one column of each player, at most
// kColumnLoadsPerStep of them, every player's own column first; the rest follow in the
// next calls. True when all of them are present.
bool loadColumnsAroundPlayers(World& world, const std::vector<PlayerTarget>& players);
// The players mobs react to: the local one (unless there is none) and every remote
// player that has reported a position.
std::vector<PlayerTarget> mobTargets(const GameSession& session);
// A client shows what the host simulates: drops only age and spin, mobs turn smoothly.
void animateReceivedEntities(GameSession& session, float dt);
void moveParticles(GameSession& session, float dt);
void smoothRemotePlayers(GameSession& session, float dt);

}  // namespace zorv
