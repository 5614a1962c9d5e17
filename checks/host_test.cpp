#include "checks/host_test.h"

#include <cstdio>
#include <string>

#include "checks/self_test.h"
#include "client/client_session.h"
#include "game/multiplayer.h"
#include "game/world_life_cycle.h"
#include "lang/localisation.h"
#include "persist/level_save.h"

namespace zorv {

int runHostTest(ClientSession& session) {
  setLanguage(LanguageChinese);
  session.networkRole = RoleHost;
  session.localPlayerId = 1;
  session.networkPlayerName = kHostTestPlayer;
  createWorld(session, static_cast<std::uint32_t>(kCheckSeed), kHostTestWorld);
  saveWorld(session);
  std::string error;
  const bool hosting = startHost(session.net, static_cast<std::uint16_t>(kHostTestPort), error);
  if (hosting) {
    beginHostedPlay(session, kHostTestWorld, static_cast<std::uint16_t>(kHostTestPort));
    std::printf("hosttest: %s\n", session.messages.back().text.c_str());
    stopNetworking(session);
  } else {
    std::printf("hosttest: startHost failed: %s\n", error.c_str());
  }
  std::fflush(stdout);
  deleteWorld(kHostTestWorld);
  return hosting ? 0 : 1;
}

}  // namespace zorv
