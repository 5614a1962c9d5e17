#include "ui/key_help.h"

#include <gtest/gtest.h>

#include "lang/localisation.h"

namespace zorv {
namespace {

TEST(KeyHelp, DefaultKeysKeepTheFixedTextsAndReboundOnesAreNamed) {
  const int previous = language();
  setLanguage(LanguageEnglish);
  KeyBindings keys;
  EXPECT_EQ(mainMenuHelp(keys), (std::vector<std::string>{"WASD move / Space jump / double-tap Space to fly",
                                                           "T chat / / commands / E inventory / F3 debug / Esc pause"}));
  const auto pause = pauseMenuHelp(keys);
  ASSERT_EQ(pause.size(), 5u);
  EXPECT_EQ(pause[0], "WASD move, Space jump, Ctrl sprint");
  EXPECT_EQ(pause[1], "1-9 / wheel block, E inventory");

  keys.bind(Action::Jump, 'J');
  keys.bind(Action::Inventory, 'I');
  keys.bind(Action::Hotbar1, 'Z');
  EXPECT_EQ(mainMenuHelp(keys)[0], "WASD move / J jump / double-tap J to fly");
  EXPECT_EQ(mainMenuHelp(keys)[1], "T chat / / commands / I inventory / F3 debug / Esc pause");
  EXPECT_EQ(pauseMenuHelp(keys)[1], "Z23456789 / wheel block, I inventory");
  EXPECT_EQ(pauseMenuHelp(keys)[2], "Double-tap J (or F) to fly, F4 spectator, F3 debug");
  EXPECT_EQ(pauseMenuHelp(keys)[3], "Esc resume, / or ^ commands");
  EXPECT_EQ(inventoryHelp(KeyBindings()), "Hotbar is the bottom row. E or Esc closes.");
  EXPECT_EQ(inventoryHelp(keys), "Hotbar is the bottom row. I or Esc closes.");
  EXPECT_EQ(debugOverlayHelp(keys, 8), "Render distance 8 chunks, F4 spectator, / commands");
  keys.bind(Action::Spectator, 'P');
  EXPECT_EQ(debugOverlayHelp(keys, 12), "Render distance 12 chunks, P spectator, / commands");

  setLanguage(LanguageChinese);
  EXPECT_EQ(pauseMenuHelp(keys)[0], "WASD 移动，J 跳跃，Left Ctrl 疾跑");
  EXPECT_EQ(pauseMenuHelp(KeyBindings())[0], tr("WASD move, Space jump, Ctrl sprint"));
  setLanguage(previous);
}

}  // namespace
}  // namespace zorv
