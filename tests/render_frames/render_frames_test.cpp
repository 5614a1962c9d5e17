// Rendering on a real Vulkan device (lavapipe under Xvfb in CI): pictures of real worlds
// checked for what a person would see, the failure messages of bring-up, shader
// overrides, mesh lifetimes, swapchain recreation and Chinese text in the interface.

#include <gtest/gtest.h>
#include <imgui.h>
#include <imgui_internal.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <fstream>
#include <string>

#include "render/png_writer.h"
#include "frame_fixture.h"
#include "lang/localisation.h"
#include "world/light.h"
#include "world/mesher.h"
#include "world/registry.h"
#include "world/terrain.h"
#include "world/villages.h"
#include "world/world.h"

namespace zorv::frames {
namespace {


struct Scene {
  Camera camera;
  std::vector<EntityInstance> entities;
  std::vector<ParticleInstance> particles;
};

// The spawn area of the check seed seen from above the ground, with creatures in view.
Scene spawnScene() {
  Scene scene;
  const int ground = terrainHeight(kSeed, 96, 96);
  scene.camera = {{96.5f, static_cast<float>(ground) + 9.0f, 96.5f}, 45.0f, -14.0f};
  for (int i = 0; i < 5; ++i) {
    const float x = 102.5f + static_cast<float>(i) * 1.2f, z = 105.5f - static_cast<float>(i) * 1.2f;
    const int floor = terrainHeight(kSeed, static_cast<int>(x), static_cast<int>(z));
    EntityInstance entity;
    entity.x = x;
    entity.y = static_cast<float>(floor) + 1.0f;
    entity.z = z;
    entity.yaw = 0.4f * static_cast<float>(i);
    entity.modelSlot = i;
    entity.flash = i == 1 ? 1.0f : 0.0f;
    scene.entities.push_back(entity);
  }
  ParticleInstance particle;
  particle.x = 102.0f;
  particle.y = static_cast<float>(ground) + 5.0f;
  particle.z = 102.0f;
  particle.size = 0.2f;
  particle.tile = 3;
  scene.particles.push_back(particle);
  return scene;
}

class RenderFrames : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = std::make_unique<Window>(kWidth, kHeight);
    renderer_ = std::make_unique<VulkanRenderer>(prepareProgramFolder());
    ASSERT_TRUE(renderer_->init(window_->get(), false));
  }
  void TearDown() override {
    renderer_.reset();
    window_.reset();
  }
  virtual std::filesystem::path prepareProgramFolder() { return makeProgramFolder("plain"); }

  Picture capture(const Scene& scene, const std::string& name, float daylight, Vec3 sun, bool shadows = true, bool post = true) {
    renderer_->setEnvironment(daylight, 128.0f, sun);
    renderer_->setEffects(shadows, post);
    const Mat4 matrix = viewProjection(scene.camera, static_cast<float>(kWidth) / kHeight);
    // A frame first, so both frames in flight have been used before the picture.
    renderer_->beginUiFrame();
    renderer_->drawFrame(matrix, scene.camera.eye, scene.entities, scene.particles);
    renderer_->beginUiFrame();
    const std::filesystem::path path = outputFolder() / (name + ".png");
    EXPECT_TRUE(renderer_->captureFrame(matrix, scene.camera.eye, scene.entities, scene.particles, path,
                                        {"Zorvander test", "rendering test " + name}));
    return readPicture(path);
  }

  std::unique_ptr<Window> window_;
  std::unique_ptr<VulkanRenderer> renderer_;
};

TEST_F(RenderFrames, NoonShowsSkyAboveTerrainAndMidnightIsDark) {
  uploadTerrain(*renderer_, 96, 96, 2);
  registerModels(*renderer_);
  const Scene scene = spawnScene();
  const Picture noon = capture(scene, "noon", 1.0f, kNoonSun);
  ASSERT_EQ(noon.width, kWidth);
  ASSERT_EQ(noon.height, kHeight);
  EXPECT_GT(renderer_->drawnChunkCount(), 0u);

  const auto sky = noon.meanColour(0, 0, kWidth, 6);
  EXPECT_GT(sky[2], 120.0) << "top rows are not sky blue";
  EXPECT_GT(sky[2], sky[0] + 30.0);
  const auto ground = noon.meanColour(0, kHeight - 30, kWidth, kHeight);
  const double distance = std::abs(ground[0] - sky[0]) + std::abs(ground[1] - sky[1]) + std::abs(ground[2] - sky[2]);
  EXPECT_GT(distance, 60.0) << "bottom rows look like sky";

  const Picture reference = readPicture(std::filesystem::path(ZORV_FRAME_REFERENCES) / "noon.png");
  EXPECT_LT(meanDifference(noon, reference), 6.0);

  const Picture midnight = capture(scene, "midnight", 0.0f, {-kNoonSun.x, -kNoonSun.y, -kNoonSun.z});
  const double noonLuma = noon.meanLuma(0, 0, kWidth, kHeight);
  const double midnightLuma = midnight.meanLuma(0, 0, kWidth, kHeight);
  EXPECT_LT(midnightLuma, 40.0);
  EXPECT_LT(midnightLuma, noonLuma / 3.0);

  const Picture plain = capture(scene, "noon_no_post", 1.0f, kNoonSun, true, false);
  EXPECT_GT(meanDifference(plain, noon), 1.0) << "switching post-processing off changed nothing";
  const Picture unshadowed = capture(scene, "noon_no_shadows", 1.0f, kNoonSun, false, true);
  EXPECT_GT(meanDifference(unshadowed, noon), 0.3) << "switching shadows off changed nothing";
}

// Without post passes the world is drawn tone-mapped straight into the window's image; it
// must look as it does through the scene target and the composite, interface included.
TEST_F(RenderFrames, FramesWithoutPostPassesLookTheSameDrawnStraightToTheWindow) {
  uploadTerrain(*renderer_, 96, 96, 2);
  registerModels(*renderer_);
  const Scene scene = spawnScene();
  auto both = [&](const std::string& name, float daylight, bool shadows) {
    std::array<Picture, 2> pictures;
    for (bool direct : {true, false}) {
      renderer_->setDirectOutput(direct);
      renderer_->setEnvironment(daylight, 128.0f, kNoonSun);
      renderer_->setEffects(shadows, false);
      const Mat4 matrix = viewProjection(scene.camera, static_cast<float>(kWidth) / kHeight);
      for (int frame = 0; frame < 2; ++frame) {
        renderer_->beginUiFrame();
        ImGui::GetForegroundDrawList()->AddRectFilled(ImVec2(20, 20), ImVec2(60, 50), IM_COL32(255, 0, 255, 255));
        if (frame == 0) renderer_->drawFrame(matrix, scene.camera.eye, scene.entities, scene.particles);
      }
      const std::filesystem::path path = outputFolder() / (name + (direct ? "_direct.png" : "_composite.png"));
      EXPECT_TRUE(renderer_->captureFrame(matrix, scene.camera.eye, scene.entities, scene.particles, path, {"Zorvander test", name}));
      pictures[direct ? 0 : 1] = readPicture(path);
    }
    renderer_->setDirectOutput(true);
    const Picture& direct = pictures[0];
    EXPECT_LT(meanDifference(direct, pictures[1]), 1.0) << name;
    const auto sky = direct.meanColour(100, 0, 220, 12);
    const auto composedSky = pictures[1].meanColour(100, 0, 220, 12);
    for (int channel = 0; channel < 3; ++channel) EXPECT_NEAR(sky[channel], composedSky[channel], 1.5) << name;
    const auto shape = direct.meanColour(25, 25, 55, 45);
    EXPECT_GT(shape[0], 240.0) << name << ": the interface is missing";
    EXPECT_LT(shape[1], 15.0) << name;
  };
  both("plain_noon", 1.0f, true);
  both("plain_dusk", 0.3f, false);
}

// The composite that smooths edges as it goes draws what the composite and the final pass
// drew one after the other: the same light, and edges smoothed alike. It blends the taps in
// scene light rather than tone-mapped, so edge pixels may differ a little, never by much.
TEST_F(RenderFrames, SmoothedCompositeLooksLikeTheCompositeAndTheFinalPass) {
  uploadTerrain(*renderer_, 96, 96, 2);
  registerModels(*renderer_);
  const Scene scene = spawnScene();
  renderer_->setSmoothedComposite(false);
  const Picture separate = capture(scene, "smoothing_separate", 1.0f, kNoonSun);
  renderer_->setSmoothedComposite(true);
  const Picture smoothed = capture(scene, "smoothing_one_pass", 1.0f, kNoonSun);
  EXPECT_LT(meanDifference(separate, smoothed), 1.0);
  int far = 0;
  for (int y = 0; y < smoothed.height; ++y)
    for (int x = 0; x < smoothed.width; ++x) {
      const auto p = separate.at(x, y), q = smoothed.at(x, y);
      far += std::abs(p[0] - q[0]) > 48 || std::abs(p[1] - q[1]) > 48 || std::abs(p[2] - q[2]) > 48;
    }
  // Edges left unsmoothed, or smoothed along the wrong diagonal, differ by far more.
  EXPECT_LT(far, smoothed.width * smoothed.height / 1000) << far << " pixels differ by more than 48";
}

// An interface frame with far more vertices than the first one still draws all of them,
// the last shape included.
TEST_F(RenderFrames, LargerInterfaceFramesDrawEveryShape) {
  renderer_->setEnvironment(1.0f, 128.0f, kNoonSun);
  const Scene scene = spawnScene();
  const Mat4 matrix = viewProjection(scene.camera, static_cast<float>(kWidth) / kHeight);
  // Small frames first, so every per-image buffer of the interface exists at a small size.
  for (int frame = 0; frame < 8; ++frame) {
    renderer_->beginUiFrame();
    ImGui::GetForegroundDrawList()->AddRectFilled(ImVec2(0, 0), ImVec2(1, 1), IM_COL32(0, 0, 0, 255));
    renderer_->drawFrame(matrix, scene.camera.eye, {}, {});
  }
  renderer_->beginUiFrame();
  ImDrawList& list = *ImGui::GetForegroundDrawList();
  for (int i = 0; i < 10000; ++i) list.AddRectFilled(ImVec2(0, 0), ImVec2(2, 2), IM_COL32(0, 0, 0, 255));
  list.AddRectFilled(ImVec2(100, 60), ImVec2(220, 120), IM_COL32(255, 0, 255, 255));
  const std::filesystem::path path = outputFolder() / "many_ui_vertices.png";
  ASSERT_TRUE(renderer_->captureFrame(matrix, scene.camera.eye, {}, {}, path, {"Zorvander test", "interface"}));
  const auto shape = readPicture(path).meanColour(110, 70, 210, 110);
  EXPECT_GT(shape[0], 240.0);
  EXPECT_LT(shape[1], 15.0);
  EXPECT_GT(shape[2], 240.0);
}

// A stone floor with one pillar, lit from +x: the floor on the −x side of the pillar lies
// in its shadow.
void uploadPillarScene(VulkanRenderer& renderer) {
  World world(kSeed);
  for (int cx = -1; cx <= 2; ++cx)
    for (int cz = -1; cz <= 2; ++cz) createEmptyColumn(world, cx, cz);
  for (int x = -16; x < 48; ++x)
    for (int z = -16; z < 48; ++z) setBlockRaw(world, x, 0, z, blocks::Stone);
  for (int y = 1; y <= 12; ++y) setBlockRaw(world, 8, y, 8, blocks::Planks);
  for (int cx = -1; cx <= 2; ++cx)
    for (int cz = -1; cz <= 2; ++cz) queueRelight(world, cx, cz);
  processRelightQueue(world, 4096);
  for (int cx = -1; cx <= 2; ++cx)
    for (int cz = -1; cz <= 2; ++cz)
      for (int cy = -1; cy <= 0; ++cy) renderer.uploadChunkMesh({cx, cy, cz}, meshChunk(world, {cx, cy, cz}).main);
}

std::array<int, 2> projectToPixel(const Mat4& matrix, Vec3 p) {
  const Vec4 clip = transform(matrix, {p.x, p.y, p.z, 1.0f});
  return {static_cast<int>((clip[0] / clip[3] * 0.5f + 0.5f) * kWidth), static_cast<int>((clip[1] / clip[3] * 0.5f + 0.5f) * kHeight)};
}

TEST_F(RenderFrames, PillarShadowDarkensTheGroundBehindIt) {
  uploadPillarScene(*renderer_);
  Scene scene;
  scene.camera = {{8.5f, 22.0f, 26.0f}, -90.0f, -45.0f};
  const Vec3 sun{0.8f, 0.6f, 0.0f};  // shadow runs 4/3 blocks towards −x per block of height
  const Mat4 matrix = viewProjection(scene.camera, static_cast<float>(kWidth) / kHeight);
  const auto shadowed = projectToPixel(matrix, {4.0f, 1.0f, 8.5f});
  const auto lit = projectToPixel(matrix, {4.0f, 1.0f, 13.5f});
  auto luma = [](const Picture& p, std::array<int, 2> at) { return p.meanLuma(at[0] - 1, at[1] - 1, at[0] + 2, at[1] + 2); };

  const Picture withShadows = capture(scene, "pillar", 1.0f, sun);
  EXPECT_LT(luma(withShadows, shadowed), 0.8 * luma(withShadows, lit));
  EXPECT_LT(meanDifference(withShadows, readPicture(std::filesystem::path(ZORV_FRAME_REFERENCES) / "pillar.png")), 6.0);
  const Picture withoutShadows = capture(scene, "pillar_no_shadows", 1.0f, sun, false);
  EXPECT_GT(luma(withoutShadows, shadowed), 0.9 * luma(withoutShadows, lit));
}

TEST_F(RenderFrames, MeshesAreReplacedWithoutFreeingBuffersInFlight) {
  World world(kSeed);
  const ChunkKey key{6, 1, 6};
  const ChunkMesh mesh = meshChunk(world, key);
  ASSERT_FALSE(mesh.main.empty());
  renderer_->uploadChunkMesh(key, mesh.main);
  EXPECT_EQ(renderer_->chunkMeshCount(), 1u);
  EXPECT_EQ(renderer_->triangleCount(), mesh.main.indices.size() / 3);
  renderer_->uploadChunkMesh(key, mesh.main);  // the first copy waits for deletion
  EXPECT_EQ(renderer_->pendingDeletionCount(), 1u);
  renderer_->uploadChunkMesh(key, Mesh{});  // an empty mesh removes the chunk's mesh
  EXPECT_EQ(renderer_->chunkMeshCount(), 0u);
  EXPECT_EQ(renderer_->pendingDeletionCount(), 2u);
  renderer_->uploadTranslucentMesh(key, mesh.main);
  renderer_->removeChunkMeshes(key);
  EXPECT_EQ(renderer_->pendingDeletionCount(), 3u);
  const Scene scene = spawnScene();
  renderer_->setEnvironment(1.0f, 128.0f, kNoonSun);
  // Dropped after the last frame was submitted: destroyed once that frame's fence is
  // waited for again, two frames on.
  renderer_->drawFrame(viewProjection(scene.camera, 16.0f / 9.0f), scene.camera.eye, {}, {});
  EXPECT_EQ(renderer_->pendingDeletionCount(), 3u);
  renderer_->drawFrame(viewProjection(scene.camera, 16.0f / 9.0f), scene.camera.eye, {}, {});
  EXPECT_EQ(renderer_->pendingDeletionCount(), 0u);

  EXPECT_EQ(renderer_->layerTexture(static_cast<std::uint32_t>(blockRegistry().tileCount())), 0u);
  EXPECT_NE(renderer_->layerTexture(0), 0u);
  renderer_->clearChunkMeshes();
  EXPECT_EQ(renderer_->chunkMeshCount(), 0u);
}

TEST_F(RenderFrames, SwapchainFollowsTheWindowAndShutdownTwiceIsHarmless) {
  EXPECT_EQ(renderer_->swapchainExtent().width, static_cast<std::uint32_t>(kWidth));
  glfwSetWindowSize(window_->get(), 200, 120);
  for (int i = 0; i < 300; ++i) {  // the X server applies the new size asynchronously
    glfwPollEvents();
    int w = 0, h = 0;
    glfwGetFramebufferSize(window_->get(), &w, &h);
    if (w == 200) break;
    usleep(10000);
  }
  renderer_->onResize();
  EXPECT_EQ(renderer_->swapchainExtent().width, 200u);
  EXPECT_EQ(renderer_->swapchainExtent().height, 120u);
  renderer_->setVsync(true);  // recreates with the other present mode
  const Scene scene = spawnScene();
  renderer_->setEnvironment(1.0f, 128.0f, kNoonSun);
  renderer_->beginUiFrame();
  renderer_->drawFrame(viewProjection(scene.camera, 200.0f / 120.0f), scene.camera.eye, {}, {});
  renderer_->shutdown();
  renderer_->shutdown();
  renderer_->drawFrame(viewProjection(scene.camera, 1.0f), scene.camera.eye, {}, {});  // nothing to draw with
}

TEST_F(RenderFrames, ChineseTextUsesRealGlyphs) {
  ASSERT_FALSE(renderer_->uiFontPath().empty()) << "no font with Chinese glyphs was loaded";
  renderer_->setEnvironment(1.0f, 128.0f, kNoonSun);
  renderer_->beginUiFrame();  // builds the font atlas
  ImFont* font = ImGui::GetIO().Fonts->Fonts[0];
  ASSERT_NE(font->FindGlyphNoFallback(0x4F60), nullptr);  // 你
  ASSERT_NE(font->FindGlyphNoFallback(0x754C), nullptr);  // 界
  // Every character of the translated texts and of the Chinese village names, including
  // those outside Dear ImGui's common simplified set (聊 屏 渲 砾 锭 苔 藓 蕨).
  std::string translated = chineseVillageNameText();
  for (const Translation& row : translationTable()) translated += row.chinese;
  for (const char* at = translated.c_str(); *at;) {
    unsigned int codepoint = 0;
    at += ImTextCharFromUtf8(&codepoint, at, nullptr);
    EXPECT_NE(font->FindGlyphNoFallback(static_cast<ImWchar>(codepoint)), nullptr) << codepoint;
  }
  ImGui::SetNextWindowPos(ImVec2(0, 0));
  ImGui::SetNextWindowSize(ImVec2(kWidth, kHeight));
  ImGui::Begin("glyphs", nullptr, ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoBackground);
  ImGui::SetWindowFontScale(3.0f);
  const char* texts[] = {"\xE4\xBD\xA0", "\xE7\x95\x8C", "\xE2\x96\xA1"};  // 你, 界 and a box-like glyph absent from the range
  for (int i = 0; i < 3; ++i) {
    ImGui::SetCursorPos(ImVec2(20.0f + 100.0f * static_cast<float>(i), 40.0f));
    ImGui::TextUnformatted(texts[i]);
  }
  ImGui::End();
  const Scene scene = spawnScene();
  const Mat4 matrix = viewProjection(scene.camera, static_cast<float>(kWidth) / kHeight);
  const std::filesystem::path path = outputFolder() / "chinese.png";
  ASSERT_TRUE(renderer_->captureFrame(matrix, scene.camera.eye, {}, {}, path, {"Zorvander test", "中文"}));
  const Picture picture = readPicture(path);
  // Each glyph cell: its pixels against the sky background.
  auto cell = [&](int i) {
    std::vector<int> mask;
    const int x0 = 20 + 100 * i;
    for (int y = 40; y < 88; ++y)
      for (int x = x0; x < x0 + 48; ++x) {
        const auto c = picture.at(x, y);
        mask.push_back(std::min({c[0], c[1], c[2]}) > 235 ? 1 : 0);
      }
    return mask;
  };
  const auto ni = cell(0), jie = cell(1), fallback = cell(2);
  auto count = [](const std::vector<int>& m) { return std::count(m.begin(), m.end(), 1); };
  auto differing = [](const std::vector<int>& a, const std::vector<int>& b) {
    long n = 0;
    for (std::size_t i = 0; i < a.size(); ++i) n += a[i] != b[i];
    return n;
  };
  EXPECT_GT(count(ni), 60);
  EXPECT_GT(count(jie), 60);
  EXPECT_GT(differing(ni, jie), 60) << "two different characters drew the same shape";
  EXPECT_GT(differing(ni, fallback), 60) << "the character drew as the fallback glyph";
}

class OverridePack : public RenderFrames {
 protected:
  std::filesystem::path prepareProgramFolder() override {
    const std::filesystem::path folder = makeProgramFolder("override");
    const std::filesystem::path shaders = folder / "resourcepacks" / "override" / "shaders";
    std::filesystem::create_directories(shaders);
    std::filesystem::copy_file(ZORV_SOLID_FINAL_SHADER, shaders / "final_fs.spv");
    const std::filesystem::path broken = folder / "resourcepacks" / "z_broken" / "shaders";
    std::filesystem::create_directories(broken);
    std::ofstream(broken / "composite_fs.spv", std::ios::binary) << std::string(16, '\x03');
    return folder;
  }
  void SetUp() override {
    ::testing::internal::CaptureStderr();
    RenderFrames::SetUp();
    messages_ = ::testing::internal::GetCapturedStderr();
    std::fputs(messages_.c_str(), stderr);
  }
  std::string messages_;
};

TEST_F(OverridePack, FinalShaderFromPackTakesEffectAndBrokenOverrideFallsBack) {
  EXPECT_NE(messages_.find("shader override composite_fs failed, using built-in"), std::string::npos) << messages_;
  const Picture picture = capture(spawnScene(), "override", 1.0f, kNoonSun);
  const auto centre = picture.meanColour(kWidth / 2 - 10, kHeight / 2 - 10, kWidth / 2 + 10, kHeight / 2 + 10);
  EXPECT_GT(centre[0], 250.0);
  EXPECT_LT(centre[1], 5.0);
  EXPECT_GT(centre[2], 250.0);
}

// Bring-up in a program folder whose shader `file` (by default the block vertex shader,
// the first one loaded) is missing or damaged.
std::string failedInitMessages(const std::string& name, const std::function<void(const std::filesystem::path&)>& damage,
                               const std::string& file = "block_vs.spv") {
  const std::filesystem::path folder = makeProgramFolder(name, false);
  std::filesystem::copy(ZORV_SHADER_DIR, folder / "shaders");
  damage(folder / "shaders" / file);
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(folder.parent_path());  // no "shaders" folder here either
  Window window(64, 64);
  VulkanRenderer renderer(folder);
  ::testing::internal::CaptureStderr();
  const bool initialised = renderer.init(window.get(), false);
  std::string messages = ::testing::internal::GetCapturedStderr();
  renderer.shutdown();
  std::filesystem::current_path(previous);
  EXPECT_FALSE(initialised);
  EXPECT_NE(messages.find("vulkan: init failed: "), std::string::npos) << messages;
  return messages;
}

TEST(RenderFailures, DamagedShaderFilesAreReportedAndInitFails) {
  const std::string missing = failedInitMessages("missing", [](const std::filesystem::path& file) { std::filesystem::remove(file); });
  EXPECT_NE(missing.find("shader not found: "), std::string::npos) << missing;
  EXPECT_NE(missing.find("vulkan: init failed: shader modules missing"), std::string::npos) << missing;
  EXPECT_NE(missing.find("missing/shaders/block_vs.spv"), std::string::npos) << missing;
  const std::string truncated = failedInitMessages("truncated", [](const std::filesystem::path& file) {
    std::filesystem::resize_file(file, 6);
  });
  EXPECT_NE(truncated.find("shader has invalid size: "), std::string::npos) << truncated;
  EXPECT_NE(truncated.find("vulkan: init failed: shader modules missing"), std::string::npos) << truncated;
  const std::string foreign = failedInitMessages("foreign", [](const std::filesystem::path& file) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << std::string(8, '\0');
  });
  EXPECT_NE(foreign.find("shader is not SPIR-V: "), std::string::npos) << foreign;
  EXPECT_NE(foreign.find("vulkan: init failed: shader modules missing"), std::string::npos) << foreign;
}

// The post chain's programs are loaded late in bring-up: everything made before them (and
// its samplers, set layout, pool and pipeline layout) is destroyed, which the validation
// layer would report otherwise.
TEST(RenderFailures, LateFailureDestroysWhatBringUpMade) {
  const std::string missing =
      failedInitMessages("post_missing", [](const std::filesystem::path& file) { std::filesystem::remove(file); }, kPostVertexFile);
  EXPECT_NE(missing.find("vulkan: init failed: post shader modules missing"), std::string::npos) << missing;
}

}  // namespace
}  // namespace zorv::frames
