// Prints what a world's level.dat holds, for the play test to compare between sessions:
// the player's mode, stone count and position, the time of day and every recorded block edit.
//   level_report SAVES_FOLDER WORLD

#include <cstdio>

#include "persist/level_save.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: level_report SAVES_FOLDER WORLD\n");
    return 2;
  }
  zorv::setSavesRoot(argv[1]);
  zorv::LevelSave save;
  if (!zorv::readLevel(argv[2], save)) {
    std::fprintf(stderr, "level_report: cannot read the level save of %s\n", argv[2]);
    return 1;
  }
  constexpr std::int16_t kStone = 3;
  int stone = 0;
  for (const zorv::SavedSlot& slot : save.player.slots)
    if (slot.item == kStone) stone += slot.count;
  std::printf("player=%d mode=%d stone=%d time=%.3f x=%.2f y=%.2f z=%.2f\n", save.hasPlayer ? 1 : 0,
              save.player.gameMode, stone, static_cast<double>(save.timeOfDay), static_cast<double>(save.player.x),
              static_cast<double>(save.player.y), static_cast<double>(save.player.z));
  for (const zorv::SavedEdit& edit : save.edits)
    std::printf("edit %d %d %d %u %u\n", edit.x, edit.y, edit.z, edit.block, edit.fluidLevel);
  return 0;
}
