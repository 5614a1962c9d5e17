#include "shell/main_loop.h"

#include <GLFW/glfw3.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <numbers>
#include <string>
#include <thread>
#include <utility>

#include "client/input_rules.h"
#include "client/menu_actions.h"
#include "client/session_options.h"
#include "game/interaction.h"
#include "game/multiplayer.h"
#include "game/player_rules.h"
#include "lang/localisation.h"
#include "platform/platform.h"
#include "render/png_writer.h"
#include "render/vulkan_renderer.h"
#include "shell/frame_time.h"
#include "shell/startup.h"
#include "shell/window_input.h"
#include "shell/window_mode.h"
#include "ui/hud.h"
#include "ui/interface_scale.h"
#include "ui/menus.h"
#include "ui/session_frame.h"
#include "world/registry.h"

namespace zorv {
namespace {

bool isBoundDown(const InputTrickle& keys, const KeyBindings& bindings, Action action) {
  const int key = bindings.key(action);
  return key != kKeyUnbound && keys.down(key);
}

// The keyboard fields that follow a binding.
constexpr std::pair<bool KeyStates::*, Action> kBoundCommandKeys[] = {
    {&KeyStates::pause, Action::Pause},           {&KeyStates::inventory, Action::Inventory},
    {&KeyStates::screenshot, Action::Screenshot}, {&KeyStates::debug, Action::Debug},
    {&KeyStates::spectator, Action::Spectator},   {&KeyStates::minimap, Action::Minimap},
    {&KeyStates::fly, Action::ToggleFlying},      {&KeyStates::space, Action::Jump},
    {&KeyStates::fullScreen, Action::FullScreen}, {&KeyStates::chat, Action::Chat},
    {&KeyStates::command, Action::Command}};
constexpr std::pair<bool MovementKeys::*, Action> kBoundMovementKeys[] = {
    {&MovementKeys::forward, Action::MoveForward}, {&MovementKeys::back, Action::MoveBack},
    {&MovementKeys::left, Action::MoveLeft},       {&MovementKeys::right, Action::MoveRight},
    {&MovementKeys::jump, Action::Jump},           {&MovementKeys::descend, Action::Descend},
    {&MovementKeys::sprint, Action::Sprint}};

KeyboardFrame readKeyboard(GLFWwindow* window, const InputTrickle& input, const KeyBindings& bindings) {
  const auto isDown = [&input](int key) { return input.down(key); };
  KeyboardFrame frame;
  KeyStates& keys = frame.keys;
  for (const auto& [field, action] : kBoundCommandKeys) keys.*field = isBoundDown(input, bindings, action);
  keys.escape = isDown(GLFW_KEY_ESCAPE);
  keys.enter = isDown(GLFW_KEY_ENTER) || isDown(GLFW_KEY_KP_ENTER);
  keys.backspace = isDown(GLFW_KEY_BACKSPACE);
  keys.paste = isDown(GLFW_KEY_V) && (isDown(GLFW_KEY_LEFT_CONTROL) || isDown(GLFW_KEY_RIGHT_CONTROL));
  keys.up = isDown(GLFW_KEY_UP);
  keys.down = isDown(GLFW_KEY_DOWN);
  keys.tab = isDown(GLFW_KEY_TAB);
  frame.readClipboard = [window] {
    const char* text = glfwGetClipboardString(window);
    return std::string(text ? text : "");
  };
  return frame;
}

MovementKeys readMovementKeys(const InputTrickle& input, const KeyBindings& bindings) {
  MovementKeys keys;
  for (const auto& [field, action] : kBoundMovementKeys) keys.*field = isBoundDown(input, bindings, action);
  for (int slot = 0; slot < 9; ++slot) {
    if (isBoundDown(input, bindings, hotbarAction(slot))) {
      keys.hotbarKey = slot;
      break;
    }
  }
  return keys;
}

void printLine(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

bool inWorldControls(const ClientSession& session) {
  return session.appState == AppPlaying && !session.chatOpen && !session.inventoryOpen;
}

// Carries the session's cursor and quit requests over to the window.
void applyWindowRequests(GLFWwindow* window, ClientSession& session, bool& cursorShownCaptured) {
  if (session.cursorCaptured != cursorShownCaptured) {
    glfwSetInputMode(window, GLFW_CURSOR, session.cursorCaptured ? GLFW_CURSOR_DISABLED : GLFW_CURSOR_NORMAL);
    cursorShownCaptured = session.cursorCaptured;
  }
  if (session.quitRequested) glfwSetWindowShouldClose(window, GLFW_TRUE);
}

std::filesystem::path newScreenshotPath() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return platform::programFolder("screenshots") / screenshotFileName(local);
}

// Sleeps until the frame's end on the clock; events that come meanwhile wait for the next
// frame, as they would behind a slow one.
void holdFrame(double end) {
  const double left = end - glfwGetTime();
  if (left > 0.0) std::this_thread::sleep_for(std::chrono::duration<double>(left));
}

}  // namespace

void runMainLoop(GLFWwindow* window, VulkanRenderer& renderer, WindowInput& input, OptionsStore& options) {
  ClientSession& session = input.session;
  KeyMemory keys;
  FpsCounter fps;
  bool leftWasDown = false, rightWasDown = false;
  bool cursorShownCaptured = false;
  int lastWidth = 0, lastHeight = 0;
  const double heldFrame = heldFrameSeconds(std::getenv(kTestFrameVariable));
  if (heldFrame > 0.0) {
    printLine("frames held at " + std::to_string(std::lround(heldFrame * 1000.0)) + " ms (" + kTestFrameVariable + ")");
  }
  double previous = glfwGetTime();
  while (!glfwWindowShouldClose(window)) {
    glfwPollEvents();
    input.keys.nextFrame();
    input.buttons.nextFrame();
    const double now = glfwGetTime();
    const double elapsed = now - previous;
    previous = now;
    const WorldStepPieces pieces = worldStepPieces(elapsed);
    const float dt = static_cast<float>(pieces.count) * pieces.seconds;  // the frame's world time
    int width = 0, height = 0;
    glfwGetFramebufferSize(window, &width, &height);
    if (width == 0 || height == 0) {
      glfwWaitEvents();
      continue;
    }
    // The swapchain follows the window at once, also where the driver would not say so.
    if (width != lastWidth || height != lastHeight) {
      if (lastWidth != 0) renderer.onResize();
      lastWidth = width;
      lastHeight = height;
    }

    const KeyBindings& bindings = session.settings.keys;
    applyKeyboard(session, keys, readKeyboard(window, input.keys, bindings), dt, now);
    const MovementKeys movement = readMovementKeys(input.keys, bindings);
    for (int piece = 0; piece < pieces.count && inWorldControls(session) && session.world; ++piece) {
      stepWorld(session, pieces.seconds, movement);
    }
    updateMultiplayer(session, dt);

    const bool leftDown = input.buttons.down(GLFW_MOUSE_BUTTON_LEFT);
    const bool rightDown = input.buttons.down(GLFW_MOUSE_BUTTON_RIGHT);
    const float aspect = static_cast<float>(width) / static_cast<float>(height);
    const FrameView view = playerView(session, session.fovCurrent * kDegreesToRadians, aspect);
    if (session.world && inWorldControls(session) && gameMode(session) != ModeSpectator) {
      mouseActions(session, dt, view.target, {leftDown, leftDown && !leftWasDown, rightDown && !rightWasDown});
    }
    playQueuedSounds(session);
    const SkyInputs sky = sessionSky(session);
    renderer.setEnvironment(sky.daylight, sky.fogDistance, sky.sunDirection);
    renderer.setEffects(session.settings.shadowsEnabled, session.settings.postProcessingEnabled);
    renderer.setVsync(session.settings.verticalSync);
    renderer.setRenderScale(static_cast<float>(session.settings.renderScale) / 100.0f);

    renderer.beginUiFrame();
    applyInterfaceScale(session.settings.interfaceScale);
    MenuAction menuAction = MenuNone;
    InGameUiResult inGame;
    if (session.appState == AppMenu) {
      menuAction = buildMainMenu(session);
    } else {
      inGame = buildInGameUi(session, uiFrameInfo(renderer, session, view, fps.fps, width, height));
    }

    if (session.screenshotRequested) {
      const std::filesystem::path path = newScreenshotPath();
      drawSessionFrame(renderer, session, view, &path);
      session.screenshotRequested = false;
      addMessage(session, formatTranslated("Screenshot saved: %s", path.string().c_str()));
    } else {
      drawSessionFrame(renderer, session, view, nullptr);
    }

    handleMenuAction(session, menuAction);
    handlePauseAction(session, inGame.pause);
    handleDeathAction(session, inGame.death);
    applyWindowRequests(window, session, cursorShownCaptured);
    syncWindowMode(window, session.settings);
    updateOptionsStore(options, sessionOptions(session), now, printLine);

    leftWasDown = leftDown;
    rightWasDown = rightDown;
    fps.addFrame(static_cast<float>(elapsed));
    if (heldFrame > 0.0) holdFrame(now + heldFrame);
  }
}

}  // namespace zorv
