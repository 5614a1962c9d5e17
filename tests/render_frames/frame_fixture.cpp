#include "frame_fixture.h"

#include <stb_image.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "world/light.h"
#include "world/mesher.h"
#include "world/mobs.h"
#include "world/registry.h"
#include "world/world.h"
#include "scratch_folder.h"

namespace zorv::frames {

std::array<int, 3> Picture::at(int x, int y) const {
  const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
  return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

std::array<double, 3> Picture::meanColour(int x0, int y0, int x1, int y1) const {
  std::array<double, 3> sum{};
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      const auto c = at(x, y);
      for (int k = 0; k < 3; ++k) sum[k] += c[k];
    }
  const double count = static_cast<double>((x1 - x0) * (y1 - y0));
  for (double& s : sum) s /= count;
  return sum;
}

double Picture::meanLuma(int x0, int y0, int x1, int y1) const {
  const auto c = meanColour(x0, y0, x1, y1);
  return 0.299 * c[0] + 0.587 * c[1] + 0.114 * c[2];
}

Picture readPicture(const std::filesystem::path& path) {
  Picture picture;
  int channels = 0;
  unsigned char* data = stbi_load(path.string().c_str(), &picture.width, &picture.height, &channels, 3);
  if (!data) throw std::runtime_error("cannot read " + path.string());
  picture.rgb.assign(data, data + static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height) * 3);
  stbi_image_free(data);
  return picture;
}

double meanDifference(const Picture& a, const Picture& b) {
  if (a.width != b.width || a.height != b.height) return 255.0;
  double sum = 0.0;
  for (std::size_t i = 0; i < a.rgb.size(); ++i) sum += std::abs(static_cast<int>(a.rgb[i]) - static_cast<int>(b.rgb[i]));
  return sum / static_cast<double>(a.rgb.size());
}

std::filesystem::path outputFolder() {
  std::filesystem::path folder = std::filesystem::current_path() / "frames";
  std::filesystem::create_directories(folder);
  return folder;
}

std::filesystem::path makeProgramFolder(const std::string& name, bool withShaders) {
  // One scratch folder for the whole run, removed when the program ends.
  static const testing::ScratchFolder programs("frames");
  const std::filesystem::path folder = programs.path() / name;
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  if (withShaders) std::filesystem::create_directory_symlink(ZORV_SHADER_DIR, folder / "shaders");
  return folder;
}

namespace {
// GLFW is initialised once for the whole program; windows come and go per test.
void initialiseGlfw() {
  static const bool initialised = [] {
    glfwSetErrorCallback([](int code, const char* text) { std::fprintf(stderr, "glfw: %s (%d)\n", text, code); });
    const bool ok = glfwInit() == GLFW_TRUE;
    if (ok) std::atexit(glfwTerminate);
    return ok;
  }();
  if (!initialised) throw std::runtime_error("glfwInit failed");
}
}  // namespace

Window::Window(int width, int height) {
  initialiseGlfw();
  glfwWindowHint(GLFW_CLIENT_API, GLFW_NO_API);
  glfwWindowHint(GLFW_RESIZABLE, GLFW_TRUE);
  window_ = glfwCreateWindow(width, height, "Zorvander frames", nullptr, nullptr);
  if (!window_) throw std::runtime_error("glfwCreateWindow failed");
}

Window::~Window() { glfwDestroyWindow(window_); }

Mat4 viewProjection(const Camera& camera, float aspect) {
  constexpr float kNear = 0.05f, kFar = 600.0f;
  const float f = 1.0f / std::tan(1.2217305f / 2.0f);
  Mat4 projection{};
  projection[0] = f / aspect;
  projection[5] = -f;
  projection[10] = -(kFar + kNear) / (kFar - kNear);
  projection[11] = -1.0f;
  projection[14] = -2.0f * kFar * kNear / (kFar - kNear);
  const float yaw = camera.yawDegrees * 3.14159265f / 180.0f;
  const float pitch = camera.pitchDegrees * 3.14159265f / 180.0f;
  const Vec3 look{std::cos(yaw) * std::cos(pitch), std::sin(pitch), std::sin(yaw) * std::cos(pitch)};
  const Vec3 target{camera.eye.x + look.x, camera.eye.y + look.y, camera.eye.z + look.z};
  return multiply(projection, lookAt(camera.eye, target, {0.0f, 1.0f, 0.0f}));
}

void uploadTerrain(VulkanRenderer& renderer, int x, int z, int radius) {
  World world(kSeed);
  ensureColumnsAround(world, x, z, radius + 1);
  processRelightQueue(world, 4096);
  const int cx0 = chunkCoord(x), cz0 = chunkCoord(z);
  for (int cx = cx0 - radius; cx <= cx0 + radius; ++cx)
    for (int cz = cz0 - radius; cz <= cz0 + radius; ++cz)
      for (int cy = kMinChunkY; cy <= kMaxChunkY; ++cy) {
        const ChunkMesh mesh = meshChunk(world, {cx, cy, cz});
        renderer.uploadChunkMesh({cx, cy, cz}, mesh.main);
        renderer.uploadTranslucentMesh({cx, cy, cz}, mesh.water);
      }
}

void registerModels(VulkanRenderer& renderer) {
  renderer.setModelMesh(0, mobMesh(MobSlime));
  renderer.setModelMesh(1, mobMesh(MobPig));
  renderer.setModelMesh(2, mobMesh(MobVillager));
  renderer.setModelMesh(3, playerMesh());
  renderer.setModelMesh(4, mobMesh(MobZombie));
  const std::size_t blockCount = blockRegistry().count();
  for (std::size_t b = 1; b < blockCount; ++b)
    renderer.setModelMesh(static_cast<std::uint32_t>(4 + b), buildBlockPreview(static_cast<BlockId>(b)));
  const ItemRegistry& items = itemRegistry();
  for (std::size_t i = 0; i < items.count(); ++i) {
    const auto id = static_cast<ItemId>(kFirstItem + i);
    if (!items.isItem(id)) continue;
    renderer.setModelMesh(static_cast<std::uint32_t>(blockCount + 4 + i), buildItemSprite(items.getItem(id).tex));
  }
  renderer.setParticleMesh(particleMesh());
}

}  // namespace zorv::frames
