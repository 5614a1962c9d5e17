#pragma once
// Shared scaffolding of the session tests: a private saves folder, a renderer double that
// records what it is handed, and a session with a fixed clock.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <unistd.h>

#include "client/client_session.h"
#include "game/game_session.h"
#include "persist/level_save.h"
#include "null_renderer.h"
#include "temporary_saves.h"

namespace zorv::testing {

class RecordingRenderer : public NullRenderer {
 public:
  void uploadChunkMesh(const ChunkKey& key, const Mesh&) override { ++uploads[keyText(key)]; }
  void uploadTranslucentMesh(const ChunkKey& key, const Mesh&) override { ++uploads[keyText(key)]; }
  void removeChunkMeshes(const ChunkKey& key) override { uploads.erase(keyText(key)); }
  void clearChunkMeshes() override {
    ++clears;
    uploads.clear();
  }

  static std::string keyText(const ChunkKey& key) {
    return std::to_string(key.cx) + "," + std::to_string(key.cy) + "," + std::to_string(key.cz);
  }

  std::map<std::string, int> uploads;  // chunk -> meshes handed over since the last clear
  int clears = 0;
};

// The texts of the session's message log, oldest first.
inline std::vector<std::string> messageTexts(const ClientSession& session) {
  std::vector<std::string> texts;
  for (const LogEntry& entry : session.messages) texts.push_back(entry.text);
  return texts;
}

inline bool hasMessage(const ClientSession& session, const std::string& text) {
  for (const LogEntry& entry : session.messages) {
    if (entry.text == text) return true;
  }
  return false;
}

}  // namespace zorv::testing
