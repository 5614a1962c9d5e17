// The dedicated server's own executable: the session, the world and the network without
// a window, a renderer or a user interface.

#include <string_view>
#include <vector>

#include "lang/localisation.h"
#include "net/net_text.h"
#include "platform/platform.h"
#include "server/dedicated_server.h"

int main(int argc, char** argv) {
  zorv::setLanguage(zorv::platform::userInterfaceIsChinese() ? zorv::LanguageChinese : zorv::LanguageEnglish);
  zorv::setNetTranslator(zorv::trFormat);
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  return zorv::runDedicatedServer(args);
}
