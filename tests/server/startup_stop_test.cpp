// A dedicated server whose start-up takes long (many mods, each spending a good part of
// its instruction budget on large strings in main.lua) still obeys /stop and SIGTERM while
// it starts, and keeps other console lines for when it runs.

#include <csignal>

#include "mods/loader.h"
#include "server_process.h"

namespace zorv::testing {
namespace {

constexpr double kStartSeconds = 120.0;

// Packages m0000, m0001, ..., each logging its start and then building and dropping four
// 16 MiB strings: a fraction of a second each, within the instruction budget.
void writeSlowMods(const ServerFolder& folder, int count) {
  const std::filesystem::path mods = folder.root() / "mods";
  std::filesystem::create_directories(mods);
  for (int i = 0; i < count; ++i) {
    char id[16];
    std::snprintf(id, sizeof id, "m%04d", i);
    const std::string script = std::string("zorv.log('loading ") + id + "')\n" + R"(
      for round = 1, 4 do
        local s = string.rep('x', 16 * 1024 * 1024)
        s = nil
        collectgarbage()
      end
    )";
    ASSERT_TRUE(writeArchive(mods / (std::string(id) + ".zip"), {{"main.lua", script}}));
  }
}

std::size_t countOf(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST(ServerStartup, StopAndSigtermEndAStartThatIsStillLoadingMods) {
  constexpr int kModCount = 40;  // many seconds of loading
  for (const bool bySignal : {false, true}) {
    SCOPED_TRACE(bySignal ? "SIGTERM" : "/stop");
    ServerFolder folder;
    writeSlowMods(folder, kModCount);
    ServerProcess server(folder, {"Slow", std::to_string(freeUdpPort())});
    ASSERT_TRUE(server.waitFor("] loading m0002", kStartSeconds)) << server.output();
    if (bySignal) {
      server.signal(SIGTERM);
    } else {
      server.type("  STOP ");
    }
    EXPECT_EQ(server.waitExit(20.0), std::optional<int>(0)) << server.output();
    const std::string& output = server.output();
    EXPECT_NE(output.find("[log] Stopped while starting; no world was hosted"), std::string::npos) << output;
    EXPECT_EQ(output.find("[log] Hosting"), std::string::npos);
    EXPECT_LT(countOf(output, "] loading m"), static_cast<std::size_t>(kModCount));
    EXPECT_FALSE(std::filesystem::exists(folder.saves() / "Slow"));
  }
}

TEST(ServerStartup, LinesTypedWhileStartingRunOnceItHostsAndStopThenSaves) {
  constexpr int kModCount = 8;
  ServerFolder folder;
  writeSlowMods(folder, kModCount);
  ServerProcess server(folder, {"Slow", std::to_string(freeUdpPort())});
  ASSERT_TRUE(server.waitFor("] loading m0001", kStartSeconds)) << server.output();
  server.type("/say typed early");
  const std::optional<std::size_t> hosting = server.waitFor("[log] Hosting", kStartSeconds);
  ASSERT_TRUE(hosting) << server.output();
  EXPECT_EQ(countOf(server.output(), "] loading m"), static_cast<std::size_t>(kModCount));
  EXPECT_TRUE(server.waitFor("[log] Server: typed early", 10.0, *hosting)) << server.output();
  server.type("/stop");
  EXPECT_EQ(server.waitExit(20.0), std::optional<int>(0)) << server.output();
  EXPECT_NE(server.output().find("[log] Saved Slow"), std::string::npos);
}

}  // namespace
}  // namespace zorv::testing
