#include "ui/session_frame.h"

#include <cstdint>
#include <string>
#include <vector>

#include "client/menu_actions.h"
#include "platform/version.h"
#include "render/vulkan_renderer.h"
#include "world/registry.h"

namespace zorv {

UiFrameInfo uiFrameInfo(const VulkanRenderer& renderer, const ClientSession& session, const FrameView& view, float fps,
                        int width, int height) {
  UiFrameInfo info;
  info.viewProjection = view.viewProjection;
  info.pick = view.target;
  info.fps = fps;
  info.viewportWidth = width;
  info.viewportHeight = height;
  info.deviceName = renderer.deviceName();
  info.apiVersion = renderer.apiVersion();
  info.drawnChunks = static_cast<int>(renderer.drawnChunkCount());
  info.chunkMeshes = static_cast<int>(renderer.chunkMeshCount());
  info.triangles = renderer.triangleCount();
  info.streamerResident = session.streamer.residentCount();
  info.rttMs = session.net.rtt.rttMs;
  if (renderer.passTimesAvailable()) info.passTimes = "GPU ms " + formatPassTimes(renderer.lastPassTimes());
  info.texture = [&renderer](int layer) {
    return reinterpret_cast<ImTextureID>(static_cast<std::uintptr_t>(renderer.layerTexture(static_cast<std::uint32_t>(layer))));
  };
  return info;
}

void drawSessionFrame(VulkanRenderer& renderer, const ClientSession& session, const FrameView& view,
                      const std::filesystem::path* capturePath) {
  const std::vector<EntityInstance> entities =
      buildEntityList(session.drops, session.mobs, session.remotePlayers, blockRegistry().count());
  const std::vector<ParticleInstance> particles = buildParticleList(session.particles);
  renderer.setBackFaceCulling(!view.eyeInOpaqueBlock);
  if (!capturePath) {
    renderer.drawFrame(view.viewProjection, view.eye, entities, particles);
    return;
  }
  ScreenshotMetadata metadata;
  metadata.software = std::string("Zorvander ") + kVersion;
  metadata.description = screenshotDescription(session);
  renderer.captureFrame(view.viewProjection, view.eye, entities, particles, *capturePath, metadata);
}

}  // namespace zorv
