#include "client/options_store.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <sstream>

#include "scratch_folder.h"

namespace zorv {
namespace {

using testing::ScratchFolder;

std::string readText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

struct Reports {
  std::vector<std::string> lines;
  OptionsReport sink() {
    return [this](const std::string& line) { lines.push_back(line); };
  }
};

TEST(OptionsStore, SavesOnceAChangeHasSettled) {
  const ScratchFolder folder("options_store");
  const auto path = folder.path() / kOptionsFileName;
  Reports reports;
  OptionsStore store = openOptionsStore(path, reports.sink());
  Options current = store.saved;
  updateOptionsStore(store, current, 0.0, reports.sink());
  EXPECT_FALSE(std::filesystem::exists(path)) << "nothing changed, nothing written";

  current.fieldOfView = 80.0f;
  updateOptionsStore(store, current, 1.0, reports.sink());
  current.fieldOfView = 85.0f;  // still dragging the slider
  updateOptionsStore(store, current, 1.3, reports.sink());
  updateOptionsStore(store, current, 1.7, reports.sink());
  EXPECT_FALSE(std::filesystem::exists(path)) << "0.4 s after the last change";
  updateOptionsStore(store, current, 1.8, reports.sink());
  ASSERT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(readOptionsFile(path).options.fieldOfView, 85.0f);

  current.keys.bind(Action::Inventory, 'I');
  updateOptionsStore(store, current, 2.0, reports.sink());
  flushOptionsStore(store, current, reports.sink());
  EXPECT_EQ(readOptionsFile(path).options.keys.key(Action::Inventory), 'I');
  EXPECT_TRUE(reports.lines.empty());
}

TEST(OptionsStore, WarnsAboutBadLinesAndKeepsUnknownOnes) {
  const ScratchFolder folder("options_store_bad");
  const auto path = folder.path() / kOptionsFileName;
  std::ofstream(path) << "render_distance=3\nfuture=yes\nshadows=false\n";
  Reports reports;
  OptionsStore store = openOptionsStore(path, reports.sink());
  ASSERT_EQ(reports.lines.size(), 1u);
  EXPECT_EQ(reports.lines[0], "options: ignoring bad value on line 1: render_distance=3");
  EXPECT_FALSE(store.saved.shadows);
  Options current = store.saved;
  current.verticalSync = true;
  flushOptionsStore(store, current, reports.sink());
  const std::string text = readText(path);
  EXPECT_NE(text.find("\nfuture=yes\n"), std::string::npos);
  EXPECT_NE(text.find("\nrender_distance=8\n"), std::string::npos);
  EXPECT_NE(text.find("\nvertical_sync=true\n"), std::string::npos);
}

// A folder that cannot hold the file: the game keeps its options in memory and says so once.
void expectOneFailureLine(const std::filesystem::path& path) {
  Reports reports;
  OptionsStore store = openOptionsStore(path, reports.sink());
  EXPECT_TRUE(reports.lines.empty());
  Options current = store.saved;
  for (int change = 0; change < 3; ++change) {
    current.renderDistance = 5 + change;
    updateOptionsStore(store, current, change, reports.sink());
    updateOptionsStore(store, current, change + 0.9, reports.sink());
  }
  flushOptionsStore(store, current, reports.sink());
  ASSERT_EQ(reports.lines.size(), 1u);
  EXPECT_EQ(reports.lines[0].rfind("options: cannot save ", 0), 0u);
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(OptionsStore, AnUnwritableFolderIsReportedOnce) {
  const ScratchFolder folder("options_store_readonly");
  // A plain file where the folder should be refuses the write even to the superuser.
  std::ofstream(folder.path() / "not_a_folder") << "x";
  expectOneFailureLine(folder.path() / "not_a_folder" / kOptionsFileName);
  if (::geteuid() != 0) {
    const auto locked = folder.path() / "locked";
    std::filesystem::create_directory(locked);
    std::filesystem::permissions(locked, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    expectOneFailureLine(locked / kOptionsFileName);
  }
}

// Kills a process that rewrites the file in a loop at random moments: what is left is
// always one of the two complete contents.
TEST(OptionsStore, AKilledWriterLeavesTheOldOrTheNewFileNeverAPart) {
  const ScratchFolder folder("options_store_kill");
  const auto path = folder.path() / kOptionsFileName;
  Options small, large;
  large.serverAddress = std::string(120, 'a');
  large.recentAddresses = {std::string(100, 'b'), std::string(100, 'c'), std::string(100, 'd')};
  const std::vector<std::string> unknown(200, "padding_line_to_make_the_file_long=" + std::string(60, 'p'));
  const std::string smallText = formatOptions(small, {});
  const std::string largeText = formatOptions(large, unknown);
  ASSERT_TRUE(writeOptionsFile(path, small, {}));

  std::mt19937 random(7);
  int sawSmall = 0, sawLarge = 0;
  for (int round = 0; round < 25; ++round) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int i = 0;; ++i) {
        if (i % 2 == 0) {
          writeOptionsFile(path, large, unknown);
        } else {
          writeOptionsFile(path, small, {});
        }
      }
    }
    ::usleep(static_cast<useconds_t>(1000 + random() % 20000));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    const std::string text = readText(path);
    ASSERT_TRUE(text == smallText || text == largeText) << "round " << round << ": " << text.size() << " bytes";
    (text == smallText ? sawSmall : sawLarge)++;
  }
  // Both contents turn up, so the kills did land among the writes.
  EXPECT_GT(sawSmall, 0);
  EXPECT_GT(sawLarge, 0);
}

}  // namespace
}  // namespace zorv
