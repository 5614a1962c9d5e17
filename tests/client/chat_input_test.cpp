#include "client/input_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/client_session.h"
#include "commands_fixture.h"

namespace zorv::testing {
namespace {

// Drives the keyboard rules frame by frame, as the main loop does.
class InputTest : public CommandSessionTest {
 protected:
  void SetUp() override {
    CommandSessionTest::SetUp();
    bareWorld();
    session.cursorCaptured = true;
  }

  // One frame with `keys` down.
  void frame(const KeyStates& keys, float dt = 0.05f) {
    now += dt;
    KeyboardFrame input;
    input.keys = keys;
    input.readClipboard = [this] {
      ++clipboardReads;
      return clipboard;
    };
    applyKeyboard(session, memory, input, dt, now);
  }

  // A press and a release of one key.
  void tap(bool KeyStates::*key) {
    KeyStates down;
    down.*key = true;
    frame(down);
    frame({});
  }

  void type(const std::string& text) {
    for (const char c : text) onCharacter(session, static_cast<unsigned char>(c));
  }

  KeyMemory memory;
  std::string clipboard;
  int clipboardReads = 0;
};

using ChatTest = InputTest;
using KeyTest = InputTest;

TEST_F(ChatTest, EscapeWithTheChatOpenOnlyClosesIt) {
  type("/");
  ASSERT_TRUE(session.chatOpen);
  EXPECT_FALSE(session.cursorCaptured);
  type("seed");
  tap(&KeyStates::escape);
  EXPECT_FALSE(session.chatOpen);
  EXPECT_EQ(session.chatText, "");
  EXPECT_EQ(session.appState, AppPlaying);
  EXPECT_TRUE(session.cursorCaptured);
  tap(&KeyStates::escape);
  EXPECT_EQ(session.appState, AppPaused);
  EXPECT_FALSE(session.cursorCaptured);
  tap(&KeyStates::escape);
  EXPECT_EQ(session.appState, AppPlaying);
}

TEST_F(ChatTest, OpeningKeysAndTypedLettersStayInTheText) {
  session.historyIndex = 3;
  session.mouseTracking = true;
  type("t");
  EXPECT_TRUE(session.chatOpen);
  EXPECT_TRUE(session.chatForTalk);
  EXPECT_EQ(session.chatText, "");  // the opening character is not added
  EXPECT_EQ(session.historyIndex, -1);
  EXPECT_FALSE(session.mouseTracking);
  type("tf T/");
  tap(&KeyStates::fly);
  EXPECT_EQ(session.chatText, "tf T/");
  EXPECT_FALSE(session.player.flying);
  onCharacter(session, 0x4E2D);  // a non-ASCII code point is ignored
  onCharacter(session, 9);
  EXPECT_EQ(session.chatText, "tf T/");

  tap(&KeyStates::escape);
  type("^");
  EXPECT_TRUE(session.chatOpen);
  EXPECT_FALSE(session.chatForTalk);
  EXPECT_EQ(session.chatText, "/");
  tap(&KeyStates::escape);
  type("x");
  EXPECT_FALSE(session.chatOpen);

  // Neither in the inventory nor outside Playing.
  session.inventoryOpen = true;
  type("t");
  EXPECT_FALSE(session.chatOpen);
  session.inventoryOpen = false;
  session.appState = AppPaused;
  type("/");
  EXPECT_FALSE(session.chatOpen);
}

TEST_F(ChatTest, TypingStopsAtTwoHundredBytes) {
  type("t");
  type(std::string(250, 'a'));
  EXPECT_EQ(session.chatText.size(), 200u);
}

TEST_F(ChatTest, EnterRunsCommandsAndShowsChatLines) {
  type("/");
  type("seed");
  tap(&KeyStates::enter);
  EXPECT_FALSE(session.chatOpen);
  EXPECT_TRUE(session.cursorCaptured);
  EXPECT_EQ(messages(), (std::vector<std::string>{"/seed", "Seed 20261018"}));
  EXPECT_EQ(session.chatHistory, std::vector<std::string>{"/seed"});

  session.messages.clear();
  type("t");
  type("hello there");
  tap(&KeyStates::enter);
  EXPECT_EQ(messages(), std::vector<std::string>{"You: hello there"});
  EXPECT_EQ(session.chatHistory.size(), 1u);  // chat lines are not commands

  type("t");
  tap(&KeyStates::enter);
  EXPECT_FALSE(session.chatOpen);
  EXPECT_EQ(session.messages.size(), 1u);  // an empty line says nothing
}

TEST_F(ChatTest, BackspaceRepeatsAfterFourTenthsThenEveryFrame) {
  type("t");
  type("abcdefghijklmnopqrst");
  KeyStates held;
  held.backspace = true;
  std::vector<std::size_t> lengths;
  for (int i = 0; i < 12; ++i) {
    frame(held, 0.05f);
    lengths.push_back(session.chatText.size());
  }
  // One at once; the next 0.4 s after the press (frame 8); then one per frame, since the
  // timer restarts at -0.045 and 0.05 s frames overshoot it every time.
  EXPECT_EQ(lengths, (std::vector<std::size_t>{19, 19, 19, 19, 19, 19, 19, 19, 18, 17, 16, 15}));
  frame({});
  EXPECT_EQ(memory.backspaceTimer, 0.0f);
  frame(held, 0.05f);
  EXPECT_EQ(session.chatText.size(), 14u);
  frame({});

  // With 0.03 s frames the dropped overshoot shows: the first repeat comes at frame 14
  // (0.42 s), then every second frame (-0.045 + 0.03 < 0 <= -0.045 + 0.06).
  std::vector<int> deletedAt;
  for (int i = 0; i <= 20; ++i) {
    const std::size_t before = session.chatText.size();
    frame(held, 0.03f);
    if (session.chatText.size() < before) deletedAt.push_back(i);
  }
  EXPECT_EQ(deletedAt, (std::vector<int>{0, 14, 16, 18, 20}));
  frame({});

  session.chatText.clear();
  tap(&KeyStates::backspace);  // nothing to delete
  EXPECT_EQ(session.chatText, "");
}

TEST_F(ChatTest, PasteFiltersAndStopsAtTwoHundredBytes) {
  type("t");
  clipboard = std::string(300, 'x');
  tap(&KeyStates::paste);
  EXPECT_EQ(session.chatText.size(), 200u);
  EXPECT_EQ(clipboardReads, 1);

  session.chatText.clear();
  clipboard = "a\r\nb\tc\x01\xE4\xB8\xAD~";
  KeyStates chord;
  chord.paste = true;
  frame(chord);
  frame(chord);  // held: pasted once per press
  frame({});
  EXPECT_EQ(session.chatText, "a b c~");
  EXPECT_EQ(clipboardReads, 2);

  tap(&KeyStates::escape);
  tap(&KeyStates::paste);  // a closed chat reads nothing
  EXPECT_EQ(clipboardReads, 2);
}

TEST_F(ChatTest, HistoryBrowsingUpAndDown) {
  type("/");
  tap(&KeyStates::up);
  tap(&KeyStates::down);
  EXPECT_EQ(session.chatText, "/");  // empty history, not browsing: nothing
  EXPECT_EQ(session.historyIndex, -1);

  session.chatHistory = {"/a", "/b", "/c"};
  const auto browse = [&](bool KeyStates::*key) {
    tap(key);
    return session.chatText;
  };
  EXPECT_EQ(browse(&KeyStates::up), "/c");
  EXPECT_EQ(browse(&KeyStates::up), "/b");
  EXPECT_EQ(browse(&KeyStates::up), "/a");
  EXPECT_EQ(browse(&KeyStates::up), "/a");  // index 0 stays
  EXPECT_EQ(session.historyIndex, 0);
  EXPECT_EQ(browse(&KeyStates::down), "/b");
  EXPECT_EQ(browse(&KeyStates::down), "/c");
  EXPECT_EQ(browse(&KeyStates::down), "");
  EXPECT_EQ(session.historyIndex, -1);
}

TEST_F(ChatTest, TabCompletesCommandNamesInTableOrder) {
  EXPECT_EQ(completeCommand("/ti"), "/time ");
  EXPECT_EQ(completeCommand("/x"), "/x");
  EXPECT_EQ(completeCommand("/time d"), "/time d");
  EXPECT_EQ(completeCommand("/"), "/help ");
  EXPECT_EQ(completeCommand("/s"), "/spectator ");
  EXPECT_EQ(completeCommand("/v"), "/version ");
  EXPECT_EQ(completeCommand("/mo"), "/mobs ");
  EXPECT_EQ(completeCommand("ti"), "ti");

  type("/");
  type("fi");
  tap(&KeyStates::tab);
  EXPECT_EQ(session.chatText, "/fill ");
}

TEST_F(ChatTest, PasteFilterKeepsPrintableAscii) {
  std::string text = "ab";
  appendPastedText(text, std::string("\x7F\x1F \x7E", 4));
  EXPECT_EQ(text, "ab ~");
  std::string full(199, 'z');
  appendPastedText(full, "123");
  EXPECT_EQ(full, std::string(199, 'z') + "1");
}

TEST_F(KeyTest, DoubleTapSpaceTogglesFlightOnceInCreative) {
  KeyStates space;
  space.space = true;
  now = 10.0;
  frame(space, 0.0f);
  frame({}, 0.16f);
  frame(space, 0.16f);  // 0.32 s after the first press
  EXPECT_TRUE(session.player.flying);
  EXPECT_EQ(lastMessage(), "Flying");
  frame({}, 0.05f);
  frame(space, 0.05f);  // a third press right after does not toggle back
  EXPECT_TRUE(session.player.flying);
  EXPECT_DOUBLE_EQ(memory.lastSpaceTime, now);

  frame({}, 0.3f);
  frame(space, 0.03f);  // 0.33 s: too slow
  EXPECT_TRUE(session.player.flying);
  frame({}, 0.1f);
  frame(space, 0.1f);
  EXPECT_FALSE(session.player.flying);
  EXPECT_EQ(lastMessage(), "Flight off");
}

TEST_F(KeyTest, SurvivalHasNoFlightButAnInventory) {
  setGameMode(session, ModeSurvival);
  session.player.vy = 2.0f;
  tap(&KeyStates::fly);
  tap(&KeyStates::space);
  tap(&KeyStates::space);
  EXPECT_FALSE(session.player.flying);
  tap(&KeyStates::inventory);
  EXPECT_TRUE(session.inventoryOpen);
  EXPECT_EQ(session.inventoryTab, 2);
  EXPECT_FALSE(session.cursorCaptured);
  tap(&KeyStates::escape);  // Esc closes the inventory before pausing
  EXPECT_FALSE(session.inventoryOpen);
  EXPECT_EQ(session.appState, AppPlaying);

  setGameMode(session, ModeCreative);
  session.messages.clear();
  tap(&KeyStates::inventory);
  EXPECT_FALSE(session.inventoryOpen);
  EXPECT_EQ(lastMessage(), "Inventory is only used in Survival mode");
  tap(&KeyStates::fly);
  EXPECT_TRUE(session.player.flying);
  EXPECT_EQ(session.player.vy, 0.0f);
  setGameMode(session, ModeSpectator);
  session.messages.clear();
  tap(&KeyStates::inventory);
  EXPECT_EQ(lastMessage(), "Inventory is only used in Survival mode");
}

TEST_F(KeyTest, OverlayModeAndScreenshotKeys) {
  tap(&KeyStates::minimap);
  EXPECT_FALSE(session.minimapOn);
  EXPECT_EQ(lastMessage(), "Minimap off");
  tap(&KeyStates::minimap);
  EXPECT_EQ(lastMessage(), "Minimap on");

  tap(&KeyStates::debug);
  EXPECT_TRUE(session.debugOverlay);
  tap(&KeyStates::spectator);
  EXPECT_EQ(gameMode(session), ModeSpectator);
  tap(&KeyStates::spectator);
  EXPECT_EQ(gameMode(session), ModeCreative);

  KeyStates f3;
  f3.debug = true;
  KeyStates chord = f3;
  chord.spectator = true;
  frame(f3);  // F3 goes down (overlay off again), then F4 while F3 is held
  frame(chord);
  EXPECT_EQ(gameMode(session), ModeSurvival);
  frame(f3);
  frame(chord);
  EXPECT_EQ(gameMode(session), ModeSpectator);
  frame(f3);
  frame(chord);
  EXPECT_EQ(gameMode(session), ModeCreative);
  frame({});
  EXPECT_FALSE(session.debugOverlay);

  tap(&KeyStates::screenshot);
  EXPECT_TRUE(session.screenshotRequested);
  session.screenshotRequested = false;
  session.appState = AppPaused;
  tap(&KeyStates::screenshot);
  tap(&KeyStates::minimap);
  EXPECT_FALSE(session.screenshotRequested);
  EXPECT_TRUE(session.minimapOn);

  // With the chat open F3 and M do nothing.
  session.appState = AppPlaying;
  type("t");
  tap(&KeyStates::debug);
  tap(&KeyStates::minimap);
  EXPECT_FALSE(session.debugOverlay);
  EXPECT_TRUE(session.minimapOn);
}

TEST_F(KeyTest, WorldKeysDoNothingOutsidePlay) {
  setGameMode(session, ModeSurvival);
  for (const AppState state : {AppDead, AppMenu}) {
    session.appState = state;
    session.messages.clear();
    tap(&KeyStates::escape);
    tap(&KeyStates::inventory);
    tap(&KeyStates::spectator);
    tap(&KeyStates::minimap);
    tap(&KeyStates::screenshot);
    EXPECT_EQ(session.appState, state);
    EXPECT_FALSE(session.inventoryOpen);
    EXPECT_EQ(gameMode(session), ModeSurvival);
    EXPECT_TRUE(session.minimapOn);
    EXPECT_FALSE(session.screenshotRequested);
    EXPECT_TRUE(session.messages.empty());
  }
  setGameMode(session, ModeCreative);
  session.appState = AppPaused;
  tap(&KeyStates::fly);
  tap(&KeyStates::space);
  tap(&KeyStates::space);
  EXPECT_FALSE(session.player.flying);
  EXPECT_DOUBLE_EQ(memory.lastSpaceTime, kNoSpaceTap);  // presses outside play are not remembered
}

TEST_F(KeyTest, ScrollWrapsAroundTheHotbar) {
  session.inventory.select(0);
  onScrolled(session, 1.0);
  EXPECT_EQ(session.inventory.selected, 8);
  onScrolled(session, -2.5);
  EXPECT_EQ(session.inventory.selected, 0);
  onScrolled(session, -1.0);
  EXPECT_EQ(session.inventory.selected, 1);
  onScrolled(session, 0.0);
  EXPECT_EQ(session.inventory.selected, 1);
  session.chatOpen = true;
  onScrolled(session, 1.0);
  EXPECT_EQ(session.inventory.selected, 1);
}

TEST_F(KeyTest, FirstCursorMotionOnlyStartsTracking) {
  session.player.lookSensitivity = 0.5f;
  session.player.yaw = 10.0f;
  session.player.pitch = 0.0f;
  onCursorMoved(session, 100.0, 100.0);
  EXPECT_TRUE(session.mouseTracking);
  EXPECT_FLOAT_EQ(session.player.yaw, 10.0f);
  onCursorMoved(session, 110.0, 96.0);
  EXPECT_FLOAT_EQ(session.player.yaw, 15.0f);
  EXPECT_FLOAT_EQ(session.player.pitch, 2.0f);
  onCursorMoved(session, 110.0, -1000.0);
  EXPECT_FLOAT_EQ(session.player.pitch, 89.0f);

  session.inventoryOpen = true;
  onCursorMoved(session, 500.0, 500.0);
  EXPECT_FALSE(session.mouseTracking);
  session.inventoryOpen = false;
  onCursorMoved(session, 0.0, 0.0);
  EXPECT_FLOAT_EQ(session.player.yaw, 15.0f);  // the jump after closing does not turn
}

TEST_F(KeyTest, ReboundKeysAndFullScreen) {
  // Full screen toggles in every state while the chat is closed.
  tap(&KeyStates::fullScreen);
  EXPECT_TRUE(session.settings.fullScreen);
  session.appState = AppMenu;
  tap(&KeyStates::fullScreen);
  EXPECT_FALSE(session.settings.fullScreen);
  session.appState = AppPlaying;

  // Chat moved to Y: the character y opens it, t is just a letter now.
  session.settings.keys.bind(Action::Chat, 'Y');
  type("t");
  EXPECT_FALSE(session.chatOpen);
  type("y");
  ASSERT_TRUE(session.chatOpen);
  EXPECT_TRUE(session.chatForTalk);
  type("p");
  // A pause key that types a character only types while the chat is open.
  session.settings.keys.bind(Action::Pause, 'P');
  tap(&KeyStates::pause);
  EXPECT_TRUE(session.chatOpen);
  EXPECT_EQ(session.appState, AppPlaying);
  tap(&KeyStates::escape);  // Esc itself still closes the chat
  EXPECT_FALSE(session.chatOpen);
  tap(&KeyStates::pause);
  EXPECT_EQ(session.appState, AppPaused);

  // Commands moved to F6, which types nothing: the key itself opens the chat with "/".
  setAppState(session, AppPlaying);
  session.settings.keys.bind(Action::Command, 295);
  type("/");
  EXPECT_FALSE(session.chatOpen);
  tap(&KeyStates::command);
  ASSERT_TRUE(session.chatOpen);
  EXPECT_EQ(session.chatText, "/");
  type("^");  // typed into the open chat
  EXPECT_EQ(session.chatText, "/^");
}

TEST_F(KeyTest, RebindingSwallowsTheKeyThatEndsIt) {
  tap(&KeyStates::escape);
  ASSERT_EQ(session.appState, AppPaused);
  session.keyCapture.waiting = Action::Screenshot;
  onKeyPressed(session, 256);  // Esc cancels the wait ...
  tap(&KeyStates::escape);     // ... and does not also resume the game
  EXPECT_EQ(session.appState, AppPaused);
  EXPECT_EQ(session.settings.keys.key(Action::Screenshot), 291);

  session.keyCapture.waiting = Action::Debug;
  onKeyPressed(session, 'G');
  tap(&KeyStates::debug);
  EXPECT_FALSE(session.debugOverlay) << "the binding key does not act in its own frame";
  EXPECT_EQ(session.settings.keys.key(Action::Debug), 'G');
  tap(&KeyStates::debug);
  EXPECT_TRUE(session.debugOverlay);

  // A wait left over when the game resumes never binds keys pressed in play.
  session.keyCapture.waiting = Action::Jump;
  tap(&KeyStates::escape);
  ASSERT_EQ(session.appState, AppPlaying);
  onKeyPressed(session, 'Q');
  EXPECT_EQ(session.settings.keys.key(Action::Jump), 32);
  EXPECT_FALSE(session.keyCapture.waiting);
}

TEST_F(KeyTest, InvertedMouseLooksTheOtherWay) {
  onCursorMoved(session, 100.0, 100.0);
  const float pitch = session.player.pitch;
  onCursorMoved(session, 100.0, 150.0);
  const float normalTurn = session.player.pitch - pitch;
  ASSERT_LT(normalTurn, 0.0f);
  session.settings.invertMouse = true;
  onCursorMoved(session, 100.0, 200.0);
  EXPECT_FLOAT_EQ(session.player.pitch - pitch, 0.0f);
}

}  // namespace
}  // namespace zorv::testing
