#include "lang/localisation.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

namespace zorv {
namespace {

// The keys the call sites use, in table order.
const char* const kExpectedKeys[] = {
    "Singleplayer",
    "Multiplayer",
    "Quit",
    "Worlds",
    "Each world is a folder with world.dat and player.dat.",
    "No worlds yet.",
    "Play Selected",
    "Delete Selected",
    "Delete \"%s\" forever?",
    "Delete",
    "Cancel",
    "Create a world",
    "world name",
    "seed (leave empty for random)",
    "Create and Play",
    "Back",
    "Player name",
    "Host a world",
    "No saved worlds. Create one below.",
    "UDP port",
    "Host Selected World",
    "new world name",
    "Host New World",
    "Share your IP or domain. Forward UDP port %s on your router.",
    "Join a server",
    "play.example.com or 1.2.3.4:27632",
    "Join Server",
    "No port means 27632. Domains also try the _zorvander._udp SRV record.",
    "Connecting",
    "Contacting the host...",
    "Address: %s",
    "Language",
    "WASD move / Space jump / double-tap Space to fly",
    "T chat / / commands / E inventory / F3 debug / Esc pause",
    "Paused",
    "Resume",
    "Save",
    "Save and Quit to Menu",
    "Disconnect to Menu",
    "Quit to Desktop",
    "Settings",
    "Mouse sensitivity",
    "Field of view",
    "Render distance",
    "Shadows",
    "Post-processing",
    "Vertical Sync",
    "Crafting",
    "Your tool broke",
    "/give <item> [count], /clear  (blocks, stick, wooden_pickaxe...)",
    "Right-click a crafting table for 3x3 recipes",
    "WASD move, Space jump, Ctrl sprint",
    "1-9 / wheel block, E inventory",
    "Double-tap Space (or F) to fly, F4 spectator, F3 debug",
    "Esc resume, / or ^ commands",
    "Right-click a villager to trade",
    "Villages within 640 blocks: %d",
    "%s  -  seed %u",
    "Multiplayer  -  seed %u",
    "%s  -  %d ms  -  %d player(s)",
    "Hosting",
    "Connected",
    "You died",
    "Seed %u   Block %d %d %d",
    "Respawn",
    "Quit to Menu",
    "The world is unchanged; save from the pause menu.",
    "Inventory",
    "Click a stack to pick it up, click another slot to place it.",
    "Hotbar is the bottom row. E or Esc closes.",
    "XYZ    %.2f / %.2f / %.2f",
    "Chunk  %d / %d / %d",
    "Block  %d / %d / %d",
    "Facing %s   yaw %.1f  pitch %.1f",
    "Time   %02d:%02d",
    "Target %s  (%d %d %d)",
    "Target -",
    "Held   %s",
    "empty",
    "Seed %u",
    "Draws %d / %d chunks   %d tracked",
    "Triangles %zu   Particles %zu",
    "Mobs %zu   Drops %zu",
    "Net   %s   %d ms   %d remote",
    "World %s",
    "Mode %s%s  HP %d/20",
    " (flying)",
    "Screen refresh %d Hz",
    "Viewport %d x %d",
    "Render distance %d chunks, F4 spectator, / commands",
    "Creative",
    "Survival",
    "Spectator",
    "East",
    "South",
    "West",
    "North",
    "host",
    "client",
    "Host",
    "air",
    "grass",
    "dirt",
    "stone",
    "sand",
    "wood",
    "leaves",
    "snow",
    "water",
    "lava",
    "planks",
    "cobblestone",
    "bricks",
    "bookshelf",
    "gravel",
    "coal_ore",
    "iron_ore",
    "diamond_ore",
    "crafting_table",
    "torch",
    "stick",
    "coal",
    "iron_ingot",
    "diamond",
    "World seed %u",
    "%d village(s) nearby",
    "Loaded %s (seed %u)",
    "Already in %s mode",
    "Game mode: %s",
    "No world loaded",
    "Only the host can change the world",
    "Commands:",
    "/gamemode survival|creative|spectator  (or /gm 0|1|3)",
    "/spectator, /tp x y z, /spawn, /kill",
    "/time day|night|set <0-1>",
    "/seed, /save, /mobs <n>, /render <4-16>, /fov <55-100>",
    "/weather clear|rain|snow",
    "/fill x1 y1 z1 x2 y2 z2 <block>  (max 4096 blocks)",
    "/give <block> [count], /clear",
    "/village  (nearest village, /village tp)",
    "Right-click a villager: 8 planks for a bookshelf",
    "/debug, /version",
    "Client: /time, /weather, /fill, /mobs and /save are host-only",
    "Usage: /gamemode survival|creative|spectator",
    "Teleported",
    "Usage: /tp x y z",
    "Returned to spawn",
    "Respawned",
    "Time set to day",
    "Time set to night",
    "Time set",
    "Usage: /time set <0-1>",
    "Usage: /time day|night|set <0-1>",
    "Saved %s",
    "Spawned %d mobs",
    "Render distance %d",
    "Usage: /render <4-16>",
    "FOV %d",
    "Usage: /fov <55-100>",
    "Weather: clear",
    "Weather: rain",
    "Weather: snow",
    "Usage: /weather clear|rain|snow",
    "Usage: /fill x1 y1 z1 x2 y2 z2 <block>",
    "Unknown block: %s",
    "Too many blocks (max 4096)",
    "Filled %d blocks",
    "Usage: /give <block> [count]",
    "Gave %d %s",
    "Inventory full",
    "Inventory cleared",
    "No village within 800 blocks",
    "Teleported to %s",
    "%s  %d / %d  (%.0f blocks away)",
    "Debug overlay on",
    "Debug overlay off",
    "Unknown command: %s (try /help)",
    "%s joined the game",
    "%s left the game",
    "Downloading world...",
    "Joined %s's world",
    "the host",
    "Player %d",
    "Join failed: %s",
    "The sky clears",
    "It starts to rain",
    "It starts to snow",
    "Picked up %s x%d",
    "Disconnected: %s",
    "You: ",
    "You: %s",
    "Flying",
    "Flight off",
    "Minimap on",
    "Minimap off",
    "Inventory is only used in Survival mode",
    "Leaving %s",
    "Entered %s",
    "Villagers only trade with survivors",
    "Traded 8 planks for a bookshelf",
    "Villagers want 8 planks",
    "Selected slot is empty",
    "Screenshot saved: %s",
    "Say something...",
    "A world named \"%s\" already exists",
    "Could not load \"%s\"",
    "Deleted \"%s\"",
    "Invalid UDP port",
    "Select a world to host",
    "Enter a server address",
    "Contacting %s...",
    "Cancelled",
    "Hosting \"%s\" on UDP %u",
    "Missing closing bracket",
    "Unexpected characters after address",
    "Invalid port",
    "IPv6 addresses are not supported yet",
    "Could not resolve server: %s",
    "Could not resolve server",
    "Winsock initialization failed",
    "Could not create UDP socket",
    "Port %u is already in use",
    "Disconnected",
    "Connection timed out",
    "Connection lost",
    "Client and host versions do not match",
    "Mod lists do not match",
    "Open Mods Folder",
    "Open Resource Packs Folder",
    "Drop .mod.zorvk mods and .rp.zorvk packs into the opened folders, then restart.",
    "Connection rejected",
    "Host closed the connection",
    // Added with the options file and the key bindings.
    "Controls",
    "Click an action, then press its new key (Esc cancels).",
    "Press a key...",
    "Key %s is used by: %s",
    "Reset to defaults",
    "Full screen",
    "Invert mouse",
    "Interface scale",
    "Recent servers",
    "Move forward",
    "Move back",
    "Move left",
    "Move right",
    "Jump",
    "Sneak / fly down",
    "Sprint",
    "Toggle flying",
    "Chat",
    "Command",
    "Screenshot",
    "Debug overlay",
    "Minimap",
    "Pause",
    "Hotbar slot 1",
    "Hotbar slot 2",
    "Hotbar slot 3",
    "Hotbar slot 4",
    "Hotbar slot 5",
    "Hotbar slot 6",
    "Hotbar slot 7",
    "Hotbar slot 8",
    "Hotbar slot 9",
    "%s move / %s jump / double-tap %s to fly",
    "%s chat / %s commands / %s inventory / %s debug / %s pause",
    "%s move, %s jump, %s sprint",
    "%s / wheel block, %s inventory",
    "Double-tap %s (or %s) to fly, %s spectator, %s debug",
    "%s resume, %s or ^ commands",
    "Hotbar is the bottom row. %s or %s closes.",
    "Render distance %d chunks, %s spectator, %s commands",
    "Render scale",
};

// Puts the language back however a test ends.
class LanguageScope {
 public:
  explicit LanguageScope(int language) : previous_(zorv::language()) { setLanguage(language); }
  ~LanguageScope() { setLanguage(previous_); }
  LanguageScope(const LanguageScope&) = delete;
  LanguageScope& operator=(const LanguageScope&) = delete;

 private:
  int previous_;
};

bool isValidUtf8(const char* text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  while (*bytes != 0) {
    int continuation = *bytes < 0x80 ? 0 : (*bytes >> 5) == 0x6 ? 1 : (*bytes >> 4) == 0xE ? 2
                     : (*bytes >> 3) == 0x1E ? 3 : -1;
    if (continuation < 0) return false;
    ++bytes;
    for (int i = 0; i < continuation; ++i, ++bytes) {
      if ((*bytes >> 6) != 0x2) return false;
    }
  }
  return true;
}

TEST(Localisation, TableHoldsEveryKeyOnceWithAChineseText) {
  const auto& table = translationTable();
  ASSERT_EQ(table.size(), std::size(kExpectedKeys));
  std::set<std::string> seen;
  for (std::size_t row = 0; row < table.size(); ++row) {
    SCOPED_TRACE(row);
    EXPECT_STREQ(table[row].english, kExpectedKeys[row]);
    EXPECT_TRUE(seen.insert(table[row].english).second) << "duplicate key";
    ASSERT_NE(table[row].chinese, nullptr);
    EXPECT_GT(std::strlen(table[row].chinese), 0u);
    EXPECT_TRUE(isValidUtf8(table[row].chinese));
  }
  EXPECT_TRUE(mismatchedTranslations().empty());

  EXPECT_STREQ(table[8].chinese, "永久删除“%s”？");
  EXPECT_STREQ(table[86].chinese, "（飞行）");
  EXPECT_STREQ(table[212].chinese, "主持“%s”（UDP %u）");
  EXPECT_STREQ(table[25].english, "play.example.com or 1.2.3.4:27632");
}

TEST(Localisation, FormatSignatureClassifiesConversions) {
  EXPECT_EQ(formatSignature("Time   %02d:%02d"), "ii");
  EXPECT_EQ(formatSignature("%02d"), formatSignature("%d"));
  EXPECT_EQ(formatSignature("%zu"), formatSignature("%d"));
  EXPECT_EQ(formatSignature("%.0f"), formatSignature("%f"));
  EXPECT_NE(formatSignature("%s"), formatSignature("%d"));
  EXPECT_NE(formatSignature("Gave %d %s"), formatSignature("给了 %d 个"));

  EXPECT_EQ(formatSignature("%hhx %lld %ju %td %Lg %-+ #08.3e %X %o %i %a"), "iiiiffiiif");
  EXPECT_EQ(formatSignature("Mode %s%s  HP %d/20"), "ssi");
  EXPECT_EQ(formatSignature("%c %p %5s"), "cps");
  EXPECT_EQ(formatSignature("100%% done %%d"), "");
  EXPECT_EQ(formatSignature("%%%d"), "i");
  EXPECT_EQ(formatSignature("50%"), "");
  EXPECT_EQ(formatSignature("%08.2"), "");
  EXPECT_EQ(formatSignature("%ll"), "");
  EXPECT_EQ(formatSignature(""), "");
}

TEST(Localisation, TranslationMatchesOnlyWithTheSamePlaceholders) {
  EXPECT_TRUE(translationMatches("Seed %u", "种子 %d"));
  EXPECT_TRUE(translationMatches("Quit", "退出"));
  EXPECT_FALSE(translationMatches("Gave %d %s", "给了 %d 个"));
  EXPECT_FALSE(translationMatches("Gave %d %s", "给了 %s 个%d"));
  EXPECT_FALSE(translationMatches("Quit", "退出 %s"));
  EXPECT_FALSE(translationMatches("Quit", ""));
  EXPECT_FALSE(translationMatches("Quit", nullptr));
}

TEST(Localisation, EnglishReturnsEveryArgumentItself) {
  LanguageScope scope(LanguageEnglish);
  for (const Translation& row : translationTable()) {
    EXPECT_EQ(tr(row.english), row.english);
    EXPECT_EQ(trFormat(row.english), row.english);
  }
  const char* unknown = "My World";
  EXPECT_EQ(tr(unknown), unknown);
  EXPECT_EQ(tr(nullptr), nullptr);
  EXPECT_EQ(trFormat(nullptr), nullptr);
  EXPECT_EQ(trString("Singleplayer"), "Singleplayer");
}

TEST(Localisation, ChineseLooksUpKeysByteForByte) {
  LanguageScope scope(LanguageChinese);
  EXPECT_EQ(language(), LanguageChinese);
  for (const Translation& row : translationTable()) {
    std::string copy = row.english;  // a different pointer with the same bytes
    EXPECT_EQ(tr(copy.c_str()), row.chinese);
    EXPECT_EQ(trFormat(copy.c_str()), row.chinese);
    EXPECT_EQ(trString(copy), row.chinese);
  }
  EXPECT_STREQ(tr("Singleplayer"), "单人游戏");
  EXPECT_STREQ(tr("You: "), "你：");
  EXPECT_STREQ(tr("You: %s"), "你：%s");
  EXPECT_STREQ(tr("grass"), "草方块");

  const char* unknown = "Bob: hello";
  EXPECT_EQ(tr(unknown), unknown);
  EXPECT_STREQ(tr("You:"), "You:");
  EXPECT_STREQ(tr("you: "), "you: ");
  EXPECT_STREQ(tr("Quit "), "Quit ");
  EXPECT_EQ(trString("Grass"), "Grass");
  EXPECT_EQ(trString(std::string("Quit\0x", 6)), std::string("Quit\0x", 6));
  EXPECT_EQ(tr(nullptr), nullptr);
}

TEST(Localisation, SwitchingLanguageTakesEffectAtOnce) {
  LanguageScope scope(LanguageChinese);
  EXPECT_STREQ(tr("Paused"), "已暂停");
  setLanguage(LanguageEnglish);
  EXPECT_EQ(language(), LanguageEnglish);
  EXPECT_STREQ(tr("Paused"), "Paused");
}

TEST(Localisation, FormatTranslatedFormatsTheTranslatedText) {
  {
    LanguageScope scope(LanguageChinese);
    std::string hosting = formatTranslated("Hosting \"%s\" on UDP %u", "Test", 27632u);
    EXPECT_EQ(hosting, "主持“Test”（UDP 27632）");
    EXPECT_EQ(formatTranslated("Unknown %s %d", "x", 3), "Unknown x 3");
  }
  {
    LanguageScope scope(LanguageEnglish);
    EXPECT_EQ(formatTranslated("Hosting \"%s\" on UDP %u", "Test", 27632u),
              "Hosting \"Test\" on UDP 27632");
  }
  std::string longName(1000, 'a');
  EXPECT_EQ(formatTranslated("%s", longName.c_str()), std::string(511, 'a'));
  std::string exact(511, 'b');
  EXPECT_EQ(formatTranslated("%s", exact.c_str()), exact);
}

// Restores the built-in table when a test that injected its own ends.
struct TableScope {
  explicit TableScope(const std::vector<Translation>& table) { setTranslationTable(&table); }
  ~TableScope() { setTranslationTable(nullptr); }
  TableScope(const TableScope&) = delete;
  TableScope& operator=(const TableScope&) = delete;
};

TEST(Localisation, MismatchedTranslationsFallBackToTheEnglishFormat) {
  LanguageScope scope(LanguageChinese);
  const std::vector<Translation> table = {
      {"Gave %d %s", "给了 %s"},        // a placeholder short and of another class
      {"Seed %u", "种子 %d"},           // same classes: used
      {"Picked %s", "拾起 %s %s"},      // one placeholder too many
      {"Ready", ""},                    // empty translation
  };
  TableScope tableScope(table);
  EXPECT_STREQ(trFormat("Gave %d %s"), "Gave %d %s");
  EXPECT_STREQ(trFormat("Seed %u"), "种子 %d");
  EXPECT_STREQ(trFormat("Picked %s"), "Picked %s");
  EXPECT_STREQ(trFormat("Ready"), "Ready");
  EXPECT_EQ(formatTranslated("Gave %d %s", 3, "apple"), "Gave 3 apple");
  EXPECT_EQ(formatTranslated("Picked %s", "torch"), "Picked torch");
  EXPECT_EQ(formatTranslated("Seed %u", 42u), "种子 42");
  // Plain lookups are not format checked.
  EXPECT_STREQ(tr("Gave %d %s"), "给了 %s");

  setTranslationTable(nullptr);
  EXPECT_STREQ(trFormat("Seed %u"), "种子 %u");
}

std::string repeated(const char* piece, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += piece;
  return text;
}

TEST(Localisation, OverlongResultsAreCutAtACharacterBoundary) {
  LanguageScope scope(LanguageEnglish);
  // 511 bytes fit; each prefix shifts where the cut falls inside the characters.
  const std::string han = repeated("中", 200);  // 3 bytes each
  EXPECT_EQ(formatTranslated("%s", han.c_str()), repeated("中", 170));  // 510 bytes
  EXPECT_EQ(formatTranslated("a%s", han.c_str()), "a" + repeated("中", 170));  // 511 bytes
  EXPECT_EQ(formatTranslated("ab%s", han.c_str()), "ab" + repeated("中", 169));  // 509 bytes
  const std::string accented = repeated("é", 300);  // 2 bytes each
  EXPECT_EQ(formatTranslated("%s", accented.c_str()), repeated("é", 255));
  const std::string emoji = repeated("😀", 150);  // 4 bytes each
  EXPECT_EQ(formatTranslated("%s", emoji.c_str()), repeated("😀", 127));
  EXPECT_EQ(formatTranslated("abc%s", emoji.c_str()), "abc" + repeated("😀", 127));

  // Bytes that are not UTF-8 at all are passed through, cut or not.
  const std::string stray(600, '\x80');
  EXPECT_EQ(formatTranslated("%s", stray.c_str()), std::string(511, '\x80'));
}

TEST(Localisation, OverlongTranslatedResultsAreCutAtACharacterBoundary) {
  LanguageScope scope(LanguageChinese);
  const std::string han = repeated("中", 200);
  EXPECT_EQ(formatTranslated("Saved %s", han.c_str()), "已保存 " + repeated("中", 167));
  EXPECT_EQ(formatTranslated("Unknown block: %s", han.c_str()), "未知方块：" + repeated("中", 165));
  const std::string deleted = formatTranslated("Deleted \"%s\"", han.c_str());
  EXPECT_EQ(deleted, "已删除“" + repeated("中", 166));
  EXPECT_TRUE(isValidUtf8(deleted.c_str()));
}

}  // namespace
}  // namespace zorv
