// Entry point: choose the language, classify the command line, run the windowless
// check modes, or bring up the window for the game and the other windowed modes.

#include <cstdio>
#include <string_view>
#include <vector>

#include "checks/mod_test.h"
#include "checks/net_test.h"
#include "checks/self_test.h"
#include "lang/localisation.h"
#include "net/net_text.h"
#include "platform/platform.h"
#include "platform/version.h"
#include "server/dedicated_server.h"
#include "shell/game_shell.h"
#include "shell/startup.h"
#include "world/world.h"

int main(int argc, char** argv) {
  zorv::setLanguage(zorv::platform::userInterfaceIsChinese() ? zorv::LanguageChinese : zorv::LanguageEnglish);
  zorv::setNetTranslator(zorv::trFormat);
  if (argc >= 2 && std::string_view(argv[1]) == "--server") {
    return zorv::runDedicatedServer(std::vector<std::string_view>(argv + 2, argv + argc));
  }
  const zorv::CommandLine commandLine = zorv::classifyCommandLine(argc, argv, zorv::platform::baseFolder());
  switch (commandLine.mode) {
    case zorv::RunMode::SelfTest: {
      zorv::World world(zorv::kCheckSeed);
      return zorv::runSelfTest(world);
    }
    case zorv::RunMode::NetTest:
      return zorv::runNetTest();
    case zorv::RunMode::ModTest:
      return zorv::runModTest(zorv::platform::baseFolder());
    case zorv::RunMode::Help:
      std::printf("%s\n", zorv::kGameUsage);
      return 0;
    case zorv::RunMode::Version:
      std::printf("Zorvander %s\n", zorv::kVersion);
      return 0;
    default:
      zorv::platform::keepLargeAllocations();
      return zorv::runWindowedMode(commandLine);
  }
}
