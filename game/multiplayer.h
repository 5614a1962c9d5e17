#pragma once
// Game synchronisation over the network session: what host and client send every frame,
// the join sequence, and how each received session event changes the game. The host is
// authoritative: clients only ask it for block edits, pick-ups and attacks, and it checks
// every request against the requester's last reported position.

#include <vector>

#include "game/game_session.h"
#include "game/multiplayer_rules.h"
#include "net/session.h"

namespace zorv {

// Periods of the regular sends (seconds).
inline constexpr float kPlayerStatePeriod = 0.05f;
inline constexpr float kSnapshotPeriod = 1.0f / 15.0f;
inline constexpr float kClockPeriod = 1.0f;
inline constexpr float kPickupPeriod = 0.2f;

// Once per frame, in every application state: pumps the endpoint while it is active,
// applies what arrived, then sends this frame's updates.
void updateMultiplayer(GameSession& session, float dt);
// Applies received events in order.
void applyEvents(GameSession& session, std::vector<SessionEvent> events);
// Restarts the periodic sends (a new host or client session).
void resetSendTimers(GameSession& session);
// Once hosting has started with a world: fresh send timers, Playing, and the
// "Hosting "%s" on UDP %u" message.
void beginHostedPlay(GameSession& session, const std::string& worldName, std::uint16_t port);

// The state message of one player, as sent by its game or relayed by the host: angles in
// radians, health clamped to 0..255.
PlayerStateMessage playerStateMessage(std::int32_t playerId, Vec3 eye, float yawRadians, float pitchRadians,
                                      std::uint8_t mode, std::int32_t health, bool flying);
// The local player's state as it travels.
PlayerStateMessage localPlayerState(const GameSession& session);

}  // namespace zorv
