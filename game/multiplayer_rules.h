#pragma once
// The host's checks of what clients ask for (block edits, attacks, pick-ups) and the mob
// and drop snapshots both sides exchange: plain rules over the world and entity lists.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "net/protocol.h"
#include "world/inventory.h"
#include "world/mobs.h"
#include "world/vec.h"
#include "world/world.h"

namespace zorv {

inline constexpr float kEditReach = 6.0f;    // blocks from the requester to the block centre
inline constexpr float kAttackReach = 7.0f;  // blocks from the attacker to the mob
inline constexpr float kMobSnapshotRange = 128.0f;
inline constexpr float kDropSnapshotRange = 96.0f;

// The mobs within 128 blocks and the drops within 96 blocks of `centre`, nearest first,
// at most 40 of each.
std::vector<MobEntry> mobSnapshotAround(std::span<const Mob> mobs, Vec3 centre);
std::vector<DropEntry> dropSnapshotAround(std::span<const Drop> drops, Vec3 centre);

// A client's whole new mob list: displayed headings continue from the mob with the same
// id in `previous`.
std::vector<Mob> mobsFromSnapshot(std::span<const Mob> previous, std::span<const MobEntry> entries);
std::vector<Drop> dropsFromSnapshot(std::span<const DropEntry> entries);

// Whether the centre of the cell lies within `reach` of `from`; never for a position that
// is not finite.
bool withinReach(Vec3 from, int x, int y, int z, float reach);

enum class EditVerdict { Ignore, Reject, Place, Break };
// The host's checks of a client's edit request that need only the world: bounds, reach
// from `reference`, torch support, a registered block, the current content and the
// requester's body. The mods' hooks are asked afterwards.
EditVerdict checkEditRequest(const World& world, Vec3 reference, const EditRequestMessage& request);

// The cell as an edit entry: block id and fluid level (255 for a block that is no fluid).
BlockEdit blockEditAt(const World& world, int x, int y, int z);
// The same for a cell whose column may not be loaded, without keeping it loaded.
BlockEdit storedBlockEditAt(World& world, int x, int y, int z);

// A client's attack as the host applies it; false when the mob does not exist or is out
// of reach.
bool applyMobAttack(std::vector<Mob>& mobs, Vec3 attacker, std::int32_t mobId, std::uint8_t damage);

// The host's answer to a pick-up request: removes the drop and returns the grant when the
// drop exists, is old enough and lies within reach of the requester.
std::optional<PickupGrantMessage> takeRequestedDrop(std::vector<Drop>& drops, Vec3 requester, std::int32_t dropId);

// The drop a client asks for next (0 when none): the first numbered one old enough, close
// enough, and fitting into the inventory whole.
std::int32_t pickupCandidate(std::span<const Drop> drops, Vec3 player, const Inventory& inventory);

// A received text as one console and chat line: control characters (a line break, an
// escape sequence) become spaces, so a peer cannot forge log lines or steer the terminal.
std::string printableLine(std::string_view text);

}  // namespace zorv
