#include "mods/mod_context.h"

#include <cstdio>

namespace zorv {

bool TestModContext::getBlock(int, int, int, std::string& name) {
  name = "zorvander:stone";
  return true;
}

bool TestModContext::setBlock(int, int, int, const std::string& name) {
  lastSetBlock = name;
  return true;
}

void TestModContext::message(const std::string& text) { lastMessage = text; }

bool TestModContext::give(const std::string&, int) { return true; }

void TestModContext::playerPosition(float& x, float& y, float& z) {
  x = 1.0f;
  y = 2.0f;
  z = 3.0f;
}

bool TestModContext::teleport(float, float, float) { return true; }

bool TestModContext::spawnDrop(int, int, int, const std::string&, int) { return true; }

bool TestModContext::isHost() { return true; }

void TestModContext::log(const std::string& text) { std::printf("[test-mod] %s\n", text.c_str()); }

}  // namespace zorv
