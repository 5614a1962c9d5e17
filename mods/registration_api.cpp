#include "mods/registration_api.h"

// The C++ build of Lua: its functions have C++ linkage, so no extern "C" wrapper.
#include <lauxlib.h>
#include <lua.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>

#include "mods/loader.h"
#include "mods/sandbox.h"
#include "platform/text.h"
#include "world/registry.h"

namespace zorv {
namespace {

namespace fs = std::filesystem;

constexpr const char* kEventRegistrations[kModEventCount] = {"on_block_break", "on_block_place", "on_tick",
                                                            "on_player_join", "on_player_leave"};

ModContext& requireContext(lua_State* L) {
  ModContext* context = recordOf(L).context;
  if (!context) luaL_error(L, "no mod context");
  return *context;
}

std::string optStringField(lua_State* L, const char* key) {
  std::string value;
  const int type = lua_getfield(L, 1, key);
  if (type == LUA_TSTRING) {
    std::size_t length = 0;
    const char* text = lua_tolstring(L, -1, &length);
    value.assign(text, length);
  } else if (type != LUA_TNIL) {
    luaL_error(L, "register_block: '%s' must be a string", key);
  }
  lua_pop(L, 1);
  return value;
}

bool optBoolField(lua_State* L, const char* key, bool fallback) {
  const int type = lua_getfield(L, 1, key);
  const bool value = type == LUA_TNIL ? fallback : lua_toboolean(L, -1) != 0;
  lua_pop(L, 1);
  return value;
}

float optHardness(lua_State* L) {
  float value = 1.0f;
  const int type = lua_getfield(L, 1, "hardness");
  if (type != LUA_TNIL) {
    int isNumber = 0;
    const lua_Number number = lua_tonumberx(L, -1, &isNumber);
    if (!isNumber || !std::isfinite(number) || std::fabs(number) > 1.0e6)
      luaL_error(L, "register_block: 'hardness' must be a finite number");
    value = static_cast<float>(number);
  }
  lua_pop(L, 1);
  return value;
}

// Layer name of a mod texture: mod id, '_', the file's stem reduced to [a-z0-9_-].
std::string modLayerName(const std::string& modId, const std::string& textureName) {
  std::string stem;
  for (char c : lowerAscii(fs::path(textureName).stem().string()))
    if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-') stem += c;
  return modId + "_" + (stem.empty() ? std::string("texture") : stem);
}

int resolveTexture(lua_State* L, ModRecord& mod, std::string name) {
  std::replace(name.begin(), name.end(), '\\', '/');
  if (name.back() == '/' || name.find('\0') != std::string::npos || !isSafeRelativePath(name))
    luaL_error(L, "register_block: texture name '%s' leaves the package", name.c_str());
  BlockRegistry& registry = blockRegistry();
  const fs::path file = mod.packageDir / name;
  std::error_code error;
  if (!fs::is_regular_file(file, error) && name.find('.') == std::string::npos) {
    const int builtin = registry.findTile(name);
    if (builtin >= 0 && builtin < kBuiltinTileCount) return builtin;
  }
  const std::string layerName = modLayerName(mod.id, name);
  int layer = registry.findTile(layerName);
  if (layer < 0) {
    if (mod.textureLayersAdded >= kMaxTextureLayersPerMod || registry.tileCount() >= kMaxTextureLayers) {
      std::fprintf(stderr, "[mod:%s] texture layer limit reached (%d per mod, %d in all)\n", mod.id.c_str(),
                   kMaxTextureLayersPerMod, kMaxTextureLayers);
      luaL_error(L, "register_block: too many texture layers");
    }
    layer = registry.addTile(layerName);
    ++mod.textureLayersAdded;
  }
  registry.setTileSource(layer, file.string());
  return layer;
}

// The block whose full id is `fullId`. The registry's own find also accepts short names,
// which would make one mod's "gem" (or "stone") stand for another's.
BlockId findExactBlock(const BlockRegistry& registry, const std::string& fullId) {
  for (std::size_t i = 0; i < registry.count(); ++i)
    if (registry.get(static_cast<BlockId>(i)).id == fullId) return static_cast<BlockId>(i);
  return kNoBlock;
}

int apiRegisterBlock(lua_State* L) {
  requireContext(L);
  luaL_checktype(L, 1, LUA_TTABLE);
  ModRecord& mod = recordOf(L);
  std::string id = optStringField(L, "id");
  if (id.empty()) return luaL_error(L, "register_block: 'id' is required");
  const std::string fullId = lowerAscii(id.find(':') == std::string::npos ? mod.id + ":" + id : id);
  BlockRegistry& registry = blockRegistry();
  if (findExactBlock(registry, fullId) != kNoBlock) {
    std::fprintf(stderr, "[mod:%s] block %s already registered\n", mod.id.c_str(), fullId.c_str());
    lua_pushlstring(L, fullId.data(), fullId.size());
    return 1;
  }
  if (mod.blocksRegistered >= kMaxBlocksPerMod) {
    std::fprintf(stderr, "[mod:%s] block limit reached (%d per mod)\n", mod.id.c_str(), kMaxBlocksPerMod);
    return luaL_error(L, "register_block: too many blocks");
  }

  BlockDef def;
  def.id = fullId;
  def.name = optStringField(L, "name");
  if (def.name.empty()) def.name = fullId.substr(fullId.find(':') + 1);
  const std::string texture = optStringField(L, "texture");
  std::array<std::string, 3> faces = {optStringField(L, "top"), optStringField(L, "side"),
                                      optStringField(L, "bottom")};
  for (std::string& face : faces)
    if (face.empty()) face = texture;
  const auto firstGiven = std::find_if(faces.begin(), faces.end(), [](const std::string& f) { return !f.empty(); });
  if (firstGiven == faces.end()) return luaL_error(L, "register_block: 'texture' is required");
  const std::string fallbackFace = *firstGiven;
  for (std::string& face : faces)
    if (face.empty()) face = fallbackFace;

  std::map<std::string, int> layers;  // each texture name resolves once per call
  std::array<int, 3> faceLayers{};
  for (std::size_t i = 0; i < faces.size(); ++i) {
    auto found = layers.find(faces[i]);
    if (found == layers.end()) found = layers.emplace(faces[i], resolveTexture(L, mod, faces[i])).first;
    faceLayers[i] = found->second;
  }
  def.texTop = faceLayers[0];
  def.texSide = faceLayers[1];
  def.texBottom = faceLayers[2];
  def.solid = optBoolField(L, "solid", true);
  def.opaque = optBoolField(L, "opaque", true);
  def.cutout = optBoolField(L, "cutout", false);
  def.hardness = optHardness(L);
  const std::string drop = optStringField(L, "drop");

  const BlockId block = registry.registerBlock(std::move(def));
  if (block == kNoBlock) return luaL_error(L, "register_block: block registry is full");
  ++mod.blocksRegistered;
  if (!drop.empty()) {
    const BlockId dropped = registry.find(drop);
    if (dropped != kNoBlock)
      registry.setDrop(block, dropped);
    else
      std::fprintf(stderr, "[mod:%s] unknown drop %s\n", mod.id.c_str(), drop.c_str());
  }
  lua_pushlstring(L, fullId.data(), fullId.size());
  return 1;
}

int apiRegisterCommand(lua_State* L) {
  requireContext(L);
  std::string name = lowerAscii(checkText(L, 1));
  luaL_checktype(L, 2, LUA_TFUNCTION);
  if (!name.empty() && name.front() == '/') name.erase(0, 1);
  ModRecord& mod = recordOf(L);
  auto existing = mod.commands.find(name);
  if (existing == mod.commands.end() && mod.commands.size() >= kMaxCommandsPerMod) {
    std::fprintf(stderr, "[mod:%s] command limit reached (%zu per mod)\n", mod.id.c_str(), kMaxCommandsPerMod);
    return luaL_error(L, "register_command: too many commands");
  }
  lua_pushvalue(L, 2);
  const int reference = luaL_ref(L, LUA_REGISTRYINDEX);
  if (existing != mod.commands.end()) {
    luaL_unref(L, LUA_REGISTRYINDEX, existing->second);
    existing->second = reference;
  } else {
    mod.commands.emplace(std::move(name), reference);
  }
  return 0;
}

int registerHandler(lua_State* L) {
  const auto event = static_cast<std::size_t>(lua_tointeger(L, lua_upvalueindex(1)));
  requireContext(L);
  luaL_checktype(L, 1, LUA_TFUNCTION);
  ModRecord& mod = recordOf(L);
  std::vector<int>& list = mod.handlers[event];
  if (list.size() >= static_cast<std::size_t>(kMaxHandlersPerEvent)) {
    std::fprintf(stderr, "[mod:%s] %s refused: at most %d handlers per event\n", mod.id.c_str(),
                 kEventRegistrations[event], kMaxHandlersPerEvent);
    return luaL_error(L, "%s: too many handlers", kEventRegistrations[event]);
  }
  lua_pushvalue(L, 1);
  list.push_back(luaL_ref(L, LUA_REGISTRYINDEX));
  return 0;
}

}  // namespace

void addRegistrationFunctions(lua_State* L) {
  const luaL_Reg functions[] = {
      {"register_block", apiRegisterBlock}, {"register_command", apiRegisterCommand}, {nullptr, nullptr}};
  luaL_setfuncs(L, functions, 0);
}

void installEventRegistrations(lua_State* L) {
  for (std::size_t event = 0; event < kModEventCount; ++event) {
    lua_pushinteger(L, static_cast<lua_Integer>(event));
    lua_pushcclosure(L, registerHandler, 1);
    lua_setglobal(L, kEventRegistrations[event]);
  }
}

}  // namespace zorv
