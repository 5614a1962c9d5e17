#include "ui/hud.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>

#include "game/commands.h"
#include "lang/localisation.h"
#include "platform/version.h"
#include "ui/inventory_screen.h"
#include "ui/key_help.h"
#include "ui/menus.h"
#include "world/registry.h"
#include "world/types.h"

namespace zorv {
namespace {

constexpr ImGuiWindowFlags kOverlayWindowFlags =
    ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
    ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_AlwaysAutoResize |
    ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoFocusOnAppearing | ImGuiWindowFlags_NoNav;

constexpr int kFullHeartLayer = 15;
constexpr int kEmptyHeartLayer = 16;
constexpr float kOutlineMinimumW = 0.0001f;
constexpr float kMarkerMinimumW = 0.001f;
constexpr float kHealthBarRange = 32.0f;
constexpr std::size_t kChatLines = 10;
constexpr std::size_t kMaxHints = 5;
constexpr float kChatFont = 18.0f;
constexpr float kHintFont = 16.0f;

double sessionTime(const ClientSession& session) { return session.clock ? session.clock() : 0.0; }

float fraction(double value) { return static_cast<float>(value - std::floor(value)); }

// The fixed pseudo-random value of streak or flake number k.
float streakRandom(int k) { return fraction(std::sin(k * 12.9898) * 43758.547); }

ImU32 withAlpha(int r, int g, int b, float alpha) {
  return IM_COL32(r, g, b, static_cast<int>(std::clamp(alpha, 0.0f, 255.0f)));
}

ImTextureID layerTexture(const UiFrameInfo& frame, int layer) {
  return frame.texture ? frame.texture(layer) : ImTextureID{};
}

void drawMinimap(const ClientSession& session, ImDrawList& list, ImVec2 display) {
  if (!session.minimapOn || !session.minimap.filled) return;
  const float w = display.x;
  list.AddRectFilled(ImVec2(w - 177.0f, 11.0f), ImVec2(w - 11.0f, 177.0f), IM_COL32(10, 12, 16, 210));
  for (int i = 0; i < kMinimapSize; ++i) {
    for (int j = 0; j < kMinimapSize; ++j) {
      const ImVec2 cell(w - 174.0f + 2.5f * static_cast<float>(j), 14.0f + 2.5f * static_cast<float>(i));
      list.AddRectFilled(cell, ImVec2(cell.x + 3.0f, cell.y + 3.0f),
                         session.minimap.colours[static_cast<std::size_t>(i * kMinimapSize + j)]);
    }
  }
  list.AddRect(ImVec2(w - 174.0f, 14.0f), ImVec2(w - 14.0f, 174.0f), IM_COL32(255, 255, 255, 55), 0.0f, 0, 1.0f);
  const float yaw = session.player.yaw * 3.14159265f / 180.0f;
  const float c = std::cos(yaw), s = std::sin(yaw);
  const float cx = w - 94.0f, cy = 94.0f;
  list.AddTriangleFilled(ImVec2(cx + 7.0f * c, cy + 7.0f * s), ImVec2(cx - 4.0f * c - 4.0f * s, cy - 4.0f * s + 4.0f * c),
                         ImVec2(cx - 4.0f * c + 4.0f * s, cy - 4.0f * s - 4.0f * c), IM_COL32(255, 255, 255, 235));
  list.AddText(ImVec2(w - 98.0f, 18.0f), IM_COL32(255, 255, 255, 180), "N");
}

void drawCrosshair(ImDrawList& list, ImVec2 display) {
  const float cx = display.x * 0.5f, cy = display.y * 0.5f;
  for (const auto& [colour, thickness] : {std::pair{IM_COL32(0, 0, 0, 160), 3.0f},
                                          std::pair{IM_COL32(255, 255, 255, 220), 1.5f}}) {
    list.AddLine(ImVec2(cx - 8.0f, cy), ImVec2(cx + 8.0f, cy), colour, thickness);
    list.AddLine(ImVec2(cx, cy - 8.0f), ImVec2(cx, cy + 8.0f), colour, thickness);
  }
}

void drawHotbar(const ClientSession& session, const UiFrameInfo& frame, ImVec2 display) {
  ImGui::SetNextWindowPos(ImVec2(display.x * 0.5f, display.y - 30.0f), ImGuiCond_Always, ImVec2(0.5f, 1.0f));
  ImGui::SetNextWindowBgAlpha(0.45f);
  ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(6.0f, 6.0f));
  ImGui::PushStyleVar(ImGuiStyleVar_ItemSpacing, ImVec2(3.0f, 0.0f));
  if (ImGui::Begin("##hotbar", nullptr, kOverlayWindowFlags)) {
    ImDrawList& list = *ImGui::GetWindowDrawList();
    for (int slot = 0; slot < kHotbarSlots; ++slot) {
      if (slot > 0) ImGui::SameLine();
      ImGui::PushID(slot);
      ImGui::InvisibleButton("##slot", ImVec2(44.0f, 44.0f));
      ImGui::PopID();
      const ImVec2 min = ImGui::GetItemRectMin();
      const ImVec2 max = ImGui::GetItemRectMax();
      list.AddRectFilled(min, max, IM_COL32(20, 22, 28, 190), 2.0f);
      if (slot == session.inventory.selected) {
        list.AddRect(min, max, IM_COL32(255, 255, 255, 240), 2.0f, 0, 2.5f);
      } else {
        list.AddRect(min, max, IM_COL32(0, 0, 0, 180), 2.0f, 0, 1.0f);
      }
      const ItemStack shown = hotbarSlotContent(session, slot);
      if (!shown.empty()) drawStack(list, min, max, shown, 3.0f, frame.texture);
    }
  }
  ImGui::End();
  ImGui::PopStyleVar(2);
}

void outlineCube(ImDrawList& list, const UiFrameInfo& frame, ImVec2 display, int x, int y, int z, ImU32 colour) {
  std::array<std::optional<ScreenPoint>, 8> corners;
  for (int c = 0; c < 8; ++c) {
    const Vec3 corner{static_cast<float>(x + (c & 1)), static_cast<float>(y + ((c >> 1) & 1)),
                      static_cast<float>(z + ((c >> 2) & 1))};
    corners[static_cast<std::size_t>(c)] = projectToScreen(frame.viewProjection, corner, kOutlineMinimumW, display);
  }
  // The 12 edges join corners whose numbers differ in exactly one bit.
  std::vector<std::pair<ImVec2, ImVec2>> edges;
  for (int a = 0; a < 8; ++a) {
    for (int bit = 1; bit < 8; bit <<= 1) {
      const int b = a | bit;
      if (b == a) continue;
      const auto& from = corners[static_cast<std::size_t>(a)];
      const auto& to = corners[static_cast<std::size_t>(b)];
      if (from && to) edges.emplace_back(from->position, to->position);
    }
  }
  for (const auto& [from, to] : edges) list.AddLine(from, to, IM_COL32(0, 0, 0, 200), 3.5f);
  for (const auto& [from, to] : edges) list.AddLine(from, to, colour, 1.5f);
}

void drawBlockOutlines(const ClientSession& session, const UiFrameInfo& frame, ImDrawList& list, ImVec2 display) {
  const PickResult& pick = frame.pick;
  if (!pick.hit || !session.world) return;
  if (placementOutlineShown(*session.world, pick)) {
    outlineCube(list, frame, display, pick.previousX, pick.previousY, pick.previousZ, IM_COL32(120, 200, 255, 190));
  }
  outlineCube(list, frame, display, pick.x, pick.y, pick.z, IM_COL32(255, 255, 255, 230));
}

void drawHurtFlash(const ClientSession& session, ImDrawList& list, ImVec2 display) {
  const float timer = session.player.hurtTimer;
  if (timer <= 0.0f) return;
  const int alpha = static_cast<int>(std::clamp(2.0f * timer, 0.0f, 1.0f) * 0.35f * 255.0f);
  list.AddRectFilled(ImVec2(0.0f, 0.0f), display, IM_COL32(200, 20, 20, alpha));
}

void drawHearts(const ClientSession& session, const UiFrameInfo& frame, ImDrawList& list, ImVec2 display) {
  const ImTextureID full = layerTexture(frame, kFullHeartLayer);
  const ImTextureID empty = layerTexture(frame, kEmptyHeartLayer);
  if (full == ImTextureID{} || empty == ImTextureID{}) return;
  const std::array<HeartState, 10> hearts = heartStates(session.player.health);
  for (std::size_t k = 0; k < hearts.size(); ++k) {
    const ImVec2 min(display.x * 0.5f - 109.0f + 22.0f * static_cast<float>(k), display.y - 98.0f);
    const ImVec2 max(min.x + 20.0f, min.y + 20.0f);
    if (hearts[k] == HeartState::Full) {
      list.AddImage(full, min, max);
      continue;
    }
    list.AddImage(empty, min, max);
    if (hearts[k] == HeartState::Half) {
      list.AddImage(full, min, ImVec2(min.x + 10.0f, max.y), ImVec2(0.0f, 0.0f), ImVec2(0.5f, 1.0f));
    }
  }
}

void drawBreakProgress(const ClientSession& session, ImDrawList& list, ImVec2 display) {
  const float progress = session.miningProgress;
  if (progress <= 0.0f) return;
  const float left = display.x * 0.5f - 28.0f, top = display.y * 0.5f + 16.0f;
  list.AddRectFilled(ImVec2(left, top), ImVec2(left + 56.0f, top + 5.0f), IM_COL32(0, 0, 0, 170));
  list.AddRectFilled(ImVec2(left, top), ImVec2(left + 56.0f * std::clamp(progress, 0.0f, 1.0f), top + 5.0f),
                     IM_COL32(235, 235, 235, 235));
}

void drawCreatureBars(const ClientSession& session, const UiFrameInfo& frame, ImVec2 display) {
  ImDrawList& list = *ImGui::GetForegroundDrawList();
  const PlayerBody& player = session.player;
  for (const Mob& mob : session.mobs) {
    const std::optional<float> share = creatureBarFraction(mob);
    if (!share) continue;
    const float dx = mob.x - player.x, dy = mob.y - player.y, dz = mob.z - player.z;
    if (dx * dx + dy * dy + dz * dz > kHealthBarRange * kHealthBarRange) continue;
    const auto anchor = projectToScreen(frame.viewProjection, Vec3{mob.x, mob.y + 0.75f, mob.z}, kMarkerMinimumW, display);
    if (!anchor) continue;
    const ImVec2 a = anchor->position;
    list.AddRectFilled(ImVec2(a.x - 17.0f, a.y), ImVec2(a.x + 17.0f, a.y + 4.0f), IM_COL32(0, 0, 0, 170));
    list.AddRectFilled(ImVec2(a.x - 17.0f, a.y), ImVec2(a.x - 17.0f + 34.0f * *share, a.y + 4.0f),
                       IM_COL32(220, 50, 50, 235));
  }
}

void drawChatBox(const ClientSession& session, ImVec2 display) {
  ImDrawList& list = *ImGui::GetForegroundDrawList();
  ImFont* font = ImGui::GetFont();
  const auto textWidth = [font](float size, const std::string& text) {
    return font->CalcTextSizeA(size, FLT_MAX, 0.0f, text.c_str()).x;
  };
  const double now = sessionTime(session);
  const float base = display.y - (session.chatOpen ? 175.0f : 112.0f);
  const std::vector<ShownMessage> shown = shownMessages(session.messages, now, session.chatOpen);
  if (!shown.empty()) {
    float widest = 0.0f;
    for (const ShownMessage& line : shown) widest = std::max(widest, textWidth(kChatFont, session.messages[line.index].text));
    const float top = base - 23.0f * static_cast<float>(shown.size() - 1) - 7.0f;
    list.AddRectFilled(ImVec2(8.0f, top), ImVec2(widest + 26.0f, base + 25.0f), IM_COL32(8, 10, 14, 150), 4.0f);
    const std::string you = tr("You: ");
    for (std::size_t i = 0; i < shown.size(); ++i) {
      const std::string& text = session.messages[shown[i].index].text;
      const float a = shown[i].alpha;
      const ImVec2 at(16.0f, base - 23.0f * static_cast<float>(i));
      ImU32 colour = withAlpha(178, 235, 185, 240.0f * a);
      if (!text.empty() && text[0] == '/') {
        colour = withAlpha(170, 208, 255, 240.0f * a);
      } else if (text.find(you) != std::string::npos) {
        colour = withAlpha(245, 246, 250, 235.0f * a);
      }
      list.AddText(font, kChatFont, ImVec2(at.x + 1.0f, at.y + 1.0f), withAlpha(0, 0, 0, 190.0f * a), text.c_str());
      list.AddText(font, kChatFont, at, colour, text.c_str());
    }
  }
  if (!session.chatOpen) return;

  const float inputTop = display.y - 148.0f;
  const float inputRight = std::min(680.0f, display.x - 32.0f) + 16.0f;
  list.AddRectFilled(ImVec2(16.0f, inputTop), ImVec2(inputRight, inputTop + 38.0f), IM_COL32(8, 10, 14, 210), 4.0f);
  list.AddRect(ImVec2(16.0f, inputTop), ImVec2(inputRight, inputTop + 38.0f), IM_COL32(255, 255, 255, 50), 4.0f, 0, 1.0f);
  const std::string typed = session.chatText + (fraction(now) < 0.55f ? "_" : " ");
  list.AddText(font, kChatFont, ImVec2(25.0f, inputTop + 9.0f), IM_COL32(0, 0, 0, 190), typed.c_str());
  list.AddText(font, kChatFont, ImVec2(24.0f, inputTop + 8.0f), IM_COL32(255, 255, 255, 240), typed.c_str());
  if (session.chatText.empty() && session.chatForTalk) {
    list.AddText(font, kHintFont, ImVec2(textWidth(kChatFont, typed) + 30.0f, inputTop + 11.0f),
                 IM_COL32(150, 156, 168, 210), tr("Say something..."));
  }

  const std::vector<std::string> hints = commandHints(session.chatText);
  const bool besideInput = display.x > inputRight + 120.0f;
  for (std::size_t i = 0; i < hints.size(); ++i) {
    const float step = static_cast<float>(i);
    const ImVec2 box = besideInput ? ImVec2(inputRight + 10.0f, inputTop + 23.0f * step)
                                   : ImVec2(16.0f, inputTop - 29.0f - 21.0f * step);
    list.AddRectFilled(box, ImVec2(box.x + textWidth(kHintFont, hints[i]) + 16.0f, box.y + 21.0f),
                       IM_COL32(8, 10, 14, 175), 3.0f);
    list.AddText(font, kHintFont, ImVec2(box.x + 8.0f, box.y + 2.0f), IM_COL32(198, 205, 218, 225), hints[i].c_str());
  }
}

void drawDebugOverlay(const ClientSession& session, const UiFrameInfo& frame) {
  ImGui::SetNextWindowPos(ImVec2(10.0f, 10.0f), ImGuiCond_Always, ImVec2(0.0f, 0.0f));
  ImGui::SetNextWindowBgAlpha(0.62f);
  if (ImGui::Begin("##debug", nullptr, kOverlayWindowFlags)) {
    for (const DebugLine& line : debugOverlayLines(session, frame)) {
      if (line.disabled) {
        ImGui::TextDisabled("%s", line.text.c_str());
      } else {
        ImGui::TextUnformatted(line.text.c_str());
      }
      if (line.separatorAfter) ImGui::Separator();
    }
  }
  ImGui::End();
}

DeathAction drawDeathScreen(const ClientSession& session, ImVec2 display) {
  ImGui::GetBackgroundDrawList()->AddRectFilled(ImVec2(0.0f, 0.0f), display, IM_COL32(0, 0, 0, 160));
  ImGui::SetNextWindowPos(ImVec2(display.x * 0.5f, display.y * 0.5f), ImGuiCond_Always, ImVec2(0.5f, 0.5f));
  ImGui::SetNextWindowSizeConstraints(ImVec2(380.0f, 0.0f), ImVec2(380.0f, FLT_MAX));
  bool respawn = false, quit = false;
  constexpr ImGuiWindowFlags flags = ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                                     ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_AlwaysAutoResize |
                                     ImGuiWindowFlags_NoSavedSettings;
  if (ImGui::Begin("##dead", nullptr, flags)) {
    ImGui::SetWindowFontScale(1.7f);
    ImGui::TextUnformatted(tr("You died"));
    ImGui::SetWindowFontScale(1.0f);
    const PlayerBody& p = session.player;
    const std::string where = formatTranslated("Seed %u   Block %d %d %d", session.seed, floorToInt(p.x),
                                               floorToInt(p.y), floorToInt(p.z));
    ImGui::TextUnformatted(where.c_str());
    ImGui::Spacing();
    ImGui::Separator();
    ImGui::Spacing();
    respawn = ImGui::Button(tr("Respawn"), ImVec2(-1.0f, 38.0f));
    ImGui::Spacing();
    quit = ImGui::Button(tr("Quit to Menu"), ImVec2(-1.0f, 38.0f));
    ImGui::Spacing();
    ImGui::PushTextWrapPos(0.0f);
    ImGui::TextDisabled("%s", tr("The world is unchanged; save from the pause menu."));
    ImGui::PopTextWrapPos();
  }
  ImGui::End();
  if (quit) return DeathQuitToMenu;
  return respawn ? DeathRespawn : DeathNone;
}

const char* modeName(std::uint8_t mode) {
  if (mode == ModeSurvival) return tr("Survival");
  if (mode == ModeSpectator) return tr("Spectator");
  return tr("Creative");
}

std::string heldText(const ClientSession& session) {
  const ItemStack shown = hotbarSlotContent(session, session.inventory.selected);
  if (shown.empty()) return tr("empty");
  std::string text = tr(nameOf(shown.id).c_str());
  const ItemStack& real = session.inventory.selectedStack();
  if (!real.empty()) text += "  x" + std::to_string(real.count);
  return text;
}

std::string targetText(const ClientSession& session, const PickResult& pick) {
  if (!pick.hit || !session.world) return tr("Target -");
  const BlockId block = getBlock(*session.world, pick.x, pick.y, pick.z);
  return formatTranslated("Target %s  (%d %d %d)", tr(nameOf(block).c_str()), pick.x, pick.y, pick.z);
}


}  // namespace

std::array<HeartState, 10> heartStates(int health) {
  std::array<HeartState, 10> hearts{};
  for (int k = 0; k < 10; ++k) {
    const int points = health - 2 * k;
    hearts[static_cast<std::size_t>(k)] =
        points >= 2 ? HeartState::Full : (points == 1 ? HeartState::Half : HeartState::Empty);
  }
  return hearts;
}

int facingIndex(float yawDegrees) {
  double yaw = std::fmod(static_cast<double>(yawDegrees), 360.0);
  if (yaw < 0.0) yaw += 360.0;
  return static_cast<int>((yaw + 45.0) / 90.0) % 4;
}

std::vector<ShownMessage> shownMessages(const std::deque<LogEntry>& log, double now, bool chatOpen) {
  std::vector<ShownMessage> shown;
  for (std::size_t i = log.size(); i-- > 0 && shown.size() < kChatLines;) {
    float alpha = 1.0f;
    if (!chatOpen) {
      const double age = now - log[i].time;
      if (age > 12.0) continue;
      alpha = static_cast<float>(std::clamp(1.0 - (age - 8.0) * 0.25, 0.0, 1.0));
      if (alpha <= 0.01f) continue;
    }
    shown.push_back({i, alpha});
  }
  return shown;
}

std::vector<std::string> commandHints(std::string_view chatText) {
  std::vector<std::string> hints;
  if (chatText.empty() || chatText.front() != '/') return hints;
  const std::string_view word = chatText.substr(1);
  if (word.find(' ') != std::string_view::npos) return hints;
  for (std::string_view name : completableCommandNames()) {
    if (hints.size() == kMaxHints) break;
    if (name.substr(0, word.size()) == word) hints.push_back("/" + std::string(name));
  }
  return hints;
}

std::optional<ScreenPoint> projectToScreen(const std::array<float, 16>& m, Vec3 p, float minimumW, ImVec2 display) {
  const float clipX = m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12];
  const float clipY = m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13];
  const float clipW = m[3] * p.x + m[7] * p.y + m[11] * p.z + m[15];
  if (clipW <= minimumW) return std::nullopt;
  ScreenPoint point;
  point.ndcX = clipX / clipW;
  point.ndcY = clipY / clipW;
  point.position = ImVec2((point.ndcX * 0.5f + 0.5f) * display.x, (point.ndcY * 0.5f + 0.5f) * display.y);
  return point;
}

std::optional<float> creatureBarFraction(const Mob& mob) {
  const std::int32_t maximum = mobKindInfo(mob.kind).health;
  if (mob.health <= 0 || mob.health >= maximum) return std::nullopt;
  return static_cast<float>(mob.health) / static_cast<float>(maximum);
}

bool placementOutlineShown(const World& world, const PickResult& pick) {
  if (!pick.hit) return false;
  if (!isColumnLoaded(world, chunkCoord(pick.previousX), chunkCoord(pick.previousZ))) return false;
  const BlockId block = getBlock(world, pick.previousX, pick.previousY, pick.previousZ);
  return block == 0 || blockRegistry().get(block).fluid;
}

ItemStack hotbarSlotContent(const ClientSession& session, int slot) {
  if (slot < 0 || slot >= kHotbarSlots) return {};  // a damaged selection shows nothing
  const ItemStack& stack = session.inventory.slots[static_cast<std::size_t>(slot)];
  if (session.player.mode != ModeCreative) return stack.empty() ? ItemStack{} : stack;
  if (stack.count > 0 && stack.id != 0) return stack;
  return ItemStack{kCreativePalette[static_cast<std::size_t>(slot)], 1, 0};
}

std::vector<DebugLine> debugOverlayLines(const ClientSession& session, const UiFrameInfo& frame) {
  const PlayerBody& p = session.player;
  std::vector<DebugLine> lines;
  const auto add = [&lines](std::string text) { lines.push_back({std::move(text)}); };
  const auto separator = [&lines] { lines.back().separatorAfter = true; };
  char buffer[128];

  add(std::string("Zorvander ") + kVersion);
  std::snprintf(buffer, sizeof buffer, "%d FPS  (%.2f ms)", static_cast<int>(frame.fps),
                frame.fps > 0.0f ? 1000.0 / frame.fps : 0.0);
  add(buffer);
  if (session.monitorRefreshRate > 0) add(formatTranslated("Screen refresh %d Hz", session.monitorRefreshRate));
  separator();

  add(formatTranslated("XYZ    %.2f / %.2f / %.2f", p.x, p.y, p.z));
  const int bx = floorToInt(p.x), by = floorToInt(p.y), bz = floorToInt(p.z);
  add(formatTranslated("Chunk  %d / %d / %d", chunkCoord(bx), chunkCoord(by), chunkCoord(bz)));
  add(formatTranslated("Block  %d / %d / %d", bx, by, bz));
  static constexpr const char* kDirections[] = {"East", "South", "West", "North"};
  add(formatTranslated("Facing %s   yaw %.1f  pitch %.1f", tr(kDirections[facingIndex(p.yaw)]), p.yaw, p.pitch));
  const double hours = std::fmod(static_cast<double>(session.timeOfDay) * 24.0 + 6.0, 24.0);
  add(formatTranslated("Time   %02d:%02d", static_cast<int>(hours), static_cast<int>(fraction(hours) * 60.0f)));
  separator();

  add(targetText(session, frame.pick));
  add(formatTranslated("Held   %s", heldText(session).c_str()));
  separator();

  add(formatTranslated("Seed %u", session.seed));
  add(formatTranslated("Draws %d / %d chunks   %d tracked", frame.drawnChunks, frame.chunkMeshes,
                       static_cast<int>(frame.streamerResident)));
  add(formatTranslated("Triangles %zu   Particles %zu", frame.triangles, session.particles.size()));
  add(formatTranslated("Mobs %zu   Drops %zu", session.mobs.size(), session.drops.size()));
  if (session.networkRole != RoleOffline) {
    add(formatTranslated("Net   %s   %d ms   %d remote", session.networkRole == RoleHost ? tr("host") : tr("client"),
                         frame.rttMs, static_cast<int>(session.remotePlayers.size())));
  }
  if (!session.worldName.empty()) add(formatTranslated("World %s", session.worldName.c_str()));
  const bool flyingNote = p.mode == ModeCreative && p.flying;
  add(formatTranslated("Mode %s%s  HP %d/20", modeName(p.mode), flyingNote ? tr(" (flying)") : "", p.health));
  separator();

  add("GPU " + frame.deviceName);
  std::snprintf(buffer, sizeof buffer, "Vulkan %u.%u.%u", (frame.apiVersion >> 22) & 0x7Fu,
                (frame.apiVersion >> 12) & 0x3FFu, frame.apiVersion & 0xFFFu);
  add(buffer);
  if (!frame.passTimes.empty()) add(frame.passTimes);
  add(formatTranslated("Viewport %d x %d", frame.viewportWidth, frame.viewportHeight));
  add(debugOverlayHelp(session.settings.keys, session.preferences.renderDistance));
  lines.back().disabled = true;
  return lines;
}

void drawWeatherOverlay(const ClientSession& session, const UiFrameInfo&) {
  const Weather weather = session.weather;
  if (weather == WeatherClear) return;
  ImDrawList& list = *ImGui::GetBackgroundDrawList();
  const ImVec2 display = ImGui::GetIO().DisplaySize;
  const double w = display.x, h = display.y, t = sessionTime(session);
  if (weather == WeatherRain) {
    for (int k = 0; k <= 338; k += 2) {
      const double a = streakRandom(k), b = streakRandom(k + 1);
      const float x = static_cast<float>(std::fmod(a * w + 110.0 * t, w));
      const float y = static_cast<float>(std::fmod((420.0 * b + 780.0) * t + h * b, h + 30.0) - 20.0);
      list.AddLine(ImVec2(x, y), ImVec2(x - 5.0f, y + 18.0f), IM_COL32(165, 186, 215, 95), 1.5f);
    }
    return;
  }
  for (int k = 0; k < 150; ++k) {
    const double a = streakRandom(2 * k), b = streakRandom(2 * k + 1);
    const float x = static_cast<float>(std::fmod(a * w + 22.0 * std::sin(k + 0.8 * t), w));
    const float y = static_cast<float>(std::fmod(b * h + 55.0 * t, h));
    list.AddCircleFilled(ImVec2(x, y), 1.6f, IM_COL32(240, 246, 255, 170));
  }
}

void drawNameTags(const ClientSession& session, const UiFrameInfo& frame) {
  ImDrawList& list = *ImGui::GetForegroundDrawList();
  const ImVec2 display = ImGui::GetIO().DisplaySize;
  for (const RemotePlayer& remote : session.remotePlayers) {
    if (!remote.known) continue;
    const auto anchor = projectToScreen(frame.viewProjection, Vec3{remote.shownX, remote.shownY + 0.32f, remote.shownZ},
                                        kMarkerMinimumW, display);
    if (!anchor || std::fabs(anchor->ndcX) > 1.2f || std::fabs(anchor->ndcY) > 1.2f) continue;
    const ImVec2 a = anchor->position;
    const ImVec2 size = ImGui::CalcTextSize(remote.name.c_str());
    const ImVec2 corner(a.x - size.x * 0.5f - 5.0f, a.y - size.y - 3.0f);
    list.AddRectFilled(corner, ImVec2(a.x + size.x * 0.5f + 5.0f, a.y + 2.0f), IM_COL32(8, 10, 14, 150), 3.0f);
    list.AddText(ImVec2(corner.x + 5.0f, corner.y + 2.0f), IM_COL32(0, 0, 0, 190), remote.name.c_str());
    list.AddText(ImVec2(corner.x + 4.0f, corner.y + 1.0f), IM_COL32(240, 244, 250, 240), remote.name.c_str());
  }
}

InGameUiResult buildInGameUi(ClientSession& session, const UiFrameInfo& frame) {
  InGameUiResult result;
  if (session.appState == AppMenu) return result;
  const ImVec2 display = ImGui::GetIO().DisplaySize;
  if (session.appState == AppPlaying) {
    ImDrawList& background = *ImGui::GetBackgroundDrawList();
    drawWeatherOverlay(session, frame);
    drawMinimap(session, background, display);
    if (session.player.mode != ModeSpectator) {
      drawCrosshair(background, display);
      drawHotbar(session, frame, display);
      drawBlockOutlines(session, frame, background, display);
    }
    drawHurtFlash(session, background, display);
    if (session.player.mode == ModeSurvival) drawHearts(session, frame, background, display);
    drawBreakProgress(session, background, display);
    drawCreatureBars(session, frame, display);
    drawNameTags(session, frame);
  }
  drawChatBox(session, display);
  if (session.inventoryOpen) buildInventoryWindow(session, frame.texture);
  if (session.debugOverlay || frame.forceDebug) drawDebugOverlay(session, frame);
  if (session.appState == AppPaused) result.pause = buildPauseMenu(session, frame);
  if (session.appState == AppDead) result.death = drawDeathScreen(session, display);
  return result;
}

}  // namespace zorv
