#include "client/options.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "options_sample.h"
#include "scratch_folder.h"

namespace zorv {
namespace {

using testing::ScratchFolder;

using testing::changedOptions;

std::string readText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

TEST(Options, EveryFieldSurvivesAWriteAndARead) {
  for (const Options& original : {changedOptions(), Options()}) {
    const OptionsFile file = parseOptions(formatOptions(original, {}));
    EXPECT_TRUE(file.warnings.empty()) << file.warnings.front();
    EXPECT_TRUE(file.unknownLines.empty());
    EXPECT_TRUE(file.options == original);
  }
  // Each action's binding on its own, so two swapped keys would show.
  for (const ActionInfo& info : actionTable()) {
    Options o;
    o.keys.bind(info.action, 'K');
    EXPECT_EQ(parseOptions(formatOptions(o, {})).options.keys.key(info.action), 'K') << info.fileKey;
  }
  const std::string text = formatOptions(changedOptions(), {});
  EXPECT_NE(text.find("\nrender_distance=16\n"), std::string::npos);
  EXPECT_NE(text.find("\nlanguage=zh\n"), std::string::npos);
  EXPECT_NE(text.find("\nkey_jump=J\n"), std::string::npos);
  EXPECT_NE(text.find("\nrecent_address_1=a.example\n"), std::string::npos);
  EXPECT_EQ(text.front(), '#');
}

TEST(Options, BadLinesAreSkippedOneWarningEachAndTheRestApplies) {
  const OptionsFile file = parseOptions(
      "# comment\n"
      "field_of_view=90\n"
      "render_distance=99\n"    // out of range
      "mouse_sensitivity=fast\n"
      "shadows=maybe\n"
      "this line has no equals sign\n"
      "  vertical_sync = true \r\n"  // spaces and a Windows line end are fine
      "key_jump=NOT_A_KEY\n"
      "key_sprint=left_alt\n"
      "port=12a\n"
      "language=fr\n"
      "interface_scale=250\n"
      "window_width=100\n"
      "recent_address_9=x.example\n"
      "player_name=" + std::string(40, 'n') + "\n"
      "\n"
      "minimap=false");
  const Options& o = file.options;
  EXPECT_EQ(o.fieldOfView, 90.0f);
  EXPECT_TRUE(o.verticalSync);
  EXPECT_EQ(o.keys.key(Action::Sprint), 342);
  EXPECT_FALSE(o.minimap);
  const Options defaults;
  EXPECT_EQ(o.renderDistance, defaults.renderDistance);
  EXPECT_EQ(o.mouseSensitivity, defaults.mouseSensitivity);
  EXPECT_TRUE(o.shadows);
  EXPECT_EQ(o.keys.key(Action::Jump), 32);
  EXPECT_EQ(o.port, defaults.port);
  EXPECT_FALSE(o.language);
  EXPECT_EQ(o.interfaceScale, 100);
  EXPECT_EQ(o.windowWidth, 1280);
  EXPECT_TRUE(o.recentAddresses.empty());
  EXPECT_EQ(o.playerName, "Player");
  ASSERT_EQ(file.warnings.size(), 11u);
  EXPECT_EQ(file.warnings[0], "options: ignoring bad value on line 3: render_distance=99");
  EXPECT_EQ(file.warnings[3], "options: ignoring line 6, not key=value: this line has no equals sign");
  EXPECT_EQ(file.warnings[4], "options: ignoring bad value on line 8: key_jump=NOT_A_KEY");
  EXPECT_TRUE(file.unknownLines.empty()) << "known keys with bad values are not carried over";
}

TEST(Options, UnknownKeysAreKeptThroughARewrite) {
  const OptionsFile first = parseOptions("future_setting=42\nfov=80\nkey_drop=Q\nshadows=false\n");
  ASSERT_EQ(first.unknownLines.size(), 3u);
  EXPECT_TRUE(first.warnings.empty());
  EXPECT_FALSE(first.options.shadows);
  const OptionsFile second = parseOptions(formatOptions(first.options, first.unknownLines));
  EXPECT_EQ(second.unknownLines, first.unknownLines);
  EXPECT_TRUE(second.options == first.options);
}

TEST(Options, RecentAddressesKeepFiveMostRecentFirst) {
  std::vector<std::string> recent;
  for (const char* address : {"a", "b", "c", "d", "e", "f"}) rememberAddress(recent, address);
  EXPECT_EQ(recent, (std::vector<std::string>{"f", "e", "d", "c", "b"}));
  rememberAddress(recent, "c");
  EXPECT_EQ(recent, (std::vector<std::string>{"c", "f", "e", "d", "b"}));
  rememberAddress(recent, "");
  EXPECT_EQ(recent.size(), 5u);
  // Gaps in the numbering close up.
  EXPECT_EQ(parseOptions("recent_address_4=x\nrecent_address_2=y\n").options.recentAddresses,
            (std::vector<std::string>{"y", "x"}));
}

TEST(Options, FilesOnDiskMissingAndPresent) {
  const ScratchFolder folder("options_files");
  const auto path = folder.path() / kOptionsFileName;
  const OptionsFile missing = readOptionsFile(path);
  EXPECT_TRUE(missing.warnings.empty());
  EXPECT_TRUE(missing.options == Options());
  EXPECT_FALSE(missing.options.language) << "the platform's language stays in charge";

  ASSERT_TRUE(writeOptionsFile(path, changedOptions(), {"kept=1"}));
  EXPECT_EQ(readText(path), formatOptions(changedOptions(), {"kept=1"}));
  const OptionsFile read = readOptionsFile(path);
  EXPECT_TRUE(read.options == changedOptions());
  EXPECT_EQ(read.unknownLines, std::vector<std::string>{"kept=1"});
  EXPECT_FALSE(std::filesystem::exists(path.string() + ".tmp"));
}

}  // namespace
}  // namespace zorv
