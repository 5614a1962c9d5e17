#pragma once
// The game as scripts see it: every operation a mod can ask of the game goes through a
// ModContext, so the same API runs against the live game or a scripted test double.

#include <string>

namespace zorv {

class ModContext {
 public:
  virtual ~ModContext() = default;

  // The block's full name ("zorvander:stone"); false outside the world or without one.
  virtual bool getBlock(int x, int y, int z, std::string& name) = 0;
  virtual bool setBlock(int x, int y, int z, const std::string& name) = 0;
  virtual void message(const std::string& text) = 0;
  virtual bool give(const std::string& name, int count) = 0;
  virtual void playerPosition(float& x, float& y, float& z) = 0;
  // False when there is nobody the context can move.
  virtual bool teleport(float x, float y, float z) = 0;
  virtual bool spawnDrop(int x, int y, int z, const std::string& name, int count) = 0;
  virtual bool isHost() = 0;
  virtual void log(const std::string& text) = 0;
};

// The double the mod self test runs against: fixed answers, remembering what was set.
class TestModContext : public ModContext {
 public:
  bool getBlock(int x, int y, int z, std::string& name) override;
  bool setBlock(int x, int y, int z, const std::string& name) override;
  void message(const std::string& text) override;
  bool give(const std::string& name, int count) override;
  void playerPosition(float& x, float& y, float& z) override;
  bool teleport(float x, float y, float z) override;
  bool spawnDrop(int x, int y, int z, const std::string& name, int count) override;
  bool isHost() override;
  void log(const std::string& text) override;

  std::string lastSetBlock;
  std::string lastMessage;
};

}  // namespace zorv
