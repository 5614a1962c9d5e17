#pragma once
// Who a host lets in and what it believes: peers still joining (their Welcome not yet
// acknowledged, so possibly sent from a forged address) never hold player slots and are
// capped in total and per address, the oldest making room for a new one; full servers
// and banned names are refused with a reason; and received positions must lie in the world.

#include "net/session.h"

namespace zorv {

// Whether a host's peer is still joining: no Welcome yet, or its Welcome unacknowledged.
bool isJoining(const Peer& peer);
// Why a Hello cannot be admitted (the English reason sent in `Reject`), or null.
const char* helloRejection(const NetSession& session, const HelloMessage& hello);
// Before a peer is opened for a Hello from `from`: drops the oldest joining peer of that
// address, or of all, when they are at their limit. One dropped before its Welcome leaves
// no join request behind.
void makeRoomForJoiner(NetSession& session, const Endpoint& from);
// A peer whose Welcome was just acknowledged takes a player slot, or is sent away with
// "Server is full" when others took the last ones while it was joining.
void takePlayerSlot(NetSession& session, Peer& peer);

// Positions a peer may report: finite and within the world's horizontal limits (one block
// beyond ±1,048,575) and a height range far wider than any body reaches. Anything else is
// ignored as a non-finite number is, so no received position drives work outside the world.
bool isPositionInWorld(float x, float y, float z);

}  // namespace zorv
