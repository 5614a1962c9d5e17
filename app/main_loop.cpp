#include "app/main_loop.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <numbers>
#include <string>

#include "app/input_rules.h"
#include "app/menu_actions.h"
#include "app/multiplayer.h"
#include "app/startup.h"
#include "platform/platform.h"
#include "render/png_writer.h"
#include "render/vulkan_renderer.h"
#include "ui/hud.h"
#include "ui/localisation.h"
#include "ui/menus.h"
#include "world/registry.h"

namespace zorv {
namespace {

constexpr float kDegreesToRadians = std::numbers::pi_v<float> / 180.0f;
constexpr float kMaxFrameSeconds = 0.1f;
constexpr float kBadWeatherDaylight = 0.72f;

bool isDown(GLFWwindow* window, int key) { return glfwGetKey(window, key) == GLFW_PRESS; }

KeyboardFrame readKeyboard(GLFWwindow* window) {
  KeyboardFrame frame;
  KeyStates& keys = frame.keys;
  keys.escape = isDown(window, GLFW_KEY_ESCAPE);
  keys.inventory = isDown(window, GLFW_KEY_E);
  keys.screenshot = isDown(window, GLFW_KEY_F2);
  keys.debug = isDown(window, GLFW_KEY_F3);
  keys.spectator = isDown(window, GLFW_KEY_F4);
  keys.minimap = isDown(window, GLFW_KEY_M);
  keys.fly = isDown(window, GLFW_KEY_F);
  keys.space = isDown(window, GLFW_KEY_SPACE);
  keys.enter = isDown(window, GLFW_KEY_ENTER) || isDown(window, GLFW_KEY_KP_ENTER);
  keys.backspace = isDown(window, GLFW_KEY_BACKSPACE);
  keys.paste = isDown(window, GLFW_KEY_V) && (isDown(window, GLFW_KEY_LEFT_CONTROL) || isDown(window, GLFW_KEY_RIGHT_CONTROL));
  keys.up = isDown(window, GLFW_KEY_UP);
  keys.down = isDown(window, GLFW_KEY_DOWN);
  keys.tab = isDown(window, GLFW_KEY_TAB);
  frame.readClipboard = [window] {
    const char* text = glfwGetClipboardString(window);
    return std::string(text ? text : "");
  };
  return frame;
}

MovementKeys readMovementKeys(GLFWwindow* window) {
  MovementKeys keys;
  keys.forward = isDown(window, GLFW_KEY_W);
  keys.back = isDown(window, GLFW_KEY_S);
  keys.left = isDown(window, GLFW_KEY_A);
  keys.right = isDown(window, GLFW_KEY_D);
  keys.jump = isDown(window, GLFW_KEY_SPACE);
  keys.descend = isDown(window, GLFW_KEY_LEFT_SHIFT);
  keys.sprint = isDown(window, GLFW_KEY_LEFT_CONTROL);
  for (int slot = 0; slot < 9; ++slot) {
    if (isDown(window, GLFW_KEY_1 + slot)) {
      keys.hotbarKey = slot;
      break;
    }
  }
  return keys;
}

bool inWorldControls(const GameSession& session) {
  return session.appState == AppPlaying && !session.chatOpen && !session.inventoryOpen;
}

// Carries the session's cursor and quit requests over to the window.
void applyWindowRequests(GLFWwindow* window, GameSession& session, bool& cursorShownCaptured) {
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

}  // namespace

FrameView playerView(const GameSession& session, float fovYRadians, float aspect) {
  FrameView view;
  if (session.appState == AppMenu || !session.world) return view;
  const PlayerBody& player = session.player;
  view.eye = {player.x, player.y, player.z};
  view.viewProjection = cameraViewProjection(view.eye, player.yaw, player.pitch, fovYRadians, aspect);
  view.target = pick(*session.world, view.eye, lookDirection(player.yaw, player.pitch), kReach);
  return view;
}

SkyInputs sessionSky(const GameSession& session) {
  SkyInputs sky;
  sky.sunDirection = sunDirection(session.timeOfDay);
  if (session.appState == AppMenu || !session.world) return sky;
  sky.daylight = daylightFactor(session.timeOfDay) * (session.weather == WeatherClear ? 1.0f : kBadWeatherDaylight);
  sky.fogDistance = static_cast<float>(session.settings.renderDistance * 16 - 8);
  return sky;
}

UiFrameInfo uiFrameInfo(const VulkanRenderer& renderer, const GameSession& session, const FrameView& view, float fps,
                        int width, int height) {
  UiFrameInfo info;
  info.viewProjection = view.viewProjection;
  info.pick = view.target;
  info.fps = fps;
  info.viewportWidth = width;
  info.viewportHeight = height;
  info.deviceName = renderer.deviceName();
  info.apiVersion = renderer.apiVersion();
  info.drawnChunks = static_cast<int>(renderer.drawnChunkCount());
  info.chunkMeshes = static_cast<int>(renderer.chunkMeshCount());
  info.triangles = renderer.triangleCount();
  info.streamerResident = session.streamer.residentCount();
  info.rttMs = session.net.rtt.rttMs;
  if (renderer.passTimesAvailable()) info.passTimes = "GPU ms " + formatPassTimes(renderer.lastPassTimes());
  info.texture = [&renderer](int layer) {
    return reinterpret_cast<ImTextureID>(static_cast<std::uintptr_t>(renderer.layerTexture(static_cast<std::uint32_t>(layer))));
  };
  return info;
}

void drawSessionFrame(VulkanRenderer& renderer, const GameSession& session, const FrameView& view,
                      const std::filesystem::path* capturePath) {
  const std::vector<EntityInstance> entities =
      buildEntityList(session.drops, session.mobs, session.remotePlayers, blockRegistry().count());
  const std::vector<ParticleInstance> particles = buildParticleList(session.particles);
  if (!capturePath) {
    renderer.drawFrame(view.viewProjection, view.eye, entities, particles);
    return;
  }
  ScreenshotMetadata metadata;
  metadata.software = std::string("Zorvander ") + kVersion;
  metadata.description = screenshotDescription(session);
  renderer.captureFrame(view.viewProjection, view.eye, entities, particles, *capturePath, metadata);
}

void runMainLoop(GLFWwindow* window, VulkanRenderer& renderer, GameSession& session) {
  KeyMemory keys;
  FpsCounter fps;
  bool leftWasDown = false, rightWasDown = false;
  bool cursorShownCaptured = false;
  double previous = glfwGetTime();
  while (!glfwWindowShouldClose(window)) {
    glfwPollEvents();
    const double now = glfwGetTime();
    const double elapsed = now - previous;
    const float dt = std::clamp(static_cast<float>(elapsed), 0.0f, kMaxFrameSeconds);
    previous = now;
    int width = 0, height = 0;
    glfwGetFramebufferSize(window, &width, &height);
    if (width == 0 || height == 0) {
      glfwWaitEvents();
      continue;
    }

    applyKeyboard(session, keys, readKeyboard(window), dt, now);
    if (inWorldControls(session) && session.world) stepWorld(session, dt, readMovementKeys(window));
    updateMultiplayer(session, dt);

    const bool leftDown = glfwGetMouseButton(window, GLFW_MOUSE_BUTTON_LEFT) == GLFW_PRESS;
    const bool rightDown = glfwGetMouseButton(window, GLFW_MOUSE_BUTTON_RIGHT) == GLFW_PRESS;
    const float aspect = static_cast<float>(width) / static_cast<float>(height);
    const FrameView view = playerView(session, session.fovCurrent * kDegreesToRadians, aspect);
    if (session.world && inWorldControls(session) && gameMode(session) != ModeSpectator) {
      mouseActions(session, dt, view.target, {leftDown, leftDown && !leftWasDown, rightDown && !rightWasDown});
    }
    const SkyInputs sky = sessionSky(session);
    renderer.setEnvironment(sky.daylight, sky.fogDistance, sky.sunDirection);
    renderer.setEffects(session.settings.shadowsEnabled, session.settings.postProcessingEnabled);
    renderer.setVsync(session.settings.verticalSync);

    renderer.beginUiFrame();
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

    leftWasDown = leftDown;
    rightWasDown = rightDown;
    fps.addFrame(static_cast<float>(elapsed));
  }
}

}  // namespace zorv
