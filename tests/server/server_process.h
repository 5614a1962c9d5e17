#pragma once
// Scaffolding of the two-process tests: the dedicated server started as its own process
// from a private folder (its saves live there), talked to through its console, and a
// headless client (the game session and its networking, no window) in this process.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "client/client_session.h"
#include "game/game_session.h"
#include "game/multiplayer.h"
#include "net/udp_socket.h"
#include "scratch_folder.h"

extern char** environ;

namespace zorv::testing {

using Seconds = std::chrono::duration<double>;

// A loop-back port nobody was using a moment ago.
inline std::uint16_t freeUdpPort() {
  UdpSocket probe;
  EXPECT_EQ(probe.open(0), UdpSocket::OpenResult::Ok);
  return probe.localPort();
}

// A fresh folder holding a copy of the server executable, removed afterwards.
class ServerFolder {
 public:
  ServerFolder() { std::filesystem::copy_file(ZORV_SERVER_EXECUTABLE, executable()); }
  const std::filesystem::path& root() const { return folder_.path(); }
  std::filesystem::path executable() const { return root() / "zorvander-server"; }
  std::filesystem::path saves() const { return root() / "saves"; }

 private:
  ScratchFolder folder_{"server"};
};

// The server process with its console: standard input written, standard output read.
class ServerProcess {
 public:
  ServerProcess(const ServerFolder& folder, const std::vector<std::string>& args) {
    int in[2], out[2];
    EXPECT_EQ(::pipe(in), 0);
    EXPECT_EQ(::pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const std::string program = folder.executable().string();
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all) argv.push_back(arg.data());
    argv.push_back(nullptr);
    EXPECT_EQ(posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    input_ = in[1];
    output_ = out[0];
    ::fcntl(output_, F_SETFL, ::fcntl(output_, F_GETFL) | O_NONBLOCK);
  }
  ~ServerProcess() {
    if (pid_ > 0 && !exitStatus_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (input_ >= 0) ::close(input_);
    ::close(output_);
  }

  void type(const std::string& line) {
    const std::string text = line + "\n";
    EXPECT_EQ(::write(input_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  void closeConsole() {
    ::close(input_);
    input_ = -1;
  }
  void signal(int number) { ::kill(pid_, number); }

  // Everything printed so far.
  const std::string& output() {
    char chunk[4096];
    for (ssize_t got; (got = ::read(output_, chunk, sizeof chunk)) > 0;) {
      output_text_.append(chunk, static_cast<std::size_t>(got));
    }
    return output_text_;
  }
  // Waits until `text` appears in the output after `from`; its position, or nothing.
  std::optional<std::size_t> waitFor(const std::string& text, double seconds, std::size_t from = 0) {
    const auto end = std::chrono::steady_clock::now() + Seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
      const std::size_t at = output().find(text, from);
      if (at != std::string::npos) return at;
      pollfd ready{output_, POLLIN, 0};
      ::poll(&ready, 1, 5);
      if (whileWaiting) whileWaiting();
    }
    return std::nullopt;
  }
  // Runs while output is awaited (the clients keep playing meanwhile).
  std::function<void()> whileWaiting;

  std::optional<int> waitExit(double seconds) {
    const auto end = std::chrono::steady_clock::now() + Seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
      int status = 0;
      output();
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return exitStatus_;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::nullopt;
  }

 private:
  pid_t pid_ = -1;
  int input_ = -1, output_ = -1;
  std::string output_text_;
  std::optional<int> exitStatus_;
};

// A player without a window: the game session, joined to a host on this machine.
struct HeadlessClient {
  ClientSession session;

  HeadlessClient(std::uint16_t port, const std::string& name) {
    session.networkPlayerName = name;
    std::string error;
    EXPECT_TRUE(connect(session.net, loopbackEndpoint(port), name, error)) << error;
    session.networkRole = RoleClient;
    session.menuScreen = MenuConnecting;
    resetSendTimers(session);
  }

  // One frame: the multiplayer step with the time since the last one.
  void frame() {
    const auto now = std::chrono::steady_clock::now();
    updateMultiplayer(session, std::min(0.1f, std::chrono::duration<float>(now - last_).count()));
    last_ = now;
  }
  // Runs frames of about 5 ms (and `alongside`, for the other players) until `done` holds;
  // false on time-out.
  bool runUntil(const std::function<bool()>& done, double seconds, const std::function<void()>& alongside = {}) {
    const auto end = std::chrono::steady_clock::now() + Seconds(seconds);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      frame();
      if (alongside) alongside();
    }
    return true;
  }
  void runFor(double seconds) {
    runUntil([] { return false; }, seconds);
  }
  bool playing() const { return session.appState == AppPlaying; }

 private:
  std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();

 public:
  bool hasMessage(const std::string& text) const {
    for (const LogEntry& entry : session.messages) {
      if (entry.text == text) return true;
    }
    return false;
  }
};

}  // namespace zorv::testing
