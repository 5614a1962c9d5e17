#include "client/session_options.h"

#include "client/client_session.h"
#include "lang/localisation.h"

namespace zorv {

Options sessionOptions(const ClientSession& session) {
  const Settings& settings = session.settings;
  const Profile& profile = session.profile;
  Options options;
  options.mouseSensitivity = session.preferences.mouseSensitivity;
  options.fieldOfView = session.preferences.fieldOfView;
  options.renderDistance = session.preferences.renderDistance;
  options.renderScale = settings.renderScale;
  options.shadows = settings.shadowsEnabled;
  options.postProcessing = settings.postProcessingEnabled;
  options.verticalSync = settings.verticalSync;
  options.language = language();
  options.minimap = session.minimapOn;
  options.debugOverlay = session.debugOverlay;
  options.invertMouse = settings.invertMouse;
  options.interfaceScale = settings.interfaceScale;
  options.playerName = bufferText(profile.playerName);
  options.port = bufferText(profile.port);
  options.serverAddress = bufferText(profile.serverAddress);
  options.recentAddresses = profile.recentAddresses;
  options.windowWidth = settings.windowWidth;
  options.windowHeight = settings.windowHeight;
  options.windowX = settings.windowX;
  options.windowY = settings.windowY;
  options.fullScreen = settings.fullScreen;
  options.keys = settings.keys;
  return options;
}

void applySessionOptions(ClientSession& session, const Options& options) {
  Settings& settings = session.settings;
  Profile& profile = session.profile;
  session.preferences.mouseSensitivity = options.mouseSensitivity;
  session.preferences.fieldOfView = options.fieldOfView;
  session.fovCurrent = options.fieldOfView;
  session.preferences.renderDistance = options.renderDistance;
  session.streamer.setRenderDistance(options.renderDistance);
  settings.renderScale = options.renderScale;
  settings.shadowsEnabled = options.shadows;
  settings.postProcessingEnabled = options.postProcessing;
  settings.verticalSync = options.verticalSync;
  if (options.language) setLanguage(*options.language);
  session.minimapOn = options.minimap;
  session.debugOverlay = options.debugOverlay;
  session.player.lookSensitivity = options.mouseSensitivity;
  settings.invertMouse = options.invertMouse;
  settings.interfaceScale = options.interfaceScale;
  setBufferText(profile.playerName, options.playerName);
  setBufferText(profile.port, options.port);
  setBufferText(profile.serverAddress, options.serverAddress);
  profile.recentAddresses = options.recentAddresses;
  settings.windowWidth = options.windowWidth;
  settings.windowHeight = options.windowHeight;
  settings.windowX = options.windowX;
  settings.windowY = options.windowY;
  settings.fullScreen = options.fullScreen;
  settings.keys = options.keys;
}

}  // namespace zorv
