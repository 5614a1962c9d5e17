#include "server/dedicated_server.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "game/commands.h"
#include "game/game_mod_context.h"
#include "game/host_rules.h"
#include "game/multiplayer.h"
#include "game/typed_text.h"
#include "game/world_life_cycle.h"
#include "lang/localisation.h"
#include "mods/events.h"
#include "persist/level_save.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "platform/version.h"
#include "server/server_admin.h"
#include "world/fluids.h"
#include "world/light.h"

namespace zorv {
namespace {

constexpr float kMaxStep = 0.1f;
constexpr std::size_t kMostPlayers = 1000;

std::atomic<bool> stopSignalled{false};

void onStopSignal(int) { stopSignalled = true; }

void installStopSignals() {
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);  // a closed console must not end the server unsaved
}



// Lines typed on standard input, read without blocking the steps.
class ConsoleReader {
 public:
  // Waits at most `seconds` for input and returns the complete lines that arrived.
  std::vector<std::string> poll(double seconds) {
    std::vector<std::string> lines;
    const int timeoutMs = static_cast<int>(std::max(0.0, seconds) * 1000.0);
    if (closed_) {
      if (timeoutMs > 0) ::poll(nullptr, 0, timeoutMs);
      return lines;
    }
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (::poll(&input, 1, timeoutMs) <= 0) return lines;
    char chunk[512];
    const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (got <= 0) {
      closed_ = got == 0 || errno != EINTR;
    } else {
      pending_.append(chunk, static_cast<std::size_t>(got));
    }
    for (std::size_t end; (end = pending_.find('\n')) != std::string::npos; pending_.erase(0, end + 1)) {
      lines.push_back(pending_.substr(0, end));
    }
    if (closed_ && !pending_.empty()) lines.push_back(std::exchange(pending_, {}));
    return lines;
  }

 private:
  std::string pending_;
  bool closed_ = false;
};

void listPlayers(DedicatedServer& server) {
  GameSession& session = server.session;
  addMessage(session, formatTranslated("Players online: %d", static_cast<int>(session.remotePlayers.size())));
  for (const RemotePlayer& player : session.remotePlayers) {
    addMessage(session, formatTranslated("  %s (id %d)", player.name.c_str(), static_cast<int>(player.id)));
  }
}

void serverHelp(GameSession& session) {
  for (const char* line : {"Commands:", "/time day|night|set <0-1>", "/weather clear|rain|snow", "/seed, /save",
                           "/mods  (list loaded mods)", "/version", "/list  (connected players)",
                           "/kick NAME [reason], /ban NAME, /pardon NAME", "/say TEXT  (chat as Server)",
                           "/stop  (save, say goodbye and shut down)"}) {
    addMessage(session, tr(line));
  }
}

bool hostWorld(DedicatedServer& server, const ServerOptions& options, std::string& error) {
  GameSession& session = server.session;
  if (!startHost(session.net, options.port, error)) return false;
  session.networkRole = RoleHost;
  session.localPlayerId = 1;
  session.networkPlayerName = kServerPlayerName;
  const std::string& name = options.worldName;
  if (worldExists(name)) {
    if (loadWorld(session, name)) return true;
    error = formatTranslated("Could not load \"%s\"", name.c_str());
  } else {
    createWorld(session, seedFromText(options.seedText), name);
    if (saveWorld(session)) return true;
    error = formatTranslated("Could not write \"%s\"", name.c_str());
  }
  stopNetworking(session);
  dropWorld(session);
  return false;
}

}  // namespace

namespace {

constexpr double kStartPollSeconds = 0.02;

// A console line trimmed and with its leading '/', and its first word in lower case.
struct ConsoleCommand {
  std::string command;
  std::string word;
  std::size_t wordEnd = 0;  // where the word ends in `command`
};

std::optional<ConsoleCommand> parseConsoleLine(std::string_view line) {
  const std::size_t first = line.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return std::nullopt;
  line = line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
  ConsoleCommand typed;
  typed.command = line.front() == '/' ? std::string(line) : "/" + std::string(line);
  typed.wordEnd = std::min(typed.command.find_first_of(" \t"), typed.command.size());
  typed.word = lowerAscii(typed.command.substr(1, typed.wordEnd - 1));
  return typed;
}

bool isStopLine(std::string_view line) {
  const std::optional<ConsoleCommand> typed = parseConsoleLine(line);
  return typed && typed->word == "stop";
}

// Starts the server on a thread of its own while this one keeps reading the console and
// the stop signals, so that /stop, SIGINT or SIGTERM end a start-up that takes long (many
// or slow mods). Other lines typed meanwhile are kept in `typedEarly` for when it runs.
bool startWhileListening(DedicatedServer& server, const ServerOptions& options, ConsoleReader& console,
                         std::vector<std::string>& typedEarly, std::string& error) {
  std::atomic<bool> finished{false};
  bool started = false;
  std::thread starter([&] {
    started = startDedicatedServer(server, options, error);
    finished = true;
  });
  while (!finished) {
    for (std::string& line : console.poll(kStartPollSeconds)) {
      if (isStopLine(line)) {
        server.startCancelled = true;
      } else {
        typedEarly.push_back(std::move(line));
      }
    }
    if (stopSignalled) server.startCancelled = true;
  }
  starter.join();
  return started;
}

// The value after an option that takes one; false when it is missing or not allowed.
bool takeOptionValue(std::string_view option, std::string_view value, ServerOptions& options, std::string& error) {
  if (option == "--seed") {
    options.seedText = std::string(value);
    return true;
  }
  const std::optional<std::uint16_t> count = parsePortText(value);  // decimal digits, 1..65535
  if (!count || *count > kMostPlayers) {
    error = formatTranslated("Invalid player count: %s (1 to %d)", std::string(value).c_str(), static_cast<int>(kMostPlayers));
    return false;
  }
  options.maxPlayers = *count;
  return true;
}

}  // namespace

bool parseServerArguments(std::span<const std::string_view> args, ServerOptions& options, std::string& error) {
  std::vector<std::string_view> positional;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--help" || arg == "--version") {
      (arg == "--help" ? options.showHelp : options.showVersion) = true;
      return true;
    }
    if (arg == "--seed" || arg == "--max-players") {
      if (i + 1 >= args.size()) {
        error = kServerUsage;
        return false;
      }
      if (!takeOptionValue(arg, args[++i], options, error)) return false;
    } else if (arg.starts_with("--")) {
      error = formatTranslated("Unknown option %s", std::string(arg).c_str()) + "\n" + kServerUsage;
      return false;
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.empty() || positional.size() > 2) {
    error = kServerUsage;
    return false;
  }
  options.worldName = isValidWorldName(positional[0]) ? std::string(positional[0]) : sanitizeWorldName(positional[0]);
  if (positional.size() == 2) {
    const std::optional<std::uint16_t> port = parsePortText(positional[1]);
    if (!port) {
      error = tr("Invalid UDP port");
      return false;
    }
    options.port = *port;
  }
  return true;
}

bool startDedicatedServer(DedicatedServer& server, const ServerOptions& options, std::string& error) {
  GameSession& session = server.session;
  session.hasLocalPlayer = false;
  loadMods(session.mods, platform::baseFolder() / "mods", session.modContext.get(), &server.startCancelled);
  if (server.startCancelled) return false;
  session.net.modFingerprint = session.mods.fingerprint;
  if (!hostWorld(server, options, error)) return false;
  session.net.maxPlayers = options.maxPlayers;
  session.net.bannedNames = readBanList(worldFolder(options.worldName));
  server.port = options.port;
  beginHostedPlay(session, options.worldName, options.port);
  return true;
}

void stepDedicatedServer(DedicatedServer& server, float dt) {
  stepHostRules(server.session, dt);
  updateMultiplayer(server.session, dt);
  reportArrivals(server);
}

void runServerCommand(DedicatedServer& server, std::string_view line) {
  GameSession& session = server.session;
  const std::optional<ConsoleCommand> typed = parseConsoleLine(line);
  if (!typed) return;
  const std::string& command = typed->command;
  const std::string& word = typed->word;
  const std::string_view rest = std::string_view(command).substr(typed->wordEnd);
  if (word == "stop") {
    server.stopRequested = true;
  } else if (word == "list") {
    listPlayers(server);
  } else if (word == "help") {
    serverHelp(session);
  } else if (word == "kick") {
    kickCommand(server, rest);
  } else if (word == "ban") {
    banCommand(server, rest);
  } else if (word == "pardon") {
    pardonCommand(server, rest);
  } else if (word == "say") {
    sayCommand(server, rest);
  } else if (runsOnServerConsole(word)) {
    runCommand(session, command);
  } else {
    runServerModCommand(session, command);
  }
}

bool stopDedicatedServer(DedicatedServer& server) {
  GameSession& session = server.session;
  const bool saved = saveWorld(session);
  addMessage(session, formatTranslated(saved ? "Saved %s" : "Could not save %s", session.worldName.c_str()));
  stopNetworking(session);
  return saved;
}

int runDedicatedServer(std::span<const std::string_view> args) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // "[log]" lines reach a pipe at once
  ServerOptions options;
  std::string error;
  if (!parseServerArguments(args, options, error)) {
    std::fprintf(stderr, "server: %s\n", error.c_str());
    return 2;
  }
  if (options.showHelp || options.showVersion) {
    if (options.showHelp) {
      std::printf("%s\n", kServerUsage);
    } else {
      std::printf("Zorvander %s\n", kVersion);
    }
    return 0;
  }
  installStopSignals();
  DedicatedServer server;
  ConsoleReader console;
  std::vector<std::string> typedEarly;
  const bool started = startWhileListening(server, options, console, typedEarly, error);
  if (server.startCancelled) {
    // Stopped while starting: a hosted world is saved and its clients told as usual.
    if (started) return stopDedicatedServer(server) ? 0 : 1;
    addMessage(server.session, "Stopped while starting; no world was hosted");
    return 0;
  }
  if (!started) {
    std::fprintf(stderr, "server: %s\n", error.c_str());
    return 1;
  }
  for (const std::string& line : typedEarly) runServerCommand(server, line);
  using Clock = std::chrono::steady_clock;
  Clock::time_point last = Clock::now();
  Clock::time_point nextStep = last;
  while (!server.stopRequested && !stopSignalled) {
    const double wait = std::chrono::duration<double>(nextStep - Clock::now()).count();
    for (const std::string& line : console.poll(wait)) runServerCommand(server, line);
    const Clock::time_point now = Clock::now();
    if (now < nextStep) continue;
    const float dt = std::min(kMaxStep, std::chrono::duration<float>(now - last).count());
    last = now;
    nextStep += std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(kServerStepSeconds));
    if (nextStep < now) nextStep = now;  // behind: no burst of catch-up steps
    stepDedicatedServer(server, dt);
  }
  return stopDedicatedServer(server) ? 0 : 1;
}

}  // namespace zorv
