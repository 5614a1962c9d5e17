#include "client/client_session.h"

#include "sound/sound_effects.h"

namespace zorv {

static_assert(static_cast<int>(CueBreak) == SoundBreak && static_cast<int>(CuePlace) == SoundPlace &&
              static_cast<int>(CueStep) == SoundStep && static_cast<int>(CueHurt) == SoundHurt);

void ClientSession::forgetWorld() {
  if (renderer) renderer->clearChunkMeshes();
  streamer.reset();
}

void ClientSession::showArea(World& shown, Vec3 centre, int radius) {
  if (renderer) streamer.preload(shown, *renderer, centre, radius);
}

void ClientSession::remeshChanged(World& changed) {
  if (renderer) {
    streamer.remeshChanged(changed, *renderer);
  } else {
    changed.remeshSet.clear();
  }
}

void ClientSession::follow(World& shown, Vec3 eye) {
  if (renderer) streamer.update(shown, *renderer, eye);
}

void ClientSession::setRenderDistance(int chunks) { streamer.setRenderDistance(chunks); }

void playQueuedSounds(GameSession& session) {
  for (const SoundCue cue : session.soundCues) playSound(cue);
  session.soundCues.clear();
}

}  // namespace zorv
