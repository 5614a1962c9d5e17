#include "game/multiplayer.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <utility>

#include "game/commands.h"
#include "game/interaction.h"
#include "game/world_life_cycle.h"
#include "lang/localisation.h"
#include "mods/events.h"
#include "world/physics.h"
#include "world/registry.h"

namespace zorv {
namespace {

constexpr std::int32_t kHostPlayerId = 1;
// A client whose position lags behind may ask for cells a little beyond its reach; the
// host answers those with their content even where it has not loaded them yet.
constexpr float kLoadForRequestReach = 32.0f;

RemotePlayer* findRemotePlayer(GameSession& session, std::int32_t id) {
  const auto found = std::find_if(session.remotePlayers.begin(), session.remotePlayers.end(),
                                  [id](const RemotePlayer& player) { return player.id == id; });
  return found == session.remotePlayers.end() ? nullptr : &*found;
}

RemotePlayer& findOrAddRemotePlayer(GameSession& session, std::int32_t id) {
  if (RemotePlayer* existing = findRemotePlayer(session, id)) return *existing;
  RemotePlayer& added = session.remotePlayers.emplace_back();
  added.id = id;
  added.name = formatTranslated("Player %d", id);
  return added;
}

void removeRemotePlayer(GameSession& session, std::int32_t id) {
  std::erase_if(session.remotePlayers, [id](const RemotePlayer& player) { return player.id == id; });
}

void placeRemotePlayer(RemotePlayer& player, Vec3 position) {
  player.x = player.shownX = position.x;
  player.y = player.shownY = position.y;
  player.z = player.shownZ = position.z;
}

// Where the host measures a client's reach from: its last reported position, else the spawn.
Vec3 referencePoint(GameSession& session, std::int32_t playerId) {
  const RemotePlayer* player = findRemotePlayer(session, playerId);
  if (player == nullptr || !player->known) return session.spawnPoint;
  return {player->x, player->y, player->z};
}

std::string remoteName(GameSession& session, std::int32_t playerId) {
  const RemotePlayer* player = findRemotePlayer(session, playerId);
  return player != nullptr ? player->name : formatTranslated("Player %d", playerId);
}

Weather receivedWeather(std::uint8_t weather) { return weather > 2 ? WeatherClear : static_cast<Weather>(weather); }

float receivedTimeOfDay(float timeOfDay) { return std::clamp(timeOfDay, 0.0f, 1.0f); }

bool isPlaying(const GameSession& session) { return session.appState != AppMenu; }

// The client's world goes away: endpoint closed, world and other players dropped.
void discardClientWorld(GameSession& session) {
  shutdown(session.net);
  session.networkRole = RoleOffline;
  session.localPlayerId = 0;
  dropWorld(session);
}

void backToMultiplayerMenu(GameSession& session, const std::string& reason) {
  if (session.view) session.view->showMenu(MenuMultiplayer, reason);
  setAppState(session, AppMenu);
}

std::vector<BlockEdit> recordedEdits(const World& world) {
  std::vector<BlockEdit> edits;
  for (const SavedEdit& saved : savedEdits(world)) {
    edits.push_back({saved.x, saved.y, saved.z, saved.block, saved.fluidLevel});
  }
  return edits;
}

void welcomeJoiner(GameSession& session, std::int32_t playerId, const std::string& name) {
  RemotePlayer& joiner = findOrAddRemotePlayer(session, playerId);
  joiner.name = name;
  joiner.known = false;
  placeRemotePlayer(joiner, session.spawnPoint);

  WelcomeMessage welcome;
  welcome.seed = session.seed;
  welcome.spawnX = session.spawnPoint.x;
  welcome.spawnY = session.spawnPoint.y;
  welcome.spawnZ = session.spawnPoint.z;
  welcome.timeOfDay = session.timeOfDay;
  welcome.weather = session.weather;
  welcome.hostName = session.networkPlayerName;
  sendWelcome(session.net, playerId, welcome);
  sendEditsTo(session.net, playerId, recordedEdits(*session.world));
  if (session.hasLocalPlayer) sendPlayerInfoTo(session.net, playerId, {kHostPlayerId, session.networkPlayerName});
  for (const RemotePlayer& other : session.remotePlayers) {
    if (other.id != playerId) sendPlayerInfoTo(session.net, playerId, {other.id, other.name});
  }
  // Queued behind the edit batches, so the client starts playing on the complete world.
  sendReady(session.net, playerId);
  broadcastPlayerInfo(session.net, playerId, {playerId, name});
  addMessage(session, formatTranslated("%s joined the game", name.c_str()));
  playerJoined(session.mods, playerId, name);
}

void forgetLeaver(GameSession& session, std::int32_t playerId) {
  const RemotePlayer* player = findRemotePlayer(session, playerId);
  if (player == nullptr) return;
  const std::string name = player->name;
  addMessage(session, formatTranslated("%s left the game", name.c_str()));
  playerLeft(session.mods, playerId, name);
  removeRemotePlayer(session, playerId);
}

void refuseEdit(GameSession& session, std::int32_t playerId, const EditRequestMessage& request) {
  const BlockEdit current = blockEditAt(*session.world, request.x, request.y, request.z);
  sendEditsTo(session.net, playerId, std::span<const BlockEdit>(&current, 1));
}

bool modsAllow(GameSession& session, std::int32_t playerId, const EditRequestMessage& request, BlockId block,
               bool isPlace) {
  const std::string& blockName = blockRegistry().get(block).id;
  const std::string player = remoteName(session, playerId);
  return isPlace ? blockPlace(session.mods, request.x, request.y, request.z, blockName, player, playerId)
                 : blockBreak(session.mods, request.x, request.y, request.z, blockName, player, playerId);
}

void breakForClient(GameSession& session, const EditRequestMessage& request) {
  World& world = *session.world;
  const int x = request.x, y = request.y, z = request.z;
  const BlockDef& broken = blockRegistry().get(getBlock(world, x, y, z));
  const bool survival = request.gameMode == ModeSurvival;
  setBlock(world, x, y, z, kAir);
  if (survival && broken.drop != 0 && canHarvest(broken, request.heldItem)) dropAtCell(session, x, y, z, broken.drop);
  removeTorchAbove(session, x, y, z, survival);
}

void handleEditRequest(GameSession& session, std::int32_t playerId, const EditRequestMessage& request) {
  World& world = *session.world;
  if (!inWorldBounds(request.x, request.y, request.z)) return;
  // The requester may stand where nobody else is, so the host loads the cell's column
  // before judging it; but a request far beyond any reach makes it load nothing.
  const Vec3 reference = referencePoint(session, playerId);
  if (!isColumnLoaded(world, chunkCoord(request.x), chunkCoord(request.z))) {
    if (!withinReach(reference, request.x, request.y, request.z, kLoadForRequestReach)) {
      // Refused like any edit out of reach: the cell's content goes back, read from what
      // is stored or made from the seed, and the column is not kept loaded.
      const BlockEdit current = storedBlockEditAt(world, request.x, request.y, request.z);
      return sendEditsTo(session.net, playerId, std::span<const BlockEdit>(&current, 1));
    }
    ensureColumn(world, chunkCoord(request.x), chunkCoord(request.z));
  }
  const EditVerdict verdict = checkEditRequest(world, reference, request);
  switch (verdict) {
    case EditVerdict::Ignore:
      return;
    case EditVerdict::Reject:
      return refuseEdit(session, playerId, request);
    case EditVerdict::Place:
      if (!modsAllow(session, playerId, request, request.block, true)) return refuseEdit(session, playerId, request);
      setBlock(world, request.x, request.y, request.z, request.block);
      return;
    case EditVerdict::Break:
      if (!modsAllow(session, playerId, request, getBlock(world, request.x, request.y, request.z), false)) {
        return refuseEdit(session, playerId, request);
      }
      breakForClient(session, request);
      return;
  }
}

void grantPickup(GameSession& session, std::int32_t playerId, std::int32_t dropId) {
  const RemotePlayer* player = findRemotePlayer(session, playerId);
  if (player == nullptr || !player->known) return;
  if (const auto grant = takeRequestedDrop(session.drops, {player->x, player->y, player->z}, dropId)) {
    sendPickupGrant(session.net, playerId, *grant);
  }
}

void storeRemoteState(GameSession& session, const SessionEvent& event) {
  if (session.networkRole == RoleOffline || event.playerId == session.localPlayerId) return;
  RemotePlayer& player = findOrAddRemotePlayer(session, event.playerId);
  const PlayerStateMessage& state = event.state;
  player.x = state.x;
  player.y = state.y;
  player.z = state.z;
  player.yaw = state.yaw;
  player.pitch = state.pitch;
  player.mode = state.gameMode;
  player.health = state.health;
  player.flying = state.flying != 0;
  if (!player.known) {
    placeRemotePlayer(player, {state.x, state.y, state.z});
    player.known = true;
  }
}

void startClientWorld(GameSession& session, const WelcomeMessage& welcome) {
  session.networkRole = RoleClient;
  session.localPlayerId = welcome.playerId;
  session.worldName.clear();
  dropWorld(session);
  session.seed = welcome.seed;
  // A received world has no folder, so nothing of it is ever read from or written to disk.
  session.world = std::make_unique<World>(static_cast<std::int32_t>(welcome.seed));
  setFluidsEnabled(*session.world, false);
  setCaptureEnabled(*session.world, false);
  session.spawnPoint = {welcome.spawnX, welcome.spawnY, welcome.spawnZ};
  session.timeOfDay = receivedTimeOfDay(welcome.timeOfDay);
  session.weather = receivedWeather(welcome.weather);
  RemotePlayer& host = findOrAddRemotePlayer(session, kHostPlayerId);
  host.name = welcome.hostName.empty() ? std::string(tr("Host")) : welcome.hostName;
  host.health = 20;
  placeRemotePlayer(host, session.spawnPoint);
  session.inventory.clear();
  session.inventory.select(0);
  if (session.view) session.view->setMenuStatus(tr("Downloading world..."));
}

void applyReceivedEdits(GameSession& session, const std::vector<BlockEdit>& edits) {
  World& world = *session.world;
  for (const BlockEdit& edit : edits) {
    applySavedEdit(world, edit.x, edit.y, edit.z, edit.block, edit.fluidLevel == kNoFluidLevel ? -1 : edit.fluidLevel);
    if (isPlaying(session) && inWorldBounds(edit.x, edit.y, edit.z)) queueRemeshAround(world, edit.x, edit.y, edit.z);
  }
  if (isPlaying(session)) remeshChanged(session);
}

void enterReceivedWorld(GameSession& session) {
  World& world = *session.world;
  PlayerBody& player = session.player;
  resetPlayer(player);
  player.x = session.spawnPoint.x;
  player.y = session.spawnPoint.y;
  player.z = session.spawnPoint.z;
  ensureColumnsAround(world, floorToInt(player.x), floorToInt(player.z), 2);
  raiseOutOfBlocks(world, player);
  session.mobs.clear();
  session.drops.clear();
  if (session.view) session.view->setMenuStatus("");
  setAppState(session, AppPlaying);
  const std::string host = session.remotePlayers.empty() ? tr("the host") : session.remotePlayers.front().name;
  addMessage(session, formatTranslated("Joined %s's world", host.c_str()));
}

void receivePickup(GameSession& session, const PickupGrantMessage& grant) {
  const bool known = grant.item >= kFirstItem ? itemRegistry().isItem(grant.item)
                                              : grant.item != kAir && grant.item < blockRegistry().count();
  if (!known || grant.count == 0) return;
  session.inventory.add(grant.item, grant.count, grant.durability);
  std::erase_if(session.drops, [&](const Drop& drop) { return drop.entityId == grant.dropId; });
  addMessage(session, formatTranslated("Picked up %s x%d", trString(nameOf(grant.item)).c_str(),
                                       static_cast<int>(grant.count)));
}

void loseConnection(GameSession& session, const std::string& reason) {
  addMessage(session, formatTranslated("Disconnected: %s", reason.c_str()));
  if (isPlaying(session)) {
    leaveWorld(session);
  } else {
    discardClientWorld(session);
  }
  backToMultiplayerMenu(session, reason);
}

void applyEvent(GameSession& session, SessionEvent& event) {
  const bool host = session.networkRole == RoleHost;
  const bool hostWithWorld = host && session.world != nullptr;
  const bool clientWithWorld = session.networkRole == RoleClient && session.world != nullptr;
  switch (event.kind) {
    case SessionEventKind::JoinRequested:
      if (hostWithWorld) welcomeJoiner(session, event.playerId, event.text);
      return;
    case SessionEventKind::PeerGone:
      if (host) forgetLeaver(session, event.playerId);
      return;
    case SessionEventKind::Welcomed:
      if (!host) startClientWorld(session, event.welcome);
      return;
    case SessionEventKind::EditsReceived:
      if (clientWithWorld) applyReceivedEdits(session, event.edits);
      return;
    case SessionEventKind::WorldReady:
      if (clientWithWorld && !isPlaying(session)) enterReceivedWorld(session);
      return;
    case SessionEventKind::PlayerMoved:
      storeRemoteState(session, event);
      return;
    case SessionEventKind::PlayerNamed:
      if (!host && event.playerId != session.localPlayerId) {
        findOrAddRemotePlayer(session, event.playerId).name = event.text;
      }
      return;
    case SessionEventKind::PlayerLeft:
      if (host) return;
      if (isPlaying(session)) {
        addMessage(session, formatTranslated("%s left the game", remoteName(session, event.playerId).c_str()));
      }
      removeRemotePlayer(session, event.playerId);
      return;
    case SessionEventKind::EditRequested:
      if (hostWithWorld) handleEditRequest(session, event.playerId, event.edit);
      return;
    case SessionEventKind::MobsReceived:
      if (clientWithWorld) session.mobs = mobsFromSnapshot(session.mobs, event.mobs);
      return;
    case SessionEventKind::DropsReceived:
      if (clientWithWorld) session.drops = dropsFromSnapshot(event.drops);
      return;
    case SessionEventKind::ClockReceived: {
      if (session.networkRole != RoleClient) return;
      const Weather weather = receivedWeather(event.clock.weather);
      if (isPlaying(session) && weather != session.weather) addMessage(session, tr(weatherChangeText(weather)));
      session.timeOfDay = receivedTimeOfDay(event.clock.timeOfDay);
      session.weather = weather;
      return;
    }
    case SessionEventKind::ChatReceived: {
      std::string reply;  // a player's mod command answers that player alone
      if (host && runPlayerModCommand(session, event.playerId, event.sender, event.text, reply)) {
        if (!reply.empty()) sendChatTo(session.net, event.playerId, "server", reply);
        return;
      }
      addMessage(session, printableLine(event.sender + ": " + event.text));
      return;
    }
    case SessionEventKind::PickupGranted:
      if (clientWithWorld) receivePickup(session, event.pickup);
      return;
    case SessionEventKind::MobAttacked:
      if (hostWithWorld) {
        applyMobAttack(session.mobs, referencePoint(session, event.playerId), event.attack.mobId, event.attack.damage);
      }
      return;
    case SessionEventKind::PickupRequested:
      if (hostWithWorld) grantPickup(session, event.playerId, event.dropId);
      return;
    case SessionEventKind::JoinRejected:
      if (host) return;
      addMessage(session, formatTranslated("Join failed: %s", event.text.c_str()));
      discardClientWorld(session);
      backToMultiplayerMenu(session, event.text);
      return;
    case SessionEventKind::Disconnected:
      loseConnection(session, event.text);
      return;
  }
}

// Adds dt and reports a timer that reached its period. The period is taken off, so the
// rate holds whatever the frame time; after a stall it fires once, not in a burst.
bool timerFires(float& timer, float dt, float period) {
  timer += dt;
  if (timer < period) return false;
  timer -= period;
  if (timer >= period) timer = 0.0f;
  return true;
}

void sendHostUpdates(GameSession& session, float dt) {
  World& world = *session.world;
  NetSendTimers& timers = session.sendTimers;
  if (timerFires(timers.playerState, dt, kPlayerStatePeriod)) {
    if (session.hasLocalPlayer) broadcastPlayerState(session.net, localPlayerState(session));
    for (const RemotePlayer& player : session.remotePlayers) {
      if (!player.known) continue;
      broadcastPlayerState(session.net, playerStateMessage(player.id, {player.x, player.y, player.z}, player.yaw,
                                                           player.pitch, player.mode, player.health, player.flying));
    }
  }
  if (timerFires(timers.snapshots, dt, kSnapshotPeriod)) {
    for (const std::int32_t playerId : welcomedPlayerIds(session.net)) {
      const Vec3 centre = referencePoint(session, playerId);
      sendMobSnapshot(session.net, playerId, mobSnapshotAround(session.mobs, centre));
      sendDropSnapshot(session.net, playerId, dropSnapshotAround(session.drops, centre));
    }
  }
  if (timerFires(timers.clock, dt, kClockPeriod)) {
    broadcastClock(session.net, {session.timeOfDay, static_cast<std::uint8_t>(session.weather)});
  }
  const std::vector<CapturedBlock> changed = takeCapture(world);
  if (changed.empty() || session.net.peers.empty()) return;
  std::vector<BlockEdit> edits;
  edits.reserve(changed.size());
  for (const CapturedBlock& block : changed) edits.push_back(blockEditAt(world, block.x, block.y, block.z));
  broadcastEdits(session.net, edits);
}

void sendClientUpdates(GameSession& session, float dt) {
  NetSendTimers& timers = session.sendTimers;
  if (timerFires(timers.playerState, dt, kPlayerStatePeriod)) sendOwnState(session.net, localPlayerState(session));
  timers.pickup -= dt;
  if (timers.pickup > 0.0f) return;
  timers.pickup = kPickupPeriod;
  if (session.player.mode == ModeSpectator) return;  // spectators pick nothing up
  const PlayerBody& player = session.player;
  if (const std::int32_t dropId = pickupCandidate(session.drops, {player.x, player.y, player.z}, session.inventory)) {
    requestPickup(session.net, dropId);
  }
}

}  // namespace

void updateMultiplayer(GameSession& session, float dt) {
  if (session.net.active) pump(session.net);
  applyEvents(session, takeEvents(session.net));
  if (!session.net.active || session.world == nullptr) return;
  if (session.networkRole == RoleHost) {
    sendHostUpdates(session, dt);
  } else if (session.networkRole == RoleClient && isPlaying(session)) {
    sendClientUpdates(session, dt);
  }
}

void applyEvents(GameSession& session, std::vector<SessionEvent> events) {
  for (SessionEvent& event : events) applyEvent(session, event);
}

void resetSendTimers(GameSession& session) { session.sendTimers = NetSendTimers{}; }

void beginHostedPlay(GameSession& session, const std::string& worldName, std::uint16_t port) {
  resetSendTimers(session);
  setAppState(session, AppPlaying);
  addMessage(session, formatTranslated("Hosting \"%s\" on UDP %u", worldName.c_str(), static_cast<unsigned>(port)));
}

PlayerStateMessage playerStateMessage(std::int32_t playerId, Vec3 eye, float yawRadians, float pitchRadians,
                                      std::uint8_t mode, std::int32_t health, bool flying) {
  PlayerStateMessage state;
  state.playerId = playerId;
  state.x = eye.x;
  state.y = eye.y;
  state.z = eye.z;
  state.yaw = yawRadians;
  state.pitch = pitchRadians;
  state.gameMode = mode;
  state.health = static_cast<std::uint8_t>(std::clamp(health, 0, 255));
  state.flying = flying ? 1 : 0;
  return state;
}

PlayerStateMessage localPlayerState(const GameSession& session) {
  const PlayerBody& player = session.player;
  const std::int32_t id = session.networkRole == RoleHost ? kHostPlayerId : session.localPlayerId;
  return playerStateMessage(id, playerEye(session), player.yaw * kDegreesToRadians, player.pitch * kDegreesToRadians,
                            player.mode, player.health, player.flying);
}

}  // namespace zorv
