#include "shell/game_shell.h"

#include <GLFW/glfw3.h>

#include <cstdio>
#include <string>

#include "checks/benchmark.h"
#include "checks/host_test.h"
#include "checks/scenes.h"
#include "checks/self_test.h"
#include "client/client_session.h"
#include "client/options_store.h"
#include "client/session_options.h"
#include "game/game_mod_context.h"
#include "game/multiplayer.h"
#include "game/world_life_cycle.h"
#include "lang/localisation.h"
#include "mods/loader.h"
#include "persist/level_save.h"
#include "platform/platform.h"
#include "platform/version.h"
#include "render/vulkan_renderer.h"
#include "shell/display_connection.h"
#include "shell/main_loop.h"
#include "shell/window_input.h"
#include "shell/window_mode.h"
#include "sound/sound_effects.h"
#include "ui/draw_inputs.h"

namespace zorv {
namespace {

void printLine(const std::string& line) { std::printf("%s\n", line.c_str()); }

bool isHidden(RunMode mode) {
  return mode == RunMode::HostTest || mode == RunMode::Benchmark || mode == RunMode::Screenshot;
}

// The game's window takes the remembered size; the hidden modes keep their fixed ones.
GLFWwindow* openWindow(RunMode mode, const Settings& settings) {
  glfwWindowHint(GLFW_CLIENT_API, GLFW_NO_API);
  glfwWindowHint(GLFW_RESIZABLE, GLFW_TRUE);
  glfwWindowHint(GLFW_VISIBLE, isHidden(mode) ? GLFW_FALSE : GLFW_TRUE);
  const bool capture = mode == RunMode::Screenshot;
  const bool game = mode == RunMode::Game;
  const int width = capture ? kCaptureWidth : game ? settings.windowWidth : kWindowWidth;
  const int height = capture ? kCaptureHeight : game ? settings.windowHeight : kWindowHeight;
  const std::string title = std::string("Zorvander ") + kVersion;
  GLFWwindow* window = glfwCreateWindow(width, height, title.c_str(), nullptr, nullptr);
  if (window) widenDisplaySendBuffer();
  return window;
}

void readMonitorRefreshRate(ClientSession& session) {
  GLFWmonitor* monitor = glfwGetPrimaryMonitor();
  const GLFWvidmode* mode = monitor ? glfwGetVideoMode(monitor) : nullptr;
  session.monitorRefreshRate = mode ? mode->refreshRate : 0;
}

void closeWindow(GLFWwindow* window) {
  glfwDestroyWindow(window);
  glfwTerminate();
}

// Hosts a fresh world with the translation on and reports the translated log line.
}  // namespace

void finishGame(ClientSession& session) {
  if (session.inventoryOpen) closeInventory(session);
  if (session.networkRole != RoleClient && session.world && !session.worldName.empty() && !saveWorld(session)) {
    addMessage(session, formatTranslated("Could not save %s", session.worldName.c_str()));
  }
  stopNetworking(session);
}

int runWindowedMode(const CommandLine& commandLine) {
  if (!glfwInit()) {
    std::fprintf(stderr, "failed to initialize GLFW\n");
    return 1;
  }
  // Only the played game reads and keeps the options: the hidden modes stay reproducible.
  const bool game = commandLine.mode == RunMode::Game;
  ClientSession session;
  OptionsStore options;
  if (game) {
    options = openOptionsStore(platform::baseFolder() / kOptionsFileName, printLine);
    applySessionOptions(session, options.saved);
  }
  GLFWwindow* window = openWindow(commandLine.mode, session.settings);
  if (!window) {
    std::fprintf(stderr, "failed to create window\n");
    glfwTerminate();
    return 1;
  }
  if (game) placeNewWindow(window, session.settings);

  session.clock = [] { return glfwGetTime(); };
  readMonitorRefreshRate(session);
  refreshWorldList(session);
  WindowInput input(session);
  installInputCallbacks(window, input);

  VulkanRenderer renderer;
  session.renderer = &renderer;
  loadMods(session.mods, platform::programFolder("mods"), session.modContext.get());
  const bool vsync = session.settings.verticalSync && commandLine.mode != RunMode::Benchmark;
  if (!renderer.init(window, vsync)) {
    session.renderer = nullptr;
    closeWindow(window);
    return 1;
  }
  registerModels(renderer);
  buildSoundBank();
  printBanner(stdout, savesRoot(), session.settings.keys);
  std::fflush(stdout);

  int status = 0;
  switch (commandLine.mode) {
    case RunMode::HostTest:
      status = runHostTest(session);
      break;
    case RunMode::Benchmark:
      status = runBenchmark(session, renderer, window);
      break;
    case RunMode::Screenshot:
      status = runSceneCapture(session, renderer, window, commandLine.screenshotPath, commandLine.sceneName);
      break;
    default:
      runMainLoop(window, renderer, input, options);
      finishGame(session);
      flushOptionsStore(options, sessionOptions(session), printLine);
      break;
  }
  renderer.shutdown();
  session.renderer = nullptr;
  closeWindow(window);
  return status;
}

}  // namespace zorv
