#pragma once
// Sky and block light, recomputed one whole column at a time from scratch.

#include "world/world.h"

namespace zorv {

// Relights queued columns until `budget` loaded columns were relit or the queue is empty;
// columns no longer loaded are discarded without counting. Returns the number relit.
int processRelightQueue(World& world, int budget);
void relightColumn(World& world, int cx, int cz);

}  // namespace zorv
