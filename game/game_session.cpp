#include "game/game_session.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "game/game_mod_context.h"
#include "game/world_life_cycle.h"
#include "lang/localisation.h"
#include "platform/platform.h"
#include "world/registry.h"

namespace zorv {
namespace {

constexpr int kNearestVillageRange = 800;
double monotonicSeconds() { return static_cast<double>(platform::monotonicNanos()) * 1e-9; }

// The length of `text` cut to at most `limit` bytes without splitting a UTF-8 character.
std::size_t utf8Cut(const std::string& text, std::size_t limit) {
  if (text.size() <= limit) return text.size();
  std::size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return cut;
}

}  // namespace

GameSession::GameSession() : modContext(std::make_unique<GameModContext>(*this)), clock(monotonicSeconds) {
  resetPlayer(player);
  player.lookSensitivity = preferences.mouseSensitivity;
}

GameSession::~GameSession() = default;

std::string localPlayerName(const GameSession& session) {
  return session.view ? session.view->playerName() : kDefaultPlayerName;
}

void queueSound(GameSession& session, SoundCue cue) {
  if (session.soundCues.size() >= kMaxQueuedSoundCues) session.soundCues.pop_front();
  session.soundCues.push_back(cue);
}

Vec3 playerEye(const GameSession& session) { return {session.player.x, session.player.y, session.player.z}; }

bool inSurvival(const GameSession& session) { return gameMode(session) == ModeSurvival; }
bool isClient(const GameSession& session) { return session.networkRole == RoleClient; }

GameMode gameMode(const GameSession& session) { return static_cast<GameMode>(session.player.mode); }

const char* gameModeName(GameMode mode) {
  switch (mode) {
    case ModeSurvival: return "Survival";
    case ModeSpectator: return "Spectator";
    default: return "Creative";
  }
}

const char* weatherName(Weather weather) {
  switch (weather) {
    case WeatherRain: return "Rain";
    case WeatherSnow: return "Snow";
    default: return "Clear";
  }
}

const char* weatherChangeText(Weather weather) {
  switch (weather) {
    case WeatherRain: return "It starts to rain";
    case WeatherSnow: return "It starts to snow";
    default: return "The sky clears";
  }
}

void addMessage(GameSession& session, const std::string& text) {
  LogEntry entry{text.substr(0, utf8Cut(text, kMaxMessageBytes)), session.clock ? session.clock() : 0.0};
  std::printf("[log] %s\n", entry.text.c_str());
  std::fflush(stdout);
  session.messages.push_back(std::move(entry));
  while (session.messages.size() > kMessageLogCapacity) session.messages.pop_front();
}

std::uint32_t clockSeed() {
  const std::uint64_t nanos = platform::monotonicNanos();
  return static_cast<std::uint32_t>(nanos >> 32) ^ static_cast<std::uint32_t>(nanos);
}

void setGameMode(GameSession& session, GameMode mode) {
  PlayerBody& player = session.player;
  const GameMode current = gameMode(session);
  if (mode == current) {
    addMessage(session, formatTranslated("Already in %s mode", tr(gameModeName(mode))));
    return;
  }
  if (mode == ModeSpectator) {
    session.spectatorReturn = {player.x, player.y, player.z};
    session.modeBeforeSpectator = current;
    session.flyingBeforeSpectator = player.flying;
    player.mode = mode;
    player.flying = false;
  } else {
    bool flying = player.flying;
    if (current == ModeSpectator) {
      player.x = session.spectatorReturn.x;
      player.y = session.spectatorReturn.y;
      player.z = session.spectatorReturn.z;
      flying = session.flyingBeforeSpectator;
    }
    player.mode = mode;
    player.flying = flying && mode == ModeCreative;
  }
  player.vx = 0.0f;
  player.vz = 0.0f;
  player.fallDistance = 0.0f;
  if (mode == ModeSurvival && player.health <= 0) player.health = 1;
  addMessage(session, formatTranslated("Game mode: %s", tr(gameModeName(mode))));
}

void hurtPlayer(GameSession& session, int amount) {
  PlayerBody& player = session.player;
  if (gameMode(session) != ModeSurvival || amount <= 0 || player.health <= 0) return;
  player.hurtTimer = 0.5f;
  session.regenTimer = 0.0f;
  player.health = std::max(0, player.health - amount);
  queueSound(session, CueHurt);
}

void wearHeldTool(GameSession& session) {
  ItemStack& slot = session.inventory.slots[static_cast<std::size_t>(session.inventory.selected)];
  if (slot.count <= 0 || !itemRegistry().isItem(slot.id)) return;
  const std::int32_t maximum = itemRegistry().getItem(slot.id).durability;
  if (maximum == 0) return;
  const std::int32_t remaining = slot.durability == 0 ? maximum : slot.durability;
  slot.durability = remaining - 1;
  if (remaining == 1) {
    slot = {};
    addMessage(session, tr("Your tool broke"));
  }
}

std::uint16_t heldItem(const GameSession& session) {
  const ItemStack& slot = session.inventory.selectedStack();
  return slot.count > 0 ? slot.id : 0;
}

int heldAttackDamage(const GameSession& session) {
  const ItemStack& slot = session.inventory.selectedStack();
  if (slot.count <= 0 || !itemRegistry().isItem(slot.id)) return 1;
  return std::max(1, itemRegistry().getItem(slot.id).damage);
}

void assignEntityIds(GameSession& session) {
  for (Mob& mob : session.mobs) {
    if (mob.id == 0) mob.id = session.nextEntityId++;
  }
  for (Drop& drop : session.drops) {
    if (drop.entityId == 0) drop.entityId = session.nextEntityId++;
  }
}

void setAppState(GameSession& session, AppState state) {
  if (state == session.appState) return;
  // Leaving Playing with the inventory open must not lose the stacks it held.
  if (session.inventoryOpen) returnHeldStacks(session);
  session.appState = state;
  session.inventoryOpen = false;
  session.particles.clear();
  if (session.view) session.view->appStateChanged(state);
}

void openInventory(GameSession& session, int tab) {
  session.inventoryTab = tab;
  session.inventoryOpen = true;
  if (session.view) session.view->inventoryOpened();
}

void closeInventory(GameSession& session) {
  returnHeldStacks(session);
  session.inventoryTab = 0;
  session.inventoryOpen = false;
  if (session.view) session.view->inventoryClosed();
}

std::optional<NearestVillage> nearestVillage(GameSession& session, Vec3 position) {
  if (!session.world) return std::nullopt;
  std::optional<NearestVillage> nearest;
  for (const VillageSite& site :
       sitesWithin(*session.world, floorToInt(position.x), floorToInt(position.z), kNearestVillageRange)) {
    const float dx = static_cast<float>(site.x) + 0.5f - position.x;
    const float dz = static_cast<float>(site.z) + 0.5f - position.z;
    const float distance = std::sqrt(dx * dx + dz * dz);
    if (!nearest || distance < nearest->distance) nearest = NearestVillage{site, distance};
  }
  return nearest;
}

std::string villageDisplayName(const GameSession& session, const VillageSite& site) {
  return villageName(site, static_cast<std::int32_t>(session.seed), language() == LanguageChinese);
}

void remeshChanged(GameSession& session) {
  if (!session.world) return;
  if (session.view) {
    session.view->remeshChanged(*session.world);
  } else {
    session.world->remeshSet.clear();
  }
}

}  // namespace zorv
