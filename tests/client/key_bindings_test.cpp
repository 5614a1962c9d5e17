#include "client/key_bindings.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace zorv {
namespace {

TEST(KeyBindings, DefaultsAreTheGamesKeysWithoutConflicts) {
  const KeyBindings keys;
  EXPECT_EQ(keys.key(Action::MoveForward), 87);
  EXPECT_EQ(keys.key(Action::MoveLeft), 65);
  EXPECT_EQ(keys.key(Action::MoveBack), 83);
  EXPECT_EQ(keys.key(Action::MoveRight), 68);
  EXPECT_EQ(keys.key(Action::Jump), 32);
  EXPECT_EQ(keys.key(Action::Descend), 340);
  EXPECT_EQ(keys.key(Action::Sprint), 341);
  EXPECT_EQ(keys.key(Action::ToggleFlying), 70);
  EXPECT_EQ(keys.key(Action::Inventory), 69);
  EXPECT_EQ(keys.key(Action::Chat), 84);
  EXPECT_EQ(keys.key(Action::Command), 47);
  EXPECT_EQ(keys.key(Action::Screenshot), 291);
  EXPECT_EQ(keys.key(Action::Debug), 292);
  EXPECT_EQ(keys.key(Action::Spectator), 293);
  EXPECT_EQ(keys.key(Action::Minimap), 77);
  EXPECT_EQ(keys.key(Action::Pause), 256);
  EXPECT_EQ(keys.key(Action::FullScreen), 300);
  for (int slot = 0; slot < 9; ++slot) EXPECT_EQ(keys.key(hotbarAction(slot)), 49 + slot);

  std::set<std::string> fileKeys;
  for (const ActionInfo& info : actionTable()) {
    SCOPED_TRACE(info.fileKey);
    EXPECT_EQ(&actionInfo(info.action), &info) << "table order differs from the enumeration";
    EXPECT_TRUE(fileKeys.insert(info.fileKey).second);
    EXPECT_TRUE(isBindableKey(info.defaultKey));
    EXPECT_TRUE(conflictsOf(keys, info.action).empty());
    EXPECT_TRUE(keys.isDefault(info.action));
  }
}

TEST(KeyBindings, ConflictsNameEveryOtherActionOnTheSameKey) {
  KeyBindings keys;
  keys.bind(Action::Jump, 'E');
  keys.bind(Action::Minimap, 'E');
  const auto conflicts = conflictsOf(keys, Action::Inventory);
  ASSERT_EQ(conflicts.size(), 2u);
  EXPECT_EQ(conflicts[0], Action::Jump);
  EXPECT_EQ(conflicts[1], Action::Minimap);
  EXPECT_EQ(conflictsOf(keys, Action::Jump).size(), 2u);
  EXPECT_TRUE(conflictsOf(keys, Action::Sprint).empty());
  EXPECT_FALSE(keys.isDefault(Action::Jump));
  keys = KeyBindings();  // reset to defaults
  EXPECT_TRUE(conflictsOf(keys, Action::Inventory).empty());
  keys.bind(Action::Chat, kKeyUnbound);
  keys.bind(Action::Command, kKeyUnbound);
  EXPECT_TRUE(conflictsOf(keys, Action::Chat).empty()) << "two unbound actions do not conflict";
}

TEST(KeyBindings, EveryKnownKeyRoundTripsThroughItsNames) {
  int known = 0;
  for (int code = -1; code < 400; ++code) {
    if (!isBindableKey(code)) {
      EXPECT_TRUE(keyFileName(code).empty());
      EXPECT_EQ(keyLabel(code), "?");
      continue;
    }
    ++known;
    SCOPED_TRACE(code);
    const std::string name(keyFileName(code));
    ASSERT_FALSE(name.empty());
    EXPECT_EQ(name.find_first_of(" =#"), std::string::npos);
    EXPECT_EQ(keyFromFileName(name), code);
    EXPECT_NE(keyLabel(code), "?");
  }
  EXPECT_GT(known, 90);
  EXPECT_EQ(keyFromFileName("left_shift"), 340);
  EXPECT_EQ(keyFromFileName("f11"), 300);
  EXPECT_EQ(keyLabel(341), "Left Ctrl");
  EXPECT_EQ(keyLabel(47), "/");
  EXPECT_FALSE(keyFromFileName("SPACEBAR"));
  EXPECT_FALSE(keyFromFileName(""));
}

TEST(KeyBindings, TypedCharactersMatchPrintableKeysOnly) {
  EXPECT_TRUE(characterFromKey('t', 'T'));
  EXPECT_TRUE(characterFromKey('T', 'T'));
  EXPECT_TRUE(characterFromKey('/', 47));
  EXPECT_FALSE(characterFromKey('y', 'T'));
  EXPECT_FALSE(characterFromKey('T', 294)) << "F5 types nothing";
  EXPECT_FALSE(characterFromKey(0x4E2D, 'T'));
  EXPECT_EQ(keyCharacter(290), 0);
  EXPECT_EQ(keyCharacter(kKeyUnbound), 0);
  EXPECT_EQ(keyCharacter('7'), '7');
}

TEST(KeyBindings, HelpLabelsOfActionGroups) {
  KeyBindings keys;
  const auto move = {Action::MoveForward, Action::MoveLeft, Action::MoveBack, Action::MoveRight};
  EXPECT_EQ(keysLabel(keys, move), "WASD");
  EXPECT_TRUE(allDefault(keys, move));
  const auto hotbar = {Action::Hotbar1, Action::Hotbar2, Action::Hotbar3, Action::Hotbar4, Action::Hotbar5,
                       Action::Hotbar6, Action::Hotbar7, Action::Hotbar8, Action::Hotbar9};
  EXPECT_EQ(keysLabel(keys, hotbar), "1-9");
  keys.bind(Action::MoveForward, 265);
  EXPECT_EQ(keysLabel(keys, move), "Up/A/S/D");
  EXPECT_FALSE(allDefault(keys, move));
  keys.bind(Action::Hotbar9, '0');
  EXPECT_EQ(keysLabel(keys, hotbar), "123456780");
  EXPECT_EQ(keysLabel(keys, {Action::Sprint}), "Left Ctrl");
}

TEST(KeyBindings, ACaptureBindsTheNextKeyAndEscCancels) {
  KeyBindings keys;
  KeyCapture capture;
  EXPECT_FALSE(offerCapturedKey(capture, keys, 'J')) << "nothing is waiting";
  EXPECT_TRUE(keys == KeyBindings());

  capture.waiting = Action::Jump;
  EXPECT_FALSE(offerCapturedKey(capture, keys, 999)) << "unknown keys are ignored";
  EXPECT_TRUE(capture.waiting);
  EXPECT_TRUE(offerCapturedKey(capture, keys, 'J'));
  EXPECT_EQ(keys.key(Action::Jump), 'J');
  EXPECT_FALSE(capture.waiting);
  EXPECT_TRUE(capture.justEnded);

  capture = {};
  capture.waiting = Action::Sprint;
  EXPECT_TRUE(offerCapturedKey(capture, keys, kKeyEscape));
  EXPECT_EQ(keys.key(Action::Sprint), 341) << "Esc cancels, the binding stays";
  EXPECT_FALSE(capture.waiting);
}

}  // namespace
}  // namespace zorv
